// Edit and run a lesson on its page: loaded only when the learner presses Edit
// (lesson.js), bundled by the web build with esbuild into editor.js, CodeMirror 6
// and jsdiff inside. The lesson's source view becomes an editor; Run sends the
// edited source to the server scripts/web.sh starts (web/edit.mjs), which compiles
// it against the page's own support library and SDL2, and runs the program it
// sends back in the page's window, as the lesson itself runs. Its messages are
// shown at their lines; what changed from the lesson's own source is shown below.
// The edit is kept in the browser (for this lesson, on this server) until Reset;
// Download saves it.
import { basicSetup, EditorView } from "codemirror";
import { cpp } from "@codemirror/lang-cpp";
import { HighlightStyle, syntaxHighlighting } from "@codemirror/language";
import { tags } from "@lezer/highlight";
import { setDiagnostics } from "@codemirror/lint";
import { structuredPatch } from "diff";

const section = document.getElementById("source");
const lesson = document.getElementById("calls")?.dataset.lesson ?? location.pathname.split("/").pop().replace(/\.html$/, "");
const file = `${lesson}.cpp`;
const shown = section.querySelector(".code");
const original = shown.querySelector("pre").textContent;
const kept = `lessons-edit:${lesson}`;

function element(tag, attributes = {}, ...children) {
  const made = document.createElement(tag);
  Object.assign(made, attributes);
  made.append(...children);
  return made;
}

const style = element("link", { rel: "stylesheet", href: "editor.css" });
document.head.append(style);

const run = element("button", { type: "button", className: "run", textContent: "Run", disabled: true });
const reset = element("button", { type: "button", textContent: "Reset" });
const download = element("button", { type: "button", textContent: "Download" });
const state = element("p", { className: "edit-state" });
state.setAttribute("role", "status");
const warning = element("p", { className: "edit-warning",
  textContent: "A lesson that never hands the page back to the browser (a loop without SDL_Delay) freezes this tab; " +
               "your edit is kept, and comes back when you reload the page." });
const messages = element("ul", { className: "edit-messages" });
const changes = element("div", { className: "code diff edit-diff" });
const tools = element("div", { className: "edit-tools" }, run, " ", reset, " ", download);
const place = element("div", { className: "editor" });
shown.hidden = true;
shown.after(tools, warning, place, state, messages,
            element("h3", { className: "edit-diff-title", textContent: `What you changed in ${file}` }), changes);

// What changed from the lesson's own source, in the page's diff view.
function showChanges(text) {
  const patch = structuredPatch(file, file, original, text, "", "", { context: 3 });
  changes.textContent = "";
  const pre = element("pre");
  let added = 0;
  let removed = 0;
  for (const hunk of patch.hunks) {
    pre.append(element("span", { className: "hunk", textContent:
      `@@ -${hunk.oldStart},${hunk.oldLines} +${hunk.newStart},${hunk.newLines} @@` }), "\n");
    let before = hunk.oldStart;
    let after = hunk.newStart;
    for (const line of hunk.lines) {
      const sign = line[0];
      const tag = sign === "+" ? "ins" : sign === "-" ? "del" : "span";
      const row = element(tag, { className: `row ${sign === "+" ? "added" : sign === "-" ? "removed" : "same"}` },
                          element("span", { className: "sign", textContent: sign }), line.slice(1));
      if (sign !== "+") row.dataset.old = before++;
      if (sign !== "-") row.dataset.new = after++;
      added += sign === "+";
      removed += sign === "-";
      pre.append(row, "\n");
    }
  }
  changes.append(patch.hunks.length ? pre : element("p", { textContent: "Nothing yet: this is the lesson as it is." }));
  changes.dataset.added = added;
  changes.dataset.removed = removed;
}

// The page's colours, light and dark (editor.css): each keeps a contrast of 4.5:1.
const colours = HighlightStyle.define([
  { tag: [tags.keyword, tags.modifier, tags.controlKeyword, tags.operatorKeyword], color: "var(--edit-keyword)" },
  { tag: [tags.typeName, tags.standard(tags.typeName)], color: "var(--edit-type)" },
  { tag: [tags.string, tags.character], color: "var(--edit-string)" },
  { tag: [tags.number, tags.bool, tags.null], color: "var(--edit-number)" },
  { tag: [tags.comment, tags.lineComment, tags.blockComment], color: "var(--edit-comment)", fontStyle: "italic" },
  { tag: [tags.processingInstruction, tags.macroName, tags.meta], color: "var(--edit-preprocessor)" },
  { tag: [tags.function(tags.variableName), tags.function(tags.propertyName)], color: "var(--edit-function)" },
  { tag: tags.invalid, color: "var(--removed-bar)" },
]);

let saving = 0;
const view = new EditorView({
  doc: localStorage.getItem(kept) ?? original,
  parent: place,
  extensions: [
    basicSetup,
    cpp(),
    syntaxHighlighting(colours),
    // The editable text is where a keyboard comes to it, and scrolls it.
    EditorView.contentAttributes.of({ "aria-label": `${file}, editable`, tabindex: "0" }),
    EditorView.updateListener.of((update) => {
      if (!update.docChanged) return;
      clearTimeout(saving);
      saving = setTimeout(() => {
        const text = view.state.doc.toString();
        if (text === original) localStorage.removeItem(kept);
        else localStorage.setItem(kept, text);
        showChanges(text);
      }, 200);
    }),
  ],
});
showChanges(view.state.doc.toString());
view.focus();

function goTo(line) {
  const at = view.state.doc.line(Math.min(Math.max(line, 1), view.state.doc.lines));
  view.dispatch({ selection: { anchor: at.from }, scrollIntoView: true });
  view.focus();
}

// The compiler's messages: in the editor at their lines, and listed, each a button
// to its line.
function showMessages(found) {
  const doc = view.state.doc;
  view.dispatch(setDiagnostics(view.state, found.map((message) => {
    const line = doc.line(Math.min(Math.max(message.line, 1), doc.lines));
    // From its column to the end of its line, or the whole line where the column
    // is its end (a missing ';').
    let from = Math.min(line.from + Math.max(message.column - 1, 0), line.to);
    if (from >= line.to) from = line.from;
    return { from, to: Math.max(from + 1, line.to), severity: message.severity, message: message.text };
  })));
  messages.textContent = "";
  for (const message of found) {
    const button = element("button", { type: "button", className: "to-line",
      textContent: `${file}:${message.line}:${message.column}: ${message.severity}: ${message.text}` });
    button.dataset.line = message.line;
    button.addEventListener("click", () => goTo(message.line));
    messages.append(element("li", { className: message.severity }, button));
  }
}

// Run is there only where the page's server compiles: web/edit.mjs answers
// "compile" beside the page; a static host does not.
fetch("compile")
  .then((response) => (response.ok ? response.json() : null))
  .catch(() => null)
  .then((answer) => {
    if (answer?.edit) {
      run.disabled = false;
      state.textContent = "Edit the lesson, then Run it.";
    } else {
      state.textContent = "Run needs the lessons' own server: run sh scripts/web.sh and open the URL it prints.";
    }
  });

function load(script) {
  return new Promise((done, failed) => {
    const url = URL.createObjectURL(new Blob([script], { type: "text/javascript" }));
    const tag = element("script", { src: url });
    tag.onload = () => done(window.createEditedLesson);
    tag.onerror = () => failed(new Error("the program could not be loaded"));
    document.head.append(tag);
  });
}

run.addEventListener("click", async () => {
  const source = view.state.doc.toString();
  const asked = performance.now();
  window.lessonEdited = { asked };
  state.textContent = "Compiling…";
  showMessages([]);
  let response;
  try {
    response = await fetch("compile", {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify({ lesson, source }),
    });
  } catch (error) {
    state.textContent = `The server could not be reached: ${error.message}`;
    return;
  }
  if (response.status === 409) return; // a newer Run is on its way
  // A program comes as the length of its JSON, the JSON, and its WebAssembly.
  let answer;
  let wasm = null;
  if (response.status === 200) {
    const body = await response.arrayBuffer();
    const length = new DataView(body).getUint32(0, true);
    answer = JSON.parse(new TextDecoder().decode(new Uint8Array(body, 4, length)));
    wasm = new Uint8Array(body, 4 + length);
  } else {
    answer = await response.json().catch(() => ({ why: `status ${response.status}` }));
  }
  showMessages(answer.messages ?? []);
  if (!answer.ok) {
    state.textContent = `It did not run: ${answer.why}.`;
    window.lessonEdited.failed = answer;
    return;
  }
  state.textContent = `Compiled in ${answer.compileMs} ms and linked in ${answer.linkMs} ms; running it.`;
  Object.assign(window.lessonEdited, { compileMs: answer.compileMs, linkMs: answer.linkMs, answered: performance.now() });
  const make = await load(answer.js);
  window.lessonPage.run({
    make,
    code: WebAssembly.compile(wasm),
    env: {},
    // Its data file is the lesson's own, byte for byte: the one the page has.
    locateFile: (path, prefix) => prefix + path.replace(/^edited\.data$/, `${lesson}.data`),
    printErr: () => {},
    ended() {},
  });
});

reset.addEventListener("click", () => {
  view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: original } });
  localStorage.removeItem(kept);
  showMessages([]);
});

download.addEventListener("click", () => {
  const link = element("a", {
    href: URL.createObjectURL(new Blob([view.state.doc.toString()], { type: "text/x-c++src" })),
    download: file,
  });
  link.click();
  URL.revokeObjectURL(link.href);
});

window.lessonEditor = { view, goTo };
