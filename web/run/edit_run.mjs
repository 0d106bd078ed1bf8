// Compiles an edited lesson and runs it, for the editor (bundled into editor.js):
// the compiler in a Worker (run/compiler.js), the program in a frame sandboxed on
// an origin of its own (run/runner.html), which takes the lesson window's place
// while it runs. Nothing runs on a server: a page served as plain files runs an
// edit as well as any other.
//
// A frame is made ready before it is needed (the program an edit runs in, loaded
// and waiting), and each run has a fresh one: nothing of one run is left for the
// next.

const COMPILE_LIMIT_MS = 60000;
const CLOSE_LIMIT_MS = 2000;

let worker = null;
let asked = 0;
const waiting = new Map(); // a compile's id -> its resolve
let runtime = null; // the program's WebAssembly, fetched once

function compilerWorker() {
  if (worker) return worker;
  worker = new Worker(new URL("run/compiler.js", location.href), { type: "module" });
  worker.onmessage = ({ data }) => {
    waiting.get(data.id)?.(data);
    waiting.delete(data.id);
  };
  // The compiler itself gave out (a memory it could not grow, say): every compile
  // waiting on it is answered so, and the next starts a new one.
  worker.onerror = (event) => {
    event.preventDefault();
    stopCompiler(`the compiler stopped: ${event.message || "it ran out of memory"}`);
  };
  return worker;
}

function stopCompiler(why) {
  worker?.terminate();
  worker = null;
  for (const [, done] of waiting) done({ ok: false, why, messages: [] });
  waiting.clear();
}

function ask(message) {
  return new Promise((done) => {
    const id = ++asked;
    waiting.set(id, done);
    compilerWorker().postMessage({ id, ...message });
  });
}

// The compiler and its files, fetched now (the first Run) rather than compiled for.
export function prepare() {
  runtime ??= fetch("run/edit-runtime.wasm").then((response) => {
    if (!response.ok) throw new Error(`run/edit-runtime.wasm: ${response.status}`);
    return response.arrayBuffer();
  });
  return ask({ prepare: true });
}

// Resolves to the compiler's answer: { ok, wasm, messages, log, ms } or { ok: false,
// why, messages }. One that runs past the limit is stopped, and said so. A newer
// Run supersedes the one before, whose answer comes as { superseded: true }: the
// compiler, already loaded, goes on to the newer one.
let latest = 0;
export function compile(lesson, source, traced) {
  const mine = ++latest;
  const answer = ask({ lesson, source, traced });
  // The tests set a shorter limit of their own.
  const limit = window.lessonCompileLimitMs ?? COMPILE_LIMIT_MS;
  const timer = new Promise((done) => setTimeout(done, limit, "limit"));
  return Promise.race([answer, timer]).then((first) => {
    if (first === "limit") {
      stopCompiler(`the compiler ran for more than ${limit / 1000} s and was stopped`);
      return answer;
    }
    return mine === latest ? first : { ok: false, superseded: true, messages: [] };
  });
}

// The lesson's data files, as its program finds them (/resources/...).
function dataFiles() {
  const names = (document.body.dataset.data || "").split(",").filter(Boolean);
  return Promise.all(
    names.map((name) =>
      fetch(`resources/${name}`)
        .then((response) => (response.ok ? response.arrayBuffer() : null))
        .then((bytes) => bytes && { path: `/resources/${name}`, bytes }),
    ),
  ).then((files) => files.filter(Boolean));
}

// The frame's document. It has an origin of its own (the sandbox), and a policy
// that lets it load the program's and the runner's scripts and style from this
// site, by their whole address (an opaque origin has no 'self' in every browser:
// WebKit's matches nothing), compile WebAssembly, and reach no address at all but
// the edit, which the runner hands the program as a blob.
function runnerDocument() {
  const at = (file) => new URL(`run/${file}`, location.href).href;
  const policy =
    `default-src 'none'; script-src ${at("edit-runtime.js")} ${at("runner.js")} 'wasm-unsafe-eval'; ` +
    `style-src ${at("runner.css")}; connect-src blob:; base-uri 'none'; form-action 'none'`;
  return `<!doctype html>
<html lang="en"><head><meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="${policy}">
<title>An edited lesson</title><link rel="stylesheet" href="${at("runner.css")}"></head>
<body><canvas id="canvas" width="640" height="480" tabindex="0" role="application"
aria-label="The edited lesson's 640×480 window"></canvas>
<script src="${at("edit-runtime.js")}"></script><script src="${at("runner.js")}"></script></body></html>`;
}

// A frame, loaded and waiting for its program, the program compiled: resolves to it
// once it says it is ready.
let spare = null;
function frame() {
  const made = document.createElement("iframe");
  made.className = "edit-frame";
  made.title = "The edited lesson's window";
  made.setAttribute("sandbox", "allow-scripts");
  made.srcdoc = runnerDocument();
  made.hidden = true;
  document.getElementById("canvas").after(made);
  return new Promise((ready) => {
    const listen = (event) => {
      if (event.source === made.contentWindow && event.data?.ready) {
        removeEventListener("message", listen);
        runtime.then((bytes) => {
          made.contentWindow.postMessage({ runtime: bytes }, "*");
          ready(made);
        });
      }
    };
    addEventListener("message", listen);
  });
}
export function warm() {
  spare ??= frame();
  return spare;
}

// Runs `program` ({ wasm, env }) in a frame in the window's place, reporting to the
// page as a lesson's own run does (lesson.js's report). Returns { close }, the
// page's Stop, which removes the frame if the program does not end by itself.
export function run(program, report) {
  const canvas = document.getElementById("canvas");
  const seen = (window.lessonEdited ??= {});
  const pending = warm();
  spare = null;
  let done = false;
  let shown = null;
  const finish = (how, value) => {
    if (done) return;
    done = true;
    removeEventListener("message", listen);
    report[how](value);
    warm(); // the next run's frame
  };
  const listen = (event) => {
    if (!shown || event.source !== shown.contentWindow) return;
    const { print, printErr, frame: picture, exit, stopped } = event.data ?? {};
    if (typeof print === "string") report.print(print);
    if (typeof printErr === "string") report.printErr(printErr);
    if (picture) {
      seen.frames = picture.number;
      if (picture.number === 1) Object.assign(seen, { firstFrameAt: performance.now(), picture });
    }
    if (typeof exit === "number") finish("exited", exit);
    if (typeof stopped === "string") finish("stopped", stopped);
  };
  addEventListener("message", listen);
  Promise.all([pending, dataFiles()]).then(
    ([made, data]) => {
      document.querySelectorAll(".edit-frame").forEach((old) => old !== made && !old.hidden && old.remove());
      shown = made;
      made.hidden = false;
      canvas.hidden = true;
      made.contentWindow.postMessage({ run: { side: program.wasm, data, env: program.env } }, "*");
      made.focus();
    },
    (error) => finish("stopped", `the program could not be loaded: ${error.message}`),
  );
  return {
    close() {
      shown?.contentWindow.postMessage({ close: true }, "*");
      setTimeout(() => {
        if (!done) {
          shown?.remove();
          finish("stopped", "it did not end when its window was closed, and was removed");
        }
      }, CLOSE_LIMIT_MS);
    },
  };
}
