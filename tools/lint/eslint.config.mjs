// ESLint's recommended rules for the project's JavaScript, as Style.ESLint runs
// them: the pages' scripts (browser globals), the server, the build's and the
// tests' scripts (Node.js globals), and what runs in a Worker.
// The linters are installed outside the checkout (a cache folder keyed on their
// lock file), so their packages are found from where ESLint itself runs, not from
// this file's folder.
import { createRequire } from "node:module";
import { realpathSync } from "node:fs";

const require = createRequire(realpathSync(process.argv[1]));
const js = require("@eslint/js");
const globals = require("globals");

export default [
  js.configs.recommended,
  {
    languageOptions: { ecmaVersion: 2024, sourceType: "module", globals: { ...globals.node } },
    rules: { "no-unused-vars": ["error", { caughtErrors: "none" }] },
  },
  // The pages' own scripts run in the browser, as classic scripts.
  {
    files: ["web/**/*.js"],
    languageOptions: { sourceType: "script", globals: { ...globals.browser } },
  },
  // The editor and what the page runs in a Worker or a frame of its own.
  {
    files: ["web/**/*.mjs"],
    languageOptions: { globals: { ...globals.browser, ...globals.worker, ...globals.node } },
  },
  // Functions a test hands the browser to run in a page.
  {
    files: ["tests/web/*.mjs", "bench/*.mjs", "tools/browsers.mjs"],
    languageOptions: { globals: { ...globals.node, ...globals.browser } },
  },
];
