#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into tests/fuzz/corpus/<target>/.

The seeds are small, real-looking inputs: board settings files in Shift-JIS
as the host and its companion leave them (CR LF, LF only, CR only, lower-case
headers, other sections, NUL bytes, characters whose second byte is '\\' or
']', a lead byte cut off at the end), mask lists and paths for the token
scanner, and the companion's typical command lines. The files are committed;
run this again after changing it.
"""

import os
import shutil
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
CORPUS = HERE / "corpus"


sys.path.insert(0, str(HERE.parent))  # tests/, for testkit
sys.path.insert(0, str(HERE.parent / "e2e"))  # the companion's default [DIALOG] section
from default_dialog import DIALOG_LINES  # noqa: E402
from testkit import crlf, sjis  # noqa: E402,F401


BASIC = [
    "[BASIC]", "LIB=2ch", "BBSFOLDER=1", "URL=http://example.jp/zatsudan/", "UPURL=http://example.jp/test/bbs.cgi",
    "NAME=名無しさん", "EMAIL=sage", "HP=", "KEY=削除", "PARAM1=", "PARAM2=2004/01/02,12:34", "USER=", "PASS=",
]

SETTINGS_FILES = {
    "companion": crlf(*DIALOG_LINES, *BASIC),
    "basic_only": crlf("[BASIC]", "NAME=山田", "EMAIL=yamada@example.jp"),
    "lf_lower_keys": sjis("[DIALOG]\n_NAME=名前:\n\n[BASIC]\nname=旧名\npass=ひみつ\nurl =http://spaced/\n"),
    "cr_blank_lines": sjis("[BASIC]\rNAME=三\r\rEMAIL=a@b\r\r"),
    "lf_cr": sjis("[BASIC]\n\rNAME=x\n\r"),
    "five_c_trail": crlf("[DIALOG]", "_NAME=名前ソ:", "[BASIC]", "NAME=表ソ", "PARAM1=ソ表ソ", "HP=http://ソ.example/表"),
    "lower_headers": crlf("[dialog]", "_NAME=x", "[basic]", "NAME=old", "PASS=old"),
    "mixed": crlf("; written by hand", "NAME=before-header", "[OTHER]", "NAME=in-other", "[BASIC] ",
                  "KEY=still-other", "[BASIC]", "  NAME=先頭空白  ", "\tURL=http://tab/\t", "[メモゾ",
                  "HP=http://after/", "", "[DIALOG]", "_NAME=名前:   ", "   ", "", "[Extra]", "x=1", "[BASIC]",
                  "PARAM2=12345", "pass=OldPass", "", "   ") + b"\r\n\t\r\n",
    "nul": crlf("[BASIC]", "NAME=a") + b"KEY=k\0lost" + crlf("", "[BASIC]", "PARAM1=lost"),
    "lead_at_line_end": b"[BASIC]\r\nNAME=\x83\r\nKEY=\x81\nPASS=x\x9f",
    "invalid_sjis": b"[BASIC]\r\nNAME=\x80\xa0\xfd\xfe\xff\r\nURL=\x81\x20\x81\x7f\r\n[\x83\x5d]\r\nHP=x\r\n",
    "basic_twice": crlf("[BASIC]", "NAME=one", "[DIALOG]", "URL=1", "[BASIC]", "name=two", "NAME=three"),
    "empty": b"",
    "header_only_dialog": crlf("[DIALOG]", "URL=1", "_URL=アドレス"),
    "white_everywhere": b" \t\r\n[BASIC]\r\n \x01NAME=\x1f v \x7f \r\n\x0b\r\n \r\n",
    # Shapes that hand-editing leaves and Windows reads as the host does.
    "spaced_keys": crlf("[BASIC]", " NAME = 旧 ", "EMAIL =x", "\tURL=u", "HP", "HP=later", "LIB='quoted'"),
    "spaced_headers": crlf("[ dialog ]", "_NAME=x", " [ Basic ]\t", "URL=u", "PASS=p", "[BASIC]x", "NAME=second"),
}

# Board tables as tarnbatch --list writes them and spreadsheets save them.
TABLES = {
    "listed_utf8": "\ufeffFOLDER,URL,NAME\r\n雑談/板,http://old.example/a/,名無し\r\n.,,\r\n".encode("utf-8"),
    "quoted_sjis": crlf("folder,Name,url", '板,"名前, ""引用""",http://x/', '"two\r\nlines",,'),
    "lf_no_end": b"FOLDER,URL\nb,u\nc,",
    "malformed": b'FOLDER,URL\r\nb,"open\r\nc,d"e\r\n',
}

# Field values for ApplyToFolder seeds: a flags byte, a 12-bit mask in
# catalogue order (LIB BBSFOLDER URL UPURL NAME EMAIL HP KEY PARAM1 PARAM2
# USER PASS), then one LF-ended value per enabled field.
KEYS = ["LIB", "BBSFOLDER", "URL", "UPURL", "NAME", "EMAIL", "HP", "KEY", "PARAM1", "PARAM2", "USER", "PASS"]


def fields(flags, values):
    mask = 0
    out = b""
    for i, key in enumerate(KEYS):
        if key in values:
            mask |= 1 << i
            out += sjis(values[key]) + b"\n"
    return bytes([flags, mask & 0xFF, mask >> 8]) + out


FIELD_SETS = {
    "name_email": (1, {"NAME": "名前テスト", "EMAIL": ""}),
    "everything": (3, {k: ("1" if k == "BBSFOLDER" else "値ソ" + k) for k in KEYS}),
    "lib_pass": (1, {"LIB": "2ch_plugin", "PASS": "ソ表", "BBSFOLDER": ""}),
    "spaces": (1, {"NAME": "  前後に空白  ", "URL": " http://x/ "}),
    "nothing": (1, {}),
    "dry_run": (5, {"NAME": "x"}),
}

STR_TOK = [
    (b";", b"qv_*.exe;qv_*.pl;qv_*.rb;qv_*.vbs;qv_*.js"),
    (b";", b";;qv_*.exe;;qv_*.pl;"),
    (b";", b""),
    (b";", b";;;"),
    (b"\\", sjis("C:\\ホスト\\ソース\\表\\data")),
    (b"\\:", sjis("C:\\host\\data\\板ソ\\")),
    (b" \t", sjis("名前 ソ\t表 ")),
    (b"]", sjis("[メモゾ]]x")),
    (b";", b"qv_\x83"),
]

COMMAND_LINES = [b"", b"i", b"I", b"-i", b"/i", b"ii", b"\"i\"", b"i extra args", b"\"\"", b"\"\" i",
                 b"\t i", b"\"\"\"i\"", b"\"i b\" c", sjis("表ソ i")]


# Journal lines after a header the target adds (first byte 1), and one file
# that brings its own (first byte 0): each kind of record, a record whose old
# bytes lie beyond old.bin, a path twice, a line cut short by a kill.
JOURNALS = {
    "three_kinds": b"\1" + "".join(line + "\r\n" for line in [
        "replaced\t0\t5\t3\t00\t/data/a/tarn_BBS.ini", "created\t-\t-\t4\tff\t/data/b/tarn_BBS.ini",
        "removed\t5\t3\t-\t-\t/data/b/tarn_BBS.ini", "end\tfinished\t3"]).encode("ascii"),
    "beyond_twice_cut": b"\1" + "".join(line + "\r\n" for line in [
        "replaced\t30\t10\t3\t00\t/data/x", "replaced\t0\t5\t3\t00\t/data/a",
        "replaced\t2\t4\t3\t1a\t/data/a"]).encode("ascii") + b"repl",
    "own_header": b"\0" + crlf("TarnUtil journal 1", "undo\t/j/20261208-101010-1", "replaced\t0\t1\t1\t0\t/板/ソ"),
}


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def main():
    if CORPUS.exists():
        shutil.rmtree(CORPUS)
    for i, (name, content) in enumerate(SETTINGS_FILES.items()):
        write("read_section", "%s_basic" % name, b"\0" + content)
        if i % 3 == 0:
            write("read_section", "%s_dialog" % name, b"\1" + content)
    write("read_section", "lower_headers_lower", b"\2" + SETTINGS_FILES["lower_headers"])
    write("read_section", "mixed_other", b"\3" + SETTINGS_FILES["mixed"])
    write("read_section", "zo_header", b"\4" + crlf("[ゾ]", "x=1"))

    field_names = list(FIELD_SETS)
    for i, (name, content) in enumerate(SETTINGS_FILES.items()):
        set_name = field_names[i % len(field_names)]
        flags, values = FIELD_SETS[set_name]
        write("apply_to_folder", "%s_%s" % (name, set_name), fields(flags, values) + content)
    write("apply_to_folder", "missing_file", fields(0, {"NAME": "新規", "BBSFOLDER": ""}))

    for i, (delims, text) in enumerate(STR_TOK):
        write("str_tok", "scan_%02d" % i, bytes([len(delims)]) + delims + text)

    for i, line in enumerate(COMMAND_LINES):
        write("companion_command_line", "line_%02d" % i, line)

    for name, data in JOURNALS.items():
        write("read_journal", name, data)

    for name, data in TABLES.items():
        write("csv", name, data)


if __name__ == "__main__":
    os.umask(0o022)
    main()
