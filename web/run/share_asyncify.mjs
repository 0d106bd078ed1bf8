// Readies the program an edited lesson runs in (edit-runtime.wasm, linked by
// Emscripten 3.1.6 with Asyncify) to sleep together with the edit: Asyncify keeps
// its state (normal, unwinding, rewinding) and where its saved stack is in two
// globals of the program's own, which this makes imports (env.__asyncify_state and
// env.__asyncify_data), as binaryen's asyncify-import-globals makes the edit's
// (web/run/compiler.mjs). The page gives both the same two, so that a sleep in SDL
// unwinds the edit's functions as well as the program's, and rewinds them after.
// Emscripten 3.1.6's own binaryen (108) knows no such option; the globals are
// found as its exported asyncify_get_state and asyncify_start_unwind use them.
//   node web/run/share_asyncify.mjs <edit-runtime.wasm>     (rewritten in place)

import binaryen from "binaryen";
import { readFileSync, writeFileSync } from "node:fs";

const [file] = process.argv.slice(2);
if (!file) {
  console.error("usage: node share_asyncify.mjs <program.wasm>");
  process.exit(2);
}
const module = binaryen.readBinary(readFileSync(file));
// The features Emscripten 3.1.6 builds with: binaryen writes no others.
module.setFeatures(binaryen.Features.MVP | binaryen.Features.MutableGlobals | binaryen.Features.SignExt);

function body(name) {
  for (let i = 0; i < module.getNumExports(); i++) {
    const exported = binaryen.getExportInfo(module.getExportByIndex(i));
    if (exported.name === name)
      return binaryen.emitText(binaryen.getFunctionInfo(module.getFunction(exported.value)).body);
  }
  throw new Error(`${file} has no ${name}: was it linked with -sASYNCIFY?`);
}
// asyncify_get_state returns the state; asyncify_start_unwind sets it, then the data.
const state = /global\.get \$(\S+?)\)/.exec(body("asyncify_get_state"))?.[1];
const data = [...body("asyncify_start_unwind").matchAll(/global\.set \$(\S+?)[\s)]/g)]
  .map((match) => match[1])
  .find((name) => name !== state);
if (!state || !data) throw new Error(`${file}: Asyncify's globals not found`);
for (const [name, base] of [
  [state, "__asyncify_state"],
  [data, "__asyncify_data"],
]) {
  const { type } = binaryen.getGlobalInfo(module.getGlobal(name));
  module.removeGlobal(name);
  module.addGlobalImport(name, "env", base, type, true);
}
if (!module.validate()) throw new Error(`${file}: the program no longer validates`);
writeFileSync(file, module.emitBinary());
