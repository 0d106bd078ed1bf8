"""Writes, or checks, the tables the docs show of the project's data, each between
two marker lines in its page; everything else in a page is left as it is:

- README.md: the lessons, from each lesson's opening comment;
- docs/trace.md: the failures a traced lesson can meet, from lessons/failures.tsv;
- docs/packages.md: what each script installs, from scripts/lib/packages.tsv.

    doc_tables.py --write|--check <checkout> <lesson>...

--check changes nothing and exits 1, showing the difference, where a table is not
what its data says.
"""

import difflib
import html
import sys
from pathlib import Path

from lesson_data import describe, failures, read_tsv

END = "<!-- End of the table -->"


def begin(source):
    return f"<!-- Written by tools/doc_tables.py from {source}: change that, not this table -->"


def cell(text):
    """Text for a Markdown table cell: a '|' would end the cell."""
    return text.replace("|", "\\|")


def lessons_table(root, lessons):
    rows = ["| # | Lesson | What it teaches | Screenshot |", "|---|---|---|---|"]
    for name in lessons:
        source = f"lessons/{name}.cpp"
        about = describe(name, (root / source).read_text(encoding="utf-8"))
        title = cell(about["title"])
        rows.append(
            f"| {about['number']} | [{title}]({source}) | {cell(about['teaches'])} | "
            f'<img src="docs/screenshots/{name}.png" width="240" alt="{name}: {html.escape(about["title"])}"> |'
        )
    return rows


def failures_table(root, lessons):
    rows = [
        "| name | the call that fails | what it means | the page asks | SDL's words |",
        "|---|---|---|---|---|",
    ]
    for failure in failures(root):
        words = f'"{failure["sdl_words"]}"' if failure["sdl_words"] else "none"
        rows.append(
            f"| `{failure['name']}` | `{failure['call']}` | {cell(failure['meaning'])} | "
            f"{cell(failure['question'])} | {cell(words)} |"
        )
    return rows


def packages_table(root, lessons):
    rows = ["| task | what for, and which scripts | Debian packages |", "|---|---|---|"]
    for row in read_tsv(root / "scripts" / "lib" / "packages.tsv"):
        rows.append(f"| `{row['task']}` | {cell(row['what_for'])} | {row['packages']} |")
    return rows


TABLES = [
    ("README.md", "each lesson's opening comment", lessons_table),
    ("docs/trace.md", "lessons/failures.tsv", failures_table),
    ("docs/packages.md", "scripts/lib/packages.tsv", packages_table),
]


def main(mode, root, lessons):
    root = Path(root)
    stale = 0
    for page, source, make in TABLES:
        path = root / page
        lines = path.read_text(encoding="utf-8").split("\n")
        if begin(source) not in lines or END not in lines:
            sys.exit(f"{path}: the lines {begin(source)} and {END} mark where its table goes; one is missing")
        first = lines.index(begin(source)) + 1
        last = first + lines[first:].index(END)
        # Blank lines around it, so the markers stay out of the table.
        wanted = [""] + make(root, lessons) + [""]
        if lines[first:last] == wanted:
            continue
        if mode == "--check":
            stale += 1
            print(f"{page}'s table is not what {source} says; write it with: sh scripts/screenshots.sh")
            sys.stdout.writelines(
                line + "\n" for line in difflib.unified_diff(lines[first:last], wanted, page, source, lineterm="")
            )
            continue
        path.write_text("\n".join(lines[:first] + wanted + lines[last:]), encoding="utf-8")
        print(f"Wrote the table in {path} from {source}")
    return 1 if stale else 0


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in ("--write", "--check"):
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3:]))
