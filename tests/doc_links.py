"""Every relative link in the README and docs/ leads to a file that exists, and
every #anchor to a heading of the page it names, as GitHub makes anchors.

    doc_links.py <checkout>

Prints each broken link with its file and line, and exits 1 if there is one.
"""

import re
import sys
from pathlib import Path

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)|<(?:img|a)\s[^>]*?(?:src|href)=\"([^\"]+)\"")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")


def prose(text):
    """The lines outside fenced code blocks, as (number, line), inline code removed
    from those that are not headings."""
    fenced = False
    for number, line in enumerate(text.split("\n"), 1):
        if line.lstrip().startswith("```"):
            fenced = not fenced
            continue
        if not fenced:
            yield number, line


def anchors(path):
    """The anchors GitHub gives the headings of a Markdown file: the heading's text
    in lower case, without punctuation but '-' and '_', spaces made '-', and a
    second heading of the same text numbered -1, -2, ..."""
    found, seen = set(), {}
    for _, line in prose(path.read_text(encoding="utf-8")):
        heading = HEADING.match(line)
        if not heading:
            continue
        text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading.group(2))  # a link's text
        text = text.replace("`", "").strip().lower()
        slug = re.sub(r"[^\w\- ]", "", text).replace(" ", "-")
        if slug in seen:
            seen[slug] += 1
            slug = f"{slug}-{seen[slug]}"
        else:
            seen[slug] = 0
        found.add(slug)
    return found


def main(checkout):
    checkout = Path(checkout)
    pages = [checkout / "README.md", *sorted((checkout / "docs").glob("*.md"))]
    broken, count = [], 0
    for page in pages:
        for number, line in prose(page.read_text(encoding="utf-8")):
            line = re.sub(r"`[^`]*`", "", line)  # code spans hold examples, not links
            for match in LINK.finditer(line):
                target = match.group(1) or match.group(2)
                if re.match(r"^[a-z][a-z0-9+.-]*:", target):  # http:, mailto:, ...
                    continue
                count += 1
                path, _, anchor = target.partition("#")
                linked = (page.parent / path).resolve() if path else page
                where = f"{page.relative_to(checkout)}:{number}: {target}"
                if not linked.exists():
                    broken.append(f"{where}: no such file {linked}")
                elif anchor and (linked.suffix != ".md" or anchor not in anchors(linked)):
                    broken.append(f"{where}: {linked.name} has no heading whose anchor is #{anchor}")
    for problem in broken:
        print(f"FAIL: {problem}")
    if not broken:
        print(f"ok: {count} relative links in {len(pages)} pages, each leading to what it names")
    return 1 if broken else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
