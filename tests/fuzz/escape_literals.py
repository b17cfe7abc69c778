#!/usr/bin/env python3
"""Copies C++ sources for the clang fuzz build, with every non-ASCII character
inside a string or character literal replaced by octal escapes of its
Shift-JIS (code page 932) bytes.

The regular builds compile the UTF-8 sources with g++ and
-fexec-charset=CP932, so that a Japanese literal is Shift-JIS bytes. Clang
only knows UTF-8 as execution character set; these copies let it produce
exactly the same bytes. Octal escapes are used because they end after three
digits (a hexadecimal escape would swallow a following letter or digit).
Comments and everything else are copied unchanged.

usage: escape_literals.py SOURCE_ROOT OUTPUT_ROOT FILE...
  FILE is a path relative to SOURCE_ROOT; the copy lands at the same
  relative path below OUTPUT_ROOT.
"""

import os
import sys


def escape(ch):
    return "".join("\\%03o" % b for b in ch.encode("cp932"))


def convert(text, name):
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(text[i:end])
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise SystemExit("%s: unterminated comment" % name)
            out.append(text[i:end + 2])
            i = end + 2
        elif c in "\"'":
            if c == '"' and i > 0 and text[i - 1] == "R" and (i < 2 or not (text[i - 2].isalnum() or text[i - 2] == "_")):
                raise SystemExit("%s: raw string literals are not supported" % name)
            if c == "'" and i > 0 and text[i - 1].isalnum():
                # A digit separator (1'000), not a character literal.
                out.append(c)
                i += 1
                continue
            out.append(c)
            i += 1
            while i < n and text[i] != c:
                if text[i] == "\\":
                    out.append(text[i:i + 2])
                    i += 2
                    continue
                if text[i] == "\n":
                    raise SystemExit("%s: unterminated literal" % name)
                out.append(text[i] if ord(text[i]) < 128 else escape(text[i]))
                i += 1
            out.append(c)
            i += 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    source_root, output_root = argv[1], argv[2]
    for rel in argv[3:]:
        with open(os.path.join(source_root, rel), encoding="utf-8") as f:
            converted = convert(f.read(), rel)
        target = os.path.join(output_root, rel)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "w", encoding="utf-8") as f:
            f.write(converted)


if __name__ == "__main__":
    main(sys.argv)
