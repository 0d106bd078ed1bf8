// The compiler a lesson's page runs an edited lesson through, in a Worker of its
// own (it blocks while it compiles): clang and its linker built to WebAssembly
// (@yowasp/clang), and binaryen. Bundled by the web build into compiler.js, beside
// what web/run/make_compiler.mjs wrote there: the arguments, the headers and the
// precompiled headers. Nothing here reaches the network but for those files, and
// the compiler's file system holds only them and the edit.
//
// Asked { id, lesson, source, traced }, it answers { id, ok, wasm, messages, log,
// ms }: the edit compiled, linked as a side module of the page's program, then
// readied by binaryen to sleep (Asyncify, its state shared with the program's) and
// to be stopped (a call at each function's start and each loop's, which the
// program counts, and throws from if the page has had no turn for too long).

import { Exit, runLLVM } from "@yowasp/clang";
import { parseTar } from "nanotar";

let ready = null; // the compiler's files, once fetched: { config, files, pch }

async function bytes(name) {
  const response = await fetch(new URL(name, import.meta.url));
  if (!response.ok) throw new Error(`${name}: ${response.status} ${response.statusText}`);
  return new Uint8Array(await response.arrayBuffer());
}

// A tree of files, as the compiler's file system takes it, from a tar.
function unpack(tar) {
  const root = {};
  for (const { name, data } of parseTar(tar)) {
    const parts = name.split("/");
    let folder = root;
    for (const part of parts.slice(0, -1)) folder = folder[part] ??= {};
    folder[parts.at(-1)] = data ?? new Uint8Array(0); // an empty file has no data
  }
  return root;
}

function prepare() {
  ready ??= (async () => {
    const config = await (await fetch(new URL("compiler.json", import.meta.url))).json();
    const [headers] = await Promise.all([bytes("headers.tar"), runLLVM(null, {}, { fetchProgress: () => {} })]);
    return { config, files: unpack(headers), pch: {} };
  })();
  return ready;
}

// The compiler's messages about the edit: "/edit/lesson01.cpp:12:5: error: ...".
// One in a header the edit includes (SDL.h, say) is kept too, with its file.
function messagesIn(log, file) {
  const found = [];
  for (const line of log.split("\n")) {
    const message = /^(.*?):(\d+):(\d+): (error|warning|fatal error): (.*)$/.exec(line);
    if (message) {
      const inEdit = message[1] === `/edit/${file}`;
      found.push({
        file: inEdit ? file : message[1].replace(/^\/(sysroot\/include|sdl|lessons|trace)\//, ""),
        line: Number(message[2]),
        column: Number(message[3]),
        severity: message[4] === "warning" ? "warning" : "error",
        text: message[5],
      });
    }
  }
  return found;
}

async function instrument(wasm, sleepers) {
  const { default: binaryen } = await import(new URL("binaryen.js", import.meta.url).href);
  const module = binaryen.readBinary(wasm);
  try {
    // EM_ASM and its kin run JavaScript of the program's own, which the page's
    // program has none of for an edit.
    for (let i = 0; i < module.getNumFunctions(); i++) {
      const { module: from, base } = binaryen.getFunctionInfo(module.getFunctionByIndex(i));
      if (from && /^emscripten_asm_const/.test(base)) return null;
    }
    module.setFeatures(binaryen.Features.MVP | binaryen.Features.MutableGlobals | binaryen.Features.SignExt);
    // First the calls the program counts, at each function's start and loop's: the
    // way a loop that never hands the page back is stopped, in every browser.
    module.runPasses(["log-execution"]);
    // Then Asyncify, for the edit's functions that can be on the stack when it
    // sleeps; its state and data are the page's program's (imported).
    binaryen.setPassArgument("asyncify-imports", sleepers.join(","));
    binaryen.setPassArgument("asyncify-import-globals", "1");
    module.runPasses(["asyncify"]);
    if (!module.validate()) throw new Error("binaryen made a module that does not validate");
    return module.emitBinary();
  } finally {
    module.dispose();
  }
}

// Added to the end of an edit, whose main is compiled as lesson_main: the page's
// program calls it by this name, whether it takes argc and argv or nothing. Its
// lines come after the edit's, so that the messages' line numbers are the edit's;
// a message about them means the edit has no main the page can run.
const ENTRY = `
#include <type_traits>
template <typename Lesson> int lesson_call(Lesson lesson, int argc, char* argv[])
{
    if constexpr (std::is_invocable_v<Lesson, int, char**>)
        return lesson(argc, argv);
    else
        return lesson();
}
extern "C" int lesson_edit_main(int argc, char* argv[])
{
    return lesson_call(&lesson_main, argc, argv);
}
`;
const JAVASCRIPT = "it runs JavaScript of its own (EM_ASM), which an edit cannot";
const NO_MAIN = "no main for the page to run: int main(int argc, char* argv[]) or int main()";

// The messages about the edit, those about what was added to it made one.
function messagesOf(log, file, source) {
  const lines = source.split("\n").length;
  const messages = messagesIn(log, file);
  const own = messages.filter((message) => message.file !== file || message.line <= lines);
  if (own.length === messages.length) return messages;
  return [...own, { file, line: lines, column: 1, severity: "error", text: NO_MAIN }];
}

async function compile({ lesson, source, traced }) {
  const started = performance.now();
  const { config, files, pch } = await prepare();
  const kind = traced ? "traced" : "plain";
  pch[kind] ??= await bytes(config.pch[kind]);
  const loaded = performance.now();
  const file = `${lesson}.cpp`;
  let log = "";
  const capture = (chunk) => chunk && (log += new TextDecoder().decode(chunk));
  const options = { stdout: capture, stderr: capture, fetchProgress: () => {} };
  const fill = (args) => args.map((arg) => arg.replaceAll("{lesson}", lesson));
  const tree = { ...files, pch: { ...files.pch, [`${kind}.pch`]: pch[kind] }, edit: { [file]: source + ENTRY } };
  let compiled;
  try {
    compiled = await runLLVM(fill(config.cc1[kind]), tree, options);
  } catch (error) {
    if (!(error instanceof Exit)) throw error;
    return { ok: false, why: "it does not compile", messages: messagesOf(log, file, source), log };
  }
  const compiledAt = performance.now();
  let linked;
  try {
    linked = await runLLVM(fill(config.link), { edit: { [`${lesson}.o`]: compiled.edit[`${lesson}.o`] } }, options);
  } catch (error) {
    if (!(error instanceof Exit)) throw error;
    return { ok: false, why: "it does not link", messages: messagesIn(log, file), log };
  }
  const linkedAt = performance.now();
  const wasm = await instrument(linked.edit[`${lesson}.wasm`], config.sleepers);
  if (!wasm) return { ok: false, why: JAVASCRIPT, messages: messagesOf(log, file, source), log };
  const ms = {
    load: Math.round(loaded - started),
    compile: Math.round(compiledAt - loaded),
    link: Math.round(linkedAt - compiledAt),
    instrument: Math.round(performance.now() - linkedAt),
  };
  return { ok: true, wasm, messages: messagesOf(log, file, source), log, ms };
}

self.onmessage = async ({ data }) => {
  if (data.prepare) {
    prepare().then(
      () => self.postMessage({ id: data.id, ok: true }),
      (error) =>
        self.postMessage({ id: data.id, ok: false, why: `the compiler could not be loaded: ${error.message}` }),
    );
    return;
  }
  let answer;
  try {
    answer = await compile(data);
  } catch (error) {
    answer = { ok: false, why: `the compiler stopped: ${error.message}`, messages: [], log: String(error) };
  }
  self.postMessage({ id: data.id, ...answer }, answer.wasm ? [answer.wasm.buffer] : []);
};
