#!/usr/bin/env python3
"""The WebAssembly build against the native library on the orders and bins workloads: the time per
request of each side, measured alike (median of up to 5 runs, each on a fresh thread or engine
instance), their ratio, and the size of varbex.wasm raw and gzipped. A benchmark, not a test: the
figures depend on the machine and its load. Run after make wasm:

    python3 bench/wasm.py            # prints a Markdown table for docs/performance.md
"""
import gzip
import json
import os
import statistics
import subprocess
import sys

import workloads

WASM = os.path.join(workloads.ROOT, 'js', 'dist', 'varbex.wasm')
NAMES = ('orders', 'bins')


def wasm_times(folder, responses):
    files = workloads.request_files(folder)
    result = subprocess.run(['node', os.path.join(workloads.BENCH, 'wasm_bench.mjs'), responses]
                            + files, check=True, stdout=subprocess.PIPE, text=True)
    return [json.loads(line) for line in result.stdout.splitlines() if line.strip()]


def main():
    if not os.path.exists(WASM):
        sys.exit('bench/wasm.py: %s is missing; run make wasm first' % WASM)
    harness = workloads.build_current(jobs=2)
    folders = workloads.generate(NAMES)
    rows = []
    for name in NAMES:
        responses = os.path.join(workloads.WORK, 'wasm-native-responses', name)
        workloads.say('%s: native' % name)
        native, _ = workloads.run_harness(harness, name, [folders[name]], responses=responses)
        workloads.say('%s: WebAssembly' % name)
        wasm = wasm_times(folders[name], responses)
        by_name = {r['request']: r['median_s'] for r in native}
        ratios = [w['median_s'] / by_name[w['request']] for w in wasm if by_name[w['request']] > 0]
        native_total = sum(by_name.values())
        wasm_total = sum(w['median_s'] for w in wasm)
        rows.append((name, len(wasm), native_total, wasm_total, statistics.median(ratios),
                     sum(1 for w in wasm if not w['same'])))
    raw = os.path.getsize(WASM)
    with open(WASM, 'rb') as f:
        packed = len(gzip.compress(f.read(), compresslevel=9))
    print('| workload | requests | native total | WebAssembly total | total ratio | median '
          'per-request ratio | answers differing |')
    print('|---|---:|---:|---:|---:|---:|---:|')
    for name, count, native_total, wasm_total, ratio, differing in rows:
        print('| %s | %d | %.1f ms | %.1f ms | %.2f | %.2f | %d |'
              % (name, count, native_total * 1e3, wasm_total * 1e3, wasm_total / native_total,
                 ratio, differing))
    print('\nvarbex.wasm: %d bytes raw, %d bytes gzipped (level 9)' % (raw, packed))


if __name__ == '__main__':
    main()
