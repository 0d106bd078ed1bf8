// Runs an edited lesson in its sandboxed frame (edit_run.mjs writes its document): the page's program
// (edit-runtime, built as the lessons' own are, with SDL and the support library)
// with the edit, compiled in the page (compiler.mjs), loaded into it as a side
// module. The page sends { runtime } as soon as the frame is ready, which it
// compiles then, and { run: { side, data, env } }: the edit's WebAssembly, and the
// lesson's data files. Back to the page go only
// messages: a line printed or written to standard error, the first picture drawn
// and when each one is, the exit status, and why it was stopped.
//
// A loop that never hands the page back is stopped in any browser: the edit counts
// each function it enters and each loop it goes round (binaryen's log-execution),
// and every so many, it checks when this frame last had a turn of its own; past
// STUCK_MS, it throws, which unwinds the program.
"use strict";
(function () {
  const STUCK_MS = 3000;
  const canvas = document.getElementById("canvas");
  const page = window.parent;
  const tell = (message, transfer) => page.postMessage(message, "*", transfer);
  let lastTurn = performance.now();
  setInterval(() => (lastTurn = performance.now()), 100);
  let program = null;
  let runtime = null; // the program's compiled WebAssembly

  // The pictures SDL puts on the canvas: the first one's pixels, and when each is.
  const put = CanvasRenderingContext2D.prototype.putImageData;
  let frames = 0;
  CanvasRenderingContext2D.prototype.putImageData = function (image, ...rest) {
    put.call(this, image, ...rest);
    if (this.canvas !== canvas || !canvas.width) return;
    frames += 1;
    const frame = { number: frames, at: performance.now() };
    if (frames === 1) {
      const picture = this.getImageData(0, 0, canvas.width, canvas.height);
      Object.assign(frame, { width: picture.width, height: picture.height, pixels: picture.data.buffer });
    }
    tell({ frame }, frame.pixels ? [frame.pixels] : []);
  };

  // Why the program was stopped, where this frame stopped it: the error an
  // exception out of it brings along is hidden from a frame such as this one.
  let stoppedFor = null;
  function stuck() {
    stoppedFor = `it did not hand the page back for ${STUCK_MS / 1000} s (a loop without SDL_Delay?), and was stopped`;
    return new Error(stoppedFor);
  }

  function run({ side, data, env }) {
    const asyncify = {
      state: new WebAssembly.Global({ value: "i32", mutable: true }, 0),
      data: new WebAssembly.Global({ value: "i32", mutable: true }, 0),
    };
    let counted = 0;
    let stopped = false;
    const end = (message) => {
      if (stopped) return;
      stopped = true;
      tell(message);
    };
    lastTurn = performance.now();
    window
      .createEditRuntime({
        canvas,
        arguments: [],
        // The edit, loaded before main as the program's own library.
        dynamicLibraries: [URL.createObjectURL(new Blob([side], { type: "application/wasm" }))],
        preRun: [
          (made) => {
            Object.assign(made.ENV, { SDL_EMSCRIPTEN_KEYBOARD_ELEMENT: "#canvas" }, env);
            for (const { path, bytes } of data) {
              made.FS.mkdirTree(path.slice(0, path.lastIndexOf("/")));
              made.FS.writeFile(path, new Uint8Array(bytes));
            }
          },
        ],
        instantiateWasm(imports, instantiated) {
          imports.env.__asyncify_state = asyncify.state;
          imports.env.__asyncify_data = asyncify.data;
          imports.env.log_execution = () => {
            if ((++counted & 0xffff) === 0 && performance.now() - lastTurn > STUCK_MS) throw stuck();
          };
          // Its module too: the program reads how to link the edit from it.
          runtime
            .then((module) => WebAssembly.instantiate(module, imports).then((instance) => [instance, module]))
            .then(
              ([instance, module]) => instantiated(instance, module),
              (error) => end({ stopped: `the program could not be loaded: ${error}` }),
            );
          return {};
        },
        print: (line) => tell({ print: line }),
        printErr: (line) => tell({ printErr: line }),
        onExit: (status) => end({ exit: status }),
        onAbort: (what) => end({ stopped: String(what) }),
        // An error out of the program comes here before it is thrown on: the
        // browser would not tell this frame of it (its scripts are the page's).
        quit: (status, error) => {
          if (error?.name !== "ExitStatus") end({ stopped: stoppedFor ?? `it failed: ${error?.message ?? error}` });
          throw error;
        },
      })
      .then((made) => (program = made));
    // An exception out of the program, the watchdog's among them, ends it here.
    window.onerror = (message) => {
      end({ stopped: stoppedFor ?? String(message) });
      return true;
    };
    window.onunhandledrejection = (event) => end({ stopped: stoppedFor ?? String(event.reason) });
    canvas.focus();
  }

  window.addEventListener("message", (event) => {
    if (event.source !== page) return;
    if (event.data.runtime) runtime = WebAssembly.compile(event.data.runtime);
    if (event.data.run) run(event.data.run);
    // The page's Stop: the window closes, as its close button would.
    if (event.data.close && program) program._lesson_close();
  });
  tell({ ready: true });
})();
