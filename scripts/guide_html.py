#!/usr/bin/env python3
"""The user guide as one HTML page that a browser opens from Explorer.

    guide_html.py GUIDE.md OUT.html

Converts the Markdown the guide is written in: headings, paragraphs, quotes,
lists (nested by indentation), tables, fenced code, and inline code, bold,
links and pictures. The pictures go into the page as data: URIs, so the page
is one file that needs nothing beside it. Headings get the identifiers that
the guide's links to them use (lower case; punctuation other than "-" and
"_" dropped; spaces turned into "-"). A link to a heading that does not exist,
a picture that cannot be read or a link to a file the page cannot hold is an
error: the page must work on its own.

The page is UTF-8 (declared in a meta element) with CR LF line ends. The same
guide and pictures give the same bytes.
"""

import base64
import html
import re
import sys
import unicodedata
from pathlib import Path

PICTURE_TYPES = {".png": "image/png", ".jpg": "image/jpeg", ".jpeg": "image/jpeg", ".gif": "image/gif"}

STYLE = """\
body { font-family: "Meiryo", "Yu Gothic", "MS PGothic", "IPAPGothic", sans-serif; line-height: 1.7;
       max-width: 56em; margin: 1em auto; padding: 0 1em; color: #222; }
h1 { border-bottom: 2px solid #888; } h2 { border-bottom: 1px solid #bbb; margin-top: 2em; }
code { font-family: "MS Gothic", "IPAGothic", monospace; background: #f2f2f2; padding: 0 0.2em; }
pre { background: #f2f2f2; padding: 0.6em; overflow-x: auto; } pre code { padding: 0; }
table { border-collapse: collapse; } th, td { border: 1px solid #aaa; padding: 0.3em 0.6em; vertical-align: top; }
th { background: #eee; } blockquote { border-left: 4px solid #c60; margin-left: 0; padding-left: 1em; }
img { max-width: 100%; border: 1px solid #ccc; }"""


class GuideError(Exception):
    pass


def heading_id(text):
    """The identifier of a heading, as the guide's own links spell it."""
    text = re.sub(r"`([^`]*)`", r"\1", text).strip().lower()
    kept = []
    for c in text:
        if c == " ":
            kept.append("-")
        elif c in "-_" or c.isalnum() or unicodedata.category(c).startswith("M"):
            kept.append(c)
    return "".join(kept)


def is_wide(c):
    return unicodedata.east_asian_width(c) in ("W", "F")


def join_lines(lines):
    """The lines of one paragraph, joined by a space where the text on either
    side is not Japanese (Japanese text has no space at a line break)."""
    text = ""
    for line in (l.strip() for l in lines):
        if not line:
            continue
        after = line.lstrip("`*[!") or line
        if text and not (is_wide(text.rstrip("`*")[-1:] or " ") or is_wide(after[0])):
            text += " "
        text += line
    return text


class Converter:
    def __init__(self, source):
        self.source = Path(source)
        self.ids = set()
        self.links = []  # heading links used, checked at the end

    # ---- inline ---------------------------------------------------------------

    def inline(self, text):
        # Code spans first, kept aside, so that nothing inside them is styled
        # while bold text and links around them still are.
        codes = []

        def keep(match):
            codes.append("<code>%s</code>" % html.escape(match.group(1), quote=False))
            return "\0%d\0" % (len(codes) - 1)

        text = self.styled(re.sub(r"`([^`]+)`", keep, text))
        return re.sub(r"\0(\d+)\0", lambda m: codes[int(m.group(1))], text)

    def styled(self, text):
        text = html.escape(text, quote=False)
        text = re.sub(r"!\[([^\]]*)\]\(([^)\s]+)\)", lambda m: self.picture(m.group(1), m.group(2)), text)
        text = re.sub(r"\[([^\]]+)\]\(([^)\s]+)\)", lambda m: self.link(m.group(1), m.group(2)), text)
        text = re.sub(r"\*\*(.+?)\*\*", r"<strong>\1</strong>", text)
        return text

    def link(self, label, target):
        target = html.unescape(target)
        if target.startswith("#"):
            self.links.append(target[1:])
        elif not re.match(r"^(https?|mailto):", target):
            raise GuideError("%s links to %s, which the page cannot hold" % (self.source, target))
        return '<a href="%s">%s</a>' % (html.escape(target), label)

    def picture(self, alt, target):
        path = (self.source.parent / html.unescape(target)).resolve()
        kind = PICTURE_TYPES.get(path.suffix.lower())
        if kind is None:
            raise GuideError("%s shows %s, which is no picture" % (self.source, target))
        try:
            data = path.read_bytes()
        except OSError as e:
            raise GuideError("%s shows %s: %s" % (self.source, target, e))
        uri = "data:%s;base64,%s" % (kind, base64.b64encode(data).decode("ascii"))
        return '<img src="%s" alt="%s">' % (uri, html.escape(html.unescape(alt)))

    # ---- blocks ---------------------------------------------------------------

    def convert(self, markdown):
        lines = markdown.replace("\r\n", "\n").split("\n")
        body = []
        title = None
        i = 0
        while i < len(lines):
            line = lines[i]
            if not line.strip():
                i += 1
            elif line.startswith("```"):
                end = i + 1
                while end < len(lines) and not lines[end].startswith("```"):
                    end += 1
                code = "\n".join(lines[i + 1:end])
                body.append("<pre><code>%s</code></pre>" % html.escape(code, quote=False))
                i = end + 1
            elif re.match(r"^#{1,6} ", line):
                level = len(line) - len(line.lstrip("#"))
                text = line[level:].strip()
                ident = heading_id(text)
                self.ids.add(ident)
                if title is None:
                    title = re.sub(r"`([^`]*)`", r"\1", text)
                body.append('<h%d id="%s">%s</h%d>' % (level, html.escape(ident), self.inline(text), level))
                i += 1
            elif line.startswith(">"):
                block = []
                while i < len(lines) and lines[i].startswith(">"):
                    block.append(lines[i][1:].strip())
                    i += 1
                body.append("<blockquote><p>%s</p></blockquote>" % self.inline(join_lines(block)))
            elif line.startswith("|"):
                block = []
                while i < len(lines) and lines[i].startswith("|"):
                    block.append(lines[i])
                    i += 1
                body.append(self.table(block))
            elif self.list_marker(line):
                block = []
                while i < len(lines) and lines[i].strip():
                    block.append(lines[i])
                    i += 1
                body.append(self.list(block))
            else:
                block = []
                while i < len(lines) and lines[i].strip() and not self.starts_block(lines[i]):
                    block.append(lines[i])
                    i += 1
                body.append("<p>%s</p>" % self.inline(join_lines(block)))
        missing = sorted(set(self.links) - self.ids)
        if missing:
            raise GuideError("%s links to headings it does not have: %s" % (self.source, ", ".join(missing)))
        return page(title or self.source.stem, body)

    @staticmethod
    def list_marker(line):
        return re.match(r"^(\s*)([-*]|\d+\.)\s+(.*)$", line)

    def starts_block(self, line):
        return bool(line.startswith(("```", ">", "|")) or re.match(r"^#{1,6} ", line) or self.list_marker(line))

    @staticmethod
    def cells(row):
        row = row.strip()
        if row.startswith("|"):
            row = row[1:]
        if row.endswith("|"):
            row = row[:-1]
        return [c.strip() for c in row.split("|")]

    def table(self, rows):
        out = ["<table>"]
        head = self.cells(rows[0])
        out.append("<tr>%s</tr>" % "".join("<th>%s</th>" % self.inline(c) for c in head))
        for row in rows[1:]:
            cells = self.cells(row)
            if all(re.match(r"^:?-+:?$", c) for c in cells):
                continue
            out.append("<tr>%s</tr>" % "".join("<td>%s</td>" % self.inline(c) for c in cells))
        out.append("</table>")
        return "\n".join(out)

    def list(self, lines):
        entries = []  # [indent, ordered, [text lines]]
        for line in lines:
            marker = self.list_marker(line)
            if marker:
                entries.append([len(marker.group(1)), marker.group(2)[0].isdigit(), [marker.group(3)]])
            else:
                entries[-1][2].append(line)  # a continuation of the item above
        out = []
        stack = []  # (indent, tag) of the open lists
        for indent, ordered, text in entries:
            tag = "ol" if ordered else "ul"
            while stack and indent < stack[-1][0]:
                out.append("</li></%s>" % stack.pop()[1])
            if stack and indent == stack[-1][0]:
                out.append("</li>")
            else:
                out.append("<%s>" % tag)
                stack.append((indent, tag))
            out.append("<li>" + self.inline(join_lines(text)))
        while stack:
            out.append("</li></%s>" % stack.pop()[1])
        return "\n".join(out)


def page(title, body):
    lines = ["<!DOCTYPE html>", '<html lang="ja">', "<head>", '<meta charset="utf-8">',
             "<title>%s</title>" % html.escape(title), "<style>", STYLE, "</style>", "</head>", "<body>"]
    lines += body
    lines += ["</body>", "</html>", ""]
    return "\n".join(lines).replace("\n", "\r\n")


def convert_file(source):
    """The HTML page (bytes) of the guide at `source`."""
    text = Path(source).read_text(encoding="utf-8")
    return Converter(source).convert(text).encode("utf-8")


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if len(argv) != 2:
        print("usage: guide_html.py GUIDE.md OUT.html", file=sys.stderr)
        return 2
    try:
        data = convert_file(argv[0])
    except (GuideError, OSError, UnicodeDecodeError) as e:
        print("guide_html: %s" % e, file=sys.stderr)
        return 1
    Path(argv[1]).write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
