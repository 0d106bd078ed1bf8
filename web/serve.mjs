// Serves a folder over HTTP on 127.0.0.1, at a free port, for a browser to open.
//   node web/serve.mjs <folder>     prints the URL and serves until stopped
// scripts/web.sh starts it for the built pages; the web tests and the benchmarks
// import serve() to do the same.
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
//   hash, its ETag (weak for a compressed form);
// - where the folder holds a file's brotli or gzip form beside it (<file>.br,
//   <file>.gz, as the pages' build writes them), that goes out as Accept-Encoding
//   asks, if it is not older than the file: so the first visit arrives as
//   compressed as any other, and nothing is compressed here;
// - a client idle for a minute is let go, and once MAX_CONNECTIONS are open, a new
//   one takes the place of the one idle longest: clients that connect and send
//   nothing cannot keep others out.

import { createServer } from "node:http";
import { createHash } from "node:crypto";
import { createReadStream } from "node:fs";
import { readdir, realpath, stat } from "node:fs/promises";
import { createRequire } from "node:module";
import { extname, join, sep } from "node:path";
import { pathToFileURL } from "node:url";

const require = createRequire(import.meta.url);
const send = require("send");
const fresh = require("fresh");
const Negotiator = require("negotiator");
const mime = require("mime-types");

const MAX_CONNECTIONS = 64;
const IDLE_MS = 60000;

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
// folder that does not exist or holds nothing. `idleMs` and `maxConnections` are
// for the tests.
export async function serve(folder, { port = 0, idleMs = IDLE_MS, maxConnections = MAX_CONNECTIONS } = {}) {
  let root;
  try {
    root = await realpath(folder);
    if (!(await stat(root)).isDirectory()) throw new Error("not a folder");
  } catch {
    throw new Error(`${folder} is not a folder (build the pages first: sh scripts/web.sh)`);
  }
  if ((await readdir(root)).length === 0) throw new Error(`${folder} is empty: there is nothing to serve`);

  const hashes = new Map(); // version -> Promise of the content's hash
  function hashFor(file, info) {
    const version = `${file}\n${versionOf(info)}`;
    if (!hashes.has(version)) {
      const hash = hashOf(file);
      hashes.set(version, hash);
      hash.catch(() => hashes.delete(version)); // a read error is not kept
    }
    return hashes.get(version);
  }

  // The file under `root` a path's names lead to, and its details, or null.
  async function inFolder(names) {
    const file = join(root, ...names);
    const real = await realpath(file).catch(() => null);
    if (!real || !real.startsWith(root + sep)) return null;
    const info = await stat(file, { bigint: true }).catch(() => null);
    return info?.isFile() ? { file, info } : null;
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
    if (request.method !== "GET" && request.method !== "HEAD") {
      return refuse(405, "only GET and HEAD", { Allow: "GET, HEAD" });
    }
    // A dot-file, or one in a dot-folder, is never served.
    if (asked.some((name) => name.startsWith("."))) return refuse(404, "not found");

    let names = asked;
    const path = request.url.split("?")[0];
    const folderInfo = await stat(join(root, ...names)).catch(() => null);
    if (folderInfo?.isDirectory()) {
      // A folder named without its "/" is sent to its "/", where its relative links
      // work, if it has a page to show; one without is not found, as is any listing.
      if (!path.endsWith("/") && (await stat(join(root, ...names, "index.html")).catch(() => null))?.isFile()) {
        return refuse(301, "moved", { Location: "/" + asked.map(encodeURIComponent).join("/") + "/" });
      }
      names = [...names, "index.html"];
    }
    const found = await inFolder(names);
    const hash = found ? await hashFor(found.file, found.info).catch(() => null) : null;
    if (!hash) return refuse(404, "not found");
    for (const [name, value] of Object.entries(headers)) response.setHeader(name, value);
    response.setHeader("Vary", "Accept-Encoding");

    // Its compressed form, where the folder holds one as new as the file.
    const last = names.length - 1;
    const encoding = request.headers.range
      ? null
      : new Negotiator(request).encoding(["br", "gzip", "identity"], { preferred: ["br", "gzip", "identity"] });
    const suffix = { br: ".br", gzip: ".gz" }[encoding];
    const form = suffix && (await inFolder([...names.slice(0, last), names[last] + suffix]));
    const compressed = form && form.info.mtimeNs >= found.info.mtimeNs ? form : null;
    // The compressed forms of a content are weakly the same as it: one the browser
    // keeps in either encoding is not sent again (the file's own ETag is strong, as
    // a Range request's If-Range needs).
    const etag = compressed ? `W/"${hash}"` : `"${hash}"`;
    if (compressed) {
      if (fresh(request.headers, { etag })) {
        response.writeHead(304, { ETag: etag, "Cache-Control": "no-cache" }).end();
        return;
      }
      response.setHeader("Content-Encoding", encoding);
    }
    const sent = compressed ? [...names.slice(0, last), names[last] + suffix] : names;
    send(request, "/" + sent.map(encodeURIComponent).join("/"), {
      root,
      dotfiles: "ignore",
      etag: false,
      lastModified: false,
      cacheControl: false,
    })
      .on("headers", (res) => {
        res.setHeader("Cache-Control", "no-cache");
        res.setHeader("ETag", etag);
        res.setHeader("Content-Type", mime.contentType(extname(names[last])) || "application/octet-stream");
      })
      .on("error", (error) => refuse(error.status ?? 500, error.status === 404 ? "not found" : "error"))
      .pipe(response);
  }

  const server = createServer();
  // Each connection, and whether it is answering a request or idle, since when.
  const connections = new Map(); // socket -> { busy, idleSince }
  server.on("connection", (socket) => {
    if (connections.size >= maxConnections) {
      let oldest = null;
      for (const [open, state] of connections) {
        if (!state.busy && (!oldest || state.idleSince < connections.get(oldest).idleSince)) oldest = open;
      }
      if (!oldest) return socket.destroy(); // all busy: this one waits its turn
      oldest.destroy();
      connections.delete(oldest);
    }
    connections.set(socket, { busy: 0, idleSince: Date.now() });
    socket.on("close", () => connections.delete(socket));
  });
  server.setTimeout(idleMs); // a socket with nothing going either way for a minute is closed
  server.headersTimeout = 20000;
  server.requestTimeout = 30000;
  server.on("request", (request, response) => {
    const state = connections.get(request.socket);
    if (state) state.busy += 1;
    response.on("close", () => {
      if (state) {
        state.busy -= 1;
        state.idleSince = Date.now();
      }
    });
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

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const folder = process.argv[2];
  if (!folder || process.argv.length > 3 || folder.startsWith("-")) {
    console.error("usage: node serve.mjs <folder>");
    process.exit(2);
  }
  try {
    // The same port each time where it is free, so that an edit kept in the
    // browser (which keeps it for its origin) is there again.
    let started;
    try {
      started = await serve(folder, { port: 8642 });
    } catch (error) {
      if (error.code !== "EADDRINUSE") throw error;
      started = await serve(folder);
    }
    console.log(`The lessons are at ${started.url} (Ctrl+C stops the server)`);
  } catch (error) {
    console.error(`serve.mjs: ${error.message}`);
    process.exit(2);
  }
}
