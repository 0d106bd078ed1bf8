// The SDL calls section of a lesson's page, loaded only when the learner asks for
// it (lesson.js): runs the lesson's traced twin, <lesson>-trace, in the page's
// window and lists each call it makes as its trace line arrives (on the program's
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
  // "  31 ms    init_surface.cpp:28  SDL_CreateWindow(...) -> 0x55d0..."
  const ENTRY = /^ *(\d+) ms  ( *)(?:(\S+):(\d+)  )?(calloc|lesson::\w+|SDL_\w+)\((.*)$/;

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
      fetch(`${lesson}-trace.wasm`).then((response) => response.arrayBuffer()).then(WebAssembly.compile));
    traced = new Promise((done, failed) => {
      const script = document.createElement("script");
      script.src = `${lesson}-trace.js`;
      script.onload = () => done(window.createTracedLesson);
      script.onerror = () => failed(new Error(`${lesson}-trace.js could not be loaded`));
      document.head.append(script);
    }).then((make) => ({ make, code }));
    return traced;
  }

  // The call's arguments, up to its closing parenthesis, and the rest of the line.
  function split(text) {
    let depth = 1;
    let quoted = false;
    for (let i = 0; i < text.length; i++) {
      const c = text[i];
      if (quoted) {
        if (c === "\\") i++;
        else if (c === '"') quoted = false;
      } else if (c === '"') quoted = true;
      else if (c === "(") depth++;
      else if (c === ")" && --depth === 0) return [text.slice(0, i), text.slice(i + 1)];
    }
    return [text, ""];
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

  function add(line) {
    const entry = ENTRY.exec(line);
    if (!entry) {
      if (line.startsWith("what if ")) note.textContent = line;
      return;
    }
    const [, ms, indent, file, number, name, rest] = entry;
    const [args, after] = split(rest);
    const item = document.createElement("li");
    item.style.setProperty("--depth", indent.length / 2);
    const time = document.createElement("span");
    time.className = "time";
    time.textContent = `${ms} ms`;
    item.append(time, " ");
    if (file && files[file]) {
      item.dataset.line = `${files[file]}${number}`;
      item.append(link(`#${item.dataset.line}`, `${file}:${number}`), " ");
    } else if (file) {
      item.append(`${file}:${number} `);
    }
    const call = document.createElement("code");
    if (name.startsWith("SDL_")) call.append(link(WIKI + name, name, true));
    else if (name.startsWith("lesson::")) call.append(link(`#${name}`, name));
    else call.append(name);
    call.append(`(${args})`);
    item.append(call);
    const [result, ...notes] = after.replace(/^ -> /, "").split("  ");
    if (after.startsWith(" -> ")) {
      const returned = document.createElement("span");
      returned.className = "result";
      returned.textContent = ` → ${result}`;
      item.append(returned);
    }
    for (const text of notes) {
      const more = document.createElement("span");
      more.className = text.startsWith("made to fail") ? "failed" : "error";
      more.textContent = ` ${text}`;
      item.append(more);
    }
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
    note.textContent = whatIf ? `Running ${lesson}, what if ${whatIf}…` : `Running ${lesson}, traced…`;
    load().then(
      ({ make, code }) =>
        window.lessonPage.run({
          make,
          code,
          env: { LESSONS_WHAT_IF: whatIf },
          // Its data file is the lesson's own, byte for byte: the one already fetched.
          locateFile: (path, prefix) => prefix + path.replace(/-trace\.data$/, ".data"),
          printErr: add,
          ended() {
            replay.hidden = !list.children.length;
            if (!whatIf) note.textContent = `${list.children.length} calls. Step through them:`;
            window.lessonTraced = { calls: list.children.length };
          },
        }),
      (error) => (note.textContent = `The traced lesson could not be loaded: ${error.message}`)
    );
  };
})();
