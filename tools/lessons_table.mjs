// A build's lessons, as its lessons.tsv lists them (one row a lesson: name, kind,
// draws, prints, screenshot), for the scripts that drive the lessons' pages.
//   lessonsOf(bin) -> [{ name, kind, draws, prints, screenshot }, ...]
// <bin> is a build's bin/, beside which lessons.tsv is.

import { readFileSync } from "node:fs";
import { join } from "node:path";

export function lessonsOf(bin) {
  const [heading, ...rows] = readFileSync(join(bin, "..", "lessons.tsv"), "utf8")
    .trim()
    .split("\n");
  const columns = heading.split("\t");
  return rows.map((row) => Object.fromEntries(row.split("\t").map((field, i) => [columns[i], field])));
}
