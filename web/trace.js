// The SDL calls section of a lesson's page, loaded only when the learner asks for
// it (lesson.js): runs the lesson's traced twin, <lesson>-trace, in the page's
// window (or, where the learner has edited the lesson, the edit, traced) and lists
// each call it makes as its trace record arrives (a line of JSON on the program's
// standard error: see tools/trace/trace.cpp). Each item links to the call's line in
// the sources on the page and to the call's reference. After the run, Previous and
// Next (or the arrow keys on the list) step through the calls, marking each one's
// line: a replay. A what-if button runs it again meeting that failure
// (LESSONS_WHAT_IF), as SDL would make it.
"use strict";
(function () {
  const section = document.getElementById("calls");
  const lesson = section.dataset.lesson;
  const files = JSON.parse(section.dataset.files); // file -> the prefix of its lines' ids
  const WIKI = "https://wiki.libsdl.org/SDL2/";

  const style = document.createElement("link");
  style.rel = "stylesheet";
  style.href = "trace.css";
  document.head.append(style);

  const note = document.createElement("p");
  note.className = "calls-note";
  note.setAttribute("role", "status");
  const list = document.createElement("ol");
  list.className = "call-list";
  list.tabIndex = 0;
  list.setAttribute("aria-label", "The SDL calls of the last run, in order");
  const replay = document.createElement("p");
  replay.className = "replay";
  replay.hidden = true;
  replay.innerHTML =
    '<button type="button" data-step="-1">Previous call</button> ' +
    '<button type="button" data-step="1">Next call</button> <span class="step"></span>';
  section.append(note, list, replay);
  const stepText = replay.querySelector(".step");

  let traced = null; // the traced twin's factory and compiled code, once loaded
  let chosen = -1;

  function load() {
    if (traced) return traced;
    const code = WebAssembly.compileStreaming(fetch(`${lesson}-trace.wasm`)).catch(() =>
      fetch(`${lesson}-trace.wasm`)
        .then((response) => response.arrayBuffer())
        .then(WebAssembly.compile),
    );
    traced = new Promise((done, failed) => {
      const script = document.createElement("script");
      script.src = `${lesson}-trace.js`;
      script.onload = () => done(window.createTracedLesson);
      script.onerror = () => failed(new Error(`${lesson}-trace.js could not be loaded`));
      document.head.append(script);
    }).then((make) => ({ make, code }));
    return traced;
  }

  function link(href, text, external) {
    const a = document.createElement("a");
    a.href = href;
    a.textContent = text;
    if (external) {
      a.target = "_blank";
      a.rel = "noopener";
    }
    return a;
  }

  function span(className, text) {
    const made = document.createElement("span");
    made.className = className;
    made.textContent = text;
    return made;
  }

  // One record of the trace: a call, a what-if's, or frames that repeat the calls
  // of the frame before them.
  function add(line) {
    let record;
    try {
      record = JSON.parse(line);
    } catch {
      return; // not a record: something else the program wrote
    }
    if (record.what_if) {
      note.textContent = record.unmade
        ? `what if ${record.what_if}: this run made no such call, so nothing failed`
        : `what if ${record.what_if}: ${record.meaning} (${record.call} fails)`;
      return;
    }
    const item = document.createElement("li");
    if (record.repeat) {
      const [first, last] = record.repeat;
      item.className = "repeat";
      item.append(
        span("time", `${record.ms[0]} ms`),
        " ",
        first === last ? `frame ${first} repeats these calls` : `frames ${first}–${last} repeat these calls`,
        `, until ${record.ms[1]} ms`,
      );
      list.append(item);
      return;
    }
    item.style.setProperty("--depth", record.depth);
    item.append(span("time", `${record.ms} ms`), " ");
    if (record.file && files[record.file]) {
      item.dataset.line = `${files[record.file]}${record.line}`;
      item.append(link(`#${item.dataset.line}`, `${record.file}:${record.line}`), " ");
    } else if (record.file) {
      item.append(`${record.file}:${record.line} `);
    }
    const call = document.createElement("code");
    const name = record.call;
    if (name.startsWith("SDL_")) call.append(link(WIKI + name, name, true));
    else if (name.startsWith("lesson::")) call.append(link(`#${name}`, name));
    else call.append(name);
    call.append(`(${record.args.join(", ")})`);
    item.append(call);
    if ("result" in record) item.append(span("result", ` → ${record.result}`));
    if ("error" in record) item.append(span("error", ` SDL_GetError(): "${record.error}"`));
    if (record.failed) item.append(span("failed", ` made to fail: what if ${record.failed}`));
    list.append(item);
  }

  // Marks call `at` and its line, as a step of the replay.
  function choose(at) {
    const items = list.children;
    if (!items.length) return;
    chosen = Math.max(0, Math.min(items.length - 1, at));
    for (const marked of document.querySelectorAll(".chosen")) marked.classList.remove("chosen");
    for (const item of items) item.removeAttribute("aria-current");
    const item = items[chosen];
    item.setAttribute("aria-current", "step");
    item.scrollIntoView({ block: "nearest" });
    const line = item.dataset.line && document.getElementById(item.dataset.line);
    if (line) {
      line.classList.add("chosen");
      line.scrollIntoView({ block: "nearest" });
    }
    stepText.textContent = `call ${chosen + 1} of ${items.length}`;
  }

  replay.addEventListener("click", (event) => {
    const button = event.target.closest("button[data-step]");
    if (button) choose(chosen + Number(button.dataset.step));
  });
  list.addEventListener("keydown", (event) => {
    const step = { ArrowDown: 1, ArrowRight: 1, ArrowUp: -1, ArrowLeft: -1 }[event.key];
    if (step) choose(chosen + step);
    else if (event.key === "Home") choose(0);
    else if (event.key === "End") choose(list.children.length - 1);
    else return;
    event.preventDefault();
  });
  list.addEventListener("click", (event) => {
    const item = event.target.closest("li");
    if (item && !event.target.closest("a")) choose([...list.children].indexOf(item));
  });

  window.lessonTrace = function (whatIf) {
    const known = [...section.querySelectorAll("button[data-what-if]")].map((b) => b.dataset.whatIf);
    if (!known.includes(whatIf)) {
      note.textContent = `There is no what-if "${whatIf}" for ${lesson}; it has: ${known.filter(Boolean).join(", ")}.`;
      document.documentElement.classList.remove("waiting");
      return;
    }
    history.replaceState(null, "", (whatIf ? `?what-if=${whatIf}` : "?trace") + location.hash);
    list.textContent = "";
    replay.hidden = true;
    chosen = -1;
    const edited = window.lessonEditor?.edited();
    const what = edited ? `your edit of ${lesson}` : lesson;
    note.textContent = whatIf ? `Running ${what}, what if ${whatIf}…` : `Running ${what}, traced…`;
    const env = { LESSONS_WHAT_IF: whatIf, LESSONS_TRACE_FORMAT: "json" };
    const ended = () => {
      replay.hidden = !list.children.length;
      if (!whatIf) note.textContent = `${list.children.length} calls. Step through them:`;
      window.lessonTraced = { calls: list.children.length };
    };
    if (edited) {
      window.lessonEditor.trace({ env, printErr: add, ended }).then((ran) => {
        if (!ran) note.textContent = `Your edit of ${lesson} did not compile: see the messages under it.`;
      });
      return;
    }
    load().then(
      ({ make, code }) =>
        window.lessonPage.run({
          make,
          code,
          env,
          // Its data file is the lesson's own, byte for byte: the one already fetched.
          locateFile: (path, prefix) => prefix + path.replace(/-trace\.data$/, ".data"),
          printErr: add,
          ended,
        }),
      (error) => (note.textContent = `The traced lesson could not be loaded: ${error.message}`),
    );
  };
})();
