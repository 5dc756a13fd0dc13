// The varbex package: solve packing requests on this thread (solve, solveText) or off it
// (createWorkerSolver), and explain the answers (insights). The engine is compiled and instantiated once, when the module loads.
import { createEngine } from './engine.js';
import { parseResponse, requestText } from './request_error.js';

export { RequestError } from './request_error.js';
export { createWorkerSolver } from './worker_solver.js';

const engine = await createEngine();

/** The library's response text for a request text, unchanged (error envelopes included). */
export function solveText(text) {
  return engine.solveText(text);
}

/**
 * Solves a request given as an object or a JSON text and returns the response object. Unplaced
 * items are no error (the response's `success` is then false); a request the library cannot read
 * throws RequestError with the library's message.
 */
export function solve(request) {
  return parseResponse(engine.solveText(requestText(request)));
}

/** The insights text of a response for its request (objects or JSON texts), unchanged. */
export function insightsText(request, response) {
  return engine.insightsText(requestText(request), requestText(response));
}

/**
 * Why the items of a response went unplaced and how its boxes stand (docs/insights.md), for the
 * request it answers; each may be an object or a JSON text. A request or response that cannot be
 * read throws RequestError with the library's message ("request: ..." or "response: ...").
 */
export function insights(request, response) {
  return parseResponse(insightsText(request, response));
}
