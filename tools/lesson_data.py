"""What the tools and the pages' build read about the lessons, in one place.

- A lesson's opening comment: its number, title, what it teaches, what it shows.
- The data files: lessons/failures.tsv, the failures a lesson can meet, and
  lessons/<lesson>.prints.tsv, the lines a lesson prints when all goes well ("ok")
  and when it meets each failure it handles. Both are tab-separated, a heading
  first; in a field "\\n" stands for a line break, "\\t" for a tab, "\\\\" for a
  backslash.
"""

import re
from pathlib import Path

ESCAPES = {"n": "\n", "t": "\t", "\\": "\\"}


def read_tsv(path):
    """The rows of a tab-separated file as dictionaries keyed by its heading."""
    lines = Path(path).read_text(encoding="utf-8").splitlines()
    heading = lines[0].split("\t")
    rows = []
    for line in lines[1:]:
        fields = [re.sub(r"\\(.)", lambda m: ESCAPES.get(m[1], m[0]), field) for field in line.split("\t")]
        if len(fields) != len(heading):
            raise ValueError(f"{path}: {len(fields)} fields where its heading has {len(heading)}: {line!r}")
        rows.append(dict(zip(heading, fields)))
    return rows


def failures(root):
    """lessons/failures.tsv: name, call, meaning, question, sdl_words."""
    return read_tsv(Path(root) / "lessons" / "failures.tsv")


def prints(source):
    """What the lesson whose source is `source` prints, by case: "ok" and each
    failure it handles, in the file's order, each a list of lines; nothing where
    it has no prints.tsv yet."""
    path = Path(source).with_name(Path(source).stem + ".prints.tsv")
    if not path.exists():
        return {}
    rows = read_tsv(path)
    return {row["case"]: row["prints"].split("\n") if row["prints"] else [] for row in rows}


def describe(name, text):
    """Number, title, what it teaches and what it shows, from the comment that
    opens a lesson's source:

        // Lesson 01: a window painted one colour
        //
        // What it teaches, one paragraph...
        // Shows: the SDL calls it introduces.
    """
    paragraphs, current = [], []
    for line in text.splitlines():
        if not line.startswith("//"):
            break
        line = line[2:].strip()
        if line:
            current.append(line)
        elif current:
            paragraphs.append(current)
            current = []
    if current:
        paragraphs.append(current)
    number, title = "", name
    heading = re.fullmatch(r"Lesson (\d+): (.+)", paragraphs[0][0]) if paragraphs else None
    if heading:
        number, title = heading.groups()
        paragraphs = paragraphs[1:]
    teaches, shows = [], []
    for line in paragraphs[0] if paragraphs else []:
        if shows or line.startswith("Shows:"):
            shows.append(line)
        else:
            teaches.append(line)
    shows = " ".join(shows)[len("Shows:") :].strip()
    return {"number": number, "title": title, "teaches": " ".join(teaches), "shows": shows}
