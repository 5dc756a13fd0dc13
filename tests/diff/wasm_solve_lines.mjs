// Solves one request per input line, all one after another on one engine instance (as
// varbex_solve_lines --one-thread does natively), and prints per line its index, the solve's
// wall time in milliseconds and the whole response. scripts/wasm-check compares the output with
// the native one.
//
// usage: node tests/diff/wasm_solve_lines.mjs IN.jsonl
import { readFileSync, writeSync } from 'node:fs';
import { performance } from 'node:perf_hooks';

import { createEngine } from '../../js/engine.js';

const [input] = process.argv.slice(2);
if (!input) {
  console.error('usage: node wasm_solve_lines.mjs IN.jsonl');
  process.exit(2);
}
const lines = readFileSync(input, 'utf8').split('\n');
if (lines.at(-1) === '') lines.pop();

const engine = await createEngine();
lines.forEach((request, index) => {
  const started = performance.now();
  const response = engine.solveText(request);
  const elapsed = performance.now() - started;
  writeSync(1, `${index} ${elapsed.toFixed(1)} ${response}\n`);
});
