#!/usr/bin/env python3
"""Times the current tree against the baseline commit, side by side in one run.

Generates the workloads into build/bench/data, builds both sides in Release (the baseline commit
named in bench/baseline-commit from a temporary git worktree, with this tree's harness), then
times each workload with both, taking turns, and prints total, median and p90 time per
request, peak memory and the speed-up. Writes the growth tables (by items, and by box types for the
catalogue family), a Markdown copy of the figures and the growth plot (docs/performance.png).

Only ratios from one run mean much: the machines are shared and their speed drifts. The sides take
turns request by request, so that drift does not favour either.
"""
import argparse
import json
import math
import os
import shutil
import sys

import workloads as wl

PLOT = os.path.join(wl.ROOT, 'docs', 'performance.png')
RESULTS_JSON = os.path.join(wl.WORK, 'results.json')
RESULTS_MD = os.path.join(wl.WORK, 'results.md')
# A workload of few, long requests is timed over several rounds, each side once per round, since
# one slow moment of the machine would otherwise decide a figure alone.
ROUNDS = {'growth': 3, 'catalogue-growth': 3}
LARGE_BOXES = (2, 12)  # the range of filled boxes in which weight balancing runs


def fmt_time(seconds):
    if seconds < 1e-3:
        return '%.3f ms' % (seconds * 1e3)
    if seconds < 1:
        return '%.1f ms' % (seconds * 1e3) if seconds >= 0.01 else '%.2f ms' % (seconds * 1e3)
    return '%.2f s' % seconds


def fmt_mem(kib):
    return '%.1f MiB' % (kib / 1024.0)


def ratio(baseline, current):
    return '%.2fx' % (baseline / current) if current > 0 else '-'


def median(values):
    ordered = sorted(values)
    mid = len(ordered) // 2
    return ordered[mid] if len(ordered) % 2 else (ordered[mid - 1] + ordered[mid]) / 2


def p90(values):
    """Nearest rank, as the harness computes it."""
    ordered = sorted(values)
    return ordered[max(math.ceil(0.9 * len(ordered)), 1) - 1]


def combine(name, requests, summaries):
    """One workload summary from the harness runs over its requests."""
    times = [r['median_s'] for r in requests]
    return {'workload': name, 'requests': len(requests), 'total_s': sum(times),
            'median_s': median(times), 'p90_s': p90(times),
            'cpu_total_s': sum(r['median_cpu_s'] for r in requests),
            'peak_rss_kib': max(s['peak_rss_kib'] for s in summaries),
            'unstable': sum(s['unstable'] for s in summaries),
            'deadline_stats': all(s['deadline_stats'] for s in summaries),
            'deadline_hits': sum(s['deadline_hits'] for s in summaries)}


def merge_rounds(results):
    """One request's result from several rounds: the median of their times."""
    merged = dict(results[0])
    merged['median_s'] = median([r['median_s'] for r in results])
    merged['max_s'] = max(r['max_s'] for r in results)
    merged['median_cpu_s'] = median([r['median_cpu_s'] for r in results])
    merged['max_cpu_s'] = max(r['max_cpu_s'] for r in results)
    merged['runs'] = sum(r['runs'] for r in results)
    merged['deadline_hits'] = sum(r['deadline_hits'] for r in results)
    merged['stable'] = all(r['stable'] for r in results)
    return merged


def time_workload(name, folder, binaries, options):
    """Times every request of the workload with each side; returns {side: (requests, summary)}.

    The sides take turns request by request, the one that goes first alternating, so that a
    change in the machine's load between two requests hits both sides alike. Each request runs
    in a process of its own; a workload's peak memory is the largest of them."""
    wl.say('  %s' % name)
    sides = list(binaries)
    requests = {side: [] for side in sides}
    summaries = {side: [] for side in sides}
    responses = {side: os.path.join(wl.WORK, 'responses', side, name) for side in sides}
    for side in sides:
        shutil.rmtree(responses[side], ignore_errors=True)
    rounds = max(options.rounds, ROUNDS.get(name, 1))
    for k, path in enumerate(wl.request_files(folder)):
        by_round = {side: [] for side in sides}
        for turn in range(rounds):
            for side in (sides if (k + turn) % 2 == 0 else sides[::-1]):
                r, s = wl.run_harness(binaries[side], name, [path], responses=responses[side],
                                      min_time_ms=options.min_time_ms,
                                      max_runs=options.max_runs, keep_responses=True)
                by_round[side] += r
                summaries[side].append(s)
        for side in sides:
            requests[side].append(merge_rounds(by_round[side]))
    return {side: (requests[side], combine(name, requests[side], summaries[side]))
            for side in sides}


def same_bytes(name, requests):
    """How many requests got byte-identical responses from both sides."""
    same = 0
    for r in requests:
        files = [os.path.join(wl.WORK, 'responses', side, name, r['request'] + '.json')
                 for side in ('baseline', 'current')]
        with open(files[0], 'rb') as a, open(files[1], 'rb') as b:
            same += a.read() == b.read()
    return same


def box_counts(name, side):
    folder = os.path.join(wl.WORK, 'responses', side, name)
    counts = {}
    for f in sorted(os.listdir(folder)):
        with open(os.path.join(folder, f), encoding='utf-8') as fh:
            counts[f[:-5]] = json.load(fh).get('summary', {}).get('box_count', 0)
    return counts


def table_rows(results, sides):
    header = ['workload', 'requests']
    for side in sides:
        header += [side + ' total', 'median', 'p90', 'peak memory']
    if len(sides) == 2:
        header += ['speed-up', 'cpu speed-up', 'same bytes']
    rows = []
    for name, by_side in results.items():
        first = by_side[sides[0]][1]
        row = [name, str(first['requests'])]
        for side in sides:
            s = by_side[side][1]
            row += [fmt_time(s['total_s']), fmt_time(s['median_s']), fmt_time(s['p90_s']),
                    fmt_mem(s['peak_rss_kib'])]
        if len(sides) == 2:
            row += [ratio(by_side['baseline'][1]['total_s'], by_side['current'][1]['total_s']),
                    ratio(by_side['baseline'][1]['cpu_total_s'],
                          by_side['current'][1]['cpu_total_s']),
                    '%d/%d' % (same_bytes(name, by_side['current'][0]), first['requests'])]
        rows.append(row)
    return header, rows


def print_table(header, rows):
    widths = [max(len(r[i]) for r in [header] + rows) for i in range(len(header))]
    line = lambda r: '  '.join(c.ljust(w) if i == 0 else c.rjust(w)
                               for i, (c, w) in enumerate(zip(r, widths)))
    print(line(header))
    print('  '.join('-' * w for w in widths))
    for r in rows:
        print(line(r))


def markdown(header, rows):
    text = '| ' + ' | '.join(header) + ' |\n'
    text += '|' + '|'.join(['---'] + ['---:'] * (len(header) - 1)) + '|\n'
    for r in rows:
        text += '| ' + ' | '.join(r) + ' |\n'
    return text


def growth_table(results, sides, name='growth', sizes=wl.GROWTH_SIZES, label='items',
                 request='items_%04d'):
    """Time per request of a family by its size: items for growth, box types for
    catalogue-growth."""
    by_side = results[name]
    times = {side: {r['request']: r['median_s'] for r in by_side[side][0]} for side in sides}
    header = [label] + ['%s per request' % side for side in sides]
    if len(sides) == 2:
        header.append('speed-up')
    rows, points = [], []
    for size in sizes:
        values = [times[side][request % size] for side in sides]
        row = [str(size)] + [fmt_time(v) for v in values]
        if len(sides) == 2:
            row.append(ratio(values[0], values[1]))
        rows.append(row)
        points.append((size, values))
    return header, rows, points


def plot_growth(points, sides, path):
    try:
        import matplotlib
    except ImportError:
        raise wl.BenchError('python3-matplotlib is missing: run bench/bootstrap (make bench does)')
    matplotlib.use('Agg')
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(8, 5), dpi=100)
    sizes = [p[0] for p in points]
    styles = {'baseline': ('o--', 'tab:gray'), 'current': ('s-', 'tab:blue')}
    for i, side in enumerate(sides):
        style, colour = styles[side]
        ax.plot(sizes, [p[1][i] * 1e3 for p in points], style, color=colour, label=side)
    ax.set_xscale('log')
    ax.set_yscale('log')
    ax.set_xticks(sizes)
    ax.set_xticklabels([str(s) for s in sizes])
    ax.set_xlabel('items in the request')
    ax.set_ylabel('solve time per request (ms)')
    ax.set_title('Growth family: solve time by request size')
    ax.grid(True, which='both', alpha=0.3)
    ax.legend()
    fig.tight_layout()
    os.makedirs(os.path.dirname(path), exist_ok=True)
    fig.savefig(path)
    plt.close(fig)


def report_large(results, sides):
    """The large workload is meant to fill 2 to 12 boxes per request, so that balancing runs."""
    counts = box_counts('large', 'current')
    outside = sorted(r for r, n in counts.items() if not LARGE_BOXES[0] <= n <= LARGE_BOXES[1])
    values = sorted(counts.values())
    if outside:
        print('WARNING: large: %d request(s) fill a number of boxes outside %d-%d, so balancing '
              'does not run there: %s' % (len(outside), LARGE_BOXES[0], LARGE_BOXES[1],
                                          ', '.join(outside)))
    else:
        print('large: every request fills %d to %d boxes (balancing runs in each)'
              % (values[0], values[-1]))


def report_deadlines(results):
    lines = []
    for name, by_side in results.items():
        requests, summary = by_side['current']
        if summary['deadline_stats']:
            hit = sum(1 for r in requests if r['deadline_hits'] > 0)
            lines.append('%s: balancing ended at its deadline in %d of %d requests '
                         '(reached its fixed point in %.0f%%)'
                         % (name, hit, len(requests), 100.0 * (len(requests) - hit) / len(requests)))
    if lines:
        print('\nCurrent tree, weight balancing:')
        for line in lines:
            print('  ' + line)
    else:
        print('\n(The current tree has no balancing deadline counter; no deadline figures.)')
    return lines


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--workloads', default=','.join(wl.WORKLOADS),
                    help='comma-separated subset of: %s' % ', '.join(wl.WORKLOADS))
    ap.add_argument('--no-baseline', action='store_true', help='time the current tree only')
    ap.add_argument('--jobs', type=int, default=1, help='parallel compile jobs (default 1)')
    ap.add_argument('--min-time-ms', type=float, default=100,
                    help='repeat a request until its runs add up to this (default 100)')
    ap.add_argument('--max-runs', type=int, default=5, help='but at most this often (default 5)')
    ap.add_argument('--rounds', type=int, default=1,
                    help='time each request this many times per side, taking turns (default 1; '
                         'growth at least 3)')
    ap.add_argument('--plot', default=PLOT, help='where to write the growth plot')
    options = ap.parse_args(argv)
    names = [n.strip() for n in options.workloads.split(',') if n.strip()]
    unknown = [n for n in names if n not in wl.WORKLOADS]
    if unknown:
        ap.error('unknown workload(s): %s' % ', '.join(unknown))
    try:
        if 'growth' in names:
            ensure_matplotlib(sys.argv[1:] if argv is None else argv)
        return run(names, options)
    except wl.BenchError as e:
        print('bench: error: %s' % e, file=sys.stderr)
        return 2


DEBIAN_PYTHON = '/usr/bin/python3'


def ensure_matplotlib(argv):
    """Checks for matplotlib before the long part; Debian's package serves Debian's interpreter,
    so when another python3 comes first on PATH, continue under that one."""
    try:
        import matplotlib  # noqa: F401
        return
    except ImportError:
        pass
    here = os.path.realpath(sys.executable)
    if os.path.exists(DEBIAN_PYTHON) and os.path.realpath(DEBIAN_PYTHON) != here:
        probe = os.spawnv(os.P_WAIT, DEBIAN_PYTHON, [DEBIAN_PYTHON, '-c', 'import matplotlib'])
        if probe == 0:
            os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON, os.path.abspath(__file__)] + argv)
    raise wl.BenchError('python3-matplotlib is missing: run bench/bootstrap (make bench does)')


def run(names, options):
    folders = wl.generate(names)
    binaries = {}
    if not options.no_baseline:
        binaries['baseline'] = wl.build_baseline(options.jobs)
    binaries['current'] = wl.build_current(options.jobs)
    sides = list(binaries)
    wl.say('timing (%s)' % ' and '.join(sides))
    results = {}
    for name in names:
        results[name] = time_workload(name, folders[name], binaries, options)

    header, rows = table_rows(results, sides)
    print()
    print_table(header, rows)
    text = markdown(header, rows)
    for name, by_side in results.items():
        for side in sides:
            if by_side[side][1]['unstable']:
                print('WARNING: %s, %s: %d request(s) answered differently from one run to the next'
                      % (name, side, by_side[side][1]['unstable']))
    if 'large' in results:
        report_large(results, sides)
    deadline_lines = report_deadlines(results)
    if deadline_lines:
        text += '\n' + '\n'.join('- ' + line for line in deadline_lines) + '\n'
    if 'growth' in results:
        g_header, g_rows, points = growth_table(results, sides)
        print('\nGrowth family:')
        print_table(g_header, g_rows)
        text += '\n' + markdown(g_header, g_rows)
        plot_growth(points, sides, options.plot)
    if 'catalogue-growth' in results:
        g_header, g_rows, _ = growth_table(results, sides, 'catalogue-growth',
                                           wl.CATALOGUE_GROWTH_SIZES, 'box types',
                                           'boxtypes_%04d')
        print('\nCatalogue growth family (one order of 200 items):')
        print_table(g_header, g_rows)
        text += '\n' + markdown(g_header, g_rows)
    if not options.no_baseline:
        text = 'Baseline: commit %s\n\n' % wl.baseline_commit() + text
    with open(RESULTS_MD, 'w', encoding='utf-8') as fh:
        fh.write(text)
    with open(RESULTS_JSON, 'w', encoding='utf-8') as fh:
        json.dump({name: {side: {'summary': s, 'requests': r}
                          for side, (r, s) in by_side.items()}
                   for name, by_side in results.items()}, fh, indent=1)
    print('\nwrote %s (tables in Markdown) and %s (every figure)'
          % (wl.relative(RESULTS_MD), wl.relative(RESULTS_JSON)))
    if 'growth' in results:
        print('wrote the growth plot to %s' % os.path.relpath(options.plot, wl.ROOT))
    return 0


if __name__ == '__main__':
    sys.exit(main())
