// The server scripts/web.sh starts: the web pages, as web/serve.mjs serves them,
// and a compiler for a lesson a learner edited on its page.
//   node web/edit.mjs <web build folder>     prints the URL to open, and serves
//
// The URL it prints holds a token, as a folder of its own, /edit-<token>/: the
// pages there are the same, and beside them, <that folder>/compile compiles an
// edited lesson with em++ against the support library and SDL2 of the build
// (its edit.json) and answers with the program, or with the compiler's messages:
// JSON, or for a program, the 4-byte length of its JSON (its JavaScript, times and
// messages), the JSON, then its WebAssembly as it is, which the page compiles as
// it is, without decoding it from base64.
// It answers only a request that carries the token, comes from the page's own
// origin with this server's own Host, and sends JSON of at most 64 KB naming a
// lesson the build has. It runs the compiler and linker only, with a fixed list
// of arguments and no shell, in a new temporary folder removed after, one compile
// at a time (a newer one stops the one before), within a time and a memory limit.

import { execFile, spawn } from "node:child_process";
import { randomBytes } from "node:crypto";
import { rmSync } from "node:fs";
import { mkdtemp, readFile, rm, writeFile } from "node:fs/promises";
import { tmpdir } from "node:os";
import { basename, dirname, join } from "node:path";
import { pathToFileURL } from "node:url";
import { promisify } from "node:util";
import { serve } from "./serve.mjs";

export const BODY_LIMIT = 64 * 1024;
const TIME_LIMIT_MS = 30000;
const MEMORY_LIMIT_BYTES = 2 * 1024 ** 3;

// The compiler's messages about the edited file: "lesson01.cpp:12:5: error: ...".
function messagesIn(log, file) {
  const found = [];
  for (const line of log.split("\n")) {
    const message = /^(.*?):(\d+):(\d+): (error|warning|fatal error): (.*)$/.exec(line);
    if (message && basename(message[1]) === file) {
      found.push({
        line: Number(message[2]),
        column: Number(message[3]),
        severity: message[4] === "warning" ? "warning" : "error",
        text: message[5],
      });
    }
  }
  return found;
}

// Starts the server for the build in `build`; resolves to { server, url, root }.
// `timeLimitMs` and `memoryLimitBytes` are for the tests.
export async function startEditing(build, { timeLimitMs = TIME_LIMIT_MS, memoryLimitBytes = MEMORY_LIMIT_BYTES, port } = {}) {
  const manifest = JSON.parse(await readFile(join(build, "edit.json"), "utf8"));
  const token = `edit-${randomBytes(18).toString("base64url")}`;
  let running = null; // the compile under way: { stop(), stopped }
  const includes = manifest.includes.split(";").filter(Boolean).flatMap((folder) => ["-isystem", folder]);
  // Made for speed: -O1, and for em++ no check of Emscripten's setup on each run
  // (a quarter of a second of each).
  const FLAGS = ["-std=c++17", "-O1", "-Dmain=lesson_main", ...includes];
  const env = { EMCC_SKIP_SANITY_CHECK: "1", NODE_PATH: manifest.node_path };

  // Emscripten's own compiler, with the flags em++ gives it: em++ compiles by
  // running clang++ so, and a run of clang++ is a third of one of em++'s, which
  // starts Python first. The link, which makes the program's JavaScript too, is
  // em++'s.
  const run = promisify(execFile);
  const compilerFolder = dirname(manifest.compiler);
  const llvm = (await run(join(compilerFolder, "em-config"), ["LLVM_ROOT"])).stdout.trim();
  const clang = join(llvm, "clang++");
  const cflags = (await run(manifest.compiler, ["--cflags"])).stdout.trim().split(/\s+/);

  // Runs one command of `job`'s compile, `tool` (clang++ or em++) with `args`;
  // resolves to { status, log, ms, stopped }.
  function step(job, work, tool, args, extra = {}) {
    if (job.stopped) return Promise.resolve({ status: null, log: "", ms: 0, stopped: job.stopped });
    return new Promise((done) => {
      const started = performance.now();
      // prlimit sets the memory limit; the compiler is its only argument.
      const child = spawn("prlimit", [`--data=${memoryLimitBytes}`, "--", tool, ...args], {
        cwd: work,
        env: { ...process.env, ...env, ...extra },
        stdio: ["ignore", "pipe", "pipe"],
        detached: true, // its own process group, so that stopping it stops all it started
      });
      let log = "";
      let stopped = null;
      const stop = (why) => {
        stopped = stopped ?? why;
        job.stopped = stopped;
        try {
          process.kill(-child.pid, "SIGKILL");
        } catch {
          // it has ended already
        }
      };
      const timer = setTimeout(() => stop("time"), timeLimitMs);
      job.stop = stop;
      child.stdout.on("data", (data) => (log += data));
      child.stderr.on("data", (data) => (log += data));
      child.on("close", (status) => {
        clearTimeout(timer);
        done({ status, log, ms: performance.now() - started, stopped });
      });
    });
  }

  // Once, as the server starts, in a folder of its own: SDL.h, precompiled, which
  // is most of what compiling a lesson reads, and the lessons' entry point.
  const ready = await mkdtemp(join(tmpdir(), "lesson-edit-ready-"));
  process.on("exit", () => rmSync(ready, { recursive: true, force: true }));
  await writeFile(join(ready, "sdl.hpp"), "#include <SDL.h>\n");
  const once = { stop() {}, stopped: null };
  const header = await step(once, ready, clang, [...cflags, ...FLAGS, "-x", "c++-header", "sdl.hpp", "-o", "sdl.hpp.pch"]);
  const pch = header.status === 0 ? ["-include-pch", join(ready, "sdl.hpp.pch")] : [];
  const entry = await step(once, ready, clang, [...cflags, "-std=c++17", "-O1", "-c", manifest.entry, "-o", "entry.o"]);
  if (entry.status !== 0) throw new Error(`cannot compile ${manifest.entry}:\n${entry.log}`);

  // -sASYNCIFY_ONLY for the functions the edited lesson defines (llvm-nm's list
  // of them), or nothing, so that every function is made ready to sleep, where
  // one of them has a name the list cannot give (a lambda's, say).
  function sleepers(defined) {
    const names = [];
    for (const line of defined.log.split("\n")) {
      const symbol = /^\S+ [TtWw] (.*)$/.exec(line);
      if (!symbol) continue;
      const name = symbol[1].replace(/\(.*$/, "").split("::").pop();
      if (defined.status !== 0 || !/^[A-Za-z_]\w*$/.test(name)) return [];
      names.push(`'*${name}*'`);
    }
    // Where SDL sleeps, or yields to let the page draw, as the pages' build has it.
    const sdl = manifest.sleepers.split(";").map((name) => `'${name}'`);
    return names.length ? [`-sASYNCIFY_ONLY=[${[...sdl, ...names].join(",")}]`] : [];
  }

  async function compile(job, lesson, source) {
    const work = await mkdtemp(join(tmpdir(), "lesson-edit-"));
    const file = `${lesson}.cpp`;
    try {
      await writeFile(join(work, file), source);
      const compiled = await step(job, work, clang, [...cflags, ...FLAGS, ...pch, "-Wall", "-Wextra", "-c", file, "-o", "lesson.o"]);
      const failure = (done) => done.stopped === "time"
        ? `the compiler ran for more than ${timeLimitMs / 1000} s and was stopped`
        : done.stopped === "newer" ? "superseded"
        : done.status !== 0 && /out of memory|cannot allocate|std::bad_alloc/i.test(done.log)
          ? `the compiler ran out of its memory (${memoryLimitBytes / 1024 ** 3} GB) and was stopped`
        : done.status !== 0 ? "it does not compile" : null;
      if (failure(compiled)) {
        return { ok: false, why: failure(compiled), stopped: compiled.stopped,
                 messages: messagesIn(compiled.log, file), log: compiled.log };
      }
      // Its data files at the paths its program reads them from, as the page's own
      // program has them: the same package, which the page has downloaded already.
      const data = manifest.lessons[lesson].data.flatMap((path) => {
        const packed = path.replaceAll("@", "@@");
        return ["--preload-file", `${packed}@${packed}`];
      });
      // Linked for speed too: -O0, the small allocator, no assertions, and only
      // the functions that may be on the stack when the program sleeps made ready
      // for it (-sASYNCIFY_ONLY, as the pages' own build does): SDL's, and each
      // function of the edited source, wherever it sleeps. That is a sixth of the
      // link's time, and a third of the program.
      const defined = await step(job, work, join(llvm, "llvm-nm"), ["--defined-only", "-C", "lesson.o"]);
      const linked = await step(job, work, manifest.compiler, ["-O0", "-sMALLOC=emmalloc", "-sASSERTIONS=0",
        ...sleepers(defined), "-sASYNCIFY", "-sEXIT_RUNTIME=1", "-sMODULARIZE=1",
        "-sEXPORT_NAME=createEditedLesson", "-sENVIRONMENT=web", "-sEXPORTED_RUNTIME_METHODS=ENV",
        "lesson.o", join(ready, "entry.o"), ...manifest.libraries, ...data, "-o", "edited.js"], env);
      if (failure(linked)) {
        return { ok: false, why: failure(linked) === "it does not compile" ? "it does not link" : failure(linked),
                 stopped: linked.stopped, messages: messagesIn(linked.log, file), log: linked.log };
      }
      return {
        ok: true,
        js: await readFile(join(work, "edited.js"), "utf8"),
        wasm: await readFile(join(work, "edited.wasm")),
        compileMs: Math.round(compiled.ms),
        linkMs: Math.round(linked.ms),
        messages: messagesIn(compiled.log, file),
      };
    } finally {
      await rm(work, { recursive: true, force: true });
    }
  }

  async function handle(request, response, names) {
    if (names[0] !== token) return false;
    if (names.length !== 2 || names[1] !== "compile") return names.slice(1);
    const answer = (status, body) => {
      response.writeHead(status, { "Content-Type": "application/json", "Cache-Control": "no-store",
                                   "X-Content-Type-Options": "nosniff" });
      response.end(JSON.stringify(body));
    };
    const refuse = (status, why) => {
      request.resume(); // what was sent is read and dropped
      answer(status, { ok: false, why });
      return true;
    };
    if (request.method === "GET") return answer(200, { edit: true, lessons: Object.keys(manifest.lessons) }), true;
    if (request.method !== "POST") return refuse(405, "only POST compiles");
    if (request.headers.origin !== `http://${request.headers.host}`) {
      return refuse(403, "a compile is asked for only by this server's own pages");
    }
    if (!/^application\/json\b/.test(request.headers["content-type"] ?? "")) {
      return refuse(415, "send the lesson as JSON");
    }
    if (Number(request.headers["content-length"] ?? 0) > BODY_LIMIT) {
      response.setHeader("Connection", "close");
      return refuse(413, `at most ${BODY_LIMIT / 1024} KB`);
    }
    let body = "";
    let tooLong = false;
    for await (const chunk of request) {
      body += chunk;
      if (body.length > BODY_LIMIT) {
        tooLong = true;
        break;
      }
    }
    if (tooLong) {
      response.setHeader("Connection", "close");
      return refuse(413, `at most ${BODY_LIMIT / 1024} KB`);
    }
    let asked;
    try {
      asked = JSON.parse(body);
    } catch {
      return refuse(400, "not JSON");
    }
    if (typeof asked?.lesson !== "string" || typeof asked.source !== "string") {
      return refuse(400, 'send {"lesson": "lessonNN", "source": "..."}');
    }
    if (!Object.hasOwn(manifest.lessons, asked.lesson)) {
      return refuse(404, `there is no lesson '${asked.lesson}'; there are: ${Object.keys(manifest.lessons).join(" ")}`);
    }
    // One compile at a time: this one supersedes the one before.
    if (running) {
      running.stopped = "newer";
      running.stop("newer");
    }
    const mine = { stop() {}, stopped: null };
    running = mine;
    const result = await compile(mine, asked.lesson, asked.source);
    if (running === mine) running = null;
    if (result.stopped === "newer") return answer(409, { ok: false, why: "a newer Run stopped this one" }), true;
    if (!result.ok) return answer(422, result), true;
    const { wasm, ...rest } = result;
    const json = Buffer.from(JSON.stringify(rest));
    const length = Buffer.alloc(4);
    length.writeUInt32LE(json.length);
    response.writeHead(200, { "Content-Type": "application/octet-stream", "Cache-Control": "no-store",
                              "X-Content-Type-Options": "nosniff" });
    response.end(Buffer.concat([length, json, wasm]));
    return true;
  }

  const { server, url, root } = await serve(join(build, "bin"), { handle, port });
  return { server, url: `${url}${token}/`, root, token };
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const build = process.argv[2];
  if (!build || process.argv.length > 3 || build.startsWith("-")) {
    console.error("usage: node edit.mjs <web build folder>");
    process.exit(2);
  }
  try {
    // The same port each time where it is free, so that an edit kept in the
    // browser (which keeps it for its origin) is there again.
    let started;
    try {
      started = await startEditing(build, { port: 8642 });
    } catch (error) {
      if (error.code !== "EADDRINUSE") throw error;
      started = await startEditing(build);
    }
    console.log(`The lessons are at ${started.url} (Ctrl+C stops the server; this URL lets a page compile an edited lesson)`);
  } catch (error) {
    console.error(`edit.mjs: ${error.message}`);
    process.exit(2);
  }
}
