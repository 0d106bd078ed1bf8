// Lighthouse on the gallery and on each lesson's page, as web/serve.mjs serves them
// and as a phone would load them (Lighthouse's mobile profile and its default,
// simulated throttling), in Debian's Chromium. Prints a Markdown table of the four
// scores and the largest contentful paint; exits 3 when a page scores under 0.95
// for performance or under 1 for accessibility, best practices or SEO.
//   node lighthouse.mjs <lighthouse's node_modules folder> <bin> <report folder>

import { execFile } from "node:child_process";
import { mkdirSync, readFileSync } from "node:fs";
import { join } from "node:path";
import { promisify } from "node:util";
import { lessonsOf } from "../tools/lessons_table.mjs";
import { serve } from "../web/serve.mjs";

const [modules, bin, reports] = process.argv.slice(2);
const lessons = lessonsOf(bin).map((lesson) => lesson.name);
const pages = ["", ...lessons.map((lesson) => `${lesson}.html`)];
const version = JSON.parse(readFileSync(join(modules, "node_modules", "lighthouse", "package.json"), "utf8")).version;
const run = promisify(execFile);
const least = { performance: 0.95, accessibility: 1, "best-practices": 1, seo: 1 };

mkdirSync(reports, { recursive: true });
// The server runs in this process, so Lighthouse runs beside it, not blocking it.
// Nothing warmed first: the compressed forms are the build's, as a first visit gets them.
const { server, url } = await serve(bin);
const rows = [];
let allMet = true;
try {
  for (const page of pages) {
    const name = page || "index.html";
    const report = join(reports, `${name}.json`);
    await run(
      join(modules, "node_modules", ".bin", "lighthouse"),
      [
        url + page,
        "--quiet",
        "--output=json",
        `--output-path=${report}`,
        "--form-factor=mobile",
        "--chrome-flags=--headless=new --no-sandbox --disable-gpu",
      ],
      { env: { ...process.env, CHROME_PATH: "/usr/bin/chromium" }, maxBuffer: 1 << 26 },
    );
    const { categories, audits } = JSON.parse(readFileSync(report, "utf8"));
    const scores = Object.keys(least).map((id) => categories[id].score);
    const met = Object.values(least).every((floor, i) => scores[i] >= floor);
    allMet = allMet && met;
    rows.push(
      `| ${name} | ${scores.map((s) => s.toFixed(2)).join(" | ")} | ` +
        `${audits["largest-contentful-paint"].displayValue} | ${(audits["total-byte-weight"].numericValue / 1000) | 0} | ` +
        `${met ? "yes" : "**no**"} |`,
    );
  }
} finally {
  server.close();
}
console.log(`Lighthouse ${version}, mobile profile, simulated throttling; Chromium from ${"/usr/bin/chromium"}.`);
console.log("Targets: performance at least 0.95; accessibility, best practices and SEO 1.0.");
console.log();
console.log(
  "| page | performance | accessibility | best practices | SEO | largest contentful paint | KB transferred | targets met |",
);
console.log("|---|---:|---:|---:|---:|---:|---:|---|");
console.log(rows.join("\n"));
console.log(`\nThe full reports: ${reports}`);
process.exit(allMet ? 0 : 3);
