// web/serve.mjs, the server the web pages are served by: compressed as the build
// wrote them, cached by revalidation, never serving anything outside its folder or
// a dot-file, always the file as it is now, in flat memory, refusing other hosts,
// letting idle clients go and never kept from a new one by them, and never dying
// on a bad request. Works on folders of its own, beside a file it must never serve.
//   node --test tests/web/serve_test.mjs

import assert from "node:assert/strict";
import { spawn, spawnSync } from "node:child_process";
import { request } from "node:http";
import { connect } from "node:net";
import {
  mkdirSync,
  mkdtempSync,
  readFileSync,
  rmSync,
  statSync,
  symlinkSync,
  utimesSync,
  writeFileSync,
} from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, before, test } from "node:test";
import { fileURLToPath } from "node:url";
import { brotliCompressSync, brotliDecompressSync, gunzipSync, gzipSync } from "node:zlib";
import { serve } from "../../web/serve.mjs";

const work = mkdtempSync(join(tmpdir(), "serve-test-"));
const site = join(work, "site");
const page = "<!doctype html><title>x</title>" + "<p>a lesson</p>".repeat(200);
const BIG = 50 * 1024 * 1024;
let server;
let base;
let host;

before(async () => {
  mkdirSync(join(site, "images"), { recursive: true });
  mkdirSync(join(site, "empty"));
  mkdirSync(join(site, ".git"));
  writeFileSync(join(site, "index.html"), page);
  writeFileSync(join(site, "images", "index.html"), page);
  writeFileSync(join(site, "lesson.wasm"), Buffer.alloc(5000, 7));
  // Their compressed forms, as the pages' build writes them.
  for (const file of ["index.html", "lesson.wasm"]) {
    const body = readFileSync(join(site, file));
    writeFileSync(join(site, `${file}.br`), brotliCompressSync(body));
    writeFileSync(join(site, `${file}.gz`), gzipSync(body));
  }
  writeFileSync(join(site, "shot.png"), Buffer.alloc(3000, 1));
  writeFileSync(join(site, ".env"), "SECRET=1\n");
  writeFileSync(join(site, ".git", "config"), "[secret]\n");
  writeFileSync(join(site, "images", ".hidden"), "secret\n");
  writeFileSync(join(work, "secret.txt"), "outside the folder\n");
  symlinkSync(join(work, "secret.txt"), join(site, "link.txt"));
  symlinkSync(work, join(site, "up"));
  ({ server, url: base } = await serve(site));
  host = new URL(base).host;
});
after(() => {
  server.closeAllConnections();
  server.close();
  rmSync(work, { recursive: true, force: true });
});

// A request with the path exactly as given (fetch would normalise ".."), to `at`.
function get(path, headers = {}, method = "GET", at = base) {
  const { hostname, port } = new URL(at);
  return new Promise((done, fail) => {
    const sent = request({ hostname, port, path, method, headers }, (response) => {
      const chunks = [];
      response.on("data", (chunk) => chunks.push(chunk));
      response.on("end", () =>
        done({ status: response.statusCode, headers: response.headers, body: Buffer.concat(chunks) }),
      );
    });
    sent.on("error", fail);
    sent.end();
  });
}

test("sends the compressed form the browser accepts, from the first request: brotli, else gzip, else as it is", async () => {
  for (const [accept, encoding, decode] of [
    ["gzip, deflate, br", "br", brotliDecompressSync],
    ["gzip", "gzip", gunzipSync],
    ["br;q=0, gzip;q=0.5", "gzip", gunzipSync],
    ["gzip ;q=1", "gzip", gunzipSync],
    ["  br  ,  gzip ", "br", brotliDecompressSync],
    ["", undefined, (body) => body],
    [";;, q=zz, *;q=nonsense", undefined, (body) => body],
  ]) {
    const { status, headers, body } = await get("/", { "Accept-Encoding": accept });
    assert.equal(status, 200, accept);
    if (encoding || headers["content-encoding"]) assert.equal(headers["content-encoding"], encoding, accept);
    assert.equal(headers["content-type"], "text/html; charset=utf-8");
    assert.equal(headers.vary, "Accept-Encoding");
    assert.equal(decode(body).toString(), page, accept);
    if (encoding) assert.ok(body.length < page.length / 5, `${encoding}: ${body.length} bytes`);
  }
  const wasm = await get("/lesson.wasm", { "Accept-Encoding": "br" });
  assert.equal(wasm.headers["content-type"], "application/wasm");
  assert.equal(wasm.headers["content-encoding"], "br");
  const png = await get("/shot.png", { "Accept-Encoding": "br, gzip" });
  assert.equal(png.headers["content-encoding"], undefined, "a file with no compressed form goes as it is");
});

test("a file asked for again comes back as 304, without a body, until it changes", async () => {
  const first = await get("/lesson.wasm", { "Accept-Encoding": "br" });
  assert.equal(first.headers["cache-control"], "no-cache");
  assert.ok(first.headers.etag);
  const again = await get("/lesson.wasm", { "Accept-Encoding": "br", "If-None-Match": first.headers.etag });
  assert.equal(again.status, 304);
  assert.equal(again.body.length, 0);
  writeFileSync(join(site, "lesson.wasm"), Buffer.alloc(6000, 8));
  const changed = await get("/lesson.wasm", { "If-None-Match": first.headers.etag });
  assert.equal(changed.status, 200);
  assert.equal(changed.body.length, 6000);
});

test("If-None-Match as HTTP says: *, weak tags, a list", async () => {
  const { headers } = await get("/index.html", { "Accept-Encoding": "identity" });
  for (const match of ["*", `W/${headers.etag}`, `"other", ${headers.etag}`]) {
    assert.equal((await get("/index.html", { "If-None-Match": match })).status, 304, match);
  }
  assert.equal((await get("/index.html", { "If-None-Match": '"other"' })).status, 200);
});

test("a compressed form older than its file is not sent: the file as it is now goes instead", async () => {
  const file = join(site, "same.js");
  writeFileSync(file, "var before = 1;".repeat(300));
  writeFileSync(`${file}.br`, brotliCompressSync(readFileSync(file)));
  const old = await get("/same.js", { "Accept-Encoding": "br" });
  assert.equal(old.headers["content-encoding"], "br");
  const { mtime } = statSync(file);
  writeFileSync(file, "var after_ = 2;".repeat(300)); // the same size
  utimesSync(file, new Date(mtime.getTime() + 2000), new Date(mtime.getTime() + 2000));
  const { headers, body } = await get("/same.js", { "Accept-Encoding": "br" });
  assert.equal(headers["content-encoding"], undefined);
  assert.ok(body.toString().startsWith("var after_"), "the old file was served");
  assert.notEqual(headers.etag.replace(/^W\//, ""), old.headers.etag.replace(/^W\//, ""));
});

test("a file that cannot be read is not found, and once it can be, it is served", async () => {
  symlinkSync(join(site, "later.txt"), join(site, "dangling.txt"));
  assert.equal((await get("/dangling.txt", { "Accept-Encoding": "br" })).status, 404);
  writeFileSync(join(site, "later.txt"), "here now\n");
  const now = await get("/dangling.txt", { "Accept-Encoding": "identity" });
  assert.equal(now.status, 200);
  assert.equal(now.body.toString(), "here now\n");
});

test("a Range is answered with that part, an If-Range of another version with the whole", async () => {
  const { headers } = await get("/lesson.wasm");
  const part = await get("/lesson.wasm", { Range: "bytes=0-9", "Accept-Encoding": "br" });
  assert.equal(part.status, 206);
  assert.equal(part.body.length, 10);
  assert.equal(part.headers["content-range"], `bytes 0-9/${headers["content-length"]}`);
  const stale = await get("/lesson.wasm", { Range: "bytes=0-9", "If-Range": '"not this one"' });
  assert.equal(stale.status, 200);
  assert.equal(stale.body.length, Number(headers["content-length"]));
  assert.equal((await get("/lesson.wasm", { Range: "bytes=999999-" })).status, 416);
});

test("a malformed or escaping path gets 400, and the server goes on serving", async () => {
  for (const path of [
    "/%",
    "/%zz",
    "/%C0",
    "/../secret.txt",
    "/%2e%2e/secret.txt",
    "/images/%2E%2E/%2e%2e/secret.txt",
    "/..%2fsecret.txt",
    "/images%2f..%2f..%2fsecret.txt",
    "/..%5csecret.txt",
    "/index.html%00",
  ]) {
    const { status, body } = await get(path);
    assert.equal(status, 400, path);
    assert.ok(!body.toString().includes("outside the folder"), path);
  }
  assert.equal((await get("/")).status, 200);
});

test("nothing outside the folder is served, nor a dot-file: not through a link, not as a listing", async () => {
  for (const path of [
    "/link.txt",
    "/up/secret.txt",
    "/empty/",
    "/empty",
    "/missing.html",
    "/.env",
    "/.git/config",
    "/.git/",
    "/images/.hidden",
    "/%2eenv",
  ]) {
    const { status, body } = await get(path);
    assert.equal(status, 404, path);
    assert.ok(!/outside the folder|SECRET|secret/.test(body.toString()), path);
  }
  assert.equal((await get("/", {}, "POST")).status, 405);
  const head = await get("/", {}, "HEAD");
  assert.equal(head.status, 200);
  assert.equal(head.body.length, 0);
});

test("a folder named without its / is sent to it, where its page's links work", async () => {
  const moved = await get("/images");
  assert.equal(moved.status, 301);
  assert.equal(moved.headers.location, "/images/");
  assert.equal((await get("/images/")).body.toString(), page);
});

test("a request for another Host is refused, as a page of another site's would be", async () => {
  for (const other of ["evil.example", "evil.example:80", `127.0.0.2:${new URL(base).port}`, "127.0.0.1"]) {
    const { status, body } = await get("/", { Host: other });
    assert.equal(status, 403, other);
    assert.ok(!body.toString().includes("a lesson"), other);
  }
  assert.equal((await get("/", { Host: `localhost:${new URL(base).port}` })).status, 200);
  assert.equal((await get("/", { Host: host })).status, 200);
});

test("memory stays flat while many clients download a large file at once, or stop reading", async () => {
  // The server in a process of its own, as scripts/web.sh starts it, so that its
  // memory is its own.
  const folder = join(work, "big");
  mkdirSync(folder);
  writeFileSync(join(folder, "big.data"), Buffer.alloc(BIG, 3));
  const script = fileURLToPath(new URL("../../web/serve.mjs", import.meta.url));
  const child = spawn(process.execPath, [script, folder], { stdio: ["ignore", "pipe", "inherit"] });
  const at = await new Promise((done) => child.stdout.on("data", (data) => done(/http:\S+/.exec(String(data))[0])));
  const peak = () => Number(/VmHWM:\s+(\d+)/.exec(readFileSync(`/proc/${child.pid}/status`, "utf8"))[1]) / 1024;
  const started = peak();
  const port = new URL(at).port;
  // Thirty that ask for it and never read, and twenty that read it all.
  const stalled = Array.from({ length: 30 }, () => {
    const socket = connect(port, "127.0.0.1");
    socket.write(`GET /big.data HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\nAccept-Encoding: identity\r\n\r\n`);
    socket.pause();
    return socket;
  });
  const read = await Promise.all(
    Array.from(
      { length: 20 },
      () =>
        new Promise((done, fail) => {
          request(`${at}big.data`, { headers: { "Accept-Encoding": "identity" } }, (response) => {
            let bytes = 0;
            response.on("data", (chunk) => (bytes += chunk.length)).on("end", () => done(bytes));
          })
            .on("error", fail)
            .end();
        }),
    ),
  );
  const grown = peak() - started;
  console.log(`# the server grew by ${grown.toFixed(0)} MB serving 20 + 30 downloads of a 50 MB file`);
  for (const socket of stalled) socket.destroy();
  child.kill();
  for (const bytes of read) assert.equal(bytes, BIG);
  // Reading the file whole for each download took 1.2 GB for twenty of them.
  assert.ok(grown < 200, `the server grew by ${grown.toFixed(0)} MB for 50 downloads of a 50 MB file`);
});

test("an idle client is let go, and clients that connect and send nothing keep no one out", async () => {
  const strict = await serve(site, { idleMs: 500 });
  const port = strict.port;
  const closedAt = (socket) => new Promise((done) => socket.on("close", () => done(Date.now())));
  const opened = Date.now();
  const idle = connect(port, "127.0.0.1");
  assert.ok((await closedAt(idle)) - opened < 5000, "the idle client was kept");
  strict.server.closeAllConnections();
  strict.server.close();
  // As many silent clients as the server holds connections, and then a real one.
  const silent = await Promise.all(
    Array.from(
      { length: 64 },
      () =>
        new Promise((done) => {
          const socket = connect(new URL(base).port, "127.0.0.1", () => done(socket));
        }),
    ),
  );
  const asked = Date.now();
  const { status } = await get("/");
  assert.equal(status, 200);
  assert.ok(Date.now() - asked < 3000, `a new client waited ${Date.now() - asked} ms for 64 silent ones`);
  for (const socket of silent) socket.destroy();
});

test("a missing or empty folder stops the server at start, saying why, with status 2", async () => {
  const script = fileURLToPath(new URL("../../web/serve.mjs", import.meta.url));
  for (const folder of [join(work, "no such folder"), join(site, "empty")]) {
    await assert.rejects(serve(folder), /not a folder|empty/);
    const run = spawnSync(process.execPath, [script, folder], { encoding: "utf8", timeout: 10000 });
    assert.equal(run.status, 2, folder);
    assert.match(run.stderr, /not a folder|is empty/);
    assert.equal(run.stdout, "");
  }
});
