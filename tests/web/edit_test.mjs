// web/edit.mjs, the server scripts/web.sh starts: it compiles an edited lesson only
// for its own pages, and refuses everything else with a clear status and message,
// going on serving. Works on the web build given.
//   node --test tests/web/edit_test.mjs     (LESSONS_WEB_BUILD: the web build folder)

import assert from "node:assert/strict";
import { request } from "node:http";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { after, before, test } from "node:test";
import { BODY_LIMIT, startEditing } from "../../web/edit.mjs";

const build = process.env.LESSONS_WEB_BUILD;
const lesson = readFileSync(join(build, "lessons.txt"), "utf8").split("\n")[0];
const source = readFileSync(JSON.parse(readFileSync(join(build, "edit.json"), "utf8")).lessons[lesson].source, "utf8");
let editing;
let origin;

before(async () => {
  // A time limit the tests can wait for.
  editing = await startEditing(build, { timeLimitMs: 8000 });
  origin = new URL(editing.url).origin;
});
after(() => {
  editing.server.closeAllConnections();
  editing.server.close();
});

// A request as given: `path` under the server, `headers` as they are.
function ask(path, { method = "POST", headers = {}, body = "" } = {}) {
  const { hostname, port } = new URL(origin);
  return new Promise((done, fail) => {
    const sent = request({ hostname, port, path, method, headers: { Host: `${hostname}:${port}`, ...headers } }, (response) => {
      const chunks = [];
      response.on("data", (chunk) => chunks.push(chunk));
      response.on("end", () => {
        const body = Buffer.concat(chunks);
        let text = body.toString();
        let wasm = null;
        if (response.headers["content-type"] === "application/octet-stream") {
          // A program: the length of its JSON, the JSON, its WebAssembly.
          const length = body.readUInt32LE(0);
          text = body.subarray(4, 4 + length).toString();
          wasm = body.subarray(4 + length);
        }
        let json = null;
        try {
          json = JSON.parse(text);
        } catch {
          // not JSON: the static server's own answer
        }
        done({ status: response.statusCode, json, text, wasm });
      });
    });
    sent.on("error", fail);
    sent.end(body);
  });
}
const compilePath = () => new URL("compile", editing.url).pathname;
const asked = (body, headers = {}) =>
  ask(compilePath(), { headers: { Origin: origin, "Content-Type": "application/json", ...headers }, body: JSON.stringify(body) });

async function stillServes() {
  const page = await ask(new URL(`${lesson}.html`, editing.url).pathname, { method: "GET" });
  assert.equal(page.status, 200, "the server stopped serving its pages");
}

test("an edit that compiles comes back as a program, with the time of its compile and link", async () => {
  const { status, json, wasm } = await asked({ lesson, source: source.replace("238, 118, 33", "33, 118, 238") });
  assert.equal(status, 200, JSON.stringify(json)?.slice(0, 500));
  assert.ok(json.ok && json.js.includes("createEditedLesson"));
  assert.equal(wasm.subarray(0, 4).toString("latin1"), "\0asm", "not WebAssembly");
  assert.ok(json.compileMs > 0 && json.linkMs > 0);
});

test("an edit that does not compile comes back with the compiler's messages at their lines", async () => {
  const broken = source.replace("SDL_Window* window = nullptr;", "SDL_Window* window = nullptr");
  const line = broken.split("\n").findIndex((l) => l.includes("SDL_Window* window = nullptr")) + 1;
  const { status, json } = await asked({ lesson, source: broken });
  assert.equal(status, 422);
  assert.equal(json.ok, false);
  assert.match(json.why, /does not compile/);
  const errors = json.messages.filter((m) => m.severity === "error");
  assert.ok(errors.length >= 1, JSON.stringify(json.messages));
  assert.ok(errors.some((m) => m.line === line || m.line === line + 1), `no error at line ${line}: ${JSON.stringify(errors)}`);
  await stillServes();
});

test("an edit that compiles for ever is stopped at the time limit, and said so", async () => {
  // Each macro doubles the one before: 2^40 tokens.
  const bomb = ["#define A0 x"].concat(Array.from({ length: 40 }, (_, i) => `#define A${i + 1} A${i} A${i}`), ["int y = A40;"]);
  const { status, json } = await asked({ lesson, source: bomb.join("\n") + "\n" + source });
  assert.equal(status, 422);
  assert.match(json.why, /ran for more than 8 s and was stopped|ran out of its memory/);
  await stillServes();
});

test("many Runs in a row: each stops the one before, the last is compiled, the server goes on", async () => {
  const runs = await Promise.all(Array.from({ length: 4 }, (_, i) =>
    new Promise((done) => setTimeout(done, i * 150)).then(() => asked({ lesson, source }))));
  assert.deepEqual(runs.slice(0, -1).map((r) => r.status), [409, 409, 409], runs.map((r) => r.text.slice(0, 80)).join("\n"));
  assert.equal(runs.at(-1).status, 200);
  await stillServes();
});

test("refused: no token, another origin or Host, not JSON, too large, an unknown lesson", async () => {
  const good = JSON.stringify({ lesson, source });
  for (const [what, path, headers, body, status, why] of [
    ["no token", "/compile", { Origin: origin, "Content-Type": "application/json" }, good, 405, /only GET/],
    ["a wrong token", "/edit-wrong/compile", { Origin: origin, "Content-Type": "application/json" }, good, 405, /only GET/],
    ["no origin", compilePath(), { "Content-Type": "application/json" }, good, 403, /own pages/],
    ["another origin", compilePath(), { Origin: "http://evil.example", "Content-Type": "application/json" }, good, 403, /own pages/],
    ["another Host", compilePath(), { Host: "evil.example", Origin: "http://evil.example", "Content-Type": "application/json" }, good, 403, /answers only to/],
    ["not JSON's type", compilePath(), { Origin: origin, "Content-Type": "text/plain" }, good, 415, /JSON/],
    ["not JSON", compilePath(), { Origin: origin, "Content-Type": "application/json" }, "{lesson", 400, /not JSON/],
    ["no source", compilePath(), { Origin: origin, "Content-Type": "application/json" }, JSON.stringify({ lesson }), 400, /source/],
    ["an unknown lesson", compilePath(), { Origin: origin, "Content-Type": "application/json" },
     JSON.stringify({ lesson: "lesson99", source }), 404, /no lesson 'lesson99'/],
    ["10 MB", compilePath(), { Origin: origin, "Content-Type": "application/json" },
     JSON.stringify({ lesson, source: "x".repeat(10 * 1024 * 1024) }), 413, new RegExp(`${BODY_LIMIT / 1024} KB`)],
  ]) {
    const answer = await ask(path, { headers, body });
    assert.equal(answer.status, status, `${what}: ${answer.text.slice(0, 200)}`);
    assert.match(answer.text, why, what);
    await stillServes();
  }
  // Only its own pages see that it compiles; GET tells them so.
  const probe = await ask(compilePath(), { method: "GET" });
  assert.equal(probe.status, 200);
  assert.equal(probe.json.edit, true);
  assert.equal((await ask("/compile", { method: "GET" })).status, 404);
});
