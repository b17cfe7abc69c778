"""A small, independent model of how TarnUtil rewrites board settings files.

The end-to-end tests use it as their oracle: for every folder of a generated
tree they compute here, from the bytes a file held before the run, the bytes
the batch driver must leave in it, and compare the two byte for byte.

Everything works on byte strings in Shift-JIS (code page 932), exactly as the
files hold them; nothing is decoded except to tell single-byte from
double-byte characters.

The rules modelled:

* Text is split into lines at CR, LF or CR LF; a NUL byte ends the text. A
  break at the very end adds no empty line; LF then CR is two breaks.
* Sections and keys are found as Windows reads an .ini file. A header line,
  without the white space around it, starts with the character "[" and holds
  a "]" (a double-byte character whose second byte happens to be 0x5D is not
  "]"); its name is the text up to the last "]", without white space around
  it, matched without regard to letter case.
* A section is every line from its header up to the next header, kept behind
  the header "[NAME]"; lines before the first header belong to no section; a
  section given twice keeps both parts, each behind its header.
* A key line's name is the text before its first "=" (the whole line when it
  has none) without the white space around it; names match without regard to
  letter case, in the first occurrence of the section only. Its value is the
  text after the "=" without white space around it and without one pair of
  enclosing quotes. Setting a non-empty value replaces the first matching
  line (the name as the caller spelt it) or adds a line at the end of the
  first occurrence; an empty value deletes the first matching line.
* Writing: the [DIALOG] lines, then the [BASIC] lines, with all white space and
  blank lines at the very end cut, every line ended by CR LF.
* The batch: an empty [BASIC] gets its header; the chosen keys are set in the
  fixed catalogue order (an empty value keeps the key with nothing after its
  "="); every [BASIC] line is trimmed; [DIALOG] is copied; the rest goes.
* The signature file is the signature text with every line break as CR LF.
* Choosing boards: a board is written (its settings file and its signature)
  only when each condition KEY=PATTERN holds on its value as the host reads
  it (a missing key or file: empty), or fails for a negated one; "*" any run
  of characters, "?" one character, ASCII letters without regard to case.
* Importing: each listed board gets the table's values where they differ
  from what it holds (as the host reads it, a missing key empty); a board
  where none differs is left as it is.
* Replacing: in each named key's value as the host reads it, every occurrence
  of a text (starting and ending on character boundaries) is replaced; a key
  whose value holds none is not written, and a board where no key changes
  is left as it is unless something else is written.
"""

import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))  # tests/, for testkit
from testkit import CODE_PAGE, CRLF, sjis  # noqa: E402,F401

SETTINGS_FILE = "tarn_BBS.ini"
SIGNATURE_FILE = "sign.ini"

# Every character of code 32 or less counts as white space when trimming.
_WHITE = bytes(range(33))

# The [BASIC] keys the batch can set, in the order it sets them.
CATALOGUE = ("LIB", "BBSFOLDER", "URL", "UPURL", "NAME", "EMAIL", "HP", "KEY",
             "PARAM1", "PARAM2", "USER", "PASS")

# The [DIALOG] section the companion installs: every field offered, with its
# default label, the keys in the host's own order.
_DIALOG_ORDER = ("URL", "UPURL", "NAME", "EMAIL", "HP", "KEY", "USER", "PASS", "PARAM1", "PARAM2")
_DEFAULT_LABELS = {
    "URL": "掲示板のアドレス(URL):",
    "UPURL": "書き込み先アドレス(URL):",
    "NAME": "名前:",
    "EMAIL": "e-mailアドレス:",
    "HP": "ホームページ:",
    "KEY": "削除キー:",
    "USER": "ユーザ名",
    "PASS": "パスワード",
    "PARAM1": "パラメータ",
    "PARAM2": "未読ポインタ (No. or yyyy/mm/dd,tt:mm)",
}


def is_lead_byte(byte):
    """First byte of a double-byte character of code page 932."""
    return 0x81 <= byte <= 0x9F or 0xE0 <= byte <= 0xFC


def characters(line):
    """The line cut into its characters (1 or 2 bytes each)."""
    chars = []
    i = 0
    while i < len(line):
        width = 2 if is_lead_byte(line[i]) and i + 1 < len(line) else 1
        chars.append(line[i:i + width])
        i += width
    return chars


# ---- lines -------------------------------------------------------------------

def split_lines(text):
    """The lines of a text: breaks at CR LF, CR or LF, the text ending at a NUL."""
    text = text.split(b"\0", 1)[0]
    if not text:
        return []
    lines = re.split(rb"\r\n|\r|\n", text)
    if lines[-1] == b"":  # a break at the very end opens no new line
        lines.pop()
    return lines


def text_form(lines):
    return b"".join(line + CRLF for line in lines)


def trim(line):
    return line.strip(_WHITE)


# ---- sections ----------------------------------------------------------------

def header_name(line):
    """The section name of a header line, or None for any other line."""
    chars = characters(trim(line))
    if not chars or chars[0] != b"[" or b"]" not in chars[1:]:
        return None
    close = len(chars) - 1 - chars[::-1].index(b"]")
    return trim(b"".join(chars[1:close]))


def is_header(line):
    return header_name(line) is not None


def select_section(lines, name):
    """The lines of section `name` (bytes, no brackets) among a file's lines."""
    section = []
    inside = False
    for line in lines:
        found = header_name(line)
        if found is not None:
            inside = _folded(found) == _folded(name)
            if inside:
                section.append(b"[" + name + b"]")
        elif inside:
            section.append(line)
    return section


def read_section(content, name):
    """Section `name` of a file's content; None (no file) reads as empty."""
    if content is None:
        return []
    return select_section(split_lines(content), name)


# ---- name=value lines --------------------------------------------------------

def _folded(name):
    """A name with its letters in one case, character by character, so that
    the second byte of a double-byte character is never folded."""
    out = []
    for ch in characters(name):
        if len(ch) == 1:
            out.append(ch.upper())
        else:
            try:
                out.append(ch.decode(CODE_PAGE).upper().encode(CODE_PAGE))
            except (UnicodeDecodeError, UnicodeEncodeError):
                out.append(ch)
    return b"".join(out)


def _first_occurrence_end(lines):
    return next((i for i in range(1, len(lines)) if is_header(lines[i])), len(lines))


def _match(lines, name):
    wanted = _folded(name)
    for index in range(_first_occurrence_end(lines)):
        line = lines[index]
        if is_header(line):
            continue
        key = trim(line.split(b"=", 1)[0])
        if key and _folded(key) == wanted:
            return index
    return None


def lookup(lines, name):
    """The value of the key `name` as the host reads it, or None when no line names it."""
    index = _match(lines, name)
    if index is None:
        return None
    if b"=" not in lines[index]:
        return b""
    value = trim(lines[index].split(b"=", 1)[1])
    if len(value) >= 2 and value[:1] in (b'"', b"'") and value[-1:] == value[:1]:
        value = value[1:-1]
    return value


def get(lines, name):
    value = lookup(lines, name)
    return b"" if value is None else value


def set_value(lines, name, value):
    index = _match(lines, name)
    if value:
        line = name + b"=" + value
        if index is None:
            lines.insert(_first_occurrence_end(lines), line)
        else:
            lines[index] = line
    elif index is not None:
        del lines[index]


# ---- writing -----------------------------------------------------------------

def write_sections(first, second):
    """The bytes of a file holding `first` and then `second`."""
    joined = text_form(list(first) + [text_form(second)])
    return text_form(split_lines(joined.rstrip(_WHITE)))


# ---- the batch ---------------------------------------------------------------

class Fields:
    """What one batch run writes: the chosen keys with their values (bytes),
    BBSFOLDER as a flag, and the signature text if any."""

    def __init__(self, values=None, bbsfolder=None, signature=None, where=(), replace=None, only_changed=False):
        self.only_changed = only_changed  # an import: only the values that differ
        self.where = [(key.upper(), sjis(pattern), negated) for key, pattern, negated in where]
        # (keys, from, to): the text replaced in the keys' values.
        self.replace = None if replace is None else ([k.upper() for k in replace[0]], sjis(replace[1]), sjis(replace[2]))
        self.values = {}
        for key, value in (values or {}).items():
            key = key.upper()
            if key not in CATALOGUE or key == "BBSFOLDER":
                raise ValueError(key)
            self.values[key] = value if isinstance(value, bytes) else sjis(value)
        self.bbsfolder = bbsfolder  # None: not chosen; True: "1"; False: empty
        self.signature = signature  # bytes of the signature text, or None

    def chosen(self):
        """(key, value) in the order the batch sets them."""
        for key in CATALOGUE:
            if key == "BBSFOLDER":
                if self.bbsfolder is not None:
                    yield key, b"1" if self.bbsfolder else b""
            elif key in self.values:
                yield key, self.values[key]


def apply_fields(basic, fields):
    basic = list(basic) or [b"[BASIC]"]
    for key, value in fields.chosen():
        # A single space keeps an emptied key alive until the trim below.
        set_value(basic, key.encode("ascii"), value or b" ")
    return [trim(line) for line in basic]


def matches(value, pattern):
    """The wildcard match of the file search over characters, without its
    rule for extensions."""
    def same(a, b):
        return a == b or (len(a) == 1 and len(b) == 1 and a.upper() == b.upper())

    def match(t, p):
        if not p:
            return not t
        if p[0] == b"*":
            return any(match(t[i:], p[1:]) for i in range(len(t) + 1))
        return bool(t) and (p[0] == b"?" or same(p[0], t[0])) and match(t[1:], p[1:])
    return match(characters(value), characters(pattern))


def is_chosen(basic, fields):
    return all(matches(get(basic, key.encode("ascii")), pattern) != negated
               for key, pattern, negated in fields.where)


def replace_all(value, old, new):
    """`value` with `old` replaced on character boundaries, or None when it holds none."""
    chars = characters(value)
    out, i, found = b"", 0, False
    while i < len(chars):
        joined, j = b"", i
        while j < len(chars) and len(joined) < len(old):
            joined += chars[j]
            j += 1
        if joined == old:
            out, i, found = out + new, j, True
        else:
            out, i = out + chars[i], i + 1
    return out if found else None


def for_board(basic, fields):
    """The fields for one board: its own replaced values added and, for an
    import, the values it already holds dropped."""
    if fields.replace is None and not fields.only_changed:
        return fields
    board = Fields(bbsfolder=fields.bbsfolder, signature=fields.signature)
    board.values = dict(fields.values)
    if fields.replace is not None:
        keys, old, new = fields.replace
        for key in keys:
            changed = replace_all(get(basic, key.encode("ascii")), old, new)
            if changed is not None:
                board.values[key] = changed
    if fields.only_changed:
        board.values = {k: v for k, v in board.values.items() if get(basic, k.encode("ascii")) != v}
        if board.bbsfolder is not None and get(basic, b"BBSFOLDER") == (b"1" if board.bbsfolder else b""):
            board.bbsfolder = None
    return board


def settings_after_batch(content, fields):
    """The bytes of tarn_BBS.ini after the batch, from its bytes before (None
    when the folder had no such file and keeps none)."""
    lines = split_lines(content) if content is not None else []
    dialog = select_section(lines, b"DIALOG")
    basic = select_section(lines, b"BASIC")
    if not is_chosen(basic, fields):
        return content
    board = for_board(basic, fields)
    if (fields.replace is not None or fields.only_changed) and not list(board.chosen()) and board.signature is None:
        return content
    return write_sections(dialog, apply_fields(basic, board))


def tree_after_batch(files, folders, fields):
    """Every file of a tree (relative path -> bytes) after a batch with
    `fields` over `folders`, from the files before."""
    files = dict(files)
    for folder in folders:
        settings = Path(folder) / SETTINGS_FILE
        old = files.get(settings)
        if not is_chosen(select_section(split_lines(old or b""), b"BASIC"), fields):
            continue
        new = settings_after_batch(old, fields)
        if new is not None:
            files[settings] = new
        if fields.signature is not None:
            files[Path(folder) / SIGNATURE_FILE] = fields.signature
    return files


def signature_text(file_content):
    """The text a signature file yields (cut at a NUL), every CR, LF or CR LF
    a line break written as CR LF."""
    text = file_content.split(b"\0", 1)[0]
    return re.sub(rb"\r\n|\r|\n", CRLF, text)


def reference_values(content, keys):
    """Values of `keys` in the [BASIC] section of a reference file."""
    basic = read_section(content, b"BASIC")
    return {key: get(basic, key.encode("ascii")) for key in keys}


def default_dialog():
    """The companion's default [DIALOG] section, as lines."""
    lines = [b"[DIALOG]"]
    lines += [key.encode("ascii") + b"=1" for key in _DIALOG_ORDER]
    lines += [b"_" + key.encode("ascii") + b"=" + sjis(_DEFAULT_LABELS[key]) for key in _DIALOG_ORDER]
    return lines
