// Runs the web build of every lesson in Debian's Chromium and checks it the way the
// native tests do (tests/check/expectations.hpp, through lesson_check): the lines
// its page shows, the exit status, the picture drawn on the canvas and the hold,
// for a first run and for "Run again". Then what only a page has: the lesson's
// source and the support code it calls, shown exactly and linked; no request to
// any host but its own, served by the project's server and by Python's; a link to
// each line, a Copy button for each source, what changed since the previous lesson,
// no accessibility violation (axe-core) in light or dark colours; a gallery card
// for every lesson; and the page as the README shows it. And its SDL calls: the
// traced twin, loaded only when asked, lists the calls the native twin lists, the
// replay marks each one's line, and each what-if ends the lesson as that failure
// does everywhere else.
//   node test_web.mjs <checkout> <bin> <fixture bin> <missing image> <lesson_check> <scratch>
//                     <native bin>
// <fixture bin> is a build whose resources folder holds no file, with the tests'
// own programs (exit_after_delay); <missing image> is the file its lesson02 reads;
// <native bin> holds the native traced twins, <lesson>-trace.

import { spawn, spawnSync } from "node:child_process";
import { createRequire } from "node:module";
import { readdirSync, readFileSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { startEditing } from "../../web/edit.mjs";
import { serve } from "../../web/serve.mjs";

const [root, bin, fixtureBin, missingImage, lessonCheck, scratch, nativeBin] = process.argv.slice(2);
const lessons = readFileSync(join(bin, "..", "lessons.txt"), "utf8").split("\n").filter(Boolean);
// The web pages' npm packages, playwright-core and axe-core among them, are web/'s.
const require = createRequire(new URL("../../web/package.json", import.meta.url));
const { chromium } = require("playwright-core");
const axe = require.resolve("axe-core/axe.min.js");
const WIKI = "https://wiki.libsdl.org/SDL2/";
let failures = 0;
const fail = (what) => {
  failures += 1;
  console.log(`FAIL: ${what}`);
};

// Keeps the last picture SDL put on the lesson's canvas, and when: at the end
// SDL_DestroyWindow shrinks the canvas to nothing.
function watchCanvas() {
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    put.apply(this, args);
    const canvas = this.canvas;
    if (canvas.id === "canvas" && canvas.width > 0 && canvas.height > 0) {
      window.lastFrame = {
        at: performance.now(),
        image: this.getImageData(0, 0, canvas.width, canvas.height),
        title: document.title,
      };
    }
  };
}

// Opens a page, noting every request it makes, its errors and its console lines.
async function open(browser, url, viewport) {
  const page = await browser.newPage(viewport ? { viewport } : {});
  const seen = { page, requests: [], errors: [], messages: [] };
  page.on("request", (request) => seen.requests.push(request.url()));
  page.on("pageerror", (error) => seen.errors.push(String(error)));
  page.on("console", (message) => seen.messages.push({ text: message.text(), at: Date.now() }));
  await page.addInitScript(watchCanvas);
  await page.goto(url);
  return seen;
}

// Waits for the lesson on an open page to exit; returns what was seen of that run.
async function ran({ page, messages }) {
  await page.waitForFunction(() => window.lessonExit !== undefined, null, { timeout: 60000 });
  const seen = await page.evaluate(() => {
    let frame = null;
    if (window.lastFrame) {
      const { width, height, data } = window.lastFrame.image;
      let rgb = "";
      for (let i = 0; i < data.length; i += 4) {
        rgb += String.fromCharCode(data[i], data[i + 1], data[i + 2]);
      }
      frame = { width, height, at: window.lastFrame.at, title: window.lastFrame.title, rgb: btoa(rgb) };
    }
    return {
      output: document.getElementById("output").textContent,
      status: document.getElementById("status").textContent,
      closed: document.getElementById("closed").hidden ? "" : document.getElementById("closed-text").textContent,
      exit: window.lessonExit,
      frame,
    };
  });
  const lines = seen.output.split("\n").slice(0, -1);
  const exited = messages.findLast((m) => m.text.startsWith("exited with status"));
  const lastLine = lines.length ? messages.filter((m) => m.text === lines.at(-1)).at(-1) : null;
  return { ...seen, lines, leadMs: exited && lastLine ? exited.at - lastLine.at : null };
}

// Hands what was seen to lesson_check: "lesson <name>" or "load-failure-named <file>".
function check(name, seen, ...mode) {
  const base = join(scratch, name.replace(/\W+/g, "-"));
  writeFileSync(`${base}.out`, seen.lines.map((line) => line + "\n").join(""));
  const shown = /^exited with status (-?\d+)$/.exec(seen.status);
  if (!shown) fail(`${name}: the page says "${seen.status}", not "exited with status N"`);
  const args = [...mode, "--stdout", `${base}.out`, "--status", shown ? shown[1] : "-1"];
  if (seen.frame) {
    const { width, height, rgb } = seen.frame;
    writeFileSync(
      `${base}.ppm`,
      Buffer.concat([Buffer.from(`P6 ${width} ${height} 255\n`), Buffer.from(rgb, "base64")])
    );
    // Whole milliseconds, as the other platforms measure: the page's clock is coarsened.
    const hold = Math.round(seen.exit.at - seen.frame.at);
    args.push("--frame", `${base}.ppm`, "--hold-ms", String(hold));
  }
  if (seen.leadMs !== null) args.push("--lead-ms", String(seen.leadMs));
  const result = spawnSync(lessonCheck, args, { encoding: "utf8" });
  process.stdout.write(result.stdout.replace(/^ok: .*\n/, `ok: ${name}\n`) + result.stderr);
  if (result.status !== 0) failures += 1;
  // SDL gives the page its window's title while the window is open.
  if (seen.frame && seen.frame.title !== "SDL Tutorial") {
    fail(`${name}: the page's title during the run is "${seen.frame.title}"`);
  }
  if (!seen.closed) fail(`${name}: the page does not say that the window closed`);
}

// The problems with the sources a lesson's page shows: each exactly its file, every
// SDL name in them (outside strings) a link to its wiki page, every lesson:: call a
// link to a section of the page that shows that function.
async function checkSources(page, name) {
  const shown = await page.evaluate(() =>
    [...document.querySelectorAll("#source, .function")].map((section) => {
      const pre = section.querySelector(".code pre");
      // The text, and for each character the link it is in, if any.
      let text = "";
      const links = [];
      const walker = document.createTreeWalker(pre, NodeFilter.SHOW_TEXT);
      for (let node; (node = walker.nextNode()); ) {
        const link = node.parentElement.closest("a");
        text += node.data;
        for (let i = 0; i < node.data.length; i++) links.push(link ? link.getAttribute("href") : null);
      }
      const sections = [...document.querySelectorAll("section[id]")].map((s) => s.id);
      const file = section.id === "source" ? null : section.querySelector("h3 code:last-child").textContent;
      return { id: section.id, file, text, links, sections };
    })
  );
  const problems = [];
  for (const { id, file, text, links, sections } of shown) {
    const path = file ? join(root, file) : join(root, "lessons", `${name}.cpp`);
    if (text !== readFileSync(path, "utf8")) problems.push(`${id} does not show ${path} exactly`);
    // Blank out strings and character literals (not comments, which name SDL calls).
    const code = text.replace(/\/\/.*|\/\*[\s\S]*?\*\/|"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*'/g,
      (match) => (match.startsWith("/") ? match : " ".repeat(match.length)));
    for (const match of code.matchAll(/\bSDL_\w+/g)) {
      const href = links.slice(match.index, match.index + match[0].length);
      if (!href.every((h) => h === WIKI + match[0])) {
        problems.push(`${id}: ${match[0]} (at ${match.index}) is not a link to ${WIKI}${match[0]}`);
      }
    }
    for (const match of code.matchAll(/\blesson::(\w+)\s*\(/g)) {
      const at = match.index + "lesson::".length;
      const href = links[at];
      if (href !== `#lesson::${match[1]}` || !sections.includes(`lesson::${match[1]}`)) {
        problems.push(`${id}: lesson::${match[1]} links to ${href}, not to a section showing it`);
      }
    }
  }
  if (shown.length === 0 || shown[0].id !== "source") problems.push("shows no source");
  for (const problem of problems) fail(`${name}: ${problem}`);
  return shown.length;
}

// The accessibility violations axe-core finds on an open page, in light and in dark
// colours, as "<colours>: <rule> (<elements>)".
async function violations(page) {
  await page.addScriptTag({ path: axe });
  const found = [];
  for (const colorScheme of ["light", "dark"]) {
    await page.emulateMedia({ colorScheme });
    const seen = await page.evaluate(async () =>
      (await window.axe.run()).violations.map((v) => `${v.id} (${v.nodes.map((n) => n.target).join(", ")})`));
    found.push(...seen.map((v) => `${colorScheme}: ${v}`));
  }
  return found;
}

// What a lesson's page offers its reader, as problems: a link to each line that
// marks it, a Copy button that copies the file exactly, what changed since the
// previous lesson (each added and removed line marked by its sign and element, not
// colour alone, and together the whole change), and no accessibility violation.
async function checkReading(browser, url, name, previous) {
  const problems = [];
  const context = await browser.newContext({ permissions: ["clipboard-read", "clipboard-write"] });
  const page = await context.newPage();
  await page.goto(`${url}${name}.html#L12`);
  await page.waitForFunction(() => window.lessonExit !== undefined, null, { timeout: 60000 });
  const line = await page.evaluate(() => {
    const target = document.querySelector(":target");
    const at = target?.getBoundingClientRect();
    const box = document.querySelector("#source .code").getBoundingClientRect();
    return {
      id: target?.id,
      marked: target && getComputedStyle(target).backgroundColor !== getComputedStyle(target.nextElementSibling).backgroundColor,
      shown: at && at.top >= box.top && at.bottom <= box.bottom && at.top >= 0 && at.bottom <= innerHeight,
    };
  });
  if (line.id !== "L12" || !line.marked || !line.shown) {
    problems.push(`${name}.html#L12 shows and marks ${JSON.stringify(line)}, not line 12`);
  }
  await page.click("#L5", { position: { x: 8, y: 4 } }); // on its number
  const hash = await page.evaluate(() => location.hash);
  if (hash !== "#L5") problems.push(`clicking line 5's number links to "${hash}", not #L5`);

  for (const [section, file] of [["#source", join(root, "lessons", `${name}.cpp`)],
                                 [".function", null]]) {
    const button = page.locator(`${section} button.copy`).first();
    if (!(await button.count())) continue;
    const label = await button.getAttribute("data-file");
    const path = file ?? join(root, "lessons", "common", label);
    await button.click();
    await page.waitForFunction((b) => b.firstChild.data !== "Copy", await button.elementHandle());
    const copied = await page.evaluate(() => navigator.clipboard.readText());
    if (copied !== readFileSync(path, "utf8")) problems.push(`the Copy button of ${label} does not copy ${path} exactly`);
  }

  const rows = await page.evaluate(() =>
    [...document.querySelectorAll("#changes .row")].map((row) => ({
      kind: row.classList.contains("added") ? "+" : row.classList.contains("removed") ? "-" : " ",
      sign: row.querySelector(".sign").textContent,
      element: row.tagName,
      old: Number(row.dataset.old ?? 0),
      new: Number(row.dataset.new ?? 0),
      text: row.textContent.slice(1),
    })));
  if (!previous) {
    if (rows.length) problems.push("the first lesson shows changes since a lesson before it");
  } else {
    const before = readFileSync(join(root, "lessons", `${previous}.cpp`), "utf8").split("\n");
    const after = readFileSync(join(root, "lessons", `${name}.cpp`), "utf8").split("\n");
    const element = { "+": "INS", "-": "DEL", " ": "SPAN" };
    for (const row of rows) {
      if (row.sign !== row.kind || row.element !== element[row.kind]) {
        problems.push(`a changed line is marked "${row.sign}" in a ${row.element}, not "${row.kind}" in ${element[row.kind]}`);
      }
      if ((row.old && before[row.old - 1] !== row.text) || (row.new && after[row.new - 1] !== row.text)) {
        problems.push(`the change shows "${row.text}" as line ${row.old || row.new}, which it is not`);
      }
    }
    // Without what was added, the new source is the old without what was removed.
    const added = new Set(rows.filter((r) => r.kind === "+").map((r) => r.new));
    const removed = new Set(rows.filter((r) => r.kind === "-").map((r) => r.old));
    if (!rows.length || after.filter((_, i) => !added.has(i + 1)).join("\n") !==
                        before.filter((_, i) => !removed.has(i + 1)).join("\n")) {
      problems.push(`the changes shown are not the whole change from ${previous}.cpp`);
    }
  }
  problems.push(...(await violations(page)).map((v) => `accessibility: ${v}`));

  // The sources wait while the lesson starts: once it has run, on a page without
  // scripts, where nothing runs, and on one whose runner cannot be loaded, every
  // one of them shows.
  const hidden = () => [...document.querySelectorAll(".code")].filter((c) => !c.getClientRects().length).length;
  const noScripts = await browser.newContext({ javaScriptEnabled: false });
  const still = await noScripts.newPage();
  await still.goto(`${url}${name}.html`);
  const broken = await browser.newContext();
  const noRunner = await broken.newPage();
  await noRunner.route("**/lesson.js", (route) => route.abort());
  await noRunner.goto(`${url}${name}.html`);
  for (const [when, where] of [["once the lesson has run", page], ["without scripts", still],
                               ["when lesson.js cannot be loaded", noRunner]]) {
    const count = await where.evaluate(hidden);
    if (count) problems.push(`${count} source(s) stay hidden ${when}`);
  }
  await broken.close();
  await noScripts.close();
  await context.close();
  return problems;
}

// The calls of a trace, as (file:line, call, arguments), each pointer and pixel
// format aside: a page's surface has the format of the browser's canvas.
const TRACED = /^ *\d+ ms  ( *)(?:(\S+):(\d+)  )?(calloc|lesson::\w+|SDL_\w+)\((.*?)\)(?: -> |  made|$)/;
function calls(lines) {
  return lines
    .map((line) => TRACED.exec(line))
    .filter(Boolean)
    .map(([, indent, file, number, name, args]) =>
      `${indent}${file ?? ""}:${number ?? ""} ${name}(${args.replace(/0x[0-9a-f]+/gi, "<pointer>").replace(/SDL_PIXELFORMAT_\w+/g, "<format>")})`);
}

// What a lesson's SDL calls section does, as problems: on the page opened as
// ?trace, the calls the native twin makes, each linking to its line and, stepped
// through, marking it; each what-if, from its URL or its button, ending the lesson
// as lesson_check expects; an unknown what-if said so, with nothing run; no
// accessibility violation with the calls shown.
async function checkCalls(browser, url, name) {
  const problems = [];
  const native = spawnSync(join(nativeBin, `${name}-trace`), [], {
    encoding: "utf8",
    cwd: scratch,
    env: { ...process.env, SDL_VIDEODRIVER: "dummy" },
  });
  const expected = calls(native.stderr.split("\n"));
  const traced = await open(browser, `${url}${name}.html?trace`);
  const page = traced.page;
  await page.waitForFunction(() => window.lessonTraced !== undefined, null, { timeout: 60000 });
  const shown = calls(traced.messages.map((m) => m.text));
  if (!expected.length || shown.join("\n") !== expected.join("\n")) {
    problems.push(`?trace lists\n${shown.join("\n")}\ninstead of the native twin's\n${expected.join("\n")}`);
  }
  const items = await page.evaluate(() => [...document.querySelectorAll(".call-list li")].map((li) => ({
    line: li.dataset.line ?? null,
    href: li.querySelector("a")?.getAttribute("href"),
    exists: !li.dataset.line || !!document.getElementById(li.dataset.line),
  })));
  if (items.length !== expected.length) problems.push(`the list has ${items.length} items, the trace ${expected.length} calls`);
  for (const item of items.filter((i) => !i.line || !i.exists || i.href !== `#${i.line}`)) {
    problems.push(`a call's item links to ${item.href}, not to its line on the page (${item.line})`);
  }
  // The replay: Next through every call, then back with the keyboard.
  for (let step = 0; step < items.length; step++) {
    await page.click(".replay button[data-step='1']");
    const marked = await page.evaluate(() => ({
      current: [...document.querySelectorAll(".call-list li")].findIndex((li) => li.getAttribute("aria-current")),
      lines: [...document.querySelectorAll(".code .chosen")].map((line) => line.id),
    }));
    if (marked.current !== step || marked.lines.join() !== (items[step].line ?? "")) {
      problems.push(`step ${step + 1} marks call ${marked.current + 1} and the lines ${marked.lines}, not ${items[step].line}`);
      break;
    }
  }
  await page.focus(".call-list");
  await page.keyboard.press("ArrowUp");
  const back = await page.evaluate(() =>
    [...document.querySelectorAll(".call-list li")].findIndex((li) => li.getAttribute("aria-current")));
  if (back !== items.length - 2) problems.push(`ArrowUp on the list goes to call ${back + 1}, not ${items.length - 1}`);
  problems.push(...(await violations(page)).map((v) => `accessibility, calls shown: ${v}`));
  const elsewhere = traced.requests.filter((r) => !r.startsWith(url) && !/^(data|blob):/.test(r));
  if (elsewhere.length) problems.push(`?trace requests other hosts: ${elsewhere.join(", ")}`);

  // Each failure the lesson handles: the first through its button, the rest by URL.
  const whatIfs = await page.evaluate(() =>
    [...document.querySelectorAll("#calls button[data-what-if]")].map((b) => b.dataset.whatIf).filter(Boolean));
  const handled = readdirSync(join(root, "tests", "expected"))
    .filter((file) => file.startsWith(`${name}.`) && file !== `${name}.txt`)
    .map((file) => file.slice(name.length + 1, -".txt".length));
  if (whatIfs.sort().join() !== handled.sort().join()) problems.push(`the page offers the what-ifs ${whatIfs}, not ${handled}`);
  for (const [at, whatIf] of whatIfs.entries()) {
    let seen;
    if (at === 0) {
      await page.evaluate(() => (window.lessonExit = window.lastFrame = undefined));
      traced.messages.length = 0;
      await page.click(`#calls button[data-what-if="${whatIf}"]`);
      seen = traced;
    } else {
      seen = await open(browser, `${url}${name}.html?what-if=${whatIf}`);
    }
    const run = await ran(seen);
    check(`${name}, what if ${whatIf}`, run, "failure", `${name}.${whatIf}`);
    const marked = seen.messages.filter((m) => m.text.includes(`made to fail: what if ${whatIf}`));
    if (marked.length !== 1) problems.push(`what if ${whatIf}: the trace marks ${marked.length} calls as made to fail, not one`);
    if (seen !== traced) await seen.page.close();
  }
  await page.close();

  const unknown = await open(browser, `${url}${name}.html?what-if=no-such-failure`);
  await unknown.page.waitForTimeout(1500);
  const said = await unknown.page.evaluate(() => ({
    note: document.querySelector(".calls-note")?.textContent ?? "",
    ran: window.lessonExit !== undefined || document.getElementById("status").textContent !== "starting…",
  }));
  if (!said.note.includes("no-such-failure") || said.ran) {
    problems.push(`?what-if=no-such-failure says "${said.note}" and ${said.ran ? "runs" : "does not run"} the lesson`);
  }
  if (unknown.requests.some((r) => r.includes("-trace."))) problems.push("?what-if=no-such-failure fetched the traced twin");
  await unknown.page.close();
  return problems;
}

// A picture as lesson_check reads it (PPM), from an RGB function or, drawn in the
// browser, `png` (base64) at an offset on black.
function writePicture(file, width, height, rgb) {
  const pixels = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; i++) pixels.set(rgb(i % width, Math.floor(i / width)), i * 3);
  writeFileSync(file, Buffer.concat([Buffer.from(`P6 ${width} ${height} 255\n`), pixels]));
}
async function shiftedPicture(page, png, dx, dy) {
  const rgb = await page.evaluate(async ([png, dx, dy]) => {
    const bytes = Uint8Array.from(atob(png), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes], { type: "image/png" }));
    const canvas = new OffscreenCanvas(640, 480);
    const context = canvas.getContext("2d");
    context.fillStyle = "#000";
    context.fillRect(0, 0, 640, 480);
    context.drawImage(bitmap, dx, dy);
    const { data } = context.getImageData(0, 0, 640, 480);
    let text = "";
    for (let i = 0; i < data.length; i += 4) text += String.fromCharCode(data[i], data[i + 1], data[i + 2]);
    return btoa(text);
  }, [png, dx, dy]);
  return Buffer.from(rgb, "base64");
}

// Edit and run, as problems: on the pages web/edit.mjs serves, lesson01 with its
// colour changed shows that colour, lesson02 with its bitmap moved shows it there,
// each through lesson_check; a syntax error comes back at its line, in the editor
// and as a button to it; the edit is kept across a reload until Reset, and
// Download saves it; served otherwise, a page says how to run an edit.
async function checkEditing(browser) {
  const problems = [];
  const edited = async (name, change) => {
    const seen = await open(browser, `${editing.url}${name}.html`);
    await ran(seen);
    await seen.page.click("button.edit");
    await seen.page.waitForFunction(() => window.lessonEditor && !document.querySelector(".edit-tools .run").disabled,
                                    null, { timeout: 60000 });
    const warned = await seen.page.locator(".edit-warning").textContent();
    if (!/freezes this tab/.test(warned)) problems.push(`${name}: no warning of a lesson that never hands the page back`);
    const before = await seen.page.evaluate(() => window.lessonEditor.view.state.doc.toString());
    const after = change(before);
    await seen.page.evaluate((text) => {
      const view = window.lessonEditor.view;
      view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text } });
      window.lessonExit = window.lastFrame = undefined;
    }, after);
    await seen.page.click(".edit-tools .run");
    return { seen, before, after };
  };

  const colour = await edited("lesson01", (text) => text.replace("238, 118, 33", "33, 118, 238"));
  const blue = join(scratch, "lesson01-blue.ppm");
  writePicture(blue, 640, 480, () => [33, 118, 238]);
  check("lesson01, edited to blue", await ran(colour.seen), "lesson", "lesson01", "--screenshot", blue);
  const diff = await colour.seen.page.evaluate(() => {
    const changes = document.querySelector(".edit-diff");
    return { added: changes.dataset.added, removed: changes.dataset.removed, text: changes.textContent };
  });
  if (diff.added !== "1" || diff.removed !== "1" || !diff.text.includes("33, 118, 238")) {
    problems.push(`the change from lesson01.cpp shows ${diff.added} added and ${diff.removed} removed lines: ${diff.text.slice(0, 300)}`);
  }
  const [download] = await Promise.all([colour.seen.page.waitForEvent("download"), colour.seen.page.click(".edit-tools button:has-text('Download')")]);
  const saved = readFileSync(await download.path(), "utf8");
  if (download.suggestedFilename() !== "lesson01.cpp" || saved !== colour.after) {
    problems.push(`Download saves ${download.suggestedFilename()}, ${saved === colour.after ? "" : "not "}the edit`);
  }
  problems.push(...(await violations(colour.seen.page)).map((v) => `accessibility, editing: ${v}`));
  // Kept across a reload, until Reset.
  await colour.seen.page.reload();
  await colour.seen.page.click("button.edit");
  await colour.seen.page.waitForFunction(() => window.lessonEditor, null, { timeout: 60000 });
  const kept = await colour.seen.page.evaluate(() => window.lessonEditor.view.state.doc.toString());
  if (kept !== colour.after) problems.push("the edit was not kept across a reload");
  await colour.seen.page.click(".edit-tools button:has-text('Reset')");
  const reset = await colour.seen.page.evaluate(() => [window.lessonEditor.view.state.doc.toString(), localStorage.length]);
  if (reset[0] !== colour.before || reset[1] !== 0) problems.push("Reset does not bring back the lesson's own source");

  // A syntax error: its message at its line.
  const broken = await edited("lesson01", (text) => text.replace("SDL_Window* window = nullptr;", "SDL_Window* window = nullptr"));
  await broken.seen.page.waitForFunction(() => window.lessonEdited?.failed, null, { timeout: 60000 });
  const line = broken.after.split("\n").findIndex((l) => l.includes("SDL_Window* window = nullptr")) + 1;
  const said = await broken.seen.page.evaluate(() => ({
    buttons: [...document.querySelectorAll(".edit-messages .error button")].map((b) => Number(b.dataset.line)),
    marked: document.querySelectorAll(".cm-lintRange-error, .cm-lintPoint-error").length,
  }));
  const at = said.buttons.find((n) => n === line || n === line + 1);
  if (!at || !said.marked) {
    problems.push(`a missing ';' on line ${line}: errors at lines ${said.buttons}, ${said.marked} marked in the editor`);
  } else {
    await broken.seen.page.click(`.edit-messages .error button[data-line="${at}"]`);
    const cursor = await broken.seen.page.evaluate(() => {
      const { state } = window.lessonEditor.view;
      return state.doc.lineAt(state.selection.main.head).number;
    });
    if (cursor !== at) problems.push(`the message of line ${at} takes the cursor to line ${cursor}`);
  }
  await broken.seen.page.evaluate(() => localStorage.clear());
  await broken.seen.page.close();
  await colour.seen.page.close();

  // lesson02, its bitmap drawn 100 pixels right and 50 down.
  const moved = await edited("lesson02", (text) => text.replace(
    "SDL_BlitSurface(gHelloWorld, nullptr, gScreenSurface, nullptr);",
    "SDL_Rect at = {100, 50, 0, 0};\n            SDL_BlitSurface(gHelloWorld, nullptr, gScreenSurface, &at);"));
  const shifted = join(scratch, "lesson02-moved.ppm");
  const png = readFileSync(join(root, "docs", "screenshots", "lesson02.png")).toString("base64");
  const pixels = await shiftedPicture(moved.seen.page, png, 100, 50);
  writeFileSync(shifted, Buffer.concat([Buffer.from("P6 640 480 255\n"), pixels]));
  check("lesson02, edited to draw at (100, 50)", await ran(moved.seen), "lesson", "lesson02", "--screenshot", shifted);
  await moved.seen.page.evaluate(() => localStorage.clear());
  await moved.seen.page.close();

  // Served by a static host, a page can edit, but says how to run an edit.
  const still = await open(browser, `${python.url}lesson01.html`);
  await ran(still);
  await still.page.click("button.edit");
  await still.page.waitForFunction(() => document.querySelector(".edit-state")?.textContent.includes("web.sh"),
                                   null, { timeout: 60000 }).catch(() => {});
  const offered = await still.page.evaluate(() => ({
    run: document.querySelector(".edit-tools .run")?.disabled,
    said: document.querySelector(".edit-state")?.textContent ?? "",
  }));
  if (offered.run !== true || !offered.said.includes("sh scripts/web.sh")) {
    problems.push(`served by http.server, Edit offers Run (${!offered.run}) and says "${offered.said}"`);
  }
  await still.page.close();
  if (!problems.length) {
    console.log("ok: edit and run: a colour and a position changed and shown, a syntax error at its line, " +
                "kept across a reload until Reset, Download, no Run where the page is served otherwise");
  }
  return problems;
}

// Python's own static file server, on a free port; resolves to { url, stop }.
function pythonServer(folder) {
  const server = spawn("python3", ["-u", "-m", "http.server", "--bind", "127.0.0.1", "0"], {
    cwd: folder,
    stdio: ["ignore", "pipe", "ignore"],
  });
  return new Promise((done, failed) => {
    server.stdout.on("data", (data) => {
      const port = /port (\d+)/.exec(String(data));
      if (port) done({ url: `http://127.0.0.1:${port[1]}/`, stop: () => server.kill() });
    });
    server.on("exit", () => failed(new Error("python3 -m http.server did not start")));
  });
}

// The share of pixels that differ clearly between two PNG pictures (1 if their
// sizes differ), worked out by the browser, which decodes PNG itself.
async function difference(browser, a, b) {
  const page = await browser.newPage();
  const share = await page.evaluate(async ([a, b]) => {
    const pixels = async (base64) => {
      const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
      const bitmap = await createImageBitmap(new Blob([bytes], { type: "image/png" }));
      const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
      const context = canvas.getContext("2d");
      context.drawImage(bitmap, 0, 0);
      return context.getImageData(0, 0, bitmap.width, bitmap.height);
    };
    const [one, two] = [await pixels(a), await pixels(b)];
    if (one.width !== two.width || one.height !== two.height) return 1;
    let differing = 0;
    for (let i = 0; i < one.data.length; i += 4) {
      const most = Math.max(...[0, 1, 2].map((c) => Math.abs(one.data[i + c] - two.data[i + c])));
      if (most > 40) differing += 1;
    }
    return differing / (one.width * one.height);
  }, [a.toString("base64"), b.toString("base64")]);
  await page.close();
  return share;
}

const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium",
  args: [
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
  ],
});
const ours = await serve(bin);
// What the project's server answered, for "Run again" to show it downloads nothing.
const answered = [];
ours.server.on("request", (request, response) =>
  response.on("finish", () => answered.push({ path: request.url, status: response.statusCode })));
const python = await pythonServer(bin);
const fixture = await serve(fixtureBin);
const editing = await startEditing(join(bin, ".."));
try {
  for (const [server, url] of [["serve.mjs", ours.url], ["http.server", python.url]]) {
    console.log(`== Each lesson's page, served by ${server}`);
    for (const name of lessons) {
      const opened = await open(browser, `${url}${name}.html`);
      // While the lesson holds its picture the page's keys still work: Tab moves on.
      await opened.page.waitForFunction(() => window.lastFrame !== undefined, null, { timeout: 60000 });
      await opened.page.keyboard.press("Tab");
      const basics = await opened.page.evaluate(() => ({
        focus: document.activeElement.tagName,
        lang: document.documentElement.lang,
        canvas: document.getElementById("canvas").getAttribute("aria-label"),
      }));
      if (basics.focus !== "A") fail(`${name}: Tab while the lesson runs moves to ${basics.focus}, not a link`);
      if (!basics.lang || !basics.canvas) fail(`${name}: no lang (${basics.lang}) or canvas label`);
      check(name, await ran(opened), "lesson", name);
      const sections = await checkSources(opened.page, name);
      // The page runs the lesson again, as a new program, with the same result.
      await opened.page.evaluate(() => (window.lastFrame = undefined));
      const [requestsBefore, answeredBefore] = [opened.requests.length, answered.length];
      await opened.page.click("#again");
      check(`${name}, run again`, await ran(opened), "lesson", name);
      // The second run is made from the code compiled the first time, and the
      // project's server sends no file's body again: the browser keeps it.
      const code = opened.requests.slice(requestsBefore).filter((r) => /\.(js|wasm)$/.test(new URL(r).pathname));
      if (code.length) fail(`${name}: "Run again" fetched code again: ${code.join(", ")}`);
      if (server === "serve.mjs") {
        const sent = answered.slice(answeredBefore).filter((a) => a.status !== 304);
        if (sent.length) fail(`${name}: "Run again" downloaded ${sent.map((a) => `${a.path} (${a.status})`).join(", ")}`);
      }
      const elsewhere = opened.requests.filter((r) => !r.startsWith(url) && !/^(data|blob):/.test(r));
      if (elsewhere.length) fail(`${name}: requests to other hosts: ${elsewhere.join(", ")}`);
      const traced = opened.requests.filter((r) => /(-trace\.|trace\.(js|css))/.test(new URL(r).pathname));
      if (traced.length) fail(`${name}: the plain page fetched the traced twin unasked: ${traced.join(", ")}`);
      for (const error of opened.errors) fail(`${name}: error in the page: ${error}`);
      const previous = lessons[lessons.indexOf(name) - 1];
      const problems = await checkReading(browser, url, name, previous);
      for (const problem of problems) fail(`${name}: ${problem}`);
      if (server === "serve.mjs") {
        const traced = await checkCalls(browser, url, name);
        for (const problem of traced) fail(`${name}: ${problem}`);
        if (!traced.length) {
          console.log(`ok: ${name}: its SDL calls as the native twin lists them, each linked to its line and marked ` +
                      "step by step; its what-ifs; an unknown one refused; no accessibility violation");
        }
      }
      if (!problems.length) {
        console.log(`ok: ${name}: line links, Copy buttons, sources shown once it runs, without scripts and without lesson.js, ${previous ? `the change since ${previous}, ` : ""}` +
                    "no accessibility violation in light or dark colours");
      }
      console.log(`ok: ${name}: its source and ${sections - 1} support source(s) shown, ` +
                  `linked; ${opened.requests.length} requests, all to ${url}`);
      await opened.page.close();
    }

    // The gallery: a card for every lesson, its screenshot loaded.
    const gallery = await open(browser, url);
    await gallery.page.waitForLoadState("load");
    const cards = await gallery.page.evaluate(() =>
      [...document.querySelectorAll(".card")].map((card) => ({
        href: card.querySelector("h2 a").getAttribute("href"),
        title: card.querySelector("h2 a").textContent,
        teaches: card.querySelector(".teaches").textContent,
        thumbnail: card.querySelector("img").naturalWidth > 0 && card.querySelector("img").alt !== "",
      }))
    );
    const listed = cards.map((card) => card.href.replace(/\.html$/, ""));
    if (listed.join() !== lessons.join()) fail(`the gallery lists ${listed}, not ${lessons}`);
    for (const card of cards.filter((c) => !c.thumbnail)) fail(`the gallery's ${card.href} has no thumbnail`);
    const elsewhere = gallery.requests.filter((r) => !r.startsWith(url));
    if (elsewhere.length) fail(`the gallery requests other hosts: ${elsewhere.join(", ")}`);
    for (const violation of await violations(gallery.page)) fail(`the gallery: accessibility: ${violation}`);
    await gallery.page.close();
    console.log(`ok: the gallery lists ${lessons.length} lessons, each with its screenshot`);

    // The README's table says what each lesson teaches in the lesson's own words.
    const readme = readFileSync(join(root, "README.md"), "utf8").split("\n");
    for (const card of cards) {
      const source = `(lessons/${card.href.replace(/\.html$/, ".cpp")})`;
      const row = readme.find((line) => line.startsWith("|") && line.includes(source)) ?? "";
      if (!row.includes(card.title) || !row.includes(card.teaches)) {
        fail(`README.md's table does not give ${card.href}'s title and text as its source does`);
      }
    }
  }

  // The pages as the README and docs/ show them, at 1280x800: lesson02 with its
  // picture drawn, in light colours and in dark ones, and lesson01's SDL calls
  // section after a what-if run (no path in it, which differs from one checkout to
  // another).
  for (const [page, file, colorScheme, ready, element] of [
    ["lesson02.html", "page-lesson02", "light", () => window.lastFrame !== undefined, null],
    ["lesson02.html", "page-lesson02-dark", "dark", () => window.lastFrame !== undefined, null],
    ["lesson01.html?what-if=no-window", "page-calls", "light", () => window.lessonTraced !== undefined, "#calls"],
  ]) {
    const shot = await open(browser, `${ours.url}${page}`, { width: 1280, height: 800 });
    await shot.page.emulateMedia({ colorScheme });
    await shot.page.waitForFunction(ready, null, { timeout: 60000 });
    const picture = await (element ? shot.page.locator(element).screenshot() : shot.page.screenshot());
    await shot.page.close();
    const taken = join(dirname(bin), `${file}.png`);
    writeFileSync(taken, picture);
    const committed = join(root, "docs", "screenshots", `${file}.png`);
    let share = 1;
    try {
      share = await difference(browser, picture, readFileSync(committed));
    } catch {
      // no committed picture yet: the comparison below fails and says where one is
    }
    if (share > 0.02) {
      fail(`${page} in ${colorScheme} colours no longer looks like ${committed} (${(share * 100).toFixed(1)}% ` +
           `of its pixels differ): if that is meant, copy ${taken} over it`);
    } else {
      console.log(`ok: ${page} in ${colorScheme} colours looks as the docs show it ` +
                  `(${(share * 100).toFixed(2)}% of pixels differ)`);
    }
  }

  console.log("== Edit and run, on the pages web.sh serves");
  for (const problem of await checkEditing(browser)) fail(problem);

  console.log("== The tests' own programs");
  const missing = await open(browser, `${fixture.url}lesson02.html`);
  check("missing image", await ran(missing), "load-failure-named", missingImage);
  await missing.page.close();

  // A program that fails after sleeping must not be reported as a success.
  const late = await open(browser, `${fixture.url}exit_after_delay.html`);
  const lateRun = await ran(late);
  if (lateRun.status !== "exited with status 3") {
    fail(`a failure after a sleep shows "${lateRun.status}", not "exited with status 3"`);
  } else {
    console.log("ok: a failure after a sleep shows its status");
  }
  await late.page.close();

  // A program with no numbered heading, listed after the lessons, has no number.
  const fixtureGallery = await open(browser, fixture.url);
  const numbers = await fixtureGallery.page.evaluate(() =>
    [...document.querySelectorAll(".card")].map((card) => card.querySelector(".number")?.textContent)
  );
  if (numbers.length !== lessons.length + 1 || numbers.slice(0, -1).some((n) => !n) || numbers.at(-1)) {
    fail(`the gallery numbers its cards ${numbers.join(", ")}: only the lessons have numbers`);
  } else {
    console.log("ok: the gallery numbers only the lessons that have a number");
  }
  await fixtureGallery.page.close();
} finally {
  await browser.close();
  ours.server.close();
  fixture.server.close();
  editing.server.closeAllConnections();
  editing.server.close();
  python.stop();
}

console.log(failures ? `Web (Chromium): ${failures} check(s) failed` : "Web (Chromium): all checks passed");
process.exit(failures ? 1 : 0);
