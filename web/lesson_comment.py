"""What a lesson is and teaches, read from the comment that opens its source:

    // Lesson 01: a window painted one colour
    //
    // What it teaches, one paragraph...
    // Shows: the SDL calls it introduces.

Its web page, the gallery and the README's table of lessons all say it in these
words, so this is the one place that reads them.
"""

import re


def describe(name, text):
    """Number, title, what it teaches and what it shows, from the opening comment."""
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
