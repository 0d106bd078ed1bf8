// Writes what a lesson's page needs to compile an edited lesson in the browser
// (web/run/compiler.mjs does it, in a Worker), into <out>:
//   compiler.json   the compiler's and the linker's arguments, worked out here
//                   once, so that the page runs the compiler alone (not its driver)
//   headers.tar     every header an edit may include, and nothing else: the C and
//                   C++ libraries' (Emscripten's), SDL's, the support library's
//                   and the trace's. The compiler sees only these: #include of any
//                   other path, .incbin and __has_include find nothing.
//   llvm-resources.tar   the compiler's own headers (stddef.h, ...), taken from the
//                   package's, without its WebAssembly C library the page does not use
//   plain.pch, traced.pch   those headers precompiled, for a plain and a traced edit
//   llvm.core*.wasm the compiler and its linker (@yowasp/clang), as npm has them
// It runs the very same compiler, in Node.js, so that its precompiled headers fit.
//   node web/run/make_compiler.mjs <out> <Emscripten's include folder> <SDL2's include folder>
//        <lessons folder> <the trace's folder> <the trace's generated folder> <sleepers> <warning>...

import { runLLVM } from "@yowasp/clang";
import { copyFile, mkdir, readdir, readFile, stat, writeFile } from "node:fs/promises";
import { createRequire } from "node:module";
import { dirname, join, relative } from "node:path";
import { createTar, parseTar } from "nanotar";

const [out, emscripten, sdl, lessons, trace, generated, sleepers, ...warnings] = process.argv.slice(2);
if (!warnings.length) {
  console.error(
    "usage: node make_compiler.mjs <out> <emscripten include> <SDL2 include> <lessons> <trace> " +
      "<trace generated> <sleepers> <warning>...",
  );
  process.exit(2);
}
const require = createRequire(import.meta.url);
const yowasp = dirname(require.resolve("@yowasp/clang"));
await mkdir(out, { recursive: true });

// The headers, as a tree of the compiler's file system, each file a Uint8Array.
// Emscripten's libraries' headers, but for those of libraries the page's program
// does not have (SDL 1, OpenGL, OpenAL, GLFW, X11).
const LEFT_OUT = /^(SDL|GL|GLES|GLES2|GLES3|GLFW|AL|EGL|KHR|X11)(\/|$)/;
async function tree(folder, keep = () => true, under = "") {
  const files = {};
  for (const entry of await readdir(folder, { withFileTypes: true })) {
    const path = under ? `${under}/${entry.name}` : entry.name;
    if (!keep(path)) continue;
    const full = join(folder, entry.name);
    if (entry.isDirectory()) files[entry.name] = await tree(full, keep, path);
    else if ((await stat(full)).isFile()) files[entry.name] = new Uint8Array(await readFile(full));
  }
  return files;
}
const PREFIX = ["SDL.h", "cstdio", "cstdlib", "cstring"];
const headers = {
  sysroot: { include: await tree(emscripten, (path) => !LEFT_OUT.test(path)) },
  sdl: await tree(sdl),
  lessons: { common: await tree(join(lessons, "common"), (path) => path.endsWith(".hpp")) },
  trace: {
    ...(await tree(trace, (path) => path.endsWith(".hpp"))),
    ...(await tree(generated, (path) => path.endsWith(".hpp"))),
  },
};
// What is precompiled: the headers a lesson includes. The compiler meets this file
// by the name it had when it was precompiled, so it stays among the headers.
PREFIX.push(...Object.keys(headers.lessons.common).map((h) => `common/${h}`));
headers.pch = { "prefix.hpp": new TextEncoder().encode(PREFIX.map((h) => `#include <${h}>\n`).join("")) };

// The compiler's own headers: those of its include folder, for WebAssembly and
// any target, not its C and C++ libraries', nor other machines' intrinsics.
const OTHER_MACHINES =
  /intrin|^arm|altivec|cuda|hip|amx|avx|riscv|sifive|andes|hexagon|htm|ppc|s390|opencl|openmp|^x86|^vec|^__clang_spirv/i;
const resources = parseTar(await readFile(join(yowasp, "llvm-resources.tar"))).filter(
  (entry) => /^include\/[^/]+\.h$/.test(entry.name) && !OTHER_MACHINES.test(entry.name.slice("include/".length)),
);
// Its folder first: the package's reader makes folders only as it meets them.
const fixed = { attrs: { mtime: 0 } }; // the same archive from the same files
await writeFile(
  join(out, "llvm-resources.tar"),
  createTar([{ name: "include" }, ...resources.map(({ name, data }) => ({ name, data }))], fixed),
);

// headers.tar: the tree, as the page's compiler unpacks it.
const entries = [];
(function walk(node, path) {
  for (const [name, value] of Object.entries(node)) {
    if (value instanceof Uint8Array) entries.push({ name: `${path}${name}`, data: value });
    else walk(value, `${path}${name}/`);
  }
})(headers, "");
await writeFile(join(out, "headers.tar"), createTar(entries, fixed));

// The arguments. An edit is compiled as a side module of the page's program
// (position-independent), for the same target and with the same definitions as
// Emscripten 3.1.6 compiles the lessons, its main named lesson_main (as a lesson's
// is on the web), with the features every browser the pages are tested in runs.
const FLAGS = [
  "--target=wasm32-unknown-emscripten",
  "-mcpu=mvp",
  "-mmutable-globals",
  "-msign-ext",
  "-fPIC",
  "-fvisibility=default",
  "-DEMSCRIPTEN",
  "-D__EMSCRIPTEN_major__=3",
  "-D__EMSCRIPTEN_minor__=1",
  "-D__EMSCRIPTEN_tiny__=6",
  "-D_LIBCPP_ABI_VERSION=2",
  "-fignore-exceptions",
  "-fno-threadsafe-statics",
  "-Dunix",
  "-D__unix",
  "-D__unix__",
  "--sysroot=/sysroot",
  "-Xclang",
  "-iwithsysroot/include/compat",
  "-isystem",
  "/sdl",
  "-I/lessons",
  "-isystem",
  "/trace",
  "-std=c++17",
  "-O1",
  "-Dmain=lesson_main",
  "-fno-color-diagnostics",
  ...warnings,
];
const TRACED = ["-include", "lessons_trace.hpp"];

// The compiler's own command (clang -cc1) that its driver would run for `args`.
async function cc1(args) {
  let said = "";
  const capture = (bytes) => bytes && (said += new TextDecoder().decode(bytes));
  const inputs = { ...headers, edit: { "LESSON.cpp": "" }, pch: { ...headers.pch, "plain.pch": "", "traced.pch": "" } };
  await runLLVM(["clang++", "-###", ...args], inputs, {
    stdout: capture,
    stderr: capture,
    fetchProgress: () => {},
  }).catch((error) => {
    throw new Error(`clang++ -### failed: ${said}`, { cause: error });
  });
  const line = said.split("\n").find((l) => l.includes('"-cc1"'));
  if (!line) throw new Error(`no compiler command in:\n${said}`);
  return Array.from(
    line.matchAll(/ (?:([^ "]+)|"((?:[^"\\$]|\\["\\$])+)")/g),
    (m) => m[1] ?? m[2].replaceAll(/\\(["$\\])/g, "$1"),
  ).filter((arg) => arg !== "");
}
const quiet = { fetchProgress: () => {}, stdout: () => {}, stderr: (bytes) => bytes && process.stderr.write(bytes) };
const config = { cc1: {}, pch: {} };
for (const [kind, extra] of [
  ["plain", []],
  ["traced", TRACED],
]) {
  // Its precompiled headers: the same arguments, made a header.
  const made = await runLLVM(
    await cc1([...FLAGS, ...extra, "-x", "c++-header", "/pch/prefix.hpp", "-o", `/pch/${kind}.pch`]),
    headers,
    quiet,
  );
  await writeFile(join(out, `${kind}.pch`), made.pch[`${kind}.pch`]);
  config.pch[kind] = `${kind}.pch`;
  // An edit's command, its file and object named by placeholders.
  config.cc1[kind] = (
    await cc1([
      ...FLAGS,
      ...extra,
      "-include-pch",
      `/pch/${kind}.pch`,
      "-c",
      "/edit/LESSON.cpp",
      "-o",
      "/edit/LESSON.o",
    ])
  ).map((arg) => arg.replaceAll("LESSON", "{lesson}"));
}
// Linked as Emscripten links a side module, its symbols left for the page's program.
config.link = [
  "wasm-ld",
  "--import-undefined",
  "--unresolved-symbols=import-dynamic",
  "--import-memory",
  "--strip-debug",
  "--export-dynamic",
  "--no-gc-sections",
  "--experimental-pic",
  "-shared",
  "/edit/{lesson}.o",
  "-o",
  "/edit/{lesson}.wasm",
];
// The functions of the page's program an edit may sleep in: Asyncify readies the
// edit's own to sleep around calls to them.
config.sleepers = sleepers
  .split(";")
  .filter((name) => !name.includes("*"))
  .map((name) => `env.${name}`);

// The compiler itself, as npm has it.
for (const file of await readdir(yowasp)) {
  if (!file.endsWith(".wasm")) continue;
  const [from, to] = [join(yowasp, file), join(out, file)];
  const [a, b] = await Promise.all([stat(from), stat(to).catch(() => null)]);
  if (!b || b.size !== a.size || b.mtimeMs < a.mtimeMs) await copyFile(from, to);
}
await writeFile(join(out, "compiler.json"), JSON.stringify(config, null, 1) + "\n");
console.log(`The in-page compiler's files are in ${relative(process.cwd(), out) || "."}`);
