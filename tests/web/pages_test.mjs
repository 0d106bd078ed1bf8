// The lessons' pages in Debian's three browser engines (tools/browsers.mjs), each
// check a test of its own, reported on its own: one that fails leaves the rest to
// run. A lesson is checked as everywhere else (tools/check/, through lesson_check):
// the lines its page shows, its exit status, the picture it draws first and, by its
// kind, its hold or its end when the page's Stop closes its window. Then its SDL
// calls and what-ifs, and an edit of it, compiled and run in the page. In Chromium,
// what only a page has: its sources shown exactly and linked, its line links, Copy,
// the change since the previous lesson, no accessibility violation, the gallery,
// the pages as the docs show them, and what an edit must not reach.
//   node --test tests/web/pages_test.mjs
// with, in the environment (scripts/test_web.sh sets them): LESSONS_ROOT, the
// checkout; LESSONS_WEB_BIN, the built pages; LESSONS_WEB_FIXTURE_BIN, a build whose resources folder holds no
// file, with the tests' own programs and example lessons; LESSONS_CHECK, lesson_check;
// LESSONS_NATIVE_BIN, the native traced twins; LESSONS_SCRATCH, a folder to write
// in; LESSONS_ENGINES, the engines (default: all three).

import assert from "node:assert/strict";
import { spawn, spawnSync } from "node:child_process";
import { readFileSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join } from "node:path";
import { after, before, describe, test } from "node:test";
import { ENGINES, launch } from "../../tools/browsers.mjs";
import { lessonsOf } from "../../tools/lessons_table.mjs";
import { serve } from "../../web/serve.mjs";

const env = process.env;
const root = env.LESSONS_ROOT;
const bin = env.LESSONS_WEB_BIN;
const fixtureBin = env.LESSONS_WEB_FIXTURE_BIN;
const scratch = env.LESSONS_SCRATCH;
const engines = (env.LESSONS_ENGINES || ENGINES.join(" ")).split(/\s+/).filter(Boolean);
const require = createRequire(new URL("../../web/package.json", import.meta.url));
const axe = readFileSync(require.resolve("axe-core/axe.min.js"), "utf8");
const WIKI = "https://wiki.libsdl.org/SDL2/";

const lessons = lessonsOf(bin);
const has = (name) => lessons.some((lesson) => lesson.name === name);

// Run in a page before its own scripts (where the engine's driver can; else once it
// has loaded): keeps the first and the last picture SDL puts on the lesson's canvas,
// and when, and how many.
function watchCanvas() {
  const keep = (canvas) => {
    if (canvas.id !== "canvas" || !canvas.width || !canvas.height) return;
    const image = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height);
    const frame = { at: performance.now(), image, title: document.title };
    window.firstFrame ??= frame;
    window.lastFrame = frame;
    window.frames = (window.frames ?? 0) + 1;
  };
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    put.apply(this, args);
    keep(this.canvas);
  };
  // Where the page had drawn already (WebKitGTK's driver runs this after loading).
  const canvas = document.getElementById("canvas");
  if (canvas?.width && window.lessonExit === undefined) keep(canvas);
}

// A picture of the page, as lesson_check reads it (PPM).
function ppm(file, width, height, rgba) {
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; i++) rgb.set(rgba.subarray(i * 4, i * 4 + 3), i * 3);
  writeFileSync(file, Buffer.concat([Buffer.from(`P6 ${width} ${height} 255\n`), rgb]));
}

// Waits for the run of a lesson (or an edit) on an open page to end, closing its
// window with the page's Stop if it runs until closed; returns what was seen.
async function ran(page, { kind = "holds", edit = false } = {}) {
  let closedAt = null;
  if (kind === "until-closed") {
    await page.waitFor((edit) => (edit ? window.lessonEdited?.frames : window.firstFrame), edit);
    await new Promise((done) => setTimeout(done, 500));
    closedAt = await page.evaluate(() => performance.now());
    await page.click("#stop");
  }
  await page.waitFor(() => window.lessonExit !== undefined);
  // Where the watch began after the page's scripts, its first picture may be the
  // window before the lesson drew: the last one is what the lesson shows.
  return page.evaluate(
    (closedAt, edit, late) => {
      const seen = edit ? window.lessonEdited?.picture : (late ? window.lastFrame : window.firstFrame)?.image;
      const at = edit ? window.lessonEdited?.firstFrameAt : window.lastFrame?.at;
      const pixels = seen ? new Uint8Array(seen.pixels ?? seen.data.buffer) : null;
      const base64 = (bytes) => {
        let text = "";
        for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
        return btoa(text);
      };
      return {
        lines: document.getElementById("output").textContent.split("\n").slice(0, -1),
        status: document.getElementById("status").textContent,
        closed: document.getElementById("closed").hidden ? "" : document.getElementById("closed-text").textContent,
        title: edit ? "SDL Tutorial" : window.firstFrame?.title,
        exit: window.lessonExit,
        // In base64: a drivers' protocol carries a string far faster than an array.
        frame: seen ? { width: seen.width, height: seen.height, rgba: base64(pixels) } : null,
        holdMs: at !== undefined && window.lessonExit?.at ? window.lessonExit.at - at : null,
        closedMs: closedAt !== null ? window.lessonExit.at - closedAt : null,
      };
    },
    closedAt,
    edit,
    !page.early,
  );
}

// lesson_check's verdict on what was seen: "lesson <name>", "failure <name>.<what-if>"
// or "load-failure-named <file>"; fails the test with its words.
let checked = 0;
function check(seen, mode, subject, { lessonsTable, hold = true, extra = [] } = {}) {
  const base = join(scratch, `seen-${++checked}`);
  writeFileSync(`${base}.out`, seen.lines.map((line) => line + "\n").join(""));
  const shown = /^exited with status (-?\d+)$/.exec(seen.status);
  assert.ok(shown, `the page says "${seen.status}", not "exited with status N"`);
  const args = [mode, subject, "--stdout", `${base}.out`, "--status", shown[1], ...extra];
  if (seen.frame) {
    ppm(`${base}.ppm`, seen.frame.width, seen.frame.height, Buffer.from(seen.frame.rgba, "base64"));
    args.push("--frame", `${base}.ppm`);
    // Whole milliseconds, as the other platforms measure: the page's clock is coarsened.
    if (hold && seen.holdMs !== null) args.push("--hold-ms", String(Math.round(seen.holdMs)));
  }
  if (seen.closedMs !== null) args.push("--closed-ms", String(Math.round(seen.closedMs)));
  if (lessonsTable) args.push("--lessons", lessonsTable);
  const verdict = spawnSync(env.LESSONS_CHECK, args, { encoding: "utf8" });
  assert.equal(verdict.status, 0, verdict.stdout + verdict.stderr);
  if (mode === "lesson") assert.ok(seen.closed, "the page does not say that the window closed");
}

// A picture of 640x480 as lesson_check reads it, drawn from `pixel(x, y)`.
function picture(file, pixel) {
  const rgba = new Uint8Array(640 * 480 * 4);
  for (let i = 0; i < 640 * 480; i++) rgba.set([...pixel(i % 640, Math.floor(i / 640)), 255], i * 4);
  ppm(file, 640, 480, rgba);
  return file;
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

// The text in the lesson's editor replaced by `change(the lesson's own source)`
// (not by a change of what an earlier test left there); resolves to the text.
async function edit(page, change) {
  if (!(await page.evaluate(() => !!window.lessonEditor))) {
    await page.click("button.edit");
    await page.waitFor(() => window.lessonEditor);
  }
  const text = change(await page.evaluate(() => document.querySelector("#source .code pre").textContent));
  await page.evaluate((text) => {
    const view = window.lessonEditor.view;
    view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text } });
  }, text);
  return text;
}

// Run pressed; resolves to what the page saw of the edit's run, or of its failure.
async function runEdit(page, kind = "holds") {
  await page.evaluate(() => (window.lessonExit = undefined));
  await page.click(".edit-tools .run");
  await page.waitFor(() => window.lessonExit !== undefined || window.lessonEdited?.failed);
  const failed = await page.evaluate(() => window.lessonEdited?.failed ?? null);
  return failed ? { failed } : ran(page, { kind, edit: true });
}

let ours, fixture;
before(async () => {
  ours = await serve(bin);
  fixture = await serve(fixtureBin);
});
after(() => {
  ours.server.closeAllConnections();
  ours.server.close();
  fixture.server.closeAllConnections();
  fixture.server.close();
});

for (const engine of engines) {
  describe(engine, () => {
    let browser;
    const chromium = engine === "chromium";
    before(async () => (browser = await launch(engine)));
    after(() => browser?.close());
    const open = (url, options = {}) => browser.open(url, { before: watchCanvas, ...options });

    for (const { name, kind } of lessons) {
      test(`${name} runs on its page as it does everywhere else, and again`, async () => {
        const page = await open(`${ours.url}${name}.html`);
        try {
          const seen = await ran(page, { kind });
          check(seen, "lesson", name, { hold: page.early });
          // SDL gives the page its window's title while the window is open.
          if (page.early) assert.equal(seen.title, "SDL Tutorial");
          assert.deepEqual(page.errors, []);
          const elsewhere = page.requests.filter((r) => !r.startsWith(ours.url) && !/^(data|blob):/.test(r));
          assert.deepEqual(elsewhere, [], "requests to other hosts");
          const unasked = page.requests.filter((r) => /-trace\.|trace\.js|editor\.|\/run\//.test(r));
          assert.deepEqual(unasked, [], "the plain page fetched what only a trace or an edit needs");
          // The page runs the lesson again, as a new program, from the code it has.
          const before = page.requests.length;
          await page.evaluate(() => (window.firstFrame = window.lastFrame = undefined));
          await page.click("#again");
          check(await ran(page, { kind }), "lesson", name, { hold: page.early });
          const fetched = page.requests.slice(before).filter((r) => /\.(js|wasm)$/.test(new URL(r).pathname));
          assert.deepEqual(fetched, [], '"Run again" fetched code again');
        } finally {
          await page.close();
        }
      });

      test(`${name}: its SDL calls, and what if each failure it handles`, async () => {
        const page = await open(`${ours.url}${name}.html?trace`);
        try {
          await page.waitFor(() => window.lessonTraced !== undefined);
          const items = await page.evaluate(() =>
            [...document.querySelectorAll(".call-list li")].map((li) => ({
              line: li.dataset.line ?? null,
              href: li.querySelector("a")?.getAttribute("href"),
              exists: !li.dataset.line || !!document.getElementById(li.dataset.line),
              text: li.textContent,
            })),
          );
          // As many calls as the native twin makes, each linked to its line.
          const native = spawnSync(join(env.LESSONS_NATIVE_BIN, `${name}-trace`), [], {
            encoding: "utf8",
            cwd: scratch,
            env: { ...env, SDL_VIDEODRIVER: "dummy", LESSONS_TRACE_FORMAT: "json" },
          });
          // Its data are at /resources/ on the web, in the checkout natively.
          const expected = native.stderr
            .split("\n")
            .filter((line) => line.startsWith('{"ms"'))
            .map((line) => JSON.parse(line.replaceAll(`${root}/resources/`, "/resources/")));
          assert.ok(expected.length, `the native twin traced nothing: ${native.stderr}`);
          assert.deepEqual(
            items.map((item) =>
              item.text
                .replace(/^\d+ ms /, "")
                .replace(/0x[0-9a-f]+/gi, "<p>")
                .replace(/SDL_PIXELFORMAT_\w+/g, "<f>"),
            ),
            expected.map((call) =>
              `${call.file}:${call.line} ${call.call}(${call.args.join(", ")})${"result" in call ? ` → ${call.result}` : ""}`
                .replace(/0x[0-9a-f]+/gi, "<p>")
                .replace(/SDL_PIXELFORMAT_\w+/g, "<f>")
                .replace(/"dummy"/, '"emscripten"'),
            ),
          );
          for (const item of items) assert.ok(item.line && item.exists && item.href === `#${item.line}`, item.text);
          if (chromium) {
            // The replay: Next through every call, each one's line marked, then back.
            for (let step = 0; step < items.length; step++) {
              await page.click(".replay button[data-step='1']");
              const marked = await page.evaluate(() => ({
                current: [...document.querySelectorAll(".call-list li")].findIndex((li) =>
                  li.getAttribute("aria-current"),
                ),
                lines: [...document.querySelectorAll(".code .chosen")].map((line) => line.id).join(),
              }));
              assert.deepEqual(marked, { current: step, lines: items[step].line ?? "" }, `step ${step + 1}`);
            }
            await page.focus(".call-list");
            await page.press("ArrowUp");
            const back = await page.evaluate(() =>
              [...document.querySelectorAll(".call-list li")].findIndex((li) => li.getAttribute("aria-current")),
            );
            assert.equal(back, items.length - 2, "ArrowUp on the list");
          }
          // Each failure it handles: the first through its button, the others by
          // address (in Chromium; elsewhere the first).
          const whatIfs = await page.evaluate(() =>
            [...document.querySelectorAll("#calls button[data-what-if]")].map((b) => b.dataset.whatIf).filter(Boolean),
          );
          const handled = readFileSync(lessons.find((l) => l.name === name).prints, "utf8")
            .split("\n")
            .slice(1)
            .map((row) => row.split("\t")[0])
            .filter((c) => c && c !== "ok");
          assert.deepEqual(whatIfs, handled, "the page's what-ifs are not the lesson's");
          for (const [at, whatIf] of whatIfs.entries()) {
            if (at > 0 && !chromium) break;
            let run = page;
            if (at === 0) {
              await page.evaluate(() => (window.lessonExit = window.firstFrame = window.lastFrame = undefined));
              await page.click(`#calls button[data-what-if="${whatIf}"]`);
            } else {
              run = await open(`${ours.url}${name}.html?what-if=${whatIf}`);
            }
            await run.waitFor(() => window.lessonTraced !== undefined && window.lessonExit !== undefined);
            const seen = await ran(run);
            const marked = await run.evaluate(
              (whatIf) =>
                [...document.querySelectorAll(".call-list .failed")].filter((f) => f.textContent.includes(whatIf))
                  .length,
              whatIf,
            );
            if (run !== page) await run.close();
            check(seen, "failure", `${name}.${whatIf}`);
            assert.equal(marked, 1, `what if ${whatIf}: calls marked as made to fail`);
          }
        } finally {
          await page.close();
        }
      });

      test(`${name}, edited and run in the page, unchanged, runs as the lesson does`, async () => {
        const page = await open(`${ours.url}${name}.html`);
        try {
          await page.waitFor(() => window.lessonExit !== undefined || window.firstFrame);
          if (kind === "until-closed") await page.click("#stop");
          await page.waitFor(() => window.lessonExit !== undefined);
          await edit(page, (text) => text);
          check(await runEdit(page, kind), "lesson", name);
        } finally {
          await page.close();
        }
      });
    }

    test(
      "lesson01 with its colour changed, lesson02 with its bitmap moved: shown so",
      { skip: !has("lesson01") || !has("lesson02") },
      async () => {
        const blue = picture(join(scratch, `blue-${engine}.ppm`), () => [33, 118, 238]);
        let page = await open(`${ours.url}lesson01.html`);
        try {
          await page.waitFor(() => window.lessonExit !== undefined);
          const text = await edit(page, (text) => text.replace("238, 118, 33", "33, 118, 238"));
          check(await runEdit(page), "lesson", "lesson01", { extra: ["--screenshot", blue] });
          const diff = await page.evaluate(() => {
            const changes = document.querySelector(".edit-diff");
            return {
              added: changes.dataset.added,
              removed: changes.dataset.removed,
              shows: changes.textContent.includes("33, 118, 238"),
            };
          });
          assert.deepEqual(diff, { added: "1", removed: "1", shows: true }, "the change view");
          // Download saves the edit as lesson01.cpp.
          const saved = await page
            .evaluate(async () => {
              let link = null;
              let blob = null;
              const { click } = HTMLAnchorElement.prototype;
              const { createObjectURL } = URL;
              HTMLAnchorElement.prototype.click = function () {
                link = this.download;
              };
              URL.createObjectURL = (object) => ((blob = object), createObjectURL(object));
              [...document.querySelectorAll(".edit-tools button")].find((b) => b.textContent === "Download").click();
              HTMLAnchorElement.prototype.click = click;
              URL.createObjectURL = createObjectURL;
              return { name: link, text: await blob.text() };
            })
            .catch((error) => ({ error: String(error) }));
          assert.deepEqual(saved, { name: "lesson01.cpp", text });
        } finally {
          await page.close();
        }
        // lesson02, its bitmap drawn 100 pixels right and 50 down, on black.
        const shot = readFileSync(lessons.find((l) => l.name === "lesson02").screenshot).toString("base64");
        page = await open(`${ours.url}lesson02.html`);
        try {
          await page.waitFor(() => window.lessonExit !== undefined);
          const moved = await page.evaluate(async (png) => {
            // The page's policy takes pictures from data: addresses, not blob: ones.
            const image = new Image();
            image.src = `data:image/png;base64,${png}`;
            await image.decode();
            const canvas = document.createElement("canvas");
            canvas.width = 640;
            canvas.height = 480;
            const context = canvas.getContext("2d");
            context.fillStyle = "#000";
            context.fillRect(0, 0, 640, 480);
            context.drawImage(image, 100, 50);
            const bytes = context.getImageData(0, 0, 640, 480).data;
            let text = "";
            for (let i = 0; i < bytes.length; i += 0x8000)
              text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
            return btoa(text);
          }, shot);
          const expected = join(scratch, `lesson02-moved-${engine}.ppm`);
          ppm(expected, 640, 480, Buffer.from(moved, "base64"));
          await edit(page, (text) =>
            text.replace(
              "SDL_BlitSurface(gHelloWorld, nullptr, gScreenSurface, nullptr);",
              "SDL_Rect at = {100, 50, 0, 0};\n            SDL_BlitSurface(gHelloWorld, nullptr, gScreenSurface, &at);",
            ),
          );
          check(await runEdit(page), "lesson", "lesson02", { extra: ["--screenshot", expected] });
        } finally {
          await page.close();
        }
      },
    );

    test(
      "an edit with a syntax error: the error at its line; the edit kept across a reload until Reset",
      { skip: !has("lesson01") },
      async () => {
        const page = await open(`${ours.url}lesson01.html`);
        try {
          await page.waitFor(() => window.lessonExit !== undefined);
          const original = await page.evaluate(() => document.querySelector("#source .code pre").textContent);
          const text = await edit(page, (text) =>
            text.replace("SDL_Window* window = nullptr;", "SDL_Window* window = nullptr"),
          );
          const { failed } = await runEdit(page);
          assert.ok(failed, "it ran");
          const line = text.split("\n").findIndex((l) => l.includes("SDL_Window* window = nullptr")) + 1;
          const said = await page.evaluate(() => ({
            lines: [...document.querySelectorAll(".edit-messages .error button")].map((b) => Number(b.dataset.line)),
            marked: document.querySelectorAll(".cm-lintRange-error, .cm-lintPoint-error").length,
          }));
          const at = said.lines.find((n) => n === line || n === line + 1);
          assert.ok(
            at && said.marked,
            `errors at lines ${said.lines}, ${said.marked} marked in the editor, not at ${line}`,
          );
          await page.click(`.edit-messages .error button[data-line="${at}"]`);
          const cursor = await page.evaluate(() => {
            const { state } = window.lessonEditor.view;
            return state.doc.lineAt(state.selection.main.head).number;
          });
          assert.equal(cursor, at, "the message's button takes the cursor to its line");
          await page.reload();
          await page.waitFor(() => window.lessonExit !== undefined);
          await page.click("button.edit");
          await page.waitFor(() => window.lessonEditor);
          assert.equal(
            await page.evaluate(() => window.lessonEditor.view.state.doc.toString()),
            text,
            "the edit was not kept",
          );
          await page.evaluate(() =>
            [...document.querySelectorAll(".edit-tools button")].find((b) => b.textContent === "Reset").click(),
          );
          const reset = await page.evaluate(() => [
            window.lessonEditor.view.state.doc.toString(),
            Object.keys(localStorage).filter((key) => key.includes("lesson01")),
          ]);
          assert.deepEqual(reset, [original, []], "Reset brings back the lesson's own source, and forgets the edit");
        } finally {
          await page.close();
        }
      },
    );

    test(
      "an edit that never hands the page back is stopped, said so in a line; the page and the next Run work",
      { skip: !has("lesson01") },
      async () => {
        const page = await open(`${ours.url}lesson01.html`);
        try {
          await page.waitFor(() => window.lessonExit !== undefined);
          const text = await edit(page, (text) =>
            text.replace("SDL_Delay(2000);", "for (volatile int i = 0;; ++i) {\n        }"),
          );
          await page.evaluate(() => (window.lessonExit = undefined));
          await page.click(".edit-tools .run");
          await page.waitFor(() => window.lessonExit !== undefined);
          const stopped = await page.evaluate(() => ({
            exit: window.lessonExit,
            status: document.getElementById("status").textContent,
          }));
          assert.match(stopped.status, /did not hand the page back for 3 s/);
          assert.equal(
            await page.evaluate(() => window.lessonEditor.view.state.doc.toString()),
            text,
            "the edit was lost",
          );
          // The page answers, and the next Run, of the lesson as it was, works.
          await edit(page, (text) => text.replace("for (volatile int i = 0;; ++i) {\n        }", "SDL_Delay(2000);"));
          check(await runEdit(page), "lesson", "lesson01");
        } finally {
          await page.close();
        }
      },
    );

    test("the tests' example lessons, one that runs until closed and one drawn with the renderer, run on their pages", async () => {
      const table = join(fixtureBin, "..", "lessons.tsv");
      const examples = lessonsOf(fixtureBin).filter((l) => !has(l.name));
      assert.ok(examples.length >= 2, "the fixture build has no example lessons");
      for (const { name, kind } of examples) {
        const page = await open(`${fixture.url}${name}.html`);
        try {
          check(await ran(page, { kind }), "lesson", name, { lessonsTable: table, hold: page.early });
        } finally {
          await page.close();
        }
      }
    });
  });
}

// What only a page has, which no engine does otherwise: in Chromium.
describe(
  "chromium: reading a lesson's page, the gallery, and what an edit cannot reach",
  { skip: !engines.includes("chromium") },
  () => {
    let browser, python;
    before(async () => {
      browser = await launch("chromium");
      python = await pythonServer(bin);
    });
    after(async () => {
      await browser?.close();
      python?.stop();
    });
    const open = (url, options = {}) => browser.open(url, { before: watchCanvas, ...options });

    // The accessibility violations axe-core finds on an open page, in light and in dark
    // colours, as "<colours>: <rule> (<elements>)".
    async function violations(page) {
      await page.native.evaluate(axe);
      const found = [];
      for (const scheme of ["light", "dark"]) {
        await page.scheme(scheme);
        const seen = await page.evaluate(async () =>
          (await window.axe.run()).violations.map((v) => `${v.id} (${v.nodes.map((n) => n.target).join(", ")})`),
        );
        found.push(...seen.map((v) => `${scheme}: ${v}`));
      }
      return found;
    }

    for (const [at, { name }] of lessons.entries()) {
      test(`${name}'s page: its sources shown exactly and linked, its lines, Copy, the change since the lesson before, no violation`, async () => {
        const page = await open(`${ours.url}${name}.html#L12`);
        try {
          await page.native
            .browserContext()
            .overridePermissions(ours.url, ["clipboard-read", "clipboard-write", "clipboard-sanitized-write"]);
          await page.waitFor(() => window.lessonExit !== undefined);
          // Each source exactly its file; every SDL name outside a string a link to the
          // wiki; every lesson:: call a link to the section that shows it.
          const shown = await page.evaluate(() =>
            [...document.querySelectorAll("#source, .function")].map((section) => {
              const pre = section.querySelector(".code pre");
              let text = "";
              const links = [];
              const walker = document.createTreeWalker(pre, NodeFilter.SHOW_TEXT);
              for (let node; (node = walker.nextNode()); ) {
                const link = node.parentElement.closest("a");
                text += node.data;
                for (let i = 0; i < node.data.length; i++) links.push(link ? link.getAttribute("href") : null);
              }
              const file = section.id === "source" ? null : section.querySelector("h3 code:last-child").textContent;
              return {
                id: section.id,
                file,
                text,
                links,
                sections: [...document.querySelectorAll("section[id]")].map((s) => s.id),
              };
            }),
          );
          assert.equal(shown[0]?.id, "source");
          for (const { id, file, text, links, sections } of shown) {
            const path = file ? join(root, file) : join(root, "lessons", `${name}.cpp`);
            assert.equal(text, readFileSync(path, "utf8"), `${id} does not show ${path} exactly`);
            const code = text.replace(/\/\/.*|\/\*[\s\S]*?\*\/|"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*'/g, (match) =>
              match.startsWith("/") ? match : " ".repeat(match.length),
            );
            for (const match of code.matchAll(/\bSDL_\w+/g)) {
              const hrefs = links.slice(match.index, match.index + match[0].length);
              assert.ok(
                hrefs.every((h) => h === WIKI + match[0]),
                `${id}: ${match[0]} at ${match.index} is not a link to its wiki page`,
              );
            }
            for (const match of code.matchAll(/\blesson::(\w+)\s*\(/g)) {
              const href = links[match.index + "lesson::".length];
              assert.ok(
                href === `#lesson::${match[1]}` && sections.includes(`lesson::${match[1]}`),
                `${id}: lesson::${match[1]} links to ${href}`,
              );
            }
          }
          // #L12 shows and marks line 12; a click on line 5's number links to it.
          const line = await page.evaluate(() => {
            const target = document.querySelector(":target");
            const box = target?.getBoundingClientRect();
            return {
              id: target?.id,
              marked:
                target &&
                getComputedStyle(target).backgroundColor !==
                  getComputedStyle(target.nextElementSibling).backgroundColor,
              shown: box && box.top >= 0 && box.bottom <= innerHeight,
            };
          });
          assert.deepEqual(line, { id: "L12", marked: true, shown: true });
          await page.native.click("#L5", { offset: { x: 8, y: 4 } });
          assert.equal(await page.evaluate(() => location.hash), "#L5");
          // Each Copy button puts its file's exact text on the clipboard.
          const buttons = await page.evaluate(() =>
            [...document.querySelectorAll("button.copy")].map((b) => b.dataset.file),
          );
          for (const [i, label] of buttons.entries()) {
            await page.evaluate((i) => document.querySelectorAll("button.copy")[i].click(), i);
            await page.waitFor((i) => document.querySelectorAll("button.copy")[i].firstChild.data !== "Copy", i);
            const path = i === 0 ? join(root, "lessons", `${name}.cpp`) : join(root, "lessons", "common", label);
            assert.equal(
              await page.evaluate(() => navigator.clipboard.readText()),
              readFileSync(path, "utf8"),
              `Copy ${label}`,
            );
          }
          // The change since the lesson before: each line as it is in its file, marked
          // by its sign and its element, and together the whole change.
          const rows = await page.evaluate(() =>
            [...document.querySelectorAll("#changes .row")].map((row) => ({
              kind: row.classList.contains("added") ? "+" : row.classList.contains("removed") ? "-" : " ",
              sign: row.querySelector(".sign").textContent,
              element: row.tagName,
              old: Number(row.dataset.old ?? 0),
              new: Number(row.dataset.new ?? 0),
              text: row.textContent.slice(1),
            })),
          );
          const previous = lessons[at - 1]?.name;
          if (!previous) {
            assert.deepEqual(rows, [], "the first lesson shows a change since a lesson before it");
          } else {
            const before = readFileSync(join(root, "lessons", `${previous}.cpp`), "utf8").split("\n");
            const after = readFileSync(join(root, "lessons", `${name}.cpp`), "utf8").split("\n");
            const element = { "+": "INS", "-": "DEL", " ": "SPAN" };
            for (const row of rows) {
              assert.ok(row.sign === row.kind && row.element === element[row.kind], JSON.stringify(row));
              assert.ok(!row.old || before[row.old - 1] === row.text, `"${row.text}" is not line ${row.old}`);
              assert.ok(!row.new || after[row.new - 1] === row.text, `"${row.text}" is not line ${row.new}`);
            }
            const added = new Set(rows.filter((r) => r.kind === "+").map((r) => r.new));
            const removed = new Set(rows.filter((r) => r.kind === "-").map((r) => r.old));
            assert.equal(
              after.filter((_, i) => !added.has(i + 1)).join("\n"),
              before.filter((_, i) => !removed.has(i + 1)).join("\n"),
              `not the whole change from ${previous}.cpp`,
            );
          }
          assert.deepEqual(await violations(page), []);
          // The window takes the keyboard: clicked, Space and the arrows do not scroll
          // the page; Tab leaves it for the page's next control.
          await page.click("#canvas");
          const scrolled = await page.evaluate(() => scrollY);
          for (const key of ["Space", "ArrowDown", "PageDown"]) await page.press(key);
          assert.equal(await page.evaluate(() => scrollY), scrolled, "a key on the window scrolled the page");
          await page.press("Tab");
          assert.notEqual(await page.evaluate(() => document.activeElement.id), "canvas", "Tab stays on the window");
        } finally {
          await page.close();
        }
      });
    }

    test("the sources stay hidden only while a lesson starts: shown without scripts, and without lesson.js", async () => {
      const name = lessons[0].name;
      const hidden = () => [...document.querySelectorAll(".code")].filter((c) => !c.getClientRects().length).length;
      const page = await open(`${ours.url}${name}.html`);
      try {
        await page.native.setJavaScriptEnabled(false);
        await page.reload();
        assert.equal(await page.native.evaluate(hidden), 0, "without scripts");
        await page.native.setJavaScriptEnabled(true);
        await page.native.setRequestInterception(true);
        page.native.on("request", (request) =>
          request.url().endsWith("/lesson.js") ? request.abort() : request.continue(),
        );
        await page.reload();
        await new Promise((done) => setTimeout(done, 1000));
        assert.equal(await page.native.evaluate(hidden), 0, "when lesson.js cannot be loaded");
      } finally {
        await page.close();
      }
    });

    test("the gallery: a card for every lesson, with its screenshot, as the README's table says, and no violation", async () => {
      const page = await open(ours.url);
      try {
        await page.waitFor(() => document.readyState === "complete");
        const cards = await page.evaluate(() =>
          [...document.querySelectorAll(".card")].map((card) => ({
            href: card.querySelector("h2 a").getAttribute("href"),
            title: card.querySelector("h2 a").textContent,
            teaches: card.querySelector(".teaches").textContent,
            thumbnail: card.querySelector("img").naturalWidth > 0 && card.querySelector("img").alt !== "",
          })),
        );
        assert.deepEqual(
          cards.map((card) => card.href.replace(/\.html$/, "")),
          lessons.map((l) => l.name),
        );
        for (const card of cards) assert.ok(card.thumbnail, `${card.href} has no thumbnail`);
        const readme = readFileSync(join(root, "README.md"), "utf8").split("\n");
        for (const card of cards) {
          const row =
            readme.find(
              (line) => line.startsWith("|") && line.includes(`(lessons/${card.href.replace(/\.html$/, ".cpp")})`),
            ) ?? "";
          assert.ok(
            row.includes(card.title) && row.includes(card.teaches),
            `README.md's table does not say what ${card.href}'s source does`,
          );
        }
        assert.deepEqual(await violations(page), []);
        assert.deepEqual(
          page.requests.filter((r) => !r.startsWith(ours.url) && !r.startsWith("data:")),
          [],
        );
      } finally {
        await page.close();
      }
    });

    // The pages as the README and docs/ show them, at 1280x800, compared with the
    // committed pictures; where one differs clearly (in more than 2% of its pixels),
    // the new one is in the build folder to copy over it, if that is meant.
    for (const [address, file, colorScheme, ready, element] of [
      ["lesson02.html", "page-lesson02", "light", () => window.firstFrame !== undefined, null],
      ["lesson02.html", "page-lesson02-dark", "dark", () => window.firstFrame !== undefined, null],
      ["lesson01.html?what-if=no-window", "page-calls", "light", () => window.lessonTraced !== undefined, "#calls"],
    ]) {
      test(
        `${address} in ${colorScheme} colours looks as docs/screenshots/${file}.png shows it`,
        { skip: !has("lesson01") || !has("lesson02") },
        async () => {
          const page = await open(`${ours.url}${address}`, { viewport: { width: 1280, height: 800 }, colorScheme });
          try {
            await page.waitFor(ready);
            const taken = await page.shot(element);
            const saved = join(bin, "..", `${file}.png`);
            writeFileSync(saved, taken);
            const share = await page.evaluate(
              async ([a, b]) => {
                const pixels = async (base64) => {
                  const image = new Image();
                  image.src = `data:image/png;base64,${base64}`;
                  await image.decode();
                  const canvas = document.createElement("canvas");
                  canvas.width = image.width;
                  canvas.height = image.height;
                  canvas.getContext("2d").drawImage(image, 0, 0);
                  return canvas.getContext("2d").getImageData(0, 0, image.width, image.height);
                };
                const [one, two] = [await pixels(a), await pixels(b)];
                // A section's height may round a pixel either way: the rows one has and
                // the other has not count as differing.
                const [width, height] = [Math.min(one.width, two.width), Math.min(one.height, two.height)];
                const all = Math.max(one.width, two.width) * Math.max(one.height, two.height);
                let differing = all - width * height;
                for (let y = 0; y < height; y++) {
                  for (let x = 0; x < width; x++) {
                    const [i, j] = [(y * one.width + x) * 4, (y * two.width + x) * 4];
                    differing += Math.max(...[0, 1, 2].map((c) => Math.abs(one.data[i + c] - two.data[j + c]))) > 40;
                  }
                }
                return differing / all;
              },
              [
                taken.toString("base64"),
                readFileSync(join(root, "docs", "screenshots", `${file}.png`)).toString("base64"),
              ],
            );
            assert.ok(
              share <= 0.02,
              `${(share * 100).toFixed(1)}% of its pixels differ: if that is meant, copy ${saved} over it`,
            );
          } finally {
            await page.close();
          }
        },
      );
    }

    // An edit of lesson01, Run, and what its run says and shows.
    async function editAndRun(change, url = ours.url) {
      const page = await open(`${url}lesson01.html`);
      await page.waitFor(() => window.lessonExit !== undefined);
      await edit(page, change);
      return { page, seen: await runEdit(page) };
    }
    const program =
      (body, includes = "") =>
      () =>
        `#include <cstdio>\n#include <emscripten.h>\n${includes}\nint main() {\n${body}\n}\n`;

    test(
      "an edit cannot read a file of the machine: not by #include, .incbin or __has_include",
      { skip: !has("lesson01") },
      async () => {
        for (const [what, change, said] of [
          ["#include", program("return 0;", '#include "/etc/passwd"'), /not found/],
          [".incbin", program('__asm__(".section .data\\n.incbin \\"/etc/passwd\\"");\nreturn 0;'), /./],
        ]) {
          const { page, seen } = await editAndRun(change);
          try {
            assert.ok(seen.failed, `${what}: it compiled`);
            assert.match(seen.failed.log, said, what);
            assert.doesNotMatch(
              JSON.stringify(seen.failed),
              /root:x:0:0/,
              `${what}: the file's content reached the page`,
            );
          } finally {
            await page.close();
          }
        }
        const found = (header, name) =>
          `#if __has_include(${header})\n#define ${name} 1\n#else\n#define ${name} 0\n#endif`;
        const { page, seen } = await editAndRun(
          program(
            'std::printf("%d %d\\n", PASSWD, CSTDIO);',
            `${found('"/etc/passwd"', "PASSWD")}\n${found("<cstdio>", "CSTDIO")}`,
          ),
        );
        try {
          assert.deepEqual(seen.lines, ["0 1"], "__has_include found a file of the machine");
        } finally {
          await page.close();
        }
      },
    );

    test(
      "an edit's JavaScript cannot reach the page: EM_ASM refused, emscripten_run_script stopped",
      { skip: !has("lesson01") },
      async () => {
        const reach =
          'document.title = "taken"; parent.document.title = "taken"; localStorage.setItem("taken", "1"); ' +
          'fetch("http://127.0.0.1:1/taken"); new Image().src = "/taken";';
        for (const [how, body] of [
          ["EM_ASM", `EM_ASM({ ${reach} });`],
          ["emscripten_run_script", `emscripten_run_script(${JSON.stringify(reach)});`],
        ]) {
          const { page, seen } = await editAndRun(program(`${body}\nstd::printf("ran\\n");\nreturn 0;`));
          try {
            const after = await page.evaluate(() => ({ title: document.title, stored: localStorage.getItem("taken") }));
            assert.notEqual(after.title, "taken", how);
            assert.equal(after.stored, null, how);
            assert.deepEqual(
              page.requests.filter((r) => r.includes("taken")),
              [],
              `${how}: the edit made a request`,
            );
            if (how === "EM_ASM") assert.match(seen.failed?.why ?? "", /JavaScript/, "EM_ASM was not refused");
            else assert.match(seen.status ?? "", /^stopped: it failed/, `${how}: ${seen.status}`);
          } finally {
            await page.close();
          }
        }
      },
    );

    test("a program with no SDL call runs, and ends with its status", { skip: !has("lesson01") }, async () => {
      const { page, seen } = await editAndRun(program('std::printf("no SDL\\n");\nreturn 3;'));
      try {
        assert.deepEqual(seen.lines, ["no SDL"]);
        assert.equal(seen.status, "exited with status 3");
      } finally {
        await page.close();
      }
    });

    test(
      "a compile that would eat all memory is stopped and said so; the next Run works",
      { skip: !has("lesson01") },
      async () => {
        // Each line doubles what the one before it expands to: 2^40 copies of a token.
        const macros = Array.from({ length: 40 }, (_, i) => `#define E${i + 1} E${i} E${i}`).join("\n");
        const page = await open(`${ours.url}lesson01.html`);
        try {
          await page.waitFor(() => window.lessonExit !== undefined);
          await page.evaluate(() => (window.lessonCompileLimitMs = 20000));
          const eating = await edit(page, () => `#define E0 x\n${macros}\nint lesson = sizeof((E40));\n`);
          const { failed } = await runEdit(page);
          assert.ok(failed, "it compiled");
          assert.match(failed.why, /stopped|memory/);
          assert.equal(await page.evaluate(() => window.lessonEditor.view.state.doc.toString()), eating);
          await edit(page, program('std::printf("next\\n");\nreturn 0;'));
          const next = await runEdit(page);
          assert.deepEqual(next.lines, ["next"]);
        } finally {
          await page.close();
        }
      },
    );

    test("Run pressed many times in a row: the last edit runs, once", { skip: !has("lesson01") }, async () => {
      const page = await open(`${ours.url}lesson01.html`);
      try {
        await page.waitFor(() => window.lessonExit !== undefined);
        for (let i = 1; i <= 4; i++) {
          await edit(page, program(`std::printf("run ${i}\\n");\nreturn 0;`));
          await page.evaluate(() => (window.lessonExit = undefined));
          await page.click(".edit-tools .run");
        }
        await page.waitFor(() => window.lessonExit !== undefined);
        await new Promise((done) => setTimeout(done, 1000));
        assert.deepEqual(await page.evaluate(() => document.getElementById("output").textContent), "run 4\n");
      } finally {
        await page.close();
      }
    });

    test("served as plain files by Python's http.server, with nothing else running, a lesson runs, and so does an edit", async () => {
      const { name, kind } = lessons[0];
      const page = await open(`${python.url}${name}.html`);
      try {
        check(await ran(page, { kind }), "lesson", name);
        await edit(page, (text) => text);
        check(await runEdit(page, kind), "lesson", name);
        assert.deepEqual(
          page.requests.filter((r) => !r.startsWith(python.url) && !/^(data|blob):/.test(r)),
          [],
        );
      } finally {
        await page.close();
      }
    });

    test("the tests' own programs: an image missing, a failure after a sleep, the gallery's numbers", async () => {
      let page = await open(`${fixture.url}lesson02.html`);
      try {
        check(await ran(page), "load-failure-named", "/resources/images/hello_world.bmp");
      } finally {
        await page.close();
      }
      page = await open(`${fixture.url}exit_after_delay.html`);
      try {
        assert.equal((await ran(page)).status, "exited with status 3", "a failure after a sleep");
      } finally {
        await page.close();
      }
      page = await open(fixture.url);
      try {
        const numbers = await page.evaluate(() =>
          [...document.querySelectorAll(".card")].map((card) => card.querySelector(".number")?.textContent ?? null),
        );
        const numbered = lessonsOf(fixtureBin).length;
        assert.equal(numbers.length, numbered + 1);
        assert.ok(numbers.slice(0, -1).every(Boolean) && !numbers.at(-1), `the gallery numbers its cards ${numbers}`);
      } finally {
        await page.close();
      }
    });

    test("an example lesson that reads its keys gets Space when its window has the keyboard, and the page does not scroll", async () => {
      const example = lessonsOf(fixtureBin).find((l) => l.kind === "until-closed");
      const page = await open(`${fixture.url}${example.name}.html`, { viewport: { width: 800, height: 500 } });
      try {
        await page.waitFor(() => window.firstFrame);
        await page.click("#canvas");
        const scrolled = await page.evaluate(() => scrollY);
        await page.press("Space");
        await page.waitFor(() => {
          const data = window.lastFrame.image.data;
          return data[0] < data[2]; // blue, where it was orange
        });
        assert.equal(await page.evaluate(() => scrollY), scrolled, "Space scrolled the page");
        await page.click("#stop");
        await page.waitFor(() => window.lessonExit !== undefined);
      } finally {
        await page.close();
      }
    });
  },
);
