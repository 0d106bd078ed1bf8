// Debian's three browser engines, driven the one way the browser tests and the web
// benchmark need: Chromium and Firefox ESR through puppeteer-core (Chromium's own
// protocol, and WebDriver BiDi), WebKitGTK through selenium-webdriver and
// WebKitWebDriver (on an X server: scripts/lib/with_xvfb.sh). None downloads a
// browser. The packages are the pages' (web/package.json).
//
//   const browser = await launch("chromium" | "firefox" | "webkit");
//   const page = await browser.open(url, { viewport, colorScheme, before });
//   await page.evaluate(fn, ...args); await page.waitFor(fn, ...args);
//   await page.click(selector); await page.press(key); await page.shot(selector?);
//   page.requests, page.errors, page.console; await page.close(); await browser.close();
//
// `before` is a function run in the page before any of its own scripts, where the
// engine's driver can (Chromium and Firefox); in WebKitGTK it runs once the page
// has loaded, and `page.early` is false.

import { spawn } from "node:child_process";
import { createRequire } from "node:module";
import { createServer } from "node:net";

const require = createRequire(new URL("../web/package.json", import.meta.url));

export const ENGINES = ["chromium", "firefox", "webkit"];
const WAIT_MS = 60000;

// A free port on 127.0.0.1, for WebKitWebDriver.
function freePort() {
  return new Promise((done) => {
    const server = createServer().listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => done(port));
    });
  });
}

// Debian's Chromium, as puppeteer-core launches it here and for the benchmark: no
// sandbox (root), no GPU, none of its own connections, which a closed network refuses.
export const CHROMIUM = {
  executablePath: "/usr/bin/chromium",
  headless: true,
  args: [
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
  ],
};

async function puppeteerBrowser(engine) {
  const puppeteer = require("puppeteer-core");
  const browser = await puppeteer.launch(
    engine === "firefox" ? { browser: "firefox", executablePath: "/usr/bin/firefox-esr", headless: true } : CHROMIUM,
  );
  return {
    engine,
    async open(url, { viewport, colorScheme, before } = {}) {
      const page = await browser.newPage();
      const opened = { requests: [], errors: [], console: [], early: true };
      page.on("request", (request) => opened.requests.push(request.url()));
      page.on("pageerror", (error) => opened.errors.push(String(error?.message ?? error)));
      page.on("console", (message) => opened.console.push({ text: message.text(), at: Date.now() }));
      if (viewport) await page.setViewport(viewport);
      if (colorScheme) await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: colorScheme }]);
      if (before) await page.evaluateOnNewDocument(before);
      await page.goto(url);
      return Object.assign(opened, {
        native: page,
        evaluate: (fn, ...args) => page.evaluate(fn, ...args),
        waitFor: (fn, ...args) => page.waitForFunction(fn, { timeout: WAIT_MS, polling: 100 }, ...args),
        click: (selector) => page.click(selector),
        press: (key) => page.keyboard.press(key),
        focus: (selector) => page.focus(selector),
        scheme: (value) => page.emulateMediaFeatures([{ name: "prefers-color-scheme", value }]),
        reload: () => page.reload(),
        shot: async (selector) =>
          Buffer.from(await (selector ? (await page.$(selector)).screenshot() : page.screenshot())),
        close: () => page.close(),
      });
    },
    close: () => browser.close(),
  };
}

async function webkitBrowser() {
  const { Builder, By, Key } = require("selenium-webdriver");
  const port = await freePort();
  const driverProcess = spawn("WebKitWebDriver", [`--port=${port}`], { stdio: "ignore" });
  const driver = await (async () => {
    for (let tries = 0; ; tries++) {
      try {
        return await new Builder()
          .usingServer(`http://127.0.0.1:${port}`)
          .withCapabilities({
            browserName: "MiniBrowser",
            "webkitgtk:browserOptions": {
              binary: "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser",
              args: ["--automation"],
            },
          })
          .build();
      } catch (error) {
        if (tries > 50) throw error;
        await new Promise((done) => setTimeout(done, 200));
      }
    }
  })();
  // WebDriver's scripts are function bodies: a function is sent as one called with
  // the arguments given, and what it resolves to comes back.
  const call = (fn, args) =>
    driver
      .executeAsyncScript(
        `const done = arguments[arguments.length - 1];
       Promise.resolve((${fn}).apply(null, Array.from(arguments).slice(0, -1))).then(
         (value) => done({ value }), (error) => done({ error: String(error) }));`,
        ...args,
      )
      .then(({ value, error }) => {
        if (error) throw new Error(error);
        return value;
      });
  await driver.manage().setTimeouts({ script: WAIT_MS });
  let open = false;
  return {
    engine: "webkit",
    async open(url, { before } = {}) {
      // One page at a time: WebKitWebDriver drives one window.
      if (open) throw new Error("WebKitGTK: one page at a time");
      open = true;
      await driver.get(url);
      if (before) await call(before, []);
      const opened = { requests: [], errors: [], console: [], early: false };
      return Object.assign(opened, {
        evaluate: (fn, ...args) => call(fn, args),
        // Only whether it came true comes back: WebDriver would copy a whole object
        // (an editor, say) out of the page, for minutes.
        waitFor: (fn, ...args) =>
          driver.wait(
            () => call(`(...a) => Promise.resolve((${fn})(...a)).then(Boolean)`, args).catch(() => false),
            WAIT_MS,
            "waited a minute in WebKitGTK",
          ),
        click: (selector) => driver.findElement(By.css(selector)).click(),
        press: (key) =>
          driver
            .actions()
            .sendKeys(Key[key.toUpperCase()] ?? key)
            .perform(),
        focus: (selector) => call((s) => document.querySelector(s).focus(), [selector]),
        reload: () => driver.navigate().refresh(),
        shot: async () => Buffer.from(await driver.takeScreenshot(), "base64"),
        close: async () => {
          await driver.get("about:blank");
          open = false;
        },
      });
    },
    async close() {
      await driver.quit().catch(() => {});
      driverProcess.kill();
    },
  };
}

export function launch(engine) {
  if (engine === "webkit") return webkitBrowser();
  if (engine === "chromium" || engine === "firefox") return puppeteerBrowser(engine);
  throw new Error(`no engine ${engine}: ${ENGINES.join(", ")}`);
}
