// The worker side of createWorkerSolver: one engine instance solving the texts it is sent, in the
// order they arrive. Works as a Node worker_threads worker and as a browser module worker.
import { createEngine } from './engine.js';

const engine = createEngine();
const isNode = typeof process === 'object' && typeof process.versions?.node === 'string';

async function answer({ id, text }) {
  try {
    return { id, text: (await engine).solveText(text) };
  } catch (error) {
    return { id, failure: String(error?.message ?? error) };
  }
}

if (isNode) {
  // Node queues the port's messages until a listener is added.
  const { parentPort } = await import('node:worker_threads');
  parentPort.on('message', async (message) => parentPort.postMessage(await answer(message)));
} else {
  // Set at once: a browser drops messages that arrive before a handler exists.
  self.onmessage = async (event) => self.postMessage(await answer(event.data));
}
