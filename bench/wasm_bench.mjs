// The WebAssembly counterpart of varbex_bench's timing: each request of a workload solved on a
// fresh engine instance (as varbex_bench solves each run on a fresh thread), repeated until its
// runs add up to 30 ms or 5 runs, the median taken, after one untimed pass over the workload.
// Prints one JSON line per request, with whether its first response equals the file of the same
// name in RESPONSES (the native answers).
//
// usage: node bench/wasm_bench.mjs ENGINE RESPONSES REQUEST.json...
//   ENGINE: the package's engine.js to time (js/engine.js, or a variant's copy beside its dist/)
import { readFileSync } from 'node:fs';
import { basename, join, resolve } from 'node:path';
import { performance } from 'node:perf_hooks';

import { pathToFileURL } from 'node:url';

const MIN_TIME_MS = 30;
const MAX_RUNS = 5;

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const mid = sorted.length >> 1;
  return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
};

const [enginePath, responses, ...files] = process.argv.slice(2);
const { createEngine } = await import(pathToFileURL(resolve(enginePath)).href);
// One untimed pass first: V8 runs new WebAssembly code in its baseline tier until the optimizing
// tier has compiled it, so early solves would measure the compiler rather than the engine.
const warm = await createEngine();
for (const file of files) warm.solveText(readFileSync(file, 'utf8'));

for (const file of files) {
  const request = readFileSync(file, 'utf8');
  const name = basename(file, '.json');
  const times = [];
  let first;
  const spent = () => times.reduce((a, b) => a + b, 0);
  while (times.length < 1 || (times.length < MAX_RUNS && spent() < MIN_TIME_MS)) {
    const engine = await createEngine();
    const started = performance.now();
    const response = engine.solveText(request);
    times.push(performance.now() - started);
    first ??= response;
  }
  const same = first === readFileSync(join(responses, `${name}.json`), 'utf8');
  const line = { request: name, runs: times.length, median_s: median(times) / 1e3, same };
  console.log(JSON.stringify(line));
}
