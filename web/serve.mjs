// Serves a folder over HTTP on 127.0.0.1, at a free port, for a browser to open.
//   node web/serve.mjs <folder>     prints the URL and serves until stopped
// The web tests import serve() to do the same.
//
// What it promises, each tested by tests/web/serve_test.mjs:
// - text, code and data go out compressed, brotli or gzip as the browser accepts
//   (Accept-Encoding; Vary says so), each file compressed once and kept;
// - every file carries an ETag and "Cache-Control: no-cache": the browser asks
//   again and gets 304 with no body when nothing changed, so "Run again" reuses
//   what it has, and a rebuilt lesson is never shown stale;
// - nothing outside the folder is served: a path with "..", "%2e%2e", an encoded
//   slash or backslash, or a NUL is refused with 400, a symbolic link that leads
//   out is not found, and a folder is served only through its index.html;
// - a malformed request gets 400 and the server goes on serving.

import { createServer } from "node:http";
import { readdir, readFile, realpath, stat } from "node:fs/promises";
import { extname, join, sep } from "node:path";
import { pathToFileURL } from "node:url";
import { promisify } from "node:util";
import { brotliCompress, constants, gzip } from "node:zlib";

const TYPES = {
  ".html": "text/html; charset=utf-8",
  ".css": "text/css; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".mjs": "text/javascript; charset=utf-8",
  ".json": "application/json",
  ".txt": "text/plain; charset=utf-8",
  ".svg": "image/svg+xml",
  ".wasm": "application/wasm",
  ".data": "application/octet-stream",
  ".png": "image/png",
};
// PNG is compressed already; everything else here shrinks, the lessons' data too.
const COMPRESSED = new Set([".png"]);

// The names in a request's path, decoded, or null when the path is malformed or
// names anything that could lead out of the folder.
function namesIn(target) {
  if (!target.startsWith("/")) return null;
  const names = [];
  for (const raw of target.split(/[?#]/)[0].split("/").slice(1)) {
    let name;
    try {
      name = decodeURIComponent(raw);
    } catch {
      return null; // "%" not followed by two hex digits, or not UTF-8
    }
    if (name === "." || name === ".." || /[/\\\0]/.test(name)) return null;
    if (name !== "") names.push(name);
  }
  return names;
}

// The encoding to send, from the request's Accept-Encoding: brotli, then gzip.
function encodingFor(accepted = "") {
  const weights = new Map();
  for (const part of accepted.split(",")) {
    const [name, ...parameters] = part.trim().toLowerCase().split(";");
    const q = parameters.map((p) => /^\s*q=([\d.]+)\s*$/.exec(p)).find(Boolean);
    weights.set(name, q ? Number(q[1]) : 1);
  }
  return ["br", "gzip"].find((name) => (weights.get(name) ?? weights.get("*") ?? 0) > 0) ?? null;
}

// At the highest settings: a file is compressed once, off the main thread, and
// sent many times. (Brotli takes about 2 s for lesson02's 900 KB bitmap.)
const brotli = promisify(brotliCompress);
const gzipped = promisify(gzip);
function compress(body, encoding) {
  return encoding === "br"
    ? brotli(body, {
        params: { [constants.BROTLI_PARAM_QUALITY]: 11, [constants.BROTLI_PARAM_SIZE_HINT]: body.length },
      })
    : gzipped(body, { level: 9 });
}

// A file's version: its size and time of change.
function etagOf(info) {
  return `"${info.size.toString(36)}-${Math.floor(info.mtimeMs).toString(36)}"`;
}

// Resolves to { server, url, warmed } once listening; `warmed` resolves once every
// file has its brotli form ready.
export function serve(folder) {
  const kept = new Map(); // "<file> <encoding>" -> { etag, body }: its latest compressed form
  const rootPromise = realpath(folder);

  // The file's body in `encoding`, compressed once per version of the file.
  function compressed(file, etag, encoding, read) {
    const key = `${file} ${encoding}`;
    if (kept.get(key)?.etag !== etag) kept.set(key, { etag, body: read().then((b) => compress(b, encoding)) });
    return kept.get(key).body;
  }

  async function answer(request, response) {
    const root = await rootPromise;
    const headers = { "X-Content-Type-Options": "nosniff", "Referrer-Policy": "no-referrer" };
    const refuse = (status, text, extra = {}) => {
      response.writeHead(status, { ...headers, "Content-Type": "text/plain; charset=utf-8", ...extra });
      response.end(request.method === "HEAD" ? undefined : text + "\n");
    };
    if (request.method !== "GET" && request.method !== "HEAD") {
      return refuse(405, "only GET and HEAD", { Allow: "GET, HEAD" });
    }
    const names = namesIn(request.url);
    if (names === null) return refuse(400, "bad request");

    let file = join(root, ...names);
    let info;
    try {
      info = await stat(file);
      if (info.isDirectory()) {
        file = join(file, "index.html");
        info = await stat(file);
      }
      // A symbolic link may point anywhere: what it leads to must be in the folder.
      const real = await realpath(file);
      if (!real.startsWith(root + sep) || !info.isFile()) throw new Error("outside");
    } catch {
      return refuse(404, "not found");
    }

    const type = extname(file);
    const etag = etagOf(info);
    Object.assign(headers, {
      "Content-Type": TYPES[type] ?? "application/octet-stream",
      "Cache-Control": "no-cache",
      ETag: etag,
    });
    const encoding = COMPRESSED.has(type) ? null : encodingFor(request.headers["accept-encoding"]);
    if (!COMPRESSED.has(type)) headers.Vary = "Accept-Encoding";
    if (request.headers["if-none-match"]?.split(/\s*,\s*/).includes(etag)) {
      response.writeHead(304, headers).end();
      return;
    }
    const body = encoding ? await compressed(file, etag, encoding, () => readFile(file)) : await readFile(file);
    if (encoding) headers["Content-Encoding"] = encoding;
    headers["Content-Length"] = body.length;
    response.writeHead(200, headers);
    response.end(request.method === "HEAD" ? undefined : body);
  }

  const server = createServer((request, response) => {
    answer(request, response).catch((error) => {
      console.error(`serve.mjs: ${request.url}: ${error.message}`);
      if (!response.headersSent) response.writeHead(500);
      response.end();
    });
  });
  // Meanwhile, each file the folder holds is compressed in brotli, as most browsers
  // will ask, so that the first visitor does not wait for it.
  async function warm() {
    const root = await rootPromise;
    for (const entry of await readdir(root, { recursive: true, withFileTypes: true })) {
      const file = join(entry.path ?? entry.parentPath, entry.name);
      if (!entry.isFile() || COMPRESSED.has(extname(file))) continue;
      await compressed(file, etagOf(await stat(file)), "br", () => readFile(file));
    }
  }

  return new Promise((done, fail) => {
    server.once("error", fail);
    rootPromise.catch(fail);
    server.listen(0, "127.0.0.1", () => {
      const warmed = warm().catch(() => {}); // a file that cannot be read now is answered when asked for
      done({ server, url: `http://127.0.0.1:${server.address().port}/`, warmed });
    });
  });
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const folder = process.argv[2];
  if (!folder) {
    console.error("usage: node serve.mjs <folder>");
    process.exit(2);
  }
  const { url } = await serve(folder);
  console.log(`The lessons are at ${url} (Ctrl+C stops the server)`);
}
