// The insights of response line k for request line k, all on one WebAssembly instance, one
// document per line. scripts/wasm-check compares them with the native library's.
//
// usage: node tests/diff/wasm_insights_lines.mjs REQUESTS.jsonl RESPONSES.jsonl
import { readFileSync, writeSync } from 'node:fs';

import { createEngine } from '../../js/engine.js';

const [requests, responses] = process.argv.slice(2).map((path) => {
  const lines = readFileSync(path, 'utf8').split('\n');
  if (lines.at(-1) === '') lines.pop();
  return lines;
});
if (!responses || requests.length !== responses.length) {
  console.error('usage: node wasm_insights_lines.mjs REQUESTS.jsonl RESPONSES.jsonl (as many lines)');
  process.exit(2);
}
const engine = await createEngine();
requests.forEach((request, index) => {
  writeSync(1, `${engine.insightsText(request, responses[index])}\n`);
});
