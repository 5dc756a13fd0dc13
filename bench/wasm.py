#!/usr/bin/env python3
"""The WebAssembly build against the native library on the orders and bins workloads: the time per
request of each side, measured alike (median of up to 5 runs, each on a fresh thread or engine
instance), their ratio, and the size of varbex.wasm raw and gzipped. The sides take turns for
ROUNDS rounds and each request keeps its fastest round, so that a busy moment of a shared machine
weighs less. A benchmark, not a test: the figures depend on the machine. Run after make wasm:

    python3 bench/wasm.py                  # the package's build (js/dist), a Markdown table
    python3 bench/wasm.py --variant="-O2;-fexceptions"   # also a build with other flags
"""
import argparse
import gzip
import json
import os
import shutil
import statistics
import subprocess
import sys

import workloads

PACKAGE = os.path.join(workloads.ROOT, 'js')
NAMES = ('orders', 'bins')
ROUNDS = 5


def build_variant(flags, jobs):
    """The engine built with other flags, beside a copy of engine.js; returns that copy."""
    slug = ''.join(c if c.isalnum() else '_' for c in flags).strip('_')
    folder = os.path.join(workloads.WORK, 'wasm-variants', slug)
    dist = os.path.join(folder, 'package', 'dist')
    env = dict(os.environ, NODE_PATH='/usr/share/nodejs')
    workloads.say('building the variant %s in %s' % (flags, workloads.relative(folder)))
    subprocess.run(['emcmake', 'cmake', '-S', PACKAGE, '-B', os.path.join(folder, 'build'),
                    '-DVARBEX_WASM_FLAGS=' + flags, '-DVARBEX_WASM_DIST=' + dist], check=True,
                   env=env, stdout=subprocess.DEVNULL)
    subprocess.run(['cmake', '--build', os.path.join(folder, 'build'), '-j%d' % jobs], check=True,
                   env=env, stdout=subprocess.DEVNULL)
    shutil.copy(os.path.join(PACKAGE, 'engine.js'), os.path.join(folder, 'package'))
    return os.path.join(folder, 'package', 'engine.js')


def wasm_times(engine, folder, responses):
    files = workloads.request_files(folder)
    result = subprocess.run(['node', os.path.join(workloads.BENCH, 'wasm_bench.mjs'), engine,
                             responses] + files, check=True, stdout=subprocess.PIPE, text=True)
    return [json.loads(line) for line in result.stdout.splitlines() if line.strip()]


def keep_fastest(best, name, seconds):
    best[name] = min(best.get(name, seconds), seconds)


def measure(harness, engines, folder, name):
    """{side: {request: fastest median seconds}} and the requests answered differently."""
    responses = os.path.join(workloads.WORK, 'wasm-native-responses', name)
    best = {side: {} for side in ['native'] + list(engines)}
    differing = set()
    for round_ in range(ROUNDS):
        workloads.say('%s: round %d of %d' % (name, round_ + 1, ROUNDS))
        native, _ = workloads.run_harness(harness, name, [folder], responses=responses)
        for r in native:
            keep_fastest(best['native'], r['request'], r['median_s'])
        for side, engine in engines.items():
            for w in wasm_times(engine, folder, responses):
                keep_fastest(best[side], w['request'], w['median_s'])
                if not w['same']:
                    differing.add((side, w['request']))
    return best, differing


def wasm_size(engine):
    wasm = os.path.join(os.path.dirname(engine), 'dist', 'varbex.wasm')
    with open(wasm, 'rb') as f:
        data = f.read()
    return len(data), len(gzip.compress(data, compresslevel=9))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--variant', action='append', default=[],
                        help='also time a build with these flags (";"-separated)')
    parser.add_argument('--jobs', type=int, default=2)
    options = parser.parse_args()
    package_engine = os.path.join(PACKAGE, 'engine.js')
    if not os.path.exists(os.path.join(PACKAGE, 'dist', 'varbex.wasm')):
        sys.exit('bench/wasm.py: js/dist/varbex.wasm is missing; run make wasm first')
    engines = {'-O3;-fwasm-exceptions;-flto (the package)': package_engine}
    for flags in options.variant:
        engines[flags] = build_variant(flags, options.jobs)
    harness = workloads.build_current(jobs=options.jobs)
    folders = workloads.generate(NAMES)

    print('| workload | build | requests | native total | WebAssembly total | total ratio | '
          'median per-request ratio | answers differing |')
    print('|---|---|---:|---:|---:|---:|---:|---:|')
    for name in NAMES:
        best, differing = measure(harness, engines, folders[name], name)
        native = best['native']
        for side in engines:
            wasm = best[side]
            ratio = statistics.median(wasm[k] / native[k] for k in wasm if native[k] > 0)
            print('| %s | %s | %d | %.1f ms | %.1f ms | %.2f | %.2f | %d |'
                  % (name, side.replace(';', ' '), len(wasm), sum(native.values()) * 1e3,
                     sum(wasm.values()) * 1e3, sum(wasm.values()) / sum(native.values()), ratio,
                     sum(1 for s, _ in differing if s == side)))
    print()
    for side, engine in engines.items():
        raw, packed = wasm_size(engine)
        print('varbex.wasm, %s: %d bytes raw, %d bytes gzipped (level 9)'
              % (side.replace(';', ' '), raw, packed))


if __name__ == '__main__':
    main()
