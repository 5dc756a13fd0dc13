// The package's calls on small requests: answers as solveText gives them, errors as RequestError,
// and the worker solver giving the same answers off the main thread.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import test from 'node:test';

import { createWorkerSolver, RequestError, solve, solveText } from '../index.js';

const example = readFileSync(new URL('../../examples/basic.json', import.meta.url), 'utf8');
const noFit = readFileSync(new URL('../../examples/no_fit.json', import.meta.url), 'utf8');
const faulty = '{"boxes": [{"Width": 1}]}';
const faultyMessage = "box is missing required field 'Reference'";

test('solve takes an object or a text and returns the parsed library text', () => {
  const text = solveText(example);
  assert.deepEqual(solve(example), JSON.parse(text));
  assert.deepEqual(solve(JSON.parse(example)), JSON.parse(text));
});

test('unplaced items are no error', () => {
  const response = solve(noFit);
  assert.equal(response.success, false);
  assert.ok(response.unplaced_items.length > 0);
});

test('an error envelope throws RequestError with the library message', () => {
  assert.equal(solveText(faulty), `{"error":"${faultyMessage}","success":false}`);
  assert.throws(() => solve(faulty), (error) =>
    error instanceof RequestError && error.name === 'RequestError' &&
    error.message === faultyMessage);
});

test('the worker solver answers several requests in flight as solveText does', async () => {
  const solver = await createWorkerSolver({ workers: 2 });
  try {
    const requests = [example, noFit, JSON.parse(example), example];
    const answers = await Promise.all(requests.map((request) => solver.solve(request)));
    assert.deepEqual(answers, requests.map((request) => solve(request)));
    assert.equal(await solver.solveText(example), solveText(example));
    await assert.rejects(solver.solve(faulty), (error) =>
      error instanceof RequestError && error.message === faultyMessage);
    const unanswered = assert.rejects(solver.solve(example), /terminated/);
    await solver.terminate();
    await unanswered;
  } finally {
    await solver.terminate();
  }
});

test('an idle worker solver does not keep Node running', () => {
  const index = JSON.stringify(new URL('../index.js', import.meta.url).href);
  const script = `import { createWorkerSolver } from ${index};
    const solver = await createWorkerSolver();
    console.log((await solver.solve('{}')).success);`;
  const run = spawnSync(process.execPath, ['--input-type=module', '-e', script],
    { encoding: 'utf8', timeout: 60_000 });
  assert.equal(run.status, 0, run.stderr);
  assert.equal(run.stdout.trim(), 'true');
});
