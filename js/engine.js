// One instance of the WebAssembly engine and the text-in, text-out call through its C interface.
// The loader is handed a compiled module, so it never fetches or reads a file itself: the same
// code serves Node, browsers and workers.
import createVarbexModule from './dist/varbex.mjs';

const WASM_URL = new URL('./dist/varbex.wasm', import.meta.url);
const isNode = typeof process === 'object' && typeof process.versions?.node === 'string';

let compiled;

/** The compiled engine, read once per JavaScript realm (main thread or worker). */
export function compileEngine() {
  compiled ??= (async () => {
    if (isNode) {
      const { readFile } = await import('node:fs/promises');
      return WebAssembly.compile(await readFile(WASM_URL));
    }
    const reply = await fetch(WASM_URL);
    if (!reply.ok) throw new Error(`varbex: cannot load ${WASM_URL}: HTTP ${reply.status}`);
    return WebAssembly.compile(await reply.arrayBuffer());
  })();
  return compiled;
}

/**
 * A fresh engine instance: `solveText(text)` returns the library's response text unchanged.
 * Solves on one instance run one after another, like calls on one native thread (the engine's
 * lookahead memo carries over between them).
 */
export async function createEngine() {
  const module = await compileEngine();
  let instantiationFailed;
  const failure = new Promise((_, reject) => { instantiationFailed = reject; });
  // The loader waits for receiveInstance forever; a failed instantiation must end the wait.
  const runtime = await Promise.race([failure, createVarbexModule({
    instantiateWasm(imports, receiveInstance) {
      WebAssembly.instantiate(module, imports)
        .then((instance) => receiveInstance(instance, module), instantiationFailed);
      return {};
    },
  })]);
  // A text copied into the module's heap for one call; the caller frees it.
  function copyIn(text, what) {
    const size = runtime.lengthBytesUTF8(text) + 1;
    const block = runtime._malloc(size);
    if (block === 0) throw new Error(`varbex: out of memory for the ${what}`);
    runtime.stringToUTF8(text, block, size);
    return block;
  }
  function textOut(block, release, what) {
    if (block === 0) throw new Error(`varbex: out of memory for the ${what}`);
    try {
      return runtime.UTF8ToString(block);
    } finally {
      release(block);
    }
  }
  return {
    solveText(text) {
      const input = copyIn(String(text), 'request');
      try {
        return textOut(runtime._varbex_solve(input), runtime._varbex_free, 'response');
      } finally {
        runtime._free(input);
      }
    },
    /** The insights text of a response text for a request text, as libvarbex_insights gives it. */
    insightsText(requestText, responseText) {
      const request = copyIn(String(requestText), 'request');
      try {
        const response = copyIn(String(responseText), 'response');
        try {
          return textOut(runtime._varbex_insights(request, response), runtime._varbex_insights_free,
            'insights');
        } finally {
          runtime._free(response);
        }
      } finally {
        runtime._free(request);
      }
    },
  };
}
