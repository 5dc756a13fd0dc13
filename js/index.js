// The varbex package: solve packing requests on this thread (solve, solveText) or off it
// (createWorkerSolver). The engine is compiled and instantiated once, when the module loads.
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
