// The worker side of createWorkerSolver: one engine instance solving the texts it is sent, in the
// order they arrive (a message with a response asks for the insights of it instead). Works as a Node worker_threads worker and as a browser module worker.
import { createEngine } from './engine.js';

const engine = createEngine();
const isNode = typeof process === 'object' && typeof process.versions?.node === 'string';

async function answer({ id, text, response }) {
  try {
    const ready = await engine;
    return { id, text: response === undefined ? ready.solveText(text) : ready.insightsText(text, response) };
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
