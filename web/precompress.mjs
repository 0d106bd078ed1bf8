// Writes beside each file of the built pages its brotli and gzip forms, <file>.br
// and <file>.gz, where they are missing or older than the file, so that any static
// server that sends them (web/serve.mjs, nginx's gzip_static and brotli_static, a
// host's own) sends the pages compressed from the first visit.
//   node web/precompress.mjs <folder> [<cache folder>]
// A file of more than a few megabytes (the compiler the page loads for Run) is
// compressed a little less hard, and its forms are kept in the cache folder, by its
// content's hash, so that a build compresses it once.

import { createHash } from "node:crypto";
import { copyFile, mkdir, readdir, readFile, stat, writeFile } from "node:fs/promises";
import { extname, join } from "node:path";
import { promisify } from "node:util";
import { brotliCompress, constants, gzip } from "node:zlib";

// What shrinks: text, code and data. PNG is compressed already.
const SHRINKS = new Set([".html", ".js", ".mjs", ".css", ".wasm", ".data", ".json", ".tar", ".pch", ".txt"]);
const BIG = 4 * 1024 * 1024;

const brotli = promisify(brotliCompress);
const gzipped = promisify(gzip);

async function forms(body) {
  const big = body.length > BIG;
  const params = {
    [constants.BROTLI_PARAM_QUALITY]: big ? 9 : 11,
    [constants.BROTLI_PARAM_LGWIN]: 24,
    [constants.BROTLI_PARAM_SIZE_HINT]: body.length,
  };
  return { ".br": await brotli(body, { params }), ".gz": await gzipped(body, { level: 9 }) };
}

async function newer(file, than) {
  const [a, b] = await Promise.all([stat(file), stat(than).catch(() => null)]);
  return !b || a.mtimeMs > b.mtimeMs;
}

async function precompress(file, cache) {
  if (!(await newer(file, `${file}.br`)) && !(await newer(file, `${file}.gz`))) return;
  const body = await readFile(file);
  let made;
  const kept = cache && body.length > BIG && join(cache, createHash("sha256").update(body).digest("hex"));
  if (kept) {
    try {
      for (const suffix of [".br", ".gz"]) await copyFile(kept + suffix, file + suffix);
      return;
    } catch {
      // not kept yet: made below
    }
  }
  made = await forms(body);
  for (const [suffix, compressed] of Object.entries(made)) {
    await writeFile(file + suffix, compressed);
    if (kept) {
      await mkdir(cache, { recursive: true });
      await writeFile(kept + suffix, compressed);
    }
  }
}

const [folder, cache] = process.argv.slice(2);
if (!folder || folder.startsWith("-")) {
  console.error("usage: node precompress.mjs <folder> [<cache folder>]");
  process.exit(2);
}
const files = (await readdir(folder, { recursive: true, withFileTypes: true }))
  .filter((entry) => entry.isFile() && SHRINKS.has(extname(entry.name)))
  .map((entry) => join(entry.parentPath ?? entry.path, entry.name));
// Two at a time: zlib works in Node's own threads.
for (let i = 0; i < files.length; i += 2) {
  await Promise.all(files.slice(i, i + 2).map((file) => precompress(file, cache)));
}
