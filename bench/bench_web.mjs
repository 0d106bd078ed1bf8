// The web benchmark: each lesson's page against its floor's page (the same page
// and runner around bench/floorNN.cpp, without the source view), loaded cold in
// headless Chromium from web/serve.mjs, again and again, each a first visit (a new
// browser context, the cache off). For each page: the bytes it downloads, file by
// file and in all, raw, gzip- and brotli-compressed, and the bytes that crossed
// the network (the build's precompressed forms, as the server sends them); and the
// time from the start of navigation to the first frame drawn on the canvas. Then
// Run: lesson01 with its colour changed, compiled and run in the page. The first
// Run (it downloads the compiler): its bytes and its time; then, the compiler
// loaded, from Run to the edited program's first frame, median of 20; then a
// second visit's Run, and what it downloads again.
//   node bench_web.mjs <bin> [loads]     (default 60; medians are printed)
// <bin> is a web build's bin/.
// A load takes 200 to 400 ms here, and one load to the next on a shared machine
// differs by more than the lesson's page does from its floor's (by a quarter, often);
// so the lesson and its floor are loaded in pairs, one right after the other, the
// ratio is the median of the pairs' ratios, which the machine's slow swings cancel
// out of, and its 95% interval says how far that median may still be off.
// The lessons are those the build lists (lessons.tsv), each lessonNN with its floor
// floorNN if it has one; one without is loaded alone, with no ratio.
// Prints Markdown tables; exits 3 when a target is missed.

import { existsSync, readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join } from "node:path";
import { brotliCompressSync, constants, gzipSync } from "node:zlib";
import { CHROMIUM } from "../tools/browsers.mjs";
import { lessonsOf } from "../tools/lessons_table.mjs";
import { serve } from "../web/serve.mjs";

// puppeteer-core is one of the web pages' npm packages, in web/.
const require = createRequire(new URL("../web/package.json", import.meta.url));
const puppeteer = require("puppeteer-core");

const [bin, loadsArgument] = process.argv.slice(2);
const loads = Number(loadsArgument ?? 60);
if (!Number.isInteger(loads) || loads < 1) {
  // A median of no loads means nothing.
  console.error(`bench_web.mjs: [loads] must be 1 or more, not '${loadsArgument}'`);
  process.exit(2);
}
const lessons = lessonsOf(bin).map((lesson) => lesson.name);
const pairs = lessons.map((lesson) => {
  const floor = lesson.replace(/^lesson/, "floor");
  return existsSync(join(bin, `${floor}.html`)) ? [lesson, floor] : [lesson];
});

// The time of the first picture SDL puts on the lesson's canvas, from navigation start.
function watchFirstFrame() {
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    put.apply(this, args);
    if (this.canvas.id === "canvas" && window.firstFrameAt === undefined) {
      window.firstFrameAt = performance.now();
    }
  };
}

const gzipped = (bytes) => gzipSync(bytes, { level: 9 }).length;
const brotlied = (bytes) => brotliCompressSync(bytes, { params: { [constants.BROTLI_PARAM_QUALITY]: 11 } }).length;
// What a page may download, gzip-compressed, besides its lesson's data files; the
// first lesson's page, which has none, a little less.
const PAGE_LIMIT = 110000;
const FIRST_PAGE_LIMIT = 100000;
const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};
const kb = (bytes) => (bytes / 1000).toFixed(1);
// How far the median of `values` may be off, as loads swing: the middle 95% of the
// medians of 2000 resamples (with replacement) of them. The resamples come from a
// fixed seed, so the same loads give the same interval.
function interval(values) {
  let seed = 2463534242;
  const random = () => (seed = (Math.imul(seed, 1103515245) + 12345) >>> 0) / 2 ** 32;
  const medians = Array.from({ length: 2000 }, () =>
    median(values.map(() => values[Math.floor(random() * values.length)])),
  ).sort((a, b) => a - b);
  return [medians[50], medians[1949]];
}

// Counts the bytes that cross the network for a page (bodies as sent, compressed,
// and headers), from Chrome's own accounting.
async function countBytes(page) {
  const client = await page.createCDPSession();
  await client.send("Network.enable");
  const counted = { bytes: 0, uncompressed: [] };
  client.on("Network.loadingFinished", (event) => (counted.bytes += event.encodedDataLength));
  client.on("Network.responseReceived", ({ response }) => {
    const encoding = Object.entries(response.headers).find(([name]) => name.toLowerCase() === "content-encoding");
    const kind = response.mimeType;
    const squeezable = /text|javascript|json|wasm|octet-stream/.test(kind);
    if (response.status === 200 && squeezable && !encoding && response.encodedDataLength > 1000) {
      counted.uncompressed.push(new URL(response.url).pathname);
    }
  });
  return { client, counted };
}

// One cold load: a new browser context with the cache off. The files it fetched
// are read from the folder served, so that reading them from the browser does not
// slow the load being timed.
async function load(browser, url) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  const { client, counted } = await countBytes(page);
  await client.send("Network.setCacheDisabled", { cacheDisabled: true });
  const paths = new Set();
  page.on("response", (response) => paths.add(new URL(response.url()).pathname));
  await page.evaluateOnNewDocument(watchFirstFrame);
  await page.goto(url);
  await page.waitForFunction(() => window.firstFrameAt !== undefined, {
    timeout: 60000,
    polling: 100, // rather than every animation frame, which would add work to the load
  });
  const { firstFrame, sources } = await page.evaluate(() => ({
    firstFrame: window.firstFrameAt,
    // What the source view adds to the page: its highlighted sources.
    sources: [...document.querySelectorAll("#source, .support")].map((s) => s.outerHTML).join(""),
  }));
  await context.close();
  const files = new Map([...paths].map((path) => [path, readFileSync(join(bin, decodeURIComponent(path)))]));
  return { firstFrame, files, sources: Buffer.from(sources), sent: counted.bytes, uncompressed: counted.uncompressed };
}

const browser = await puppeteer.launch(CHROMIUM);
const version = await browser.version();
// The server scripts/web.sh starts, as a learner's first visit finds it: nothing
// warmed; the compressed forms are the build's.
const { server, url } = await serve(bin);
// Every byte the server sends, to the page and to its Worker alike (Chrome's own
// accounting for a page leaves out what its Worker fetches, the compiler).
const sockets = new Set();
server.on("connection", (socket) => sockets.add(socket));
const sent = () => [...sockets].reduce((sum, socket) => sum + socket.bytesWritten, 0);
const rows = [];
const fileRows = [];
const edits = [];
let firstRunFigures;
let secondVisit;
const EDIT_RUNS = 20;
// The first Run's download, at most (compressed, as sent).
const FIRST_RUN_LIMIT = 30e6;
// From Run to the edited program's first frame, at most.
const EDIT_LIMIT_MS = 1500;
let allMet = true;
try {
  for (const pair of pairs) {
    const seen = Object.fromEntries(pair.map((page) => [page, []]));
    // Lesson and floor take turns, each going first every other round.
    for (let round = 0; round < loads; round++) {
      for (const page of round % 2 ? [...pair].reverse() : pair) {
        seen[page].push(await load(browser, `${url}${page}.html`));
      }
    }
    const figures = {};
    for (const page of pair) {
      const { files, sources } = seen[page][0];
      let raw = 0;
      let gzip = 0;
      let br = 0;
      let dataGzip = 0;
      for (const [path, body] of [...files].sort()) {
        raw += body.length;
        gzip += gzipped(body);
        br += brotlied(body);
        if (path.endsWith(".data")) dataGzip += gzipped(body);
        fileRows.push(`| ${page} | ${path.slice(1)} | ${body.length} | ${gzipped(body)} | ${brotlied(body)} |`);
      }
      figures[page] = {
        sent: median(seen[page].map((s) => s.sent)),
        uncompressed: seen[page].flatMap((s) => s.uncompressed),
        firstFrame: median(seen[page].map((s) => s.firstFrame)),
        raw,
        gzip,
        br,
        dataGzip,
        sourcesRaw: sources.length,
        sourcesGzip: sources.length ? gzipped(sources) : 0,
      };
    }
    const lesson = figures[pair[0]];
    for (const path of new Set(lesson.uncompressed)) console.error(`sent uncompressed on a first visit: ${path}`);
    const smallMet =
      lesson.uncompressed.length === 0 &&
      lesson.gzip - lesson.dataGzip <= (pair[0] === lessons[0] ? FIRST_PAGE_LIMIT : PAGE_LIMIT);
    if (pair.length === 1) {
      allMet = allMet && smallMet;
      rows.push(
        `| ${pair[0]} | ${lesson.firstFrame.toFixed(0)} | no floor | no ratio | | ${kb(lesson.raw)} | | ` +
          `${kb(lesson.sourcesRaw)} | ${kb(lesson.gzip)} | | ${kb(lesson.sourcesGzip)} | ${kb(lesson.br)} | ` +
          `${kb(lesson.sent)} | ` +
          `${smallMet ? "no floor page: size only" : "**no**"} |`,
      );
      continue;
    }
    const floor = figures[pair[1]];
    const ratios = seen[pair[0]].map((s, round) => s.firstFrame / seen[pair[1]][round].firstFrame);
    const ratio = median(ratios);
    const [low, high] = interval(ratios);
    const timeMet = ratio <= 1.1;
    const sizeMet =
      lesson.raw <= 1.1 * (floor.raw + lesson.sourcesRaw) && lesson.gzip <= 1.1 * (floor.gzip + lesson.sourcesGzip);
    const met = timeMet && sizeMet && smallMet;
    allMet = allMet && met;
    rows.push(
      `| ${pair[0]} | ${lesson.firstFrame.toFixed(0)} | ${floor.firstFrame.toFixed(0)} | ` +
        `${ratio.toFixed(3)} | ${low.toFixed(2)}–${high.toFixed(2)} | ${kb(lesson.raw)} | ${kb(floor.raw)} | ` +
        `${kb(lesson.sourcesRaw)} | ${kb(lesson.gzip)} | ${kb(floor.gzip)} | ${kb(lesson.sourcesGzip)} | ${kb(lesson.br)} | ` +
        `${kb(lesson.sent)} | ` +
        `${met ? "yes" : "**no**"} |`,
    );
  }
  // Run: lesson01 with its colour changed, compiled and run in the page. The
  // browser's own profile, its disk cache on, as a learner's browser (a fresh
  // context keeps its cache in memory, too small to keep the compiler): the first
  // Run downloads the compiler, then EDIT_RUNS Runs with it loaded, then a second
  // visit's Run.
  const context = browser.defaultBrowserContext();
  const visit = async () => {
    const page = await context.newPage();
    await page.goto(`${url}${lessons[0]}.html`);
    await page.waitForFunction(() => window.lessonExit !== undefined, { timeout: 60000 });
    await page.click("button.edit");
    await page.waitForFunction(() => window.lessonEditor && !document.querySelector(".edit-tools .run").disabled, {
      timeout: 60000,
    });
    const changed = await page.evaluate(() => {
      const view = window.lessonEditor.view;
      const text = view.state.doc.toString();
      const at = text.indexOf("238, 118, 33");
      if (at >= 0) view.dispatch({ changes: { from: at, to: at + 12, insert: "33, 118, 238" } });
      // A second visit finds the edit kept from the first.
      return at >= 0 || text.includes("33, 118, 238");
    });
    if (!changed) throw new Error(`${lessons[0]}.cpp no longer paints (238, 118, 33): the benchmark cannot change it`);
    return { page };
  };
  const runOnce = async (page) => {
    // Polled, rather than every animation frame, which would load the cores the
    // compiler runs on.
    await page.waitForFunction(() => window.lessonExit !== undefined, { timeout: 120000, polling: 100 });
    await page.evaluate(() => (window.lessonExit = undefined));
    await page.click(".edit-tools .run");
    await page.waitForFunction(() => window.lessonEdited?.firstFrameAt || window.lessonEdited?.failed, {
      timeout: 120000,
      polling: 100,
    });
    const seen = await page.evaluate(() => window.lessonEdited);
    if (seen.failed) throw new Error(`the edited ${lessons[0]} did not build: ${JSON.stringify(seen.failed)}`);
    return seen;
  };
  const first = await visit();
  const before = sent();
  const firstRun = await runOnce(first.page);
  firstRunFigures = { ms: firstRun.firstFrameAt - firstRun.asked, bytes: sent() - before };
  for (let run = 0; run < EDIT_RUNS; run++) edits.push(await runOnce(first.page));
  await first.page.close();
  const second = await visit();
  const beforeAgain = sent();
  const againRun = await runOnce(second.page);
  secondVisit = { ms: againRun.firstFrameAt - againRun.asked, bytes: sent() - beforeAgain };
} finally {
  await browser.close();
  server.closeAllConnections();
  server.close();
}

console.log(`Medians of ${loads} cold loads each, Chromium ${version}, served from 127.0.0.1.`);
console.log("First frame: from navigation start to the first picture on the canvas; ratio: the median");
console.log(
  "of each pair's lesson/floor, and the middle 95% of that median over resamples of the pairs. Download: every file the page fetches, raw, gzip -9 and brotli -q 11;",
);
console.log("sources: the highlighted source view in the page; sent: what crossed the network, compressed as served.");
console.log("Targets: first frame within 1.1x the floor's; download within 1.1x the floor's plus the");
console.log(
  `sources (raw and gzip alike); each page, its data files aside, at most ${PAGE_LIMIT / 1000} KB gzip-compressed,`,
);
console.log(`${lessons[0]}'s at most ${FIRST_PAGE_LIMIT / 1000} KB.`);
console.log();
console.log(
  "| lesson | first frame ms | floor ms | ratio | 95% interval | download KB | floor KB | sources KB | gzip KB | floor gzip KB | sources gzip KB | brotli KB | sent KB | targets met |",
);
console.log("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|");
console.log(rows.join("\n"));
console.log();
console.log("| page | file | bytes | gzip bytes | brotli bytes |");
console.log("|---|---|---:|---:|---:|");
console.log(fileRows.join("\n"));
const toFrame = median(edits.map((e) => e.firstFrameAt - e.asked));
const editMet = toFrame <= EDIT_LIMIT_MS && firstRunFigures.bytes <= FIRST_RUN_LIMIT;
allMet = allMet && editMet;
console.log();
console.log(
  `Run: ${lessons[0]} with its colour changed, compiled and run in the page; the first Run (it downloads ` +
    `the compiler), then ${edits.length} Runs with the compiler loaded (medians), then a second visit's first Run. ` +
    `Targets: Run to first frame within ${EDIT_LIMIT_MS} ms, the compiler loaded; the first Run's download ` +
    `at most ${FIRST_RUN_LIMIT / 1e6} MB as sent.`,
);
console.log();
console.log(
  "| lesson | Run to first frame ms | compile ms | link ms | instrument ms | first Run ms | first Run MB sent | " +
    "second visit's Run ms | its KB sent | targets met |",
);
console.log("|---|---:|---:|---:|---:|---:|---:|---:|---:|---|");
const part = (name) => median(edits.map((e) => e.ms[name])).toFixed(0);
console.log(
  `| ${lessons[0]} | ${toFrame.toFixed(0)} | ${part("compile")} | ${part("link")} | ${part("instrument")} | ` +
    `${firstRunFigures.ms.toFixed(0)} | ${(firstRunFigures.bytes / 1e6).toFixed(1)} | ` +
    `${secondVisit.ms.toFixed(0)} | ${kb(secondVisit.bytes)} | ${editMet ? "yes" : "**no**"} |`,
);
process.exit(allMet ? 0 : 3);
