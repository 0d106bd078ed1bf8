// web/serve.mjs, the server the README's web command runs: compressed, cached by
// revalidation, and never serving anything outside its folder or dying on a bad
// request. Works on a folder of its own, beside a file it must never serve.
//   node --test tests/web/serve_test.mjs

import assert from "node:assert/strict";
import { request } from "node:http";
import { mkdirSync, mkdtempSync, rmSync, symlinkSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, before, test } from "node:test";
import { brotliDecompressSync, gunzipSync } from "node:zlib";
import { serve } from "../../web/serve.mjs";

const work = mkdtempSync(join(tmpdir(), "serve-test-"));
const site = join(work, "site");
const page = "<!doctype html><title>x</title>" + "<p>a lesson</p>".repeat(200);
let server;
let base;

before(async () => {
  mkdirSync(join(site, "images"), { recursive: true });
  mkdirSync(join(site, "empty"));
  writeFileSync(join(site, "index.html"), page);
  writeFileSync(join(site, "lesson.wasm"), Buffer.alloc(5000, 7));
  writeFileSync(join(site, "shot.png"), Buffer.alloc(3000, 1));
  writeFileSync(join(work, "secret.txt"), "outside the folder\n");
  symlinkSync(join(work, "secret.txt"), join(site, "link.txt"));
  symlinkSync(work, join(site, "up"));
  ({ server, url: base } = await serve(site));
});
after(() => {
  server.close();
  rmSync(work, { recursive: true, force: true });
});

// A request with the path exactly as given (fetch would normalise "..").
function get(path, headers = {}, method = "GET") {
  const { hostname, port } = new URL(base);
  return new Promise((done, fail) => {
    const sent = request({ hostname, port, path, method, headers }, (response) => {
      const chunks = [];
      response.on("data", (chunk) => chunks.push(chunk));
      response.on("end", () => done({ status: response.statusCode, headers: response.headers, body: Buffer.concat(chunks) }));
    });
    sent.on("error", fail);
    sent.end();
  });
}

test("sends what the browser accepts: brotli, else gzip, else as it is; Vary says so", async () => {
  for (const [accept, encoding, decode] of [
    ["gzip, deflate, br", "br", brotliDecompressSync],
    ["gzip", "gzip", gunzipSync],
    ["br;q=0, gzip;q=0.5", "gzip", gunzipSync],
    ["", undefined, (body) => body],
  ]) {
    const { status, headers, body } = await get("/", { "Accept-Encoding": accept });
    assert.equal(status, 200, accept);
    assert.equal(headers["content-encoding"], encoding, accept);
    assert.equal(headers["content-type"], "text/html; charset=utf-8");
    assert.equal(headers.vary, "Accept-Encoding");
    assert.equal(decode(body).toString(), page, accept);
    if (encoding) assert.ok(body.length < page.length / 5, `${encoding}: ${body.length} bytes`);
  }
  const wasm = await get("/lesson.wasm", { "Accept-Encoding": "br" });
  assert.equal(wasm.headers["content-type"], "application/wasm");
  assert.equal(wasm.headers["content-encoding"], "br");
  const png = await get("/shot.png", { "Accept-Encoding": "br, gzip" });
  assert.equal(png.headers["content-encoding"], undefined, "a PNG is compressed already");
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

test("a malformed or escaping path gets 400, and the server goes on serving", async () => {
  for (const path of ["/%", "/%zz", "/%C0", "/../secret.txt", "/%2e%2e/secret.txt", "/images/%2E%2E/%2e%2e/secret.txt",
                      "/..%2fsecret.txt", "/images%2f..%2f..%2fsecret.txt", "/..%5csecret.txt", "/index.html%00"]) {
    const { status, body } = await get(path);
    assert.equal(status, 400, path);
    assert.ok(!body.toString().includes("outside the folder"), path);
  }
  assert.equal((await get("/")).status, 200);
});

test("nothing outside the folder is served: not through a link, not as a listing", async () => {
  for (const path of ["/link.txt", "/up/secret.txt", "/empty/", "/empty", "/missing.html"]) {
    const { status, body } = await get(path);
    assert.equal(status, 404, path);
    assert.ok(!body.toString().includes("outside the folder"), path);
  }
  assert.equal((await get("/", {}, "POST")).status, 405);
  const head = await get("/", {}, "HEAD");
  assert.equal(head.status, 200);
  assert.equal(head.body.length, 0);
});
