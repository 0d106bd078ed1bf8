// Runs a lesson on its page, as a desktop would run the program: its window is the
// canvas, what it prints appears under it, and when it ends its window closes, the
// page keeping the window's place and offering to run it again. Each run is a fresh
// instance of the program (built with -sMODULARIZE as createLesson), made from the
// code the page compiled as it loaded (window.lessonCode).
"use strict";
(function () {
  const output = document.getElementById("output");
  const statusLine = document.getElementById("status");
  const closed = document.getElementById("closed");
  const closedText = document.getElementById("closed-text");
  const again = document.getElementById("again");
  const title = document.title; // SDL names the page after the lesson's window

  function ended(text) {
    closedText.textContent = text;
    closed.hidden = false;
    document.title = title;
  }

  function run() {
    output.textContent = "";
    statusLine.textContent = "running…";
    closed.hidden = true;
    window.lessonExit = undefined; // the tests wait for it
    createLesson({
      canvas: document.getElementById("canvas"),
      // SDL takes the keyboard only where the canvas has it, as a desktop window
      // does when focused, so the page's keys (Tab among them) keep working.
      preRun: [(program) => (program.ENV.SDL_EMSCRIPTEN_KEYBOARD_ELEMENT = "#canvas")],
      instantiateWasm(imports, instantiated) {
        window.lessonCode
          .then((code) => WebAssembly.instantiate(code, imports))
          .then((instance) => instantiated(instance))
          .catch((error) => {
            statusLine.textContent = "could not load the lesson: " + error;
            ended("The lesson could not be loaded.");
          });
        return {}; // the exports come later, through instantiated()
      },
      // Standard output is where a lesson speaks: shown line by line, as a console
      // would, and copied to the browser's console.
      print(line) {
        output.append(line + "\n");
        console.log(line);
      },
      printErr(line) {
        console.error(line);
      },
      onExit(status) {
        window.lessonExit = { status: status, at: performance.now() };
        statusLine.textContent = "exited with status " + status;
        console.log(statusLine.textContent);
        ended(status === 0 ? "The window closed after its two-second hold."
                           : "The window closed: the lesson stopped with status " + status + ".");
      },
      onAbort(what) {
        statusLine.textContent = "stopped: " + what;
        ended("The lesson stopped: " + what);
      },
    });
  }

  again.addEventListener("click", run);
  run();
})();
