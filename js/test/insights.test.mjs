// insights from the WebAssembly module: the shared fixture's document byte for byte as the native
// library writes it, and RequestError for what cannot be read.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import test from 'node:test';

import { insights, insightsText, RequestError, solveText } from '../index.js';

const fixture = (name) => readFileSync(new URL(`../../tests/insights/${name}`, import.meta.url), 'utf8');

test('insights give the fixture document and throw RequestError on unreadable input', () => {
  const request = fixture('stack_request.json');
  const response = fixture('stack_response.json');
  const expected = fixture('stack_insights.json').trimEnd();
  assert.equal(insightsText(request, response), expected);
  assert.deepEqual(insights(JSON.parse(request), JSON.parse(response)), JSON.parse(expected));
  assert.throws(() => insights(request, solveText('{"boxes": [{}]}')), (error) =>
    error instanceof RequestError &&
    error.message === "response: it is an error envelope: box is missing required field 'Reference'");
});
