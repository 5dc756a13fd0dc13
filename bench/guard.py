#!/usr/bin/env python3
"""The byte-for-byte guard: speed work must not change a single response.

  guard.py record [--current | --baseline REV]
                                solve every benchmark request and write the SHA-256 of each
                                response that qualifies to bench/expected/<workload>.sha256,
                                from the commit in bench/baseline-commit (--baseline REV first
                                writes REV's commit there; --current records the working tree)
  guard.py check                solve every recorded request once with the current tree (Release)
                                and fail, listing them, when any response differs

Which requests qualify: weight balancing stops at a 250 ms deadline, so a solve that gets near it
may answer differently on a slower or busier machine. A request is recorded only when its whole
solve took under 25 ms in each of three Release runs, a tenfold margin before the deadline; when
every run answered the same bytes; and, where the build counts them, when balancing never ended
at its deadline. The 25 ms are the processor time of the solving thread, which the load of other
processes on a shared machine barely changes, so that the same requests qualify from one
recording to the next; the wall time must stay under 100 ms all the same, so that no run came
near the deadline while the machine was busy.
"""
import argparse
import os
import sys
import tempfile

import workloads as wl

EXPECTED = os.path.join(wl.BENCH, 'expected')
# A tenfold margin before the 250 ms balancing deadline, so that a slower machine stays clear of it.
GUARD_LIMIT_S = 0.025
# Wall time is what the deadline counts; this keeps a busy moment of the recording machine out.
GUARD_WALL_LIMIT_S = 0.100
RECORD_RUNS = 3


def expected_path(workload):
    return os.path.join(EXPECTED, workload + '.sha256')


def read_expected(workload):
    entries = []
    with open(expected_path(workload), encoding='utf-8') as fh:
        for number, line in enumerate(fh, 1):
            words = line.split()
            if not words or words[0].startswith('#'):
                continue
            if len(words) != 2 or len(words[1]) != 64:
                raise wl.BenchError('%s:%d: expected "<request-name> <sha256>"'
                                    % (wl.relative(expected_path(workload)), number))
            entries.append((words[0], words[1]))
    return entries


def qualifies(result):
    return (result['max_cpu_s'] < GUARD_LIMIT_S and result['max_s'] < GUARD_WALL_LIMIT_S
            and result['stable'] and result['deadline_hits'] == 0)


def record(args):
    if args.baseline:
        wl.set_baseline_commit(args.baseline)
    folders = wl.generate()
    if args.current:
        binary, source = wl.build_current(args.jobs), 'the working tree'
    else:
        binary = wl.build_baseline(args.jobs)
        source = 'commit ' + wl.baseline_commit()
    os.makedirs(EXPECTED, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix='guard-', dir=wl.WORK) as scratch:
        for name in wl.WORKLOADS:
            responses = os.path.join(scratch, name)
            # One run sorts out the slow requests cheaply; the others get all the runs.
            first, _ = wl.run_harness(binary, name, [folders[name]], runs=1)
            fast = [os.path.join(folders[name], r['request'] + '.json')
                    for r in first if qualifies(r)]
            results = []
            if fast:
                results, _ = wl.run_harness(binary, name, fast, responses=responses,
                                            runs=RECORD_RUNS)
            kept = [r for r in results if qualifies(r)]
            with open(expected_path(name), 'w', encoding='utf-8') as out:
                out.write('# SHA-256 of the responses of %s, recorded from %s: the requests whose '
                          'solve took < %d ms of processor time in each of %d Release runs '
                          '(bench/guard.py)\n' % (name, source, GUARD_LIMIT_S * 1000, RECORD_RUNS))
                for r in kept:
                    digest = wl.sha256_of_file(os.path.join(responses, r['request'] + '.json'))
                    out.write('%s %s\n' % (r['request'], digest))
            wl.say('%-16s recorded %3d of %3d requests in %s'
                   % (name, len(kept), len(first), wl.relative(expected_path(name))))
    return 0


def check(args):
    recorded = [n for n in wl.WORKLOADS if os.path.isfile(expected_path(n))]
    if not recorded:
        raise wl.BenchError('no recorded hashes in %s; run bench/guard.py record first'
                            % wl.relative(EXPECTED))
    expected = {name: read_expected(name) for name in recorded}
    # A workload with no guarded request (none solves fast enough) is not even generated.
    folders = wl.generate([name for name in recorded if expected[name]])
    binary = wl.build_current(args.jobs)
    passed, failures = 0, []
    for name in recorded:
        entries = expected[name]
        paths = []
        for request, _ in entries:
            path = os.path.join(folders[name], request + '.json')
            if not os.path.isfile(path):
                raise wl.BenchError('%s names %s, which the %s workload no longer generates'
                                    % (wl.relative(expected_path(name)), request, name))
            paths.append(path)
        if not paths:
            wl.say('%-16s   0 recorded requests' % name)
            continue
        responses = os.path.join(wl.WORK, 'check', name)
        results, _ = wl.run_harness(binary, name, paths, responses=responses, runs=1)
        hits = {r['request'] for r in results if r['deadline_hits'] > 0}
        for request, digest in entries:
            response = os.path.join(responses, request + '.json')
            if wl.sha256_of_file(response) == digest:
                passed += 1
            else:
                note = ' (balancing ended at its deadline)' if request in hits else ''
                failures.append('%s/%s: response changed%s, now in %s'
                                % (name, request, note, wl.relative(response)))
        wl.say('%-16s %3d recorded requests solved' % (name, len(entries)))
    for failure in failures:
        wl.say('CHANGED ' + failure)
    wl.say('bench-check: %d passed, %d failed' % (passed, len(failures)))
    return 1 if failures else 0


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--jobs', type=int, default=1, help='parallel compile jobs (default 1)')
    sub = ap.add_subparsers(dest='command', required=True)
    rec = sub.add_parser('record', help='write bench/expected/*.sha256')
    side = rec.add_mutually_exclusive_group()
    side.add_argument('--current', action='store_true',
                      help='record from the working tree instead of the baseline commit')
    side.add_argument('--baseline', metavar='REV',
                      help='make REV (e.g. HEAD) the baseline commit, then record from it')
    sub.add_parser('check', help='compare the current responses with the recorded hashes')
    args = ap.parse_args(argv)
    try:
        return record(args) if args.command == 'record' else check(args)
    except wl.BenchError as e:
        print('guard: error: %s' % e, file=sys.stderr)
        return 2


if __name__ == '__main__':
    sys.exit(main())
