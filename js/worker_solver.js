// Solving off the calling thread: a worker_threads worker in Node, a module Web Worker in the
// browser, each with an engine of its own, so that a long solve never blocks an event loop or a
// page. Any number of requests may be in flight; each goes to the worker with the fewest waiting.
import { parseResponse, requestText } from './request_error.js';

const WORKER_URL = new URL('./worker.js', import.meta.url);
const isNode = typeof process === 'object' && typeof process.versions?.node === 'string';

// One worker and the requests it still owes, with Node's and the browser's calls made alike.
async function startWorker() {
  const pending = new Map();
  let worker;
  const settle = ({ id, text, failure }) => {
    const request = pending.get(id);
    // An answer that arrives after terminate() has already been rejected.
    if (request === undefined) return;
    const { resolve, reject } = request;
    pending.delete(id);
    if (isNode && pending.size === 0) worker.unref();
    if (failure === undefined) resolve(text);
    else reject(new Error(`varbex worker: ${failure}`));
  };
  const failAll = (error) => {
    for (const { reject } of pending.values()) reject(error);
    pending.clear();
  };
  if (isNode) {
    const { Worker } = await import('node:worker_threads');
    // A module given with --input-type (node -e) would make the worker's file unloadable.
    const execArgv = process.execArgv.filter((flag) => !flag.startsWith('--input-type'));
    worker = new Worker(WORKER_URL, { execArgv });
    worker.on('message', settle);
    worker.on('error', failAll);
    worker.on('exit', (code) => failAll(new Error(`varbex worker: exited with code ${code}`)));
    // An idle worker does not keep the process alive; one with work does.
    worker.unref();
  } else {
    worker = new Worker(WORKER_URL, { type: 'module' });
    worker.onmessage = (event) => settle(event.data);
    worker.onerror = (event) => failAll(new Error(`varbex worker: ${event.message}`));
  }
  return {
    pending,
    send(id, text, response) {
      return new Promise((resolve, reject) => {
        pending.set(id, { resolve, reject });
        if (isNode && pending.size === 1) worker.ref();
        worker.postMessage(response === undefined ? { id, text } : { id, text, response });
      });
    },
    terminate() {
      failAll(new Error('varbex worker: terminated'));
      return worker.terminate();
    },
  };
}

/**
 * Starts `workers` workers (default 1) and returns a solver whose `solve`, `solveText`,
 * `insights` and `insightsText` behave like the package's but return promises. `terminate()`
 * stops the workers.
 */
export async function createWorkerSolver({ workers = 1 } = {}) {
  const pool = await Promise.all(Array.from({ length: Math.max(1, workers) }, startWorker));
  let nextId = 0;
  const idlest = () => pool.reduce((a, b) => (b.pending.size < a.pending.size ? b : a));
  const solveText = (text) => idlest().send(nextId++, String(text));
  const insightsText = (request, response) =>
    idlest().send(nextId++, requestText(request), requestText(response));
  return {
    solveText,
    solve: async (request) => parseResponse(await solveText(requestText(request))),
    insightsText,
    insights: async (request, response) => parseResponse(await insightsText(request, response)),
    terminate: async () => {
      await Promise.all(pool.map((worker) => worker.terminate()));
    },
  };
}
