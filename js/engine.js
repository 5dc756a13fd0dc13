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
  return {
    solveText(text) {
      const request = String(text);
      const size = runtime.lengthBytesUTF8(request) + 1;
      const input = runtime._malloc(size);
      if (input === 0) throw new Error('varbex: out of memory for the request');
      try {
        runtime.stringToUTF8(request, input, size);
        const output = runtime._varbex_solve(input);
        if (output === 0) throw new Error('varbex: out of memory for the response');
        try {
          return runtime.UTF8ToString(output);
        } finally {
          runtime._varbex_free(output);
        }
      } finally {
        runtime._free(input);
      }
    },
  };
}
