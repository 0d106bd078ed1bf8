"""Writes, or checks, the table of lessons in the README from each lesson's opening
comment: its number, title, what it teaches and its screenshot.

    lesson_table.py --write|--check <README.md> <lesson>...

The table sits between the two marker lines below; everything else in the README
is left as it is. --check changes nothing and exits 1, showing the difference,
when the table is not what the lessons say.
"""

import difflib
import html
import sys
from pathlib import Path

# The lessons' opening comments are read by the same code as their web pages'.
# Nothing is written into the checkout, not even Python's cache of that code.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "web"))
from lesson_comment import describe  # noqa: E402

BEGIN = "<!-- The lessons: written from each lesson's opening comment by tools/lesson_table.py -->"
END = "<!-- End of the lessons -->"


def cell(text):
    """Text for a Markdown table cell: a '|' would end the cell."""
    return text.replace("|", "\\|")


def table(root, lessons):
    # Blank lines around it, so the markers stay out of the table.
    rows = ["", "| # | Lesson | What it teaches | Screenshot |", "|---|---|---|---|"]
    for name in lessons:
        source = f"lessons/{name}.cpp"
        about = describe(name, (root / source).read_text(encoding="utf-8"))
        title = cell(about["title"])
        rows.append(
            f"| {about['number']} | [{title}]({source}) | {cell(about['teaches'])} | "
            f'<img src="docs/screenshots/{name}.png" width="240" alt="{name}: {html.escape(about["title"])}"> |'
        )
    return rows + [""]


def main(mode, readme, lessons):
    readme = Path(readme)
    lines = readme.read_text(encoding="utf-8").split("\n")
    if BEGIN not in lines or END not in lines:
        sys.exit(f"{readme}: the lines {BEGIN} and {END} mark where the table goes; one is missing")
    begin, end = lines.index(BEGIN) + 1, lines.index(END)
    wanted = table(readme.parent, lessons)
    if lines[begin:end] == wanted:
        return 0
    if mode == "--check":
        print(f"{readme}'s table of lessons is not what the lessons' opening comments say;")
        print("write it with: sh scripts/screenshots.sh (or build the target lesson_table)")
        sys.stdout.writelines(line + "\n" for line in difflib.unified_diff(
            lines[begin:end], wanted, "README.md", "the lessons", lineterm=""))
        return 1
    readme.write_text("\n".join(lines[:begin] + wanted + lines[end:]), encoding="utf-8")
    print(f"Wrote the table of {len(lessons)} lessons in {readme}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 4 or sys.argv[1] not in ("--write", "--check"):
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3:]))
