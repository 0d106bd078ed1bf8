// Edit and run a lesson on its page: loaded only when the learner presses Edit
// (lesson.js), bundled by the web build with esbuild into editor.js, CodeMirror 6
// and jsdiff inside. The lesson's source view becomes an editor; Run compiles the
// edited source in the page itself, against the page's own support library and
// SDL2, and runs it in the lesson's window, in a sandboxed frame of its own
// (web/run/edit_run.mjs), as the lesson itself runs. Its messages are shown at
// their lines; what changed from the lesson's own source is shown below. The edit
// is kept in the browser (for this lesson, on this site) until Reset; Download
// saves it.
import { basicSetup, EditorView } from "codemirror";
import { cpp } from "@codemirror/lang-cpp";
import { HighlightStyle, syntaxHighlighting } from "@codemirror/language";
import { tags } from "@lezer/highlight";
import { setDiagnostics } from "@codemirror/lint";
import { structuredPatch } from "diff";
import { compile, prepare, run as runEdit, warm } from "../run/edit_run.mjs";

const section = document.getElementById("source");
const lesson =
  document.getElementById("calls")?.dataset.lesson ??
  location.pathname
    .split("/")
    .pop()
    .replace(/\.html$/, "");
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

const run = element("button", { type: "button", className: "run", textContent: "Run" });
const reset = element("button", { type: "button", textContent: "Reset" });
const download = element("button", { type: "button", textContent: "Download" });
const state = element("p", { className: "edit-state" });
state.setAttribute("role", "status");
const warning = element("p", {
  className: "edit-warning",
  textContent:
    "Run compiles your edit in this page and runs it in the lesson's window, walled off from the page. " +
    "One that does not hand the page back for 3 s (a loop without SDL_Delay, say) is stopped; your edit is kept.",
});
const messages = element("ul", { className: "edit-messages" });
const changes = element("div", { className: "code diff edit-diff" });
const tools = element("div", { className: "edit-tools" }, run, " ", reset, " ", download);
const place = element("div", { className: "editor" });
shown.hidden = true;
shown.after(
  tools,
  warning,
  place,
  state,
  messages,
  element("h3", { className: "edit-diff-title", textContent: `What you changed in ${file}` }),
  changes,
);

// What changed from the lesson's own source, in the page's diff view.
function showChanges(text) {
  const patch = structuredPatch(file, file, original, text, "", "", { context: 3 });
  changes.textContent = "";
  const pre = element("pre");
  let added = 0;
  let removed = 0;
  for (const hunk of patch.hunks) {
    pre.append(
      element("span", {
        className: "hunk",
        textContent: `@@ -${hunk.oldStart},${hunk.oldLines} +${hunk.newStart},${hunk.newLines} @@`,
      }),
      "\n",
    );
    let before = hunk.oldStart;
    let after = hunk.newStart;
    for (const line of hunk.lines) {
      const sign = line[0];
      const tag = sign === "+" ? "ins" : sign === "-" ? "del" : "span";
      const row = element(
        tag,
        { className: `row ${sign === "+" ? "added" : sign === "-" ? "removed" : "same"}` },
        element("span", { className: "sign", textContent: sign }),
        line.slice(1),
      );
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
// The compiler's messages: those about the edit in the editor at their lines, and
// all of them listed, each about the edit a button to its line; one about a header
// it includes (SDL.h, say) names that header.
function showMessages(found) {
  const doc = view.state.doc;
  const ours = found.filter((message) => message.file === file);
  view.dispatch(
    setDiagnostics(
      view.state,
      ours.map((message) => {
        const line = doc.line(Math.min(Math.max(message.line, 1), doc.lines));
        // From its column to the end of its line, or the whole line where the column
        // is its end (a missing ';').
        let from = Math.min(line.from + Math.max(message.column - 1, 0), line.to);
        if (from >= line.to) from = line.from;
        return { from, to: Math.max(from + 1, line.to), severity: message.severity, message: message.text };
      }),
    ),
  );
  messages.textContent = "";
  for (const message of found) {
    const text = `${message.file}:${message.line}:${message.column}: ${message.severity}: ${message.text}`;
    if (message.file !== file) {
      messages.append(element("li", { className: `${message.severity} in-header` }, text));
      continue;
    }
    const button = element("button", { type: "button", className: "to-line", textContent: text });
    button.dataset.line = message.line;
    button.addEventListener("click", () => goTo(message.line));
    messages.append(element("li", { className: message.severity }, button));
  }
}

state.textContent = "Edit the lesson, then Run it.";
window.lessonEdit = { run: runEdit };

// Compiles the edit; resolves to the compiler's answer, its messages shown. The
// first Run loads the compiler (some megabytes, once: the browser keeps them).
async function compiled(traced) {
  const source = view.state.doc.toString();
  showMessages([]);
  if (!window.lessonEdited?.prepared) {
    state.textContent = "Loading the compiler (the first Run only)…";
    const ready = await prepare();
    warm();
    if (!ready.ok) {
      state.textContent = `It did not run: ${ready.why}.`;
      return ready;
    }
  }
  state.textContent = "Compiling…";
  const answer = await compile(lesson, source, traced);
  if (answer.superseded) return answer;
  showMessages(answer.messages ?? []);
  Object.assign(window.lessonEdited, { prepared: true, answered: performance.now(), ms: answer.ms });
  if (!answer.ok) {
    state.textContent = `It did not run: ${answer.why}.`;
    window.lessonEdited.failed = answer;
    return answer;
  }
  const { compile: c, link, instrument } = answer.ms;
  state.textContent = `Compiled in ${c} ms, linked in ${link + instrument} ms; running it.`;
  return answer;
}

// Runs the edit in the lesson's window, as trace.js runs the traced twin: with
// `env` (a what-if, the trace's format), its standard error to `printErr`. The
// program it runs in has the support library traced, silent unless asked.
async function runIt({
  traced = false,
  env = { LESSONS_TRACE_FORMAT: "none" },
  printErr = () => {},
  ended = () => {},
} = {}) {
  window.lessonEdited = { asked: performance.now(), prepared: window.lessonEdited?.prepared };
  const answer = await compiled(traced);
  if (!answer.ok) return false;
  window.lessonPage.run({ edit: true, wasm: answer.wasm, env, printErr, ended });
  return true;
}

run.addEventListener("click", () => runIt());

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

// For the SDL calls section (trace.js): whether there is an edit to trace, and a
// traced run of it.
window.lessonEditor = {
  view,
  goTo,
  edited: () => view.state.doc.toString() !== original,
  trace: (options) => runIt({ traced: true, ...options }),
};
