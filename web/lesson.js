// Runs a lesson on its page, as a desktop would run the program: its window is the
// canvas, what it prints appears under it, and when it ends its window closes, the
// page keeping the window's place and offering to run it again. Each run is a fresh
// instance of the program (built with -sMODULARIZE as createLesson), made from the
// code the page compiled as it loaded (window.lessonCode), or, once trace.js has
// asked for it (window.lessonPage.run), its traced twin's, or an edit of it, which
// the editor runs in a frame of its own (window.lessonEdit).
"use strict";
(function () {
  const output = document.getElementById("output");
  const statusLine = document.getElementById("status");
  const closed = document.getElementById("closed");
  const closedText = document.getElementById("closed-text");
  const again = document.getElementById("again");
  const stop = document.getElementById("stop");
  const canvas = document.getElementById("canvas");
  const title = document.title; // SDL names the page after the lesson's window
  const root = document.documentElement;
  const untilClosed = document.body.dataset.kind === "until-closed";
  let program = null; // null: the lesson itself; else trace.js's or the editor's
  let running = null; // the program running, for Stop

  // A link to a line (page.html#L12) shows it in the middle of its source once the
  // page is laid out, whatever moved while it loaded, and the sources are shown.
  function showLine() {
    if (root.classList.contains("waiting") || document.readyState !== "complete") return;
    const line = location.hash.length > 1 && document.getElementById(location.hash.slice(1));
    if (line && line.closest(".code")) line.scrollIntoView({ block: "center" });
  }
  addEventListener("load", showLine);

  // The sources wait (the page's first script hid them) until the program first
  // hands the page back, its first frame drawn, or ends, or cannot start.
  function showSources() {
    if (!root.classList.contains("waiting")) return;
    root.classList.remove("waiting");
    showLine();
  }

  function ended(text) {
    closedText.textContent = text;
    closed.hidden = false;
    if (stop) stop.hidden = true;
    running = null;
    document.title = title;
    showSources();
    if (program) program.ended();
  }

  // What every run reports, whichever program it is.
  const report = {
    print(line) {
      output.append(line + "\n");
      console.log(line);
    },
    printErr(line) {
      console.error(line);
      program?.printErr(line);
    },
    exited(status) {
      window.lessonExit = { status: status, at: performance.now() };
      statusLine.textContent = "exited with status " + status;
      console.log(statusLine.textContent);
      ended(
        status !== 0
          ? "The window closed: the lesson stopped with status " + status + "."
          : untilClosed
            ? "The window closed, and the lesson ended."
            : "The window closed after its two-second hold.",
      );
    },
    stopped(what) {
      window.lessonExit = { stopped: what, at: performance.now() };
      statusLine.textContent = "stopped: " + what;
      ended("The lesson stopped: " + what);
    },
  };

  function run() {
    output.textContent = "";
    statusLine.textContent = "running…";
    closed.hidden = true;
    if (stop) stop.hidden = false;
    window.lessonExit = undefined; // the tests wait for it
    if (program?.edit) {
      running = window.lessonEdit.run(program, report);
      return;
    }
    const make = program ? program.make : window.createLesson;
    if (typeof make !== "function") {
      statusLine.textContent = "could not load the lesson's script";
      ended("The lesson could not be loaded.");
      return;
    }
    // The window is the page's own again, an edit's frame gone.
    document.querySelectorAll(".edit-frame:not([hidden])").forEach((frame) => frame.remove());
    canvas.hidden = false;
    make({
      canvas,
      // SDL takes the keyboard only where the canvas has it, as a desktop window
      // does when focused, so the page's keys (Tab among them) keep working.
      preRun: [(made) => Object.assign(made.ENV, { SDL_EMSCRIPTEN_KEYBOARD_ELEMENT: "#canvas" }, program?.env)],
      locateFile: program?.locateFile,
      // From here main runs without a break until it first sleeps, its first frame
      // drawn, or ends; the sources show right after.
      onRuntimeInitialized: () => setTimeout(showSources),
      instantiateWasm(imports, instantiated) {
        (program ? program.code : window.lessonCode)
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
      print: report.print,
      printErr: report.printErr,
      onExit: report.exited,
      onAbort: (what) => report.stopped(what),
    }).then((made) => (running = { close: () => made._lesson_close() }));
  }

  again.addEventListener("click", run);
  // Stop, for a lesson that runs until its window is closed: as its close button.
  stop?.addEventListener("click", () => running?.close());
  window.lessonPage = { run: (other) => ((program = other), run()), report };

  // The window takes the keyboard once clicked or tabbed to: the keys a lesson
  // reads reach it and do not scroll the page. Tab still leaves it.
  const KEPT = new Set([
    "Space",
    "ArrowUp",
    "ArrowDown",
    "ArrowLeft",
    "ArrowRight",
    "PageUp",
    "PageDown",
    "Home",
    "End",
  ]);
  canvas.addEventListener("keydown", (event) => KEPT.has(event.code) && event.preventDefault());
  canvas.addEventListener("pointerdown", () => canvas.focus());
  canvas.addEventListener("contextmenu", (event) => event.preventDefault());

  // The SDL calls section's buttons (their clicks are taken below), and the page
  // opened as ?trace or ?what-if=<name>, run the traced twin instead: trace.js
  // loads only then.
  function trace(whatIf) {
    if (window.lessonTrace) return window.lessonTrace(whatIf);
    const script = document.createElement("script");
    script.src = "trace.js";
    script.onload = () => window.lessonTrace(whatIf);
    document.head.append(script);
  }
  const asked = /[?&](?:trace|what-if=([^&]*))/.exec(location.search);
  if (asked) trace(decodeURIComponent(asked[1] ?? ""));
  else run();

  // Each Copy button copies the source under it, exactly as the file holds it (the
  // line numbers are not text). Where the page is not a secure context the
  // clipboard API is missing, and the browser's own copy of a selection serves.
  function copySource(button) {
    const code = button.closest("section").querySelector(".code pre");
    // The button's visible word says what happened; its name goes on naming the file.
    const word = button.firstChild;
    const done = (ok) => {
      word.data = ok ? "Copied" : "Copy failed";
      setTimeout(() => (word.data = "Copy"), 2000);
    };
    if (navigator.clipboard && window.isSecureContext) {
      navigator.clipboard.writeText(code.textContent).then(
        () => done(true),
        () => done(false),
      );
      return;
    }
    const range = document.createRange();
    range.selectNodeContents(code);
    getSelection().removeAllRanges();
    getSelection().addRange(range);
    done(document.execCommand("copy"));
    getSelection().removeAllRanges();
  }
  // The SDL calls and the sources come after this script in the page, so their clicks
  // are taken here: a what-if's, a Copy or Edit button's, and one on a line's number
  // (drawn by the CSS in the line's left padding), which links to that line.
  document.addEventListener("click", (event) => {
    const whatIf = event.target.closest("#calls button[data-what-if]");
    if (whatIf) trace(whatIf.dataset.whatIf);
    const button = event.target.closest("button.copy");
    if (button) copySource(button);
    // Edit, beside the lesson's source, turns it into an editor: editor.js, only then.
    const edit = event.target.closest("button.edit");
    if (edit && !edit.disabled) {
      edit.disabled = true;
      const script = document.createElement("script");
      script.src = "editor.js";
      document.head.append(script);
    }
    const line = event.target.closest(".code pre > span[id]");
    if (line && event.clientX - line.getBoundingClientRect().left < parseFloat(getComputedStyle(line).paddingLeft)) {
      location.hash = line.id;
    }
  });
})();
