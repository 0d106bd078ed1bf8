// Serves a folder over HTTP on 127.0.0.1, at a free port, for a browser to open.
//   node web/serve.mjs <folder>     prints the URL and serves until stopped
// The web tests, the benchmarks and web/edit.mjs (the server scripts/web.sh starts,
// which can also compile an edited lesson) import serve() to do the same.
//
// Files go out through `send` (the static-file module Express serves with), which
// streams them and answers Range, conditional requests and a folder named without
// its "/" as HTTP says, and serves no dot-file. Around it, this file's own part:
// - a request whose Host is not this server's own address is refused (403), so a
//   page of another site cannot reach it by a name that resolves here;
// - a path that is malformed or could lead out of the folder gets 400, and a
//   symbolic link that leads out is not found;
// - each version of a file (its inode, size and times of change, which a file
//   replaced with its time put back still changes) is read once for its content's
//   hash, its ETag (weak for a compressed form); text, code and data also go out compressed, brotli or gzip as
//   Accept-Encoding asks, once a first request has had that content compressed, at
//   the highest settings, in the background, once: never per request, never all at
//   start-up; until then, as they are;
// - idle and slow clients are let go after a minute, and no more than
//   MAX_CONNECTIONS are served at once.

import { createServer } from "node:http";
import { createHash } from "node:crypto";
import { createReadStream } from "node:fs";
import { readdir, readFile, realpath, stat } from "node:fs/promises";
import { createRequire } from "node:module";
import { extname, join, sep } from "node:path";
import { pathToFileURL } from "node:url";
import { promisify } from "node:util";
import { brotliCompress, constants, gzip } from "node:zlib";

const require = createRequire(import.meta.url);
const send = require("send");
const fresh = require("fresh");
const Negotiator = require("negotiator");
const mime = require("mime-types");

const MAX_CONNECTIONS = 64;
const IDLE_MS = 60000;
// PNG is compressed already; everything else here shrinks, the lessons' data too.
const COMPRESSED = new Set([".png", ".jpg", ".gz", ".br"]);
// The compressed forms kept, by content, at most: the lessons' pages need 1.5 MB.
const KEPT_BYTES = 256 * 1024 * 1024;

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

const brotli = promisify(brotliCompress);
const gzipped = promisify(gzip);
function compress(body, encoding) {
  return encoding === "br"
    ? brotli(body, {
        params: { [constants.BROTLI_PARAM_QUALITY]: 11, [constants.BROTLI_PARAM_SIZE_HINT]: body.length },
      })
    : gzipped(body, { level: 9 });
}

// The hash of a file's content, read as a stream.
function hashOf(file) {
  return new Promise((done, failed) => {
    const hash = createHash("sha256");
    createReadStream(file)
      .on("data", (chunk) => hash.update(chunk))
      .on("end", () => done(hash.digest("base64url").slice(0, 22)))
      .on("error", failed);
  });
}

// A version of a file: what changes whenever its content does.
const versionOf = (info) => `${info.dev}:${info.ino}:${info.size}:${info.mtimeNs}:${info.ctimeNs}`;

// Resolves to { server, url, port, root }, listening; rejects, saying why, for a
// folder that does not exist or holds nothing. `handle(request, response, names)`,
// if given, sees each request first: it answers it itself (and returns true), or
// returns the names of the file to serve instead, or nothing, to serve as asked
// (web/edit.mjs's endpoint and its URLs).
// `idleMs` and `maxConnections` are for the tests.
export async function serve(folder, { handle, port = 0, idleMs = IDLE_MS, maxConnections = MAX_CONNECTIONS } = {}) {
  let root;
  try {
    root = await realpath(folder);
    if (!(await stat(root)).isDirectory()) throw new Error("not a folder");
  } catch {
    throw new Error(`${folder} is not a folder (build the pages first: sh scripts/web.sh)`);
  }
  if ((await readdir(root)).length === 0) throw new Error(`${folder} is empty: there is nothing to serve`);

  const hashes = new Map(); // version -> Promise of the content's hash
  const kept = new Map(); // "<hash> <encoding>" -> compressed Buffer, or a Promise while it is made
  let keptBytes = 0;

  function hashFor(file, info) {
    const version = `${file}\n${versionOf(info)}`;
    if (!hashes.has(version)) {
      const hash = hashOf(file);
      hashes.set(version, hash);
      hash.catch(() => hashes.delete(version)); // a read error is not kept
    }
    return hashes.get(version);
  }

  // The compressed form of this content, if it is ready; else it is made, once,
  // from the file as it is, if its content is still the one hashed.
  function compressedFor(file, info, hash, encoding) {
    const key = `${hash} ${encoding}`;
    const form = kept.get(key);
    if (form instanceof Buffer) {
      kept.delete(key); // the most recently used last
      kept.set(key, form);
      return form;
    }
    if (!form) {
      const making = readFile(file)
        .then(async (body) => {
          const now = await stat(file, { bigint: true });
          if (versionOf(now) !== versionOf(info)) throw new Error("changed while read");
          return compress(body, encoding);
        })
        .then((body) => {
          kept.set(key, body);
          keptBytes += body.length;
          for (const [old, value] of kept) {
            if (keptBytes <= KEPT_BYTES) break;
            if (value instanceof Buffer) {
              kept.delete(old);
              keptBytes -= value.length;
            }
          }
        })
        .catch(() => kept.delete(key)); // asked for again, it is made again
      kept.set(key, making);
    }
    return null;
  }

  async function answer(request, response, hosts) {
    const headers = { "X-Content-Type-Options": "nosniff", "Referrer-Policy": "no-referrer" };
    const refuse = (status, text, extra = {}) => {
      response.writeHead(status, { ...headers, "Content-Type": "text/plain; charset=utf-8", ...extra });
      response.end(request.method === "HEAD" ? undefined : text + "\n");
    };
    if (!hosts.includes(request.headers.host)) {
      return refuse(403, `this server answers only to ${hosts[0]}`);
    }
    const asked = namesIn(request.url);
    if (asked === null) return refuse(400, "bad request");
    let names = asked;
    const handled = handle && (await handle(request, response, names));
    if (handled === true) return;
    if (Array.isArray(handled)) names = handled;
    if (request.method !== "GET" && request.method !== "HEAD") {
      return refuse(405, "only GET and HEAD", { Allow: "GET, HEAD" });
    }

    const path = request.url.split("?")[0];
    const sent = (hash) =>
      send(request, "/" + names.map(encodeURIComponent).join("/"), {
        root,
        dotfiles: "ignore",
        etag: false,
        lastModified: false,
        cacheControl: false,
      })
        .on("headers", (res) => {
          res.setHeader("Cache-Control", "no-cache");
          if (hash) res.setHeader("ETag", `"${hash}"`);
        })
        .on("error", (error) => refuse(error.status ?? 500, error.status === 404 ? "not found" : "error"))
        .pipe(response);
    for (const [name, value] of Object.entries(headers)) response.setHeader(name, value);

    // A dot-file, or one in a dot-folder, is never served.
    if (names.some((name) => name.startsWith("."))) return refuse(404, "not found");
    let file = join(root, ...names);
    let info = await stat(file).catch(() => null);
    if (info?.isDirectory()) {
      file = join(file, "index.html");
      // A folder named without its "/" is sent to its "/", where its relative links
      // work, if it has a page to show; one without is not found, as is any listing.
      if (!path.endsWith("/") && (await stat(file).catch(() => null))?.isFile()) {
        return refuse(301, "moved", { Location: "/" + asked.map(encodeURIComponent).join("/") + "/" });
      }
      names = [...names, "index.html"];
    }
    // A symbolic link may point anywhere: what it leads to must be in the folder.
    const real = await realpath(file).catch(() => null);
    info = real && real.startsWith(root + sep) ? await stat(file, { bigint: true }).catch(() => null) : null;
    const hash = info?.isFile() ? await hashFor(file, info).catch(() => null) : null;
    if (!hash) return refuse(404, "not found");

    const type = extname(file);
    if (COMPRESSED.has(type)) return sent(hash);
    response.setHeader("Vary", "Accept-Encoding");
    const encoding = request.headers.range ? null : new Negotiator(request).encoding(["br", "gzip", "identity"], { preferred: ["br", "gzip", "identity"] });
    const body = encoding === "br" || encoding === "gzip" ? compressedFor(file, info, hash, encoding) : null;
    if (!body) return sent(hash);
    // The compressed forms of a content are weakly the same as it: one the browser
    // keeps in either encoding is not sent again (the file's own ETag is strong, as
    // a Range request's If-Range needs).
    const etag = `W/"${hash}"`;
    Object.assign(headers, {
      "Content-Type": mime.contentType(type) || "application/octet-stream",
      "Content-Encoding": encoding,
      "Cache-Control": "no-cache",
      Vary: "Accept-Encoding",
      ETag: etag,
    });
    if (fresh(request.headers, { etag })) {
      response.writeHead(304, headers).end();
      return;
    }
    headers["Content-Length"] = body.length;
    response.writeHead(200, headers);
    response.end(request.method === "HEAD" ? undefined : body);
  }

  const server = createServer();
  server.maxConnections = maxConnections;
  server.setTimeout(idleMs); // a socket with nothing going either way for a minute is closed
  server.headersTimeout = 20000;
  server.requestTimeout = 30000;
  server.on("request", (request, response) => {
    const { port: at } = server.address();
    answer(request, response, [`127.0.0.1:${at}`, `localhost:${at}`]).catch((error) => {
      console.error(`serve.mjs: ${request.url}: ${error.message}`);
      if (!response.headersSent) response.writeHead(500);
      response.end();
    });
  });
  await new Promise((done, failed) => {
    server.once("error", failed);
    server.listen(port, "127.0.0.1", done);
  });
  const at = server.address().port;
  return { server, url: `http://127.0.0.1:${at}/`, port: at, root };
}

// Asks for every file of a served folder once in each encoding, so that its
// compressed forms are made: for the benchmarks, which then time what a browser
// gets. Resolves once they are all ready.
export async function warm(url, root) {
  const files = (await readdir(root, { recursive: true, withFileTypes: true }))
    .filter((entry) => entry.isFile() && !COMPRESSED.has(extname(entry.name)))
    .map((entry) => join(entry.path ?? entry.parentPath, entry.name).slice(root.length + 1).split(sep))
    .filter((names) => !names.some((name) => name.startsWith(".")));
  for (let round = 0; round < 600; round++) {
    let pending = 0;
    for (const names of files) {
      for (const encoding of ["br", "gzip"]) {
        const response = await fetch(url + names.map(encodeURIComponent).join("/"), {
          headers: { "Accept-Encoding": encoding },
        });
        await response.arrayBuffer();
        if (response.ok && response.headers.get("content-encoding") !== encoding) pending++;
      }
    }
    if (!pending) return;
    await new Promise((done) => setTimeout(done, 100));
  }
  throw new Error("the server did not compress its files within a minute");
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const folder = process.argv[2];
  if (!folder || process.argv.length > 3 || folder.startsWith("-")) {
    console.error("usage: node serve.mjs <folder>");
    process.exit(2);
  }
  try {
    const { url } = await serve(folder);
    console.log(`The lessons are at ${url} (Ctrl+C stops the server)`);
  } catch (error) {
    console.error(`serve.mjs: ${error.message}`);
    process.exit(2);
  }
}
