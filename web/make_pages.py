"""Writes the web build's pages: one per lesson, its window beside its source, and
the gallery (index.html) that lists them all.

    make_pages.py <bin> <lessons/common> <docs/screenshots> [--editor <editor.css>]
                  [--trace <lessons/failures.tsv>] <kind>:<name>=<source>...

<kind> is "lesson" (a page with its source, listed in the gallery) or "floor" (a
benchmark's floor program: the same page without the source). What a lesson is
and teaches comes from the comment that opens its source, and what it prints from
its prints.tsv beside it (tools/lesson_data.py reads both). With --trace, the
build has each lesson's traced twin, <name>-trace: its page gets a section of its
SDL calls, which trace.js fills when the learner asks, and a button for each
failure the lesson handles (the cases of its prints.tsv), which asks the question
lessons/failures.tsv gives it.

The sources are highlighted with Pygments when the page is built, so no
highlighter reaches the browser. A small Pygments filter marks the names to link:
every SDL name (to its page on SDL2's wiki) and every call of the support library
(to that function's source, shown further down the same page).
"""

import difflib
import html
import json
import re
import shutil
import sys
from pathlib import Path
from string import Template

from pygments import highlight
from pygments.filter import Filter
from pygments.formatters import HtmlFormatter
from pygments.lexers import CppLexer
from pygments.styles.default import DefaultStyle
from pygments.token import Comment, Name, Text

from lesson_data import describe, failures, prints

WEB = Path(__file__).resolve().parent
WIKI = "https://wiki.libsdl.org/SDL2/"
SDL_NAME = re.compile(r"\bSDL_[A-Za-z0-9_]+")
# Marks the filter puts on names; the formatter gives them CSS classes such as
# "n n-Wiki" (the class of a name, then the mark's), which link() below turns into
# links.
WIKI_MARK = "Wiki"
SUPPORT_MARK = "Support"


def coloured(ttype):
    """Whether Pygments' default style gives this kind of token a look of its own
    (white space, which it colours, shows none)."""
    style = DefaultStyle.style_for_token(ttype)
    looks = ("color", "bgcolor", "bold", "italic", "underline", "border")
    return ttype not in Text.Whitespace and any(style[key] for key in looks)


class LinkNames(Filter):
    """Marks SDL names, in code and in comments, and calls of the support functions
    in `support` (by name): qualified as lesson::name in a lesson, plain in the
    support code itself, where `shown` is the function the source defines (not a
    link to itself). Strings are left as they are. Tokens the style leaves
    uncoloured become plain text, so that the page has fewer elements to lay out."""

    def __init__(self, support, shown=None, **options):
        Filter.__init__(self, **options)
        self.support = support - {shown}
        self.in_support = shown is not None

    def filter(self, lexer, stream):
        recent = ""  # the end of the code so far, white space left out
        for ttype, value in stream:
            if ttype in Comment and ttype not in Comment.Preproc and SDL_NAME.search(value):
                at = 0
                for match in SDL_NAME.finditer(value):
                    yield ttype, value[at : match.start()]
                    yield getattr(ttype, WIKI_MARK), match.group()
                    at = match.end()
                yield ttype, value[at:]
            elif ttype is Name and value.startswith("SDL_"):
                yield getattr(ttype, WIKI_MARK), value
            elif (
                ttype is Name
                and value in self.support
                and (self.in_support or re.search(r"(?<![\w:])lesson::$", recent))
            ):
                yield getattr(ttype, SUPPORT_MARK), value
            else:
                yield (ttype if coloured(ttype) else Text), value
            if ttype not in Text and ttype not in Comment:
                recent = (recent + value)[-16:]


def link(highlighted):
    """Turns the marked names into links."""
    highlighted = re.sub(
        r'<span class="([\w ]*?) ?[\w-]*-' + WIKI_MARK + r'">(SDL_\w+)</span>',
        lambda m: f'<a class="{m.group(1)} sdl" href="{WIKI}{m.group(2)}" target="_blank"'
        f' rel="noopener" title="{m.group(2)} on the SDL2 wiki (new tab)">{m.group(2)}</a>',
        highlighted,
    )
    return re.sub(
        r'<span class="([\w ]*?) ?[\w-]*-' + SUPPORT_MARK + r'">(\w+)</span>',
        lambda m: f'<a class="{m.group(1)} support" href="#lesson::{m.group(2)}"'
        f' title="lesson::{m.group(2)}, shown below">{m.group(2)}</a>',
        highlighted,
    )


def show_source(text, prefix, support, shown=None):
    """The source, highlighted and linked, one line a span with the id <prefix><n>.
    Its number is drawn by the CSS, so that copying the code does not copy the
    numbers, and a click on it links to the line (lesson.js)."""
    lexer = CppLexer(stripnl=False, ensurenl=False, tabsize=0)
    lexer.add_filter(LinkNames(support, shown))
    formatter = HtmlFormatter(cssclass="code", linespans=prefix)
    # Pygments numbers the spans <prefix>-<n>; the pages' links say <prefix><n>.
    return re.sub(
        r'<span id="' + re.escape(prefix) + r'-(\d+)">',
        lambda m: f'<span id="{prefix}{m[1]}">',
        link(highlight(text, lexer, formatter)),
    )


def highlighted_lines(text, support):
    """The source's lines, each highlighted and linked as show_source does."""
    lexer = CppLexer(stripnl=False, ensurenl=False, tabsize=0)
    lexer.add_filter(LinkNames(support))
    shown = link(highlight(text, lexer, HtmlFormatter(nowrap=True)))
    return shown.split("\n")[: len(text.splitlines())]


def copy_button(file):
    """A button that copies the source below it (lesson.js does the copying)."""
    return (
        f'<button type="button" class="copy" data-file="{html.escape(file)}">Copy'
        f'<span class="visually-hidden"> {html.escape(file)}</span></button>\n'
    )


def edit_button(file):
    """A button that turns the source below it into an editor (lesson.js loads
    editor.js for it)."""
    return (
        f'<button type="button" class="edit">Edit'
        f'<span class="visually-hidden"> {html.escape(file)}</span></button>\n'
    )


def changes_section(entry, previous, support):
    """What changed in this lesson's source since the previous lesson's: a unified
    difference, highlighted, each added line marked + and each removed one -."""
    old, new = previous["text"], entry["text"]
    old_lines, new_lines = old.splitlines(), new.splitlines()
    old_shown, new_shown = highlighted_lines(old, support), highlighted_lines(new, support)
    before, after = previous["source"].name, entry["source"].name
    rows = []
    matcher = difflib.SequenceMatcher(None, old_lines, new_lines, autojunk=False)
    for group in matcher.get_grouped_opcodes(3):
        first, last = group[0], group[-1]
        rows.append(
            f'<span class="hunk">@@ -{first[1] + 1},{last[2] - first[1]} '
            f"+{first[3] + 1},{last[4] - first[3]} @@</span>"
        )
        for tag, i1, i2, j1, j2 in group:
            if tag == "equal":
                rows += [
                    f'<span class="row same" data-old="{i + 1}" data-new="{j + 1}">'
                    f'<span class="sign"> </span>{new_shown[j]}</span>'
                    for i, j in zip(range(i1, i2), range(j1, j2))
                ]
                continue
            rows += [
                f'<del class="row removed" data-old="{i + 1}"><span class="sign">-</span>{old_shown[i]}</del>'
                for i in range(i1, i2)
            ]
            rows += [
                f'<ins class="row added" data-new="{j + 1}"><span class="sign">+</span>{new_shown[j]}</ins>'
                for j in range(j1, j2)
            ]
    added = sum(j2 - j1 for tag, i1, i2, j1, j2 in matcher.get_opcodes() if tag != "equal")
    removed = sum(i2 - i1 for tag, i1, i2, j1, j2 in matcher.get_opcodes() if tag != "equal")
    return (
        '<section id="changes" class="changes" aria-labelledby="changes-title">\n'
        f'<h2 id="changes-title">What changed since {html.escape(previous["name"])}</h2>\n'
        f"<p>From <code>{html.escape(before)}</code> to <code>{html.escape(after)}</code>: "
        f"{added} line{'s' if added != 1 else ''} added (marked +) and {removed} "
        f"removed (marked -), with three unchanged lines around each change.</p>\n"
        f'<div class="code diff"><pre>{"".join(row + chr(10) for row in rows)}</pre></div>\n'
        "</section>\n"
    )


def support_calls(text, functions, qualified):
    """The support functions `text` calls, in order of first call."""
    pattern = r"\blesson::(\w+)\s*\(" if qualified else r"(?<![\w:.>])(\w+)\s*\("
    found = []
    for match in re.finditer(pattern, text):
        name = match.group(1)
        if name.lower() in functions and name not in found:
            found.append(name)
    return found


def support_reached(text, functions):
    """The support functions a lesson calls, each followed by those it calls in
    turn: the order in which a run first reaches them."""
    reached = []

    def reach(function):
        if function not in reached:
            reached.append(function)
            body = functions[function.lower()].read_text(encoding="utf-8")
            for inner in support_calls(body, functions, qualified=False):
                reach(inner)

    for function in support_calls(text, functions, qualified=True):
        reach(function)
    return reached


def linked_names(text):
    """Escapes `text`, with each SDL name in it linked to the wiki."""
    return SDL_NAME.sub(
        lambda m: f'<a class="sdl" href="{WIKI}{m.group()}" target="_blank" rel="noopener">' f"{m.group()}</a>",
        html.escape(text, quote=False),
    )


def source_sections(entry, previous, functions, editable=False):
    """A lesson's source, what changed since the previous lesson, and the support
    code it calls, as sections of its page."""
    called = support_reached(entry["text"], functions)
    source = (
        f'<section id="source" class="source" aria-labelledby="source-title">\n'
        f'<div class="head"><h2 id="source-title">The source: <code>{html.escape(entry["source"].name)}'
        f"</code></h2>\n<div>{edit_button(entry['source'].name) if editable else ''}"
        f"{copy_button(entry['source'].name)}</div></div>\n"
        f'{show_source(entry["text"], "L", set(called))}</section>\n'
    )
    if previous:
        source += changes_section(entry, previous, set(called))
    if not called:
        return source, ""
    support = [
        '<section class="support" aria-labelledby="support-title">\n'
        '<h2 id="support-title">The support code it calls</h2>\n'
        "<p>The functions the lesson calls from <code>lessons/common/</code>, and those "
        "they call, one file each, in the order a run first reaches them.</p>\n"
    ]
    for function in called:
        path = functions[function.lower()]
        code = show_source(path.read_text(encoding="utf-8"), f"{function}-L", set(called), function)
        support.append(
            f'<section id="lesson::{function}" class="function">\n<div class="head">'
            f"<h3><code>lesson::{function}</code> in <code>lessons/common/{path.name}</code></h3>\n"
            f"{copy_button(path.name)}</div>\n{code}</section>\n"
        )
    return source, "".join(support) + "</section>\n"


def calls_section(name, failures, functions):
    """The section trace.js fills with the lesson's SDL calls: a button to trace a
    run, and one for each failure the lesson handles. data-files maps each source
    the trace can name to the prefix of its lines' ids on the page."""
    files = {f"{name}.cpp": "L", **{path.name: f"{function}-L" for function, path in functions.items()}}
    buttons = "".join(
        f' <button type="button" data-what-if="{html.escape(what_if)}">{html.escape(question)}</button>'
        for what_if, question in failures
    )
    return (
        f'<section id="calls" class="calls" aria-labelledby="calls-title" data-lesson="{name}" '
        f"data-files='{html.escape(json.dumps(files, separators=(',', ':')), quote=False)}'>\n"
        '<h2 id="calls-title">SDL calls</h2>\n'
        "<p>Every SDL call the lesson makes, in order: where it is, what it was given and what "
        'came back. <button type="button" data-what-if="">Trace a run</button></p>\n'
        f'<p class="what-ifs">{buttons.strip()}</p>\n'
        "</section>\n"
    )


def policy(origin):
    """A page's Content-Security-Policy: scripts, styles, pictures, frames and
    workers from `origin` only ('self', or ORIGIN, which a lesson's page writes in
    as it loads: see lesson.html.in); WebAssembly may be compiled; nothing goes to
    any other address (blob: is an edit, handed to the program that runs it). An
    edited lesson runs in a sandboxed frame with a stricter policy of its own
    (web/run/edit_run.mjs), under this one."""
    return (
        f"default-src {origin}; script-src {origin} 'wasm-unsafe-eval'; style-src {origin} 'unsafe-inline'; "
        f"img-src {origin} data:; connect-src {origin} blob:; object-src 'none'; base-uri 'none'; form-action 'none'"
    )


def write_page(out, entry, previous, following, functions, trace=None, editable=False, about=None):
    """bin/<name>.html: the program running, and for a lesson its source beside it.
    `previous` and `following` are the lessons before and after it, if any. `trace`:
    the failures each lesson handles, by name, where the build traces them. `about`:
    each lesson's kind and the data files it reads."""
    is_lesson = entry["kind"] == "lesson"
    source, support = source_sections(entry, previous, functions, editable) if is_lesson else ("", "")
    calls = ""
    if is_lesson and trace is not None:
        called = {function: functions[function.lower()] for function in support_reached(entry["text"], functions)}
        calls = calls_section(entry["name"], trace.get(entry["name"], []), called)
    heading = f"Lesson {entry['number']}: " if entry["number"] else ""
    shows = entry["shows"]
    kind, data = (about or {}).get(entry["name"], ("holds", ""))
    # A lesson that runs until its window is closed gets the page's own way to close it.
    stop = (
        '<p class="stop"><button id="stop" type="button" hidden>Stop</button> '
        "the lesson, as its window's close button would</p>\n"
        if kind == "until-closed"
        else ""
    )
    template = Template((WEB / "lesson.html.in").read_text(encoding="utf-8"))
    (out / f"{entry['name']}.html").write_text(
        template.substitute(
            policy=policy("ORIGIN"),
            name=entry["name"],
            kind=kind,
            data=html.escape(data),
            stop=stop,
            heading=html.escape(heading + entry["title"]),
            description=html.escape(entry["teaches"] or f"{entry['name']}, an SDL2 program, in the browser"),
            teaches=linked_names(entry["teaches"]),
            shows=f'<p class="shows">Shows: {linked_names(shows)}</p>' if shows else "",
            previous=f'<a href="{previous["name"]}.html" rel="prev">← {previous["name"]}</a>' if previous else "",
            next=f'<a href="{following["name"]}.html" rel="next">{following["name"]} →</a>' if following else "",
            layout="with-source" if is_lesson else "without-source",
            calls=calls,
            source=source,
            support=support,
        ),
        encoding="utf-8",
    )


def write_gallery(out, lessons, screenshots):
    """bin/index.html: a card a lesson, with its screenshot."""
    cards = []
    for entry in lessons:
        name, shot = entry["name"], screenshots / f"{entry['name']}.png"
        if shot.exists():
            (out / "screenshots").mkdir(exist_ok=True)
            shutil.copyfile(shot, out / "screenshots" / shot.name)
        number = f'<span class="number">{entry["number"]}</span> ' if entry["number"] else ""
        title = html.escape(entry["title"])
        cards.append(
            f'<li class="card">\n<a href="{name}.html"><img src="screenshots/{name}.png" width="320"'
            f' height="240" alt="{name} running: {title}"></a>\n'
            f'<h2>{number}<a href="{name}.html">{title}</a></h2>\n'
            f'<p class="teaches">{html.escape(entry["teaches"])}</p>\n'
            f'<p class="links"><a href="{name}.html">Run {name}</a> · '
            f'<a href="{name}.html#source">Read its source</a></p>\n</li>\n'
        )
    template = Template((WEB / "index.html.in").read_text(encoding="utf-8"))
    page = template.substitute(policy=policy("'self'"), cards="".join(cards))
    (out / "index.html").write_text(page, encoding="utf-8")


def without_comments(text):
    """A script or style sheet as the browser needs it: its comments, which are
    for whoever reads web/, left out (a line that is only a // comment, or a
    /* ... */ block). No string in these files holds either."""
    text = re.sub(r"/\*.*?\*/\n?", "", text, flags=re.S)
    return "".join(line for line in text.splitlines(True) if not line.lstrip().startswith("//"))


def copy_without_comments(source, target):
    target.write_text(without_comments(source.read_text(encoding="utf-8")), encoding="utf-8")


def write_style(out):
    """bin/lessons.css, with Pygments' colours for the kinds of token the pages show,
    its default style in light colours and github-dark in dark ones: fewer rules for
    the browser to match, and a page that starts sooner."""
    used = set()
    for page in out.glob("*.html"):
        for classes in re.findall(r'class="([\w ]+)"', page.read_text(encoding="utf-8")):
            used.update(classes.split())
    rule = re.compile(r"\.code \.(\w+) ")

    def colours(style):
        return "\n".join(
            line
            for line in HtmlFormatter(style=style).get_style_defs(".code").splitlines()
            if rule.match(line) and rule.match(line).group(1) in used
        )

    style = without_comments((WEB / "lessons.css").read_text(encoding="utf-8"))
    (out / "lessons.css").write_text(
        style
        + "\n"
        + colours("default")
        + "\n@media (prefers-color-scheme: dark) {\n"
        + colours("github-dark")
        + "\n}\n",
        encoding="utf-8",
    )


def main(out, common, screenshots, pages):
    # --editor <editor.css>: the build bundled editor.js, so each lesson's source
    # can be edited on its page.
    editable = pages[:1] == ["--editor"]
    if editable:
        editor_style, pages = Path(pages[1]), pages[2:]
    table = None
    if pages[:1] == ["--trace"]:
        table, pages = Path(pages[1]), pages[2:]
    # --lesson <name>=<kind>=<data files>: what the build knows of each lesson.
    about = {}
    while pages[:1] == ["--lesson"]:
        name, kind, data = pages[1].split("=", 2)
        about[name] = (kind, data)
        pages = pages[2:]
    trace = None
    if table:
        questions = {failure["name"]: failure["question"] for failure in failures(table.parent.parent)}
        trace = {}
        for page in pages:
            kind, rest = page.split(":", 1)
            name, source = rest.split("=", 1)
            if kind == "lesson":
                trace[name] = [(case, questions[case]) for case in prints(source) if case != "ok"]
    out, common, screenshots = Path(out), Path(common), Path(screenshots)
    out.mkdir(parents=True, exist_ok=True)
    # One source a support function, named after it: loadMedia is loadmedia.cpp.
    functions = {path.stem: path for path in sorted(common.glob("*.cpp"))}
    entries = []
    for page in pages:
        kind, rest = page.split(":", 1)
        name, source = rest.split("=", 1)
        text = Path(source).read_text(encoding="utf-8")
        entries.append({"kind": kind, "name": name, "source": Path(source), "text": text, **describe(name, text)})
    lessons = [entry for entry in entries if entry["kind"] == "lesson"]
    for entry in entries:
        at = lessons.index(entry) if entry in lessons else -1
        previous = lessons[at - 1] if at > 0 else None
        following = lessons[at + 1] if 0 <= at < len(lessons) - 1 else None
        write_page(out, entry, previous, following, functions, trace, editable, about)
    write_gallery(out, lessons, screenshots)
    write_style(out)
    copy_without_comments(WEB / "lesson.js", out / "lesson.js")
    if editable:
        copy_without_comments(editor_style, out / "editor.css")
    if trace is not None:
        copy_without_comments(WEB / "trace.js", out / "trace.js")
        copy_without_comments(WEB / "trace.css", out / "trace.css")


if __name__ == "__main__":
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:])
