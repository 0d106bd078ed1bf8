// Runs the web build of every lesson in Debian's Chromium and checks it the way the
// native tests do (tests/check/expectations.hpp, through lesson_check): the lines
// its page shows, the exit status, the picture drawn on the canvas and the hold.
// Also what only a page has: its title, and no errors in it.
//   node test_web.mjs <bin> <fixture bin> <missing image> <lesson_check> <scratch folder>
// <fixture bin> is a build whose resources folder holds no file, with the tests'
// own programs (exit_after_delay); <missing image> is the file its lesson02 reads.

import { chromium } from "playwright-core";
import { spawnSync } from "node:child_process";
import { readdirSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { serve } from "../../web/serve.mjs";

const [bin, fixtureBin, missingImage, lessonCheck, scratch] = process.argv.slice(2);
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
      };
    }
  };
}

// Opens a lesson's page and waits for it to exit; returns what was seen.
async function observe(browser, url) {
  const page = await browser.newPage();
  const errors = [];
  const messages = [];
  page.on("pageerror", (error) => errors.push(String(error)));
  page.on("console", (message) => messages.push({ text: message.text(), at: Date.now() }));
  await page.addInitScript(watchCanvas);
  await page.goto(url);
  await page.waitForFunction(() => window.lessonExit !== undefined, null, { timeout: 60000 });
  const seen = await page.evaluate(() => {
    let frame = null;
    if (window.lastFrame) {
      const { width, height, data } = window.lastFrame.image;
      let rgb = "";
      for (let i = 0; i < data.length; i += 4) {
        rgb += String.fromCharCode(data[i], data[i + 1], data[i + 2]);
      }
      frame = { width, height, at: window.lastFrame.at, rgb: btoa(rgb) };
    }
    return {
      title: document.title,
      output: document.getElementById("output").textContent,
      status: document.getElementById("status").textContent,
      exit: window.lessonExit,
      frame,
    };
  });
  await page.close();
  const lines = seen.output.split("\n").slice(0, -1);
  const exited = messages.find((m) => m.text.startsWith("exited with status"));
  const lastLine = lines.length ? messages.filter((m) => m.text === lines.at(-1)).at(-1) : null;
  return {
    ...seen,
    lines,
    errors,
    leadMs: exited && lastLine ? exited.at - lastLine.at : null,
  };
}

// Hands what was seen to lesson_check: "lesson <name>" or "load-failure-named <file>".
function check(name, seen, ...mode) {
  const base = join(scratch, name);
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
  process.stdout.write(result.stdout + result.stderr);
  if (result.status !== 0) failures += 1;
  if (seen.title !== "SDL Tutorial") fail(`${name}: the page's title is "${seen.title}"`);
  for (const error of seen.errors) fail(`${name}: error in the page: ${error}`);
}

const lessons = { ...(await serve(bin)), name: "lessons" };
const fixture = { ...(await serve(fixtureBin)), name: "fixture" };
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
try {
  for (const page of readdirSync(bin).filter((f) => /^lesson\d+\.html$/.test(f)).sort()) {
    const name = page.replace(/\.html$/, "");
    check(name, await observe(browser, lessons.url + page), "lesson", name);
  }

  const missing = await observe(browser, fixture.url + "lesson02.html");
  check("missing-image", missing, "load-failure-named", missingImage);

  // A program that fails after sleeping must not be reported as a success.
  const late = await observe(browser, fixture.url + "exit_after_delay.html");
  if (late.status !== "exited with status 3") {
    fail(`a failure after a sleep shows "${late.status}", not "exited with status 3"`);
  } else {
    console.log("ok: a failure after a sleep shows its status");
  }
} finally {
  await browser.close();
  lessons.server.close();
  fixture.server.close();
}

console.log(failures ? `Web (Chromium): ${failures} check(s) failed` : "Web (Chromium): all checks passed");
process.exit(failures ? 1 : 0);
