#!/usr/bin/env python3
"""Whole-program tests of the batch driver tarnbatch.

Each test builds a tree of board folders in a temporary folder, runs the real
driver over it and compares every file of the tree afterwards, byte for byte,
with what the rules model in tarn_rules.py says it must hold.

The driver is named by the environment:
  TARNBATCH         the driver (native program, or tarnbatch.exe)
  TARN_WINE_RUN     scripts/wine-run.sh, to run tarnbatch.exe under Wine
  TARN_WINE_PREFIX  the Wine prefix for it (its wineserver already running)

Python must use UTF-8 file names (PYTHONUTF8=1, LC_ALL=ja_JP.UTF-8): folder
names on disk are UTF-8, and Wine shows them to the program in code page 932.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import tarn_rules as rules  # noqa: E402
from tarn_rules import CRLF, SETTINGS_FILE, SIGNATURE_FILE, Fields, sjis  # noqa: E402
from testkit import ProgramRun, Snapshot, chattr, crlf, make_immutable  # noqa: E402,F401

SUMMARY = re.compile(r"^folders visited: (\d+), files written: (\d+), "
                     r"files already up to date: (\d+)(?:, skipped: (\d+))?(?:, not chosen: (?P<not_chosen>\d+))?"
                     r"( \(dry run: nothing was written\))?$")
SUMMARY_JA = re.compile(r"^訪れたフォルダ: (\d+)、書き込んだファイル: (\d+)、"
                        r"変更不要のファイル: (\d+)(?:、飛ばしたフォルダ: (\d+))?(（試行: 何も書き込んでいません）)?$")
OLD_TIME_NS = 1_000_000_000 * 1_000_000_000  # 2001-09-09, far from "now"


# ---- running the driver ------------------------------------------------------

class Result(ProgramRun):
    def __init__(self, status, out, err, raw_out=b""):
        super().__init__(status, out, err)
        self.raw_out = raw_out

    def lines(self):
        return self.out.splitlines()

    def summary(self):
        """(folders, written, up to date, dry run) from the last line."""
        lines = self.lines()
        match = SUMMARY.match(lines[-1]) if lines else None
        if not match:
            raise AssertionError("no summary line in %r" % self.out)
        return int(match.group(1)), int(match.group(2)), int(match.group(3)), bool(match.group(6))

    def not_chosen(self):
        return int(SUMMARY.match(self.lines()[-1]).group("not_chosen") or 0)

    def skipped(self):
        """The folders reported as skipped, as printed, and the summary's count."""
        match = SUMMARY.match(self.lines()[-1])
        shown = [line.split("form): ", 1)[1] for line in self.err.splitlines()
                 if line.startswith("tarnbatch: skipped (its name")]
        return shown, int(match.group(4) or 0)


class Driver:
    """The driver the environment names, or `program` (run under Wine only
    when `wine` and the environment names Wine)."""

    def __init__(self, program=None, wine=True):
        self.program = program or os.environ.get("TARNBATCH")
        self.wine_run = os.environ.get("TARN_WINE_RUN") if wine else None
        self.prefix = os.environ.get("TARN_WINE_PREFIX")
        self.wine = bool(self.wine_run)
        # The native driver talks UTF-8; under Wine the program's bytes pass
        # through unchanged, so they are code page 932.
        self.encoding = "cp932" if self.wine else "utf-8"

    def check(self):
        if not self.program:
            raise RuntimeError("TARNBATCH must name the driver to test")
        if self.wine and not self.prefix:
            raise RuntimeError("TARN_WINE_RUN needs TARN_WINE_PREFIX")

    def command(self, args):
        if self.wine:
            return [self.wine_run, self.prefix, self.program] + list(args)
        return [self.program] + list(args)

    def run(self, *args, lang="en", env=None, cwd=None, binary=False):
        """Runs the driver; most tests read its English messages, which the
        Japanese locale they run in would not give without --lang."""
        args = (["--lang=" + lang] if lang else []) + list(args)
        proc = subprocess.run(self.command(args), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=120, env=env, cwd=cwd)
        # stdout is the driver's alone and must decode (but for a table: a
        # file's bytes in its own encoding); stderr may also carry Wine's own
        # remarks.
        return Result(proc.returncode, "" if binary else proc.stdout.decode(self.encoding),
                      proc.stderr.decode(self.encoding, "replace"), proc.stdout)

    def arg(self, path):
        """A path as the user gives it to this driver."""
        path = str(path)
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def path_of(self, shown):
        """The Unix path of a path the driver printed."""
        if self.wine:
            if not shown.startswith("Z:\\"):
                raise AssertionError("not a path on drive Z: %r" % shown)
            return Path(shown[2:].replace("\\", "/"))
        return Path(shown)

    def wine_command(self, *args):
        """Runs a Wine built-in program (such as attrib) in the test prefix."""
        return subprocess.run([self.wine_run, self.prefix] + list(args), stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)


DRIVER = Driver()


# ---- trees of board folders --------------------------------------------------

def companion_file(*basic):
    """A settings file as the host and its companion leave it."""
    return rules.text_form(rules.default_dialog()) + crlf("[BASIC]", *basic)


# Folder (relative to the start folder) -> its tarn_BBS.ini, or None for a
# folder without one.
BOARD_FOLDERS = {
    "": None,
    "雑談板": companion_file(
        "LIB=2ch", "BBSFOLDER=1", "URL=http://example.jp/zatsudan/", "UPURL=http://example.jp/test/bbs.cgi",
        "NAME=名無しさん", "EMAIL=sage", "HP=", "KEY=削除", "PARAM1=", "PARAM2=2004/01/02,12:34",
        "USER=", "PASS="),
    # LF only; keys in lower case; a name with a space before its "=" (still the key).
    "雑談板/過去ログ": "[DIALOG]\n_NAME=名前:\n\n[BASIC]\nname=旧名\npass=ひみつ\nurl =http://spaced/\n".encode("cp932"),
    # CR only, with blank lines.
    "雑談板/過去ログ/2003年": sjis("[BASIC]\rNAME=三\r\rEMAIL=a@b\r\r"),
    "雑談板/過去ログ/2003年/深い": None,
    "雑談板/過去ログ/2003年/深い/底": crlf("[BASIC]", "PARAM2=99"),
    # ソ and 表 end in the byte 0x5C in Shift-JIS, in the folder names as in
    # the values.
    "表ソ": crlf("[DIALOG]", "_NAME=名前ソ:", "[BASIC]", "NAME=表ソ", "PARAM1=ソ表ソ"),
    "表ソ/ソース": None,
    "表ソ/ソース/予定表": crlf("[BASIC]", "HP=http://ソ.example/表"),
    # Headers in lower case are the sections, as the host reads them.
    "小文字": crlf("[dialog]", "_NAME=x", "[basic]", "NAME=old", "PASS=old"),
    # Lines before the first header, other sections, [BASIC] before [DIALOG]
    # and twice, white space around lines, a line "[メモゾ" whose last byte is
    # 0x5D (not a header: it holds no character "]"), a header with a space
    # after it, white space at the end of the file.
    "その他": crlf(
        "; written by hand", "NAME=before-header",
        "[OTHER]", "NAME=in-other", "[BASIC] ", "KEY=still-other",
        "[BASIC]", "  NAME=先頭空白  ", "\tURL=http://tab/\t", "[メモゾ", "HP=http://after/", "",
        "[DIALOG]", "_NAME=名前:   ", "   ", "",
        "[Extra]", "x=1",
        "[BASIC]", "PARAM2=12345", "pass=OldPass", "", "   ") + b"\r\n\t\r\n",
    # Hidden: a dot-folder (Wine shows dot-files as hidden too) and, under Wine,
    # a folder with the hidden attribute.
    ".隠し": crlf("[BASIC]", "NAME=隠れ"),
    ".隠し/中": None,
    "属性隠し": crlf("[BASIC]", "NAME=属性"),
    "空": b"",
    # A NUL ends the text.
    "ヌル": crlf("[BASIC]", "NAME=a") + b"KEY=k\0lost" + crlf("", "[BASIC]", "PARAM1=lost"),
    "DIALOGだけ": crlf("[DIALOG]", "URL=1", "_URL=アドレス"),
    "整形済み": crlf("[BASIC]", "NAME=x"),
    "既存署名": crlf("[BASIC]", "NAME=y"),
}

# Files that are neither tarn_BBS.ini nor sign.ini; no run may touch them.
OTHER_FILES = {
    "雑談板/memo.txt": "メモ\nソ表\n".encode("cp932"),
    "雑談板/tarn_BBS.ini.bak": crlf("[BASIC]", "NAME=backup"),
    "表ソ/ソース/readme.txt": b"readme",
    "既存署名/sign.txt": b"not the signature",
}
OLD_SIGNATURE = ("既存署名/sign.ini", crlf("古い署名"))


def build_tree(root, folders=None, other_files=None, hide=False):
    folders = BOARD_FOLDERS if folders is None else folders
    other_files = OTHER_FILES if other_files is None else other_files
    for rel, content in folders.items():
        folder = root / rel
        folder.mkdir(parents=True, exist_ok=True)
        if content is not None:
            (folder / SETTINGS_FILE).write_bytes(content)
    for rel, content in other_files.items():
        (root / rel).write_bytes(content)
    if folders is BOARD_FOLDERS:
        (root / OLD_SIGNATURE[0]).write_bytes(OLD_SIGNATURE[1])
    if hide and DRIVER.wine:
        hidden = root / "属性隠し"
        done = DRIVER.wine_command("attrib", "+h", DRIVER.arg(hidden))
        if done.returncode != 0:
            raise AssertionError("attrib +h failed: %r" % done.stderr)


def set_old_times(root):
    for path, _, filenames in os.walk(root):
        for name in filenames:
            os.utime(Path(path) / name, ns=(OLD_TIME_NS, OLD_TIME_NS), follow_symlinks=False)


def expected_files(before, fields):
    """Every file of the tree after a run with `fields`, from the tree before."""
    return rules.tree_after_batch(before.files, before.folders, fields)


def changed(before, expected):
    return {rel for rel, content in expected.items() if before.files.get(rel) != content}


def shown_value(value):
    """A value as the dry run shows it."""
    if value is None:
        return "(none)"
    return '"%s"' % re.sub(r"[\x00-\x1f\x7f]", lambda m: "<0x%02X>" % ord(m.group()), value.decode("cp932"))


def expected_report(rel, before, after):
    """What a dry run shows for one file that changes: its mark and, for a
    settings file, each value (of the first line of its name) that changes."""
    lines = ["%s: %s" % ("rewritten" if before is not None else "created", DRIVER.arg(rel))]
    if rel.name == SETTINGS_FILE:
        old, new = rules.read_section(before, b"BASIC"), rules.read_section(after, b"BASIC")
        for key in rules.CATALOGUE:
            pair = [rules.lookup(old, key.encode("ascii")), rules.lookup(new, key.encode("ascii"))]
            if pair[0] != pair[1]:
                lines.append("  %s: %s -> %s" % (key, shown_value(pair[0]), shown_value(pair[1])))
        if before is not None and len(lines) == 1:
            lines.append("  (no value changes; other lines change)")
    return lines


def report_blocks(result):
    """A dry run's report: each file's block of lines, the summary left out."""
    blocks = []
    for line in result.lines()[:-1]:
        if line.startswith("  ") and blocks:
            blocks[-1].append(line)
        else:
            blocks.append([line])
    return blocks


# ---- test bases --------------------------------------------------------------

def run_in_terminal(args, stream="stdout"):
    """Runs the driver with standard output or error on a terminal (the other
    one on a pipe); its status, what the terminal showed, and the pipe's bytes."""
    import pty
    primary, secondary = pty.openpty()
    streams = {"stdout": secondary, "stderr": subprocess.PIPE} if stream == "stdout" else \
        {"stdout": subprocess.PIPE, "stderr": secondary}
    with subprocess.Popen(DRIVER.command(args), stdin=subprocess.DEVNULL, **streams) as proc:
        os.close(secondary)
        shown = b""
        while True:
            try:
                chunk = os.read(primary, 4096)
            except OSError:  # the terminal closes with the program
                break
            if not chunk:
                break
            shown += chunk
        piped = (proc.stderr if stream == "stdout" else proc.stdout).read()
        status = proc.wait(timeout=120)
    os.close(primary)
    return (status, shown, piped) if stream == "stdout" else (status, piped, shown)


class DriverTest(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        DRIVER.check()
        if sys.getfilesystemencoding().lower() not in ("utf-8", "utf8"):
            raise RuntimeError("run with PYTHONUTF8=1: file names must be UTF-8")

    def setUp(self):
        self.base = Path(tempfile.mkdtemp(prefix="tarnbatch-e2e-"))
        self.addCleanup(shutil.rmtree, self.base, ignore_errors=True)
        self.root = self.base / "data"
        self.root.mkdir()

    def outside_file(self, name, data):
        """A file beside the start folder, outside the tree (a signature or a
        reference file)."""
        path = self.base / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        return path

    def run_driver(self, *args, **options):
        return DRIVER.run(*args, **options)

    def assert_files(self, actual, expected):
        """The same files, each byte for byte."""
        self.assertEqual(sorted(map(str, actual)), sorted(map(str, expected)), "the tree's files")
        for rel in sorted(expected, key=str):
            self.assertEqual(actual[rel], expected[rel], "content of %s" % rel)

    def run_checked(self, fields, *args):
        """Runs the driver with `args` over the start folder: the run must
        succeed and leave every file as the rules give for `fields`. Returns
        the run, the tree before and after it, and the files expected."""
        before = Snapshot(self.root)
        result = self.run_driver(*args, DRIVER.arg(self.root))
        self.assert_success(result)
        after = Snapshot(self.root)
        expected = expected_files(before, fields)
        self.assert_files(after.files, expected)
        return result, before, after, expected

    def assert_unchanged(self, before, why=None):
        """The tree as in the snapshot `before`: the same bytes, none rewritten."""
        after = Snapshot(before.root)
        self.assertEqual(after.files, before.files)
        self.assertEqual(after.stats, before.stats, why)
        return after

    def assert_untouched(self, before, after, rels):
        for rel in map(Path, rels):
            self.assertEqual(after.files[rel], before.files[rel], rel)
            self.assertEqual(after.stats[rel], before.stats[rel], "%s: replaced or touched" % rel)

    def listed(self, result):
        """The files the driver listed (--verbose, --dry-run), relative to the start folder."""
        return [DRIVER.path_of(line).relative_to(self.root) for line in result.lines()[:-1]]

    def assert_success(self, result):
        self.assertEqual(result.status, 0, result)


# The fields of the main run: Japanese values, values holding ソ and 表, a key
# given in lower case, an emptied key, BBSFOLDER set.
MAIN_ARGS = ["--set", "NAME=名前テスト", "--set", "lib=2ch_plugin", "--set", "URL=http://example.jp/掲示板/",
             "--set", "EMAIL=", "--set", "PASS=ソ表", "--set", "BBSFOLDER=1"]
MAIN_FIELDS = Fields({"NAME": "名前テスト", "LIB": "2ch_plugin", "URL": "http://example.jp/掲示板/",
                      "EMAIL": "", "PASS": "ソ表"}, bbsfolder=True)
# A folder that had no file, or whose file had no [BASIC] header the batch
# recognises, ends up with exactly these bytes.
MAIN_FRESH_FILE = (b"[BASIC]\r\nLIB=2ch_plugin\r\nBBSFOLDER=1\r\nURL=http://example.jp/\x8cf\x8e\xa6\x94\xc2/\r\n"
                   b"NAME=\x96\xbc\x91O\x83e\x83X\x83g\r\nEMAIL=\r\nPASS=\x83\x5c\x95\x5c\r\n")


# ---- the rules model itself --------------------------------------------------

class RulesModelTest(unittest.TestCase):
    """The oracle's own cases, with results worked out by hand."""

    def test_line_splitting(self):
        self.assertEqual(rules.split_lines(b"a\r\nb\rc\nd"), [b"a", b"b", b"c", b"d"])
        self.assertEqual(rules.split_lines(b"a\r\n"), [b"a"])
        self.assertEqual(rules.split_lines(b"a\n\rb"), [b"a", b"", b"b"])
        self.assertEqual(rules.split_lines(b"a\0b\r\nc"), [b"a"])
        self.assertEqual(rules.split_lines(b""), [])

    def test_headers_count_characters(self):
        self.assertTrue(rules.is_header(b"[BASIC]"))
        self.assertTrue(rules.is_header(b" [ basic ]\t"))
        self.assertFalse(rules.is_header(b"[BASIC"))
        self.assertFalse(rules.is_header(sjis("[メモゾ")))  # ゾ is 0x83 0x5D
        self.assertTrue(rules.is_header(sjis("[ゾ]")))

    def test_sections(self):
        lines = rules.split_lines(crlf("x=0", "[BASIC]", "a=1", "[basic]", "b=2", "[BASIC]", "c=3"))
        self.assertEqual(rules.select_section(lines, b"BASIC"),
                         [b"[BASIC]", b"a=1", b"[BASIC]", b"b=2", b"[BASIC]", b"c=3"])

    def test_get_and_set(self):
        lines = [b"[BASIC]", b"name=a", b"NAME=b"]
        self.assertEqual(rules.get(lines, b"NAME"), b"a")
        rules.set_value(lines, b"NAME", b"c")
        self.assertEqual(lines, [b"[BASIC]", b"NAME=c", b"NAME=b"])
        rules.set_value(lines, b"NAME", b"")
        self.assertEqual(lines, [b"[BASIC]", b"NAME=b"])
        rules.set_value(lines, b"KEY", b"k")
        self.assertEqual(lines, [b"[BASIC]", b"NAME=b", b"KEY=k"])
        self.assertEqual(rules.get([b"NAME="], b"NAME"), b"")

    def test_write_sections(self):
        self.assertEqual(rules.write_sections([], []), b"")
        self.assertEqual(rules.write_sections([b"[DIALOG]", b"a=1 "], [b"[BASIC]", b"", b" "]),
                         b"[DIALOG]\r\na=1 \r\n[BASIC]\r\n")

    def test_batch_of_one_file(self):
        # " pass" is the name PASS, as the host reads it.
        old = crlf("top", "[BASIC]", " pass=x ", "", "name=n", "[DIALOG]", "_NAME=n ")
        fields = Fields({"PASS": "p", "NAME": ""}, bbsfolder=False)
        self.assertEqual(rules.settings_after_batch(old, fields),
                         b"[DIALOG]\r\n_NAME=n \r\n[BASIC]\r\nPASS=p\r\n\r\nNAME=\r\nBBSFOLDER=\r\n")
        self.assertEqual(rules.settings_after_batch(None, Fields()), b"[BASIC]\r\n")

    def test_signature(self):
        self.assertEqual(rules.signature_text(b"a\nb\rc\r\nd\n\re\n\0f"), b"a\r\nb\r\nc\r\nd\r\n\r\ne\r\n")


# ---- whole runs over a tree --------------------------------------------------

class TreeRunTest(DriverTest):

    def test_every_file_as_the_rules_give(self):
        build_tree(self.root, hide=True)
        result, before, after, expected = self.run_checked(MAIN_FIELDS, *MAIN_ARGS, "--verbose")

        # A few files checked against bytes worked out by hand as well.
        self.assertEqual(after.files[Path(SETTINGS_FILE)], MAIN_FRESH_FILE)
        self.assertEqual(after.files[Path("小文字", SETTINGS_FILE)],
                         b"[DIALOG]\r\n_NAME=x\r\n[BASIC]\r\nNAME=\x96\xbc\x91O\x83e\x83X\x83g\r\nPASS=\x83\x5c\x95\x5c\r\n"
                         b"LIB=2ch_plugin\r\nBBSFOLDER=1\r\nURL=http://example.jp/\x8cf\x8e\xa6\x94\xc2/\r\nEMAIL=\r\n")
        self.assertEqual(after.files[Path("表ソ", SETTINGS_FILE)],
                         b"[DIALOG]\r\n_NAME=\x96\xbc\x91O\x83\x5c:\r\n[BASIC]\r\nNAME=\x96\xbc\x91O\x83e\x83X\x83g\r\n"
                         b"PARAM1=\x83\x5c\x95\x5c\x83\x5c\r\nLIB=2ch_plugin\r\nBBSFOLDER=1\r\n"
                         b"URL=http://example.jp/\x8cf\x8e\xa6\x94\xc2/\r\nEMAIL=\r\nPASS=\x83\x5c\x95\x5c\r\n")
        self.assertEqual(after.files[Path("雑談板/過去ログ/2003年", SETTINGS_FILE)],
                         b"[BASIC]\r\nNAME=\x96\xbc\x91O\x83e\x83X\x83g\r\n\r\nEMAIL=\r\n\r\nLIB=2ch_plugin\r\n"
                         b"BBSFOLDER=1\r\nURL=http://example.jp/\x8cf\x8e\xa6\x94\xc2/\r\nPASS=\x83\x5c\x95\x5c\r\n")
        zatsudan = after.files[Path("雑談板", SETTINGS_FILE)]
        self.assertTrue(zatsudan.startswith(rules.text_form(rules.default_dialog()) + b"[BASIC]\r\nLIB=2ch_plugin\r\n"))
        self.assertIn(b"\r\nEMAIL=\r\nHP=\r\nKEY=\x8d\xed\x8f\x9c\r\n", zatsudan)

        # Not a settings file, or not asked for: left alone (not even rewritten).
        self.assert_untouched(before, after, list(OTHER_FILES) + [OLD_SIGNATURE[0]])

        folders = len(before.folders)
        written = changed(before, expected)
        self.assertEqual(result.summary(), (folders, len(written), folders - len(written), False))
        self.assertEqual(sorted(map(str, self.listed(result))), sorted(map(str, written)))
        if DRIVER.wine:
            # The folder really carried the hidden attribute.
            self.assertEqual(os.getxattr(self.root / "属性隠し", "user.DOSATTRIB"), b"0x2")

    def test_second_identical_run_changes_nothing(self):
        # その他 is left out: its file reads differently once trimmed (see
        # test_trimmed_lines_read_differently_next_time).
        build_tree(self.root, {rel: content for rel, content in BOARD_FOLDERS.items() if rel != "その他"})
        sign = self.outside_file("sign.txt", sjis("署名\n"))
        args = MAIN_ARGS + ["--sign", DRIVER.arg(sign), DRIVER.arg(self.root)]
        self.assert_success(self.run_driver(*args))
        set_old_times(self.root)
        before = Snapshot(self.root)

        result = self.run_driver(*args)
        self.assert_success(result)
        self.assert_unchanged(before, "files rewritten although their bytes were right")
        folders = len(before.folders)
        self.assertEqual(result.summary(), (folders, 0, 2 * folders, False))

    def test_dry_run_reports_each_change_and_writes_nothing(self):
        build_tree(self.root)
        sign = self.outside_file("sign.txt", sjis("署名\n"))
        fields = Fields(MAIN_FIELDS.values, bbsfolder=True, signature=sjis("署名\r\n"))
        # The signature already stands in one folder, one settings file is
        # already as the run would write it.
        (self.root / "整形済み" / SIGNATURE_FILE).write_bytes(fields.signature)
        (self.root / "整形済み" / SETTINGS_FILE).write_bytes(MAIN_FRESH_FILE)
        set_old_times(self.root)
        before = Snapshot(self.root)
        args = MAIN_ARGS + ["--sign", DRIVER.arg(sign)]

        result = self.run_driver(*args, "--dry-run", DRIVER.arg(self.root))
        self.assert_success(result)
        self.assertEqual(self.assert_unchanged(before).folders, before.folders)

        expected = expected_files(before, fields)
        would = changed(before, expected)
        self.assertNotIn(Path("整形済み", SETTINGS_FILE), would)
        self.assertNotIn(Path("整形済み", SIGNATURE_FILE), would)
        blocks = report_blocks(result)
        self.assertEqual(sorted(map(str, (DRIVER.path_of(b[0].split(": ", 1)[1]).relative_to(self.root)
                                          for b in blocks))), sorted(map(str, would)))
        for block in blocks:
            rel = DRIVER.path_of(block[0].split(": ", 1)[1]).relative_to(self.root)
            self.assertEqual(block, expected_report(self.root / rel, before.files.get(rel), expected[rel]))
        shown = {b[0]: b[1:] for b in blocks}
        # A few worked out by hand: a new file, and old values in lower case,
        # with a space, emptied.
        self.assertEqual(shown["created: " + DRIVER.arg(self.root / SETTINGS_FILE)],
                         ['  LIB: (none) -> "2ch_plugin"', '  BBSFOLDER: (none) -> "1"',
                          '  URL: (none) -> "http://example.jp/掲示板/"', '  NAME: (none) -> "名前テスト"',
                          '  EMAIL: (none) -> ""', '  PASS: (none) -> "ソ表"'])
        self.assertEqual(shown["rewritten: " + DRIVER.arg(self.root / "雑談板/過去ログ" / SETTINGS_FILE)],
                         ['  LIB: (none) -> "2ch_plugin"', '  BBSFOLDER: (none) -> "1"',
                          '  URL: "http://spaced/" -> "http://example.jp/掲示板/"', '  NAME: "旧名" -> "名前テスト"',
                          '  EMAIL: (none) -> ""', '  PASS: "ひみつ" -> "ソ表"'])
        self.assertEqual(shown["rewritten: " + DRIVER.arg(self.root / "既存署名" / SIGNATURE_FILE)], [])
        self.assertEqual(shown["created: " + DRIVER.arg(self.root / "雑談板" / SIGNATURE_FILE)], [])
        folders = len(before.folders)
        self.assertEqual(result.summary(), (folders, len(would), 2 * folders - len(would), True))

        # The real run then writes exactly these files and ends with the same
        # line, without the note.
        real = self.run_driver(*args, DRIVER.arg(self.root))
        self.assert_success(real)
        self.assert_files(Snapshot(self.root).files, expected)
        self.assertEqual(real.lines()[-1] + " (dry run: nothing was written)", result.lines()[-1])

    def test_signature_in_every_folder(self):
        build_tree(self.root)
        # LF, CR and CR LF line ends, a blank line from LF CR, no break at the end.
        text = "──\nソフト表\r名無し\r\n\n\rhttp://example.jp/"
        sign = self.outside_file("署名.txt", text.encode("cp932"))
        signature = b"\x84\x9f\x84\x9f\r\n\x83\x5c\x83t\x83g\x95\x5c\r\n\x96\xbc\x96\xb3\x82\xb5\r\n\r\n\r\nhttp://example.jp/"
        self.assertEqual(rules.signature_text(sign.read_bytes()), signature)
        # Without any field the settings files are still rewritten, in their
        # normal form.
        result, before, after, expected = self.run_checked(Fields(signature=signature), "--sign", DRIVER.arg(sign))
        for folder in before.folders:
            self.assertEqual(after.files[folder / SIGNATURE_FILE], signature, folder)
        self.assertEqual(after.files[Path("整形済み", SETTINGS_FILE)], before.files[Path("整形済み", SETTINGS_FILE)])
        self.assertEqual(after.files[Path("雑談板/過去ログ", SETTINGS_FILE)],
                         crlf("[DIALOG]", "_NAME=名前:", "", "[BASIC]", "name=旧名", "pass=ひみつ",
                              "url =http://spaced/"))
        folders = len(before.folders)
        written = changed(before, expected)
        self.assertEqual(result.summary(), (folders, len(written), 2 * folders - len(written), False))

    def test_values_taken_from_a_reference_file(self):
        build_tree(self.root)
        reference = self.outside_file(Path("参照", SETTINGS_FILE), crlf(
            "[DIALOG]", "NAME=from-dialog", "[BASIC]", "name=参照太郎", "Url=http://ref/", "PASS=ソ", "BBSFOLDER=0",
            "LIB=ref-lib", "[OTHER]", "PARAM2=not-basic"))
        # A key missing from the reference is written empty, and BBSFOLDER
        # other than "1" too; LIB is not taken.
        fields = Fields({"NAME": "参照太郎", "URL": "http://ref/", "PASS": "ソ", "PARAM2": ""}, bbsfolder=False)
        self.run_checked(fields, "--reference", DRIVER.arg(reference), "--take", "NAME,url,PASS",
                         "--take", "BBSFOLDER,PARAM2")
        self.assertEqual(rules.reference_values(reference.read_bytes(), ["NAME", "URL", "PASS", "PARAM2", "LIB"]),
                         {"NAME": sjis("参照太郎"), "URL": b"http://ref/", "PASS": sjis("ソ"), "PARAM2": b"",
                          "LIB": b"ref-lib"})
        self.assertEqual((self.root / SETTINGS_FILE).read_bytes(),
                         b"[BASIC]\r\nBBSFOLDER=\r\nURL=http://ref/\r\nNAME=\x8eQ\x8f\xc6\x91\xbe\x98Y\r\n"
                         b"PARAM2=\r\nPASS=\x83\x5c\r\n")

    def test_bbsfolder_set_and_emptied(self):
        folders = {"": crlf("[BASIC]", "NAME=a", "bbsfolder=", "KEY=k"), "子": None}
        build_tree(self.root, folders, {})
        self.assert_success(self.run_driver("--set", "BBSFOLDER=1", DRIVER.arg(self.root)))
        self.assertEqual((self.root / SETTINGS_FILE).read_bytes(), crlf("[BASIC]", "NAME=a", "BBSFOLDER=1", "KEY=k"))
        self.assertEqual((self.root / "子" / SETTINGS_FILE).read_bytes(), crlf("[BASIC]", "BBSFOLDER=1"))

        self.run_checked(Fields(bbsfolder=False), "--set", "BBSFOLDER=")
        self.assertEqual((self.root / SETTINGS_FILE).read_bytes(), crlf("[BASIC]", "NAME=a", "BBSFOLDER=", "KEY=k"))
        self.assertEqual((self.root / "子" / SETTINGS_FILE).read_bytes(), crlf("[BASIC]", "BBSFOLDER="))

    def test_untrimmed_headers_and_names_are_found_the_first_time(self):
        # "[DIALOG] " is a header and " NAME=old " the key NAME, as the host
        # reads them: the first run puts the file in shape, the second finds
        # nothing to change.
        build_tree(self.root, {"": crlf("[BASIC]", " NAME=old ", "KEY=k", "[DIALOG] ", "_NAME=n")}, {})
        fields = Fields({"NAME": "v"})
        for written in (1, 0):
            result = self.run_checked(fields, "--set", "NAME=v")[0]
            self.assertEqual(result.summary(), (1, written, 1 - written, False))
        self.assertEqual((self.root / SETTINGS_FILE).read_bytes(),
                         crlf("[DIALOG]", "_NAME=n", "[BASIC]", "NAME=v", "KEY=k"))

    def test_links_back_up_the_tree_are_not_followed(self):
        for rel in ("a/b/c", "d"):
            (self.root / rel).mkdir(parents=True)
        (self.root / "a" / SETTINGS_FILE).write_bytes(crlf("[BASIC]", "NAME=old"))
        os.symlink("../..", self.root / "a/b/上へ")  # leads to the start folder
        os.symlink(".", self.root / "a/b/c/自分")    # leads to itself
        os.symlink("../a", self.root / "d/戻る")     # leads to a/, not an ancestor of d
        result, before, after, _ = self.run_checked(Fields({"NAME": "表"}), "--verbose", "--set", "NAME=表")
        self.assertEqual(after.links, before.links)
        # d/戻る leads to a/ from outside a's way down, so it is walked
        # again, but every real folder is written only once.
        real = sorted(os.path.realpath(self.root / folder / SETTINGS_FILE) for folder in before.folders)
        listed = sorted(os.path.realpath(self.root / rel) for rel in self.listed(result))
        self.assertEqual(listed, real, "each real folder written once")
        self.assertEqual(result.summary(), (len(before.folders) + 3, len(real), 3, False))

    def test_links_out_of_the_tree_are_skipped_and_reported(self):
        # Started over a Wine prefix, whose Desktop leads into the home
        # folder, a run once wrote all over the home folder: a link whose
        # target lies outside the start folder is not entered and is named
        # with its target; a link to a folder of the tree is followed.
        desktop = self.base / "home" / "Desktop"
        (desktop / "奥").mkdir(parents=True)
        (self.root / "板").mkdir()
        os.symlink(desktop, self.root / "板" / "Desktop")
        os.symlink(self.base, self.root / "上")  # the start folder's own parent
        os.symlink("板", self.root / "中へ")
        home = Snapshot(self.base / "home")
        result, before, after, _ = self.run_checked(Fields({"NAME": "表"}), "--set", "NAME=表")
        self.assertEqual((Snapshot(self.base / "home").folders, Snapshot(self.base / "home").files),
                         (home.folders, home.files))
        self.assertEqual(sorted(p.name for p in self.base.iterdir()), ["data", "home"])
        self.assertEqual(after.links, before.links)
        reported = [line for line in result.err.splitlines() if line.startswith("tarnbatch: skipped")]
        self.assertEqual(sorted(reported), sorted(
            "tarnbatch: skipped (a link leading out of the start folder, to %s): %s" % (DRIVER.arg(target), DRIVER.arg(link))
            for link, target in [(self.root / "板" / "Desktop", desktop), (self.root / "中へ" / "Desktop", desktop),
                                 (self.root / "上", self.base)]))
        # The start folder, 板, and 板 again through 中へ, with its link again.
        self.assertEqual(result.summary(), (3, 2, 1, False))
        self.assertEqual(result.skipped(), ([], 3))


# ---- the command line --------------------------------------------------------

class CommandLineTest(DriverTest):

    def test_help(self):
        for option in ("--help", "-h"):
            result = self.run_driver(option)
            self.assertEqual(result.status, 0, result)
            self.assertTrue(result.out.startswith("Usage: tarnbatch [OPTION]... START_FOLDER"), result)
            for word in ("--set", "--reference", "--take", "--sign", "--dry-run", "--verbose", "--lang",
                         "redirected to a file\nor a pipe is Shift-JIS bytes"):
                self.assertIn(word, result.out)
        result = self.run_driver("--help", lang="ja")
        self.assertEqual(result.status, 0, result)
        self.assertTrue(result.out.startswith("使い方: tarnbatch [オプション]... 開始フォルダ"), result)
        for word in ("--set 項目=値", "--take 項目[,項目...]", "--dry-run", "--lang", "Shift-JIS のバイト列"):
            self.assertIn(word, result.out)

    def test_usage_errors_write_nothing(self):
        build_tree(self.root)
        reference = self.outside_file("ref.ini", crlf("[BASIC]", "NAME=x"))
        a_file = self.root / "雑談板" / "memo.txt"
        missing = self.base / "無い"
        # A path with a character that has no Shift-JIS form would be looked
        # up under another name ("cafﾃｩ"): refused, naming the character.
        cafe = self.base / "café"
        cafe.mkdir()
        cafe_sign = cafe / "sign.txt"
        cafe_sign.write_bytes(sjis("署名"))
        root = DRIVER.arg(self.root)
        cases = [
            (["--set", "NAME=x", DRIVER.arg(cafe)], "caf<U+00E9>: U+00E9 has no Shift-JIS form"),
            (["--sign", DRIVER.arg(cafe_sign), root], "caf<U+00E9>"),
            (["--set", "NAME=x", "--reference=" + DRIVER.arg(cafe_sign), "--take", "NAME", root], "caf<U+00E9>"),
            (["--set", "NAME=x", "--journal", DRIVER.arg(cafe), root], "--journal "),
            ([], "START_FOLDER"),
            ([root, root], "START_FOLDER"),
            (["--bogus", root], "--bogus"),
            (["--set", "FOO=1", root], "FOO"),
            (["--set", "名前=x", root], "名前"),
            (["--set", "NAME", root], "NAME"),
            (["--set"], "--set"),
            (["--take", "NAME", root], "--reference"),
            (["--reference", DRIVER.arg(missing), "--take", "NAME", root], "無い"),
            (["--reference", DRIVER.arg(reference), "--take", "NAME,BOGUS", root], "BOGUS"),
            (["--sign", DRIVER.arg(missing), root], "無い"),
            (["--set", "BBSFOLDER=2", root], "BBSFOLDER"),
            ([DRIVER.arg(missing)], "無い"),
            ([DRIVER.arg(a_file)], "memo.txt"),
            # Values with a character that has no Shift-JIS form would be
            # written as another character ("e", "\\", "?").
            (["--set", "NAME=山田é", root], "--set NAME=山田<U+00E9>: U+00E9"),
            (["--set", "HP=価格¥100", root], "U+00A5"),
            (["--set", "USER=〜♡", root], "U+301C"),
            (["--set=NAME=山田é", root], "--set NAME=山田<U+00E9>: U+00E9"),
            # A run that chooses nothing would still rewrite every file.
            ([root], "nothing to write"),
            (["--dry-run", "--reference", DRIVER.arg(reference), root], "nothing to write"),
            # A key given twice, one of its values silently lost.
            (["--set", "NAME=a", "--set", "name=b", root], "key NAME is given twice"),
            (["--reference", DRIVER.arg(reference), "--take", "NAME", "--take=URL,name", root],
             "key NAME is given twice"),
            (["--set", "PASS=x", "--reference=" + DRIVER.arg(reference), "--take", "PASS", root],
             "key PASS is given both by --set and by --take"),
            (["--dry-run=yes", "--set", "NAME=a", root], "--dry-run takes no value"),
            (["--lang=fr", "--set", "NAME=a", root], "--lang takes ja or en"),
        ]
        before = Snapshot(self.root)
        for args, mentioned in cases:
            with self.subTest(args=args):
                result = self.run_driver(*args)
                self.assertEqual(result.status, 2, result)
                self.assertEqual(result.out, "", "no summary after a usage error")
                self.assertRegex(result.err, r"(?m)^tarnbatch: .*%s" % re.escape(mentioned))
                self.assertIn("Try 'tarnbatch --help'.", result.err)
        self.assert_unchanged(before)
        self.assertEqual([p.name for p in cafe.iterdir()], ["sign.txt"])


class OptionValueTest(DriverTest):

    def test_values_after_an_equals_sign(self):
        build_tree(self.root)
        reference = self.outside_file("参照.ini", crlf("[BASIC]", "URL=http://参照/", "pass=秘密"))
        sign = self.outside_file("sign.txt", sjis("署名"))
        fields = Fields({"NAME": "名=前", "EMAIL": "", "URL": "http://参照/", "PASS": "秘密"}, signature=sjis("署名"))
        self.run_checked(fields, "--set=NAME=名=前", "--set=EMAIL=", "--reference=" + DRIVER.arg(reference),
                         "--take=URL,PASS", "--sign=" + DRIVER.arg(sign))


class LanguageTest(DriverTest):
    """Messages in Japanese or English: forced with --lang, else the user's."""

    def japanese_summary(self, result):
        match = SUMMARY_JA.match(result.lines()[-1]) if result.lines() else None
        self.assertTrue(match, result)
        return tuple(int(g or 0) for g in match.groups()[:4]) + (bool(match.group(5)),)

    def test_japanese_run_and_dry_run(self):
        build_tree(self.root, {"": crlf("[BASIC]", "NAME=旧"), "板": None, "café": None}, {})
        before = Snapshot(self.root)
        dry = self.run_driver("--set=NAME=新", "--dry-run", DRIVER.arg(self.root), lang="ja")
        self.assert_success(dry)
        self.assertEqual(Snapshot(self.root).files, before.files)
        self.assertEqual(dry.lines()[:-1], ["書き換え: " + DRIVER.arg(self.root / SETTINGS_FILE), '  NAME: "旧" → "新"',
                                             "作成: " + DRIVER.arg(self.root / "板" / SETTINGS_FILE),
                                             '  NAME: (なし) → "新"'])
        self.assertEqual(self.japanese_summary(dry), (2, 2, 0, 1, True))
        # Redirected output is the program's bytes: UTF-8 natively, Shift-JIS
        # under Windows.
        self.assertTrue(dry.raw_out.endswith("訪れたフォルダ: 2、書き込んだファイル: 2、変更不要のファイル: 0、飛ばしたフォルダ: 1"
                                             "（試行: 何も書き込んでいません）\n".encode(DRIVER.encoding)), dry.raw_out)

        real = self.run_driver("--lang", "ja", "--set=NAME=新", DRIVER.arg(self.root), lang=None)
        self.assert_success(real)
        self.assertEqual(self.japanese_summary(real), (2, 2, 0, 1, False))
        self.assertIn("tarnbatch: 名前を Shift-JIS で表せないため飛ばしました: " + DRIVER.arg(self.root / "caf<U+00E9>"),
                      real.err)
        # The same bytes as in English; nothing in the skipped folder.
        expected = expected_files(before, Fields({"NAME": "新"}))
        del expected[Path("café", SETTINGS_FILE)]
        self.assert_files(Snapshot(self.root).files, expected)

    def test_japanese_usage_error(self):
        result = self.run_driver(DRIVER.arg(self.root), lang="ja")
        self.assertEqual(result.status, 2, result)
        self.assertEqual(result.out, "")
        self.assertIn("tarnbatch: 書き込むものがありません: 項目 (--set、--take、--replace)、--sign か --import を指定してください\n"
                      "使い方は 'tarnbatch --help' で表示されます。\n", result.err)

    def test_language_from_the_environment(self):
        # Under Wine the user's UI language follows the locale, which must be
        # Japanese there for code page 932.
        cases = [({"LC_ALL": "ja_JP.UTF-8"}, [], "ja")]
        if not DRIVER.wine:
            plain = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_MESSAGES", "LANG")}
            cases += [({"LC_ALL": "C.UTF-8"}, [], "en"),
                      ({"LANG": "ja_JP.UTF-8"}, [], "ja"), ({"LC_MESSAGES": "ja_JP.UTF-8", "LANG": "C.UTF-8"}, [], "ja"),
                      ({"LC_MESSAGES": "C.UTF-8", "LANG": "ja_JP.UTF-8"}, [], "en"), ({}, [], "en"),
                      ({"LC_ALL": "ja_JP.UTF-8"}, ["--lang=en"], "en"), ({"LC_ALL": "C.UTF-8"}, ["--lang", "ja"], "ja")]
        for settings, args, language in cases:
            with self.subTest(environment=settings, args=args):
                env = dict(plain, **settings) if not DRIVER.wine else None
                result = self.run_driver(*args, "--set=NAME=x", "--dry-run", DRIVER.arg(self.root), lang=None, env=env)
                self.assert_success(result)
                if language == "ja":
                    self.assertEqual(self.japanese_summary(result), (1, 1, 0, 0, True))
                else:
                    self.assertEqual(result.summary(), (1, 1, 0, True))


    def test_windows_console_gets_unicode(self):
        # In a terminal Wine gives the program a console; WriteConsoleW text
        # reaches the terminal as UTF-8, where the Shift-JIS bytes of a
        # redirected run would be garbled.
        if not DRIVER.wine:
            self.skipTest("the console path is the Windows program's")
        status, shown, _ = run_in_terminal(["--lang=ja", "--set=NAME=x", "--dry-run", DRIVER.arg(self.root)])
        self.assertEqual(status, 0)
        self.assertIn("訪れたフォルダ: 1、書き込んだファイル: 1".encode("utf-8"), shown)

    def test_progress_line_on_a_terminal_and_quiet(self):
        # A long run shows its counts on one line of standard error, on a
        # terminal only; --quiet shows neither that nor the summary.
        build_tree(self.root, {"": None, **{"f%04d" % i: crlf("[BASIC]", "NAME=a") for i in range(3000)}}, {})
        status, _, shown = run_in_terminal(["--lang=en", "--set=NAME=b", DRIVER.arg(self.root)], stream="stderr")
        self.assertEqual(status, 0)
        shown = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", shown)  # a console's cursor controls (Wine)
        self.assertRegex(shown, rb"\rfolders: \d+, written: \d+, unchanged: 0, skipped: 0")
        self.assertRegex(shown, rb"\rfolders: 3001, written: 3001, unchanged: 0, skipped: 0\r*\n$")
        redirected = self.run_driver("--set=NAME=c", DRIVER.arg(self.root))
        self.assertNotIn("folders: ", redirected.err, "no progress when standard error is no terminal")
        quiet = run_in_terminal(["--quiet", "--set=NAME=d", DRIVER.arg(self.root)], stream="stderr")
        self.assertEqual((quiet[0], quiet[2]), (0, b""))
        self.assertEqual(self.run_driver("--quiet", "--set=NAME=e", DRIVER.arg(self.root)).out, "")


class OddTreeTest(DriverTest):
    """Trees as users have them: names and files the code page cannot hold, or
    only in another letter case, long paths, attributes kept by Wine."""

    FIELDS = Fields({"NAME": "名前"})
    ARGS = ["--set", "NAME=名前"]

    def test_names_without_a_shift_jis_form_are_skipped_and_reported(self):
        # Each would once have been read in "best fit": café as cafe (written
        # twice), a¥b as a\\b (another folder), ¥.. as \\.. (out of the start
        # folder), the others with "?" (the run stopped there).
        skipped = {"café": "caf<U+00E9>", "a¥b": "a<U+00A5>b", "¥..": "<U+00A5>..", "ハート♡": "ハート<U+2661>",
                   "한국": "<U+D55C><U+AD6D>", "😀": "<U+1F600>", "〜波": "<U+301C>波"}
        folders = {"": None, "cafe": crlf("[BASIC]", "NAME=cafe"), "a": None, "a/b": crlf("[BASIC]", "NAME=ab"),
                   "普通": None, "普通/下": crlf("[BASIC]", "NAME=下")}
        for name in skipped:
            folders[name] = crlf("[BASIC]", "NAME=" + name.encode("utf-8").hex())
            folders[name + "/中"] = None
        build_tree(self.root, folders, {})
        (self.base / SETTINGS_FILE).write_bytes(crlf("[BASIC]", "NAME=outside"))
        outside = Snapshot(self.base)
        before = Snapshot(self.root)
        result = self.run_driver(*self.ARGS, DRIVER.arg(self.root))
        self.assert_success(result)
        reached = [f for f in folders if f.split("/")[0] not in skipped]
        expected = expected_files(before, self.FIELDS)
        for folder in before.folders:
            if folder.parts and folder.parts[0] in skipped:
                expected.pop(folder / SETTINGS_FILE)
                if (folder / SETTINGS_FILE) in before.files:
                    expected[folder / SETTINGS_FILE] = before.files[folder / SETTINGS_FILE]
        self.assert_files(Snapshot(self.root).files, expected)
        self.assertEqual(result.summary()[:3], (len(reached), len(reached), 0))
        shown, count = result.skipped()
        self.assertEqual(count, len(skipped))
        self.assertEqual(sorted(shown), sorted(DRIVER.arg(self.root / name) for name in skipped.values()))
        # Nothing above the start folder was written.
        self.assertEqual(Snapshot(self.base).files[Path(SETTINGS_FILE)], outside.files[Path(SETTINGS_FILE)])
        self.assertEqual(sorted(p.name for p in self.base.iterdir()), sorted(["data", SETTINGS_FILE]))

    def test_settings_file_in_other_letter_case_is_rewritten_under_its_name(self):
        build_tree(self.root, {"": None, "板": None}, {})
        upper = self.root / "板" / "TARN_BBS.INI"
        upper.write_bytes(crlf("[DIALOG]", "_NAME=名前", "[BASIC]", "URL=http://x/", "NAME=old"))
        result = self.run_driver(*self.ARGS, DRIVER.arg(self.root))
        self.assert_success(result)
        self.assertEqual(sorted(p.name for p in upper.parent.iterdir()), ["TARN_BBS.INI"])
        self.assertEqual(upper.read_bytes(), crlf("[DIALOG]", "_NAME=名前", "[BASIC]", "URL=http://x/", "NAME=名前"))

    def test_hidden_and_system_attributes_survive_the_rewrite(self):
        build_tree(self.root, {"": crlf("[BASIC]", "NAME=old")}, {})
        settings = self.root / SETTINGS_FILE
        if DRIVER.wine:
            done = DRIVER.wine_command("attrib", "+h", "+s", DRIVER.arg(settings))
            self.assertEqual(done.returncode, 0, done.stderr)
        else:
            os.setxattr(settings, "user.DOSATTRIB", b"0x6")  # as Wine keeps hidden + system
        kept = os.getxattr(settings, "user.DOSATTRIB")
        self.assert_success(self.run_driver(*self.ARGS, DRIVER.arg(self.root)))
        self.assertEqual(settings.read_bytes(), crlf("[BASIC]", "NAME=名前"))
        self.assertEqual(os.getxattr(settings, "user.DOSATTRIB"), kept)

    def test_paths_up_to_the_windows_limit(self):
        # The temporary file's name is no longer than the file's, so a path
        # of 259 characters (MAX_PATH less its NUL) still works.
        for length in (255, 259):
            with self.subTest(length=length):
                settings_length = len(DRIVER.arg(self.root)) + 1 + len(SETTINGS_FILE)
                folder = self.root / ("f%d" % length).ljust(length - settings_length - 1, "x")
                folder.mkdir()
                self.assertEqual(len(DRIVER.arg(folder / SETTINGS_FILE)), length)
                (folder / SETTINGS_FILE).write_bytes(crlf("[BASIC]", "NAME=old"))
                result = self.run_driver(*self.ARGS, DRIVER.arg(folder))
                self.assert_success(result)
                self.assertEqual(sorted(p.name for p in folder.iterdir()), [SETTINGS_FILE])
                self.assertEqual((folder / SETTINGS_FILE).read_bytes(), crlf("[BASIC]", "NAME=名前"))

    def test_utf8_signature_file_on_linux(self):
        if DRIVER.wine:
            self.skipTest("the Windows programs take a signature file byte for byte")
        build_tree(self.root, {"": None}, {})
        sign = self.outside_file("sign.txt", "署名です\n―山田\n".encode("utf-8"))
        self.assert_success(self.run_driver("--sign", str(sign), str(self.root)))
        self.assertEqual((self.root / SIGNATURE_FILE).read_bytes(), "署名です\r\n―山田\r\n".encode("cp932"))
        sign.write_bytes("ハート♡\n".encode("utf-8"))
        result = self.run_driver("--sign", str(sign), str(self.root))
        self.assertEqual(result.status, 2, result)
        self.assertIn("U+2661", result.err)
        # A Shift-JIS file is no UTF-8, though "です" holds the bytes of U+0142.
        sign.write_bytes("署名です\r\n".encode("cp932"))
        self.assert_success(self.run_driver("--sign", str(sign), str(self.root)))
        self.assertEqual((self.root / SIGNATURE_FILE).read_bytes(), "署名です\r\n".encode("cp932"))

    def test_other_code_page_is_refused(self):
        if not DRIVER.wine:
            self.skipTest("only the Windows programs depend on the ANSI code page")
        build_tree(self.root, {"": crlf("[BASIC]", "NAME=old")}, {})
        before = Snapshot(self.root)
        env = dict(os.environ, WINEPREFIX=DRIVER.prefix, WINEDEBUG="-all", LC_ALL="C.UTF-8")
        proc = subprocess.run(["wine", DRIVER.program, *self.ARGS, DRIVER.arg(self.root)], env=env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
        self.assertEqual(proc.returncode, 3, proc)
        err = proc.stderr.decode("utf-8", "replace")
        self.assertIn("not Japanese (932)", err)
        self.assertIn("LC_ALL=ja_JP.UTF-8", err)
        self.assertIn("日本語", err)
        self.assert_unchanged(before)


class OtherWritersTest(DriverTest):
    """Batches while the host rewrites the same files in place, and two batches
    at once: no file torn, none older than the host's last complete write, no
    batch's update lost."""

    BOARDS = 20
    ROUNDS = 1000  # files rewritten by batches while the host writes them
    BUSY = "は他のプログラムが書き込み中です"

    def boards(self):
        files = []
        for i in range(self.BOARDS):
            folder = self.root / ("板%02d" % i)
            folder.mkdir()
            files.append(folder / SETTINGS_FILE)
        return files

    def writer_command(self, files):
        program = os.environ["TARN_HOST_WRITER"]
        runner = [DRIVER.wine_run, DRIVER.prefix] if DRIVER.wine else []
        return runner + [program] + [DRIVER.arg(f) for f in files]

    def test_batches_while_the_host_rewrites_the_files(self):
        files = self.boards()
        for f in files:
            shown = DRIVER.arg(f)
            f.write_bytes(("[DIALOG]\r\n_NAME=name\r\n[BASIC]\r\nURL=http://host/%s\r\nNAME=host\r\n"
                           "PARAM2=0\r\nEND=0\r\n" % shown[-20:]).encode("cp932"))
        writer = subprocess.Popen(self.writer_command(files), cwd=self.base, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        rounds = busy_runs = run = 0
        try:
            while rounds < self.ROUNDS:
                run += 1
                result = self.run_driver("--set", "USER=batch%d" % run, DRIVER.arg(self.root))
                if result.status == 1 and self.BUSY in result.err:
                    busy_runs += 1
                    continue
                self.assert_success(result)
                rounds += self.BOARDS
        finally:
            (self.base / "stop").write_bytes(b"")
            out, _ = writer.communicate(timeout=120)
        stats = [line.split() for line in out.decode(DRIVER.encoding).splitlines()]
        self.assertEqual(len(stats), self.BOARDS, out)
        rewrites = sum(int(s[2]) for s in stats)
        print("other writers: %d batch runs (%d stopped busy), %d file rounds, %d host rewrites"
              % (run, busy_runs, rounds, rewrites), file=sys.stderr)
        self.assertGreater(rewrites, self.BOARDS, "the host wrote while the batches ran")
        for path, last, _, torn, older, _ in stats:
            self.assertEqual((torn, older), ("0", "0"), "%s: torn or older content written back" % path)
        # The last state: whole, and the host's last write in it.
        for f, (_, last, *_) in zip(files, stats):
            text = f.read_bytes().decode("cp932")
            self.assertIn("\r\nPARAM2=%s\r\nEND=%s\r\n" % (last, last), text, f)

    def test_two_batches_at_once(self):
        files = self.boards()
        for f in files:
            f.write_bytes(crlf("[BASIC]", "URL=http://x/"))
        commands = [DRIVER.command(["--lang=en", "--set", key, DRIVER.arg(self.root)]) for key in ("NAME=一", "USER=二")]
        runs = [subprocess.Popen(c, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                for c in commands]
        statuses = [(r.wait(timeout=120), r.stderr.read().decode(DRIVER.encoding, "replace")) for r in runs]
        for status, err in statuses:
            self.assertIn(status, (0, 3), err)
            if status == 3:
                self.assertIn("another batch", err)
        self.assertIn(0, [s for s, _ in statuses])
        for f in files:
            lines = f.read_bytes().split(CRLF)
            self.assertEqual(sjis("NAME=一") in lines, statuses[0][0] == 0, f)
            self.assertEqual(sjis("USER=二") in lines, statuses[1][0] == 0, f)


# ---- file errors -------------------------------------------------------------

UNDO_SUMMARY = re.compile(r"^files restored: (\d+), already as before: (\d+), changed since \(left alone\): (\d+)$")


# Boards of three sites, the way users keep them: grouped by their own
# categories, not by site; keys in any case and spacing the host reads.
SITE_BOARDS = {
    "雑談/旧サイト1": companion_file("LIB=2ch", "URL=http://old.example/test/read.cgi/a/", "UPURL=http://old.example/test/bbs.cgi",
                                  "NAME=名無し"),
    "雑談/別サイト": companion_file("LIB=2ch", "URL=http://other.example/b/", "UPURL=http://other.example/bbs.cgi",
                                 "NAME=名無しさん"),
    "ニュース/旧サイト2": crlf("[BASIC]", " url = HTTP://OLD.EXAMPLE/c/", "upurl=http://old.example/test/bbs.cgi",
                           "LIB=machi", "NAME=ソ表"),
    "ニュース/カナ": crlf("[BASIC]", "URL=http://カ.example/J/", "LIB=2ch", "NAME=表示"),
    "まとめ": None,
}
SITE_MOVE = ["--replace", "URL,UPURL", "--from", "http://old.example/", "--to", "https://new.example/"]


class ChooseAndReplaceTest(DriverTest):
    """Boards chosen by what they hold, part of a value replaced, the board
    table listed and imported."""

    def setUp(self):
        super().setUp()
        build_tree(self.root, SITE_BOARDS, {})
        self.journal = ["--journal", DRIVER.arg(self.base / "journal")]

    def run_and_undo(self, fields, *args):
        """Runs the batch (checked against the rules), then takes it back:
        every file as before. Returns the run."""
        before = Snapshot(self.root)
        result = self.run_checked(fields, *self.journal, *args)[0]
        self.assert_success(self.run_driver("--undo", *self.journal))
        self.assert_files(Snapshot(self.root).files, before.files)
        return result

    def test_a_site_move_rewrites_only_that_sites_addresses(self):
        fields = Fields(replace=(["URL", "UPURL"], "http://old.example/", "https://new.example/"))
        result = self.run_and_undo(fields, *SITE_MOVE)
        # Two boards of the old site change; the others, and the folder
        # without a settings file, are left as they are.
        self.assertEqual(result.summary()[1], 2)
        self.assertFalse((self.root / "まとめ" / SETTINGS_FILE).exists())
        # "HTTP://OLD" is another text than "http://old": only its UPURL moved.
        after = self.run_checked(fields, *SITE_MOVE)[2]
        self.assertEqual(after.files[Path("ニュース/旧サイト2", SETTINGS_FILE)],
                         crlf("[BASIC]", "url = HTTP://OLD.EXAMPLE/c/", "UPURL=https://new.example/test/bbs.cgi",
                              "LIB=machi", "NAME=ソ表"))

    def test_where_and_where_not_with_wildcards_case_and_double_byte_values(self):
        where = [("URL", "http://OLD.example/*", False), ("NAME", "?表", True)]
        fields = Fields({"PASS": "ひみつ"}, where=where)
        result = self.run_and_undo(fields, "--where", "URL=http://OLD.example/*", "--where-not", "NAME=?表",
                                   "--set", "PASS=ひみつ")
        folders = len(Snapshot(self.root).folders)
        self.assertEqual(result.not_chosen(), folders - 1)  # all but 旧サイト1, group folders included
        self.assertEqual(result.summary()[1], 1)
        fields = Fields({"HP": "h"}, where=[("NAME", "名無し*", False), ("LIB", "2CH", False)])
        self.run_checked(fields, "--where", "NAME=名無し*", "--where", "LIB=2CH", "--set", "HP=h")

    def test_a_replacement_never_splits_a_double_byte_character(self):
        # カ is 0x83 0x4A: its second byte is the code of "J".
        fields = Fields(replace=(["URL"], "J", "X"))
        self.run_checked(fields, "--replace", "URL", "--from", "J", "--to", "X")
        self.assertIn(sjis("URL=http://カ.example/X/"), (self.root / "ニュース/カナ" / SETTINGS_FILE).read_bytes())

    def list_table(self, *args):
        result = self.run_driver("--list", *args, DRIVER.arg(self.root), binary=True)
        self.assert_success(result)
        return result.raw_out

    def test_list_then_import_gives_identical_files_and_edited_values_land(self):
        table = self.list_table("--keys", "URL,NAME,PASS")
        self.assertTrue(table.startswith(b"\xef\xbb\xbfFOLDER,URL,NAME,PASS\r\n"), table)
        folder = "雑談\\旧サイト1" if DRIVER.wine else "雑談/旧サイト1"
        self.assertIn((folder + ",http://old.example/test/read.cgi/a/,名無し,\r\n").encode("utf-8"), table)
        csv = self.outside_file("boards.csv", table)
        before = Snapshot(self.root)
        result = self.run_driver("--import", DRIVER.arg(csv), *self.journal, DRIVER.arg(self.root))
        self.assert_success(result)
        self.assertEqual(result.summary()[1], 0, "an unedited table changes nothing")
        self.assert_unchanged(before)
        # Edited in a spreadsheet: one board's own name, and an emptied key.
        edited = table.replace("名無しさん".encode("utf-8"), "新しい名前".encode("utf-8")).replace(
            "ソ表".encode("utf-8"), b"")
        csv.write_bytes(edited)
        self.assert_success(self.run_driver("--import", DRIVER.arg(csv), *self.journal, DRIVER.arg(self.root)))
        after = Snapshot(self.root)
        expected = dict(before.files)
        for rel, values in (("雑談/別サイト", {"NAME": "新しい名前"}), ("ニュース/旧サイト2", {"NAME": ""})):
            old = before.files[Path(rel, SETTINGS_FILE)]
            basic = rules.read_section(old, b"BASIC")
            values.update({key: rules.get(basic, key.encode()) for key in ("URL", "PASS")})
            expected[Path(rel, SETTINGS_FILE)] = rules.settings_after_batch(old, Fields(values, only_changed=True))
        self.assert_files(after.files, expected)
        self.assert_success(self.run_driver("--undo", *self.journal))
        self.assert_files(Snapshot(self.root).files, before.files)

    def test_import_of_a_shift_jis_table_as_a_spreadsheet_saves_it(self):
        csv = self.outside_file("板.csv", crlf("folder,Name,url", '雑談/別サイト,"名前, ""引用""",http://x/',
                                               "ニュース\\カナ,表ソ,"))
        before = Snapshot(self.root)
        self.assert_success(self.run_driver("--import", DRIVER.arg(csv), DRIVER.arg(self.root)))
        after = Snapshot(self.root)
        for rel, values in (("雑談/別サイト", {"NAME": '名前, "引用"', "URL": "http://x/"}),
                            ("ニュース/カナ", {"NAME": "表ソ", "URL": ""})):
            self.assertEqual(after.files[Path(rel, SETTINGS_FILE)], rules.settings_after_batch(
                before.files[Path(rel, SETTINGS_FILE)], Fields(values, only_changed=True)))
        self.assertEqual(after.files[Path("雑談/旧サイト1", SETTINGS_FILE)], before.files[Path("雑談/旧サイト1", SETTINGS_FILE)])

    def test_each_import_refusal_names_row_and_column_and_writes_nothing(self):
        refusals = [
            (crlf("FOLDER,URL", '雑談/別サイト,"open'), "row 2, column 2: the CSV does not read here"),
            (crlf("FOLDER,URL,COLOR", "雑談/別サイト,u,red"), "row 1, column 3: unknown column (COLOR)"),
            (crlf("URL", "u"), "row 1, column 1: no FOLDER column"),
            (crlf("FOLDER,URL", "どこにもない,u"), "row 2, column 1: no such folder under the start folder"),
            (crlf("FOLDER,URL", "../data,u"), "row 2, column 1: the folder lies outside the start folder"),
            (crlf("FOLDER,URL", "雑談/別サイト,u", "雑談/別サイト/,v"), "row 3, column 1: the folder is listed twice"),
            ("FOLDER,NAME\r\n雑談/別サイト,café\r\n".encode("utf-8"),
             "row 2, column 2: a character with no Shift-JIS form (U+00E9)"),
            (crlf("FOLDER,BBSFOLDER", "雑談/別サイト,yes"), "row 2, column 2: BBSFOLDER is 1 or empty"),
        ]
        before = Snapshot(self.root)
        for content, message in refusals:
            with self.subTest(message):
                csv = self.outside_file("bad.csv", content)
                result = self.run_driver("--import", DRIVER.arg(csv), DRIVER.arg(self.root))
                self.assertEqual(result.status, 2, result)
                self.assertIn(message, result.err)
                self.assert_unchanged(before)

    def test_version(self):
        result = self.run_driver("--version")
        self.assert_success(result)
        self.assertRegex(result.out, r"^tarnbatch \(TarnUtil\) \d+(\.\d+)+\n$")


class UndoTest(DriverTest):
    """Every real run leaves a journal; --undo takes the last batch back."""

    def journal_args(self):
        return ["--journal", DRIVER.arg(self.base / "journal")]

    def undo(self, *extra):
        result = self.run_driver("--undo", *extra, *self.journal_args())
        self.assertEqual(result.status, 0, result)
        match = UNDO_SUMMARY.match(result.lines()[-1])
        self.assertTrue(match, result)
        return result, tuple(int(g) for g in match.groups())

    def journals(self):
        folder = self.base / "journal"
        return sorted(p.name for p in folder.iterdir()) if folder.exists() else []

    def test_undo_a_batch_then_the_undo_with_a_file_changed_since(self):
        build_tree(self.root)
        before = Snapshot(self.root)
        self.assert_success(self.run_driver(*MAIN_ARGS, *self.journal_args(), DRIVER.arg(self.root)))
        after = Snapshot(self.root)
        changed_count = len(changed(before, after.files))
        self.assertEqual(len(self.journals()), 1)
        # The host writes one board meanwhile: the undo leaves it alone.
        host_file = self.root / "雑談板" / SETTINGS_FILE
        host_file.write_bytes(crlf("[BASIC]", "NAME=host"))
        result, counts = self.undo()
        self.assertEqual(counts, (changed_count - 1, 0, 1))
        self.assertIn("left alone (changed since the batch): %s" % DRIVER.arg(host_file), result.err)
        expected = dict(before.files)
        expected[host_file.relative_to(self.root)] = crlf("[BASIC]", "NAME=host")
        self.assert_files(Snapshot(self.root).files, expected)
        # The undo is a batch of its own, and can be undone in turn.
        self.assertEqual(len(self.journals()), 2)
        _, counts = self.undo()
        self.assertEqual(counts, (changed_count - 1, 0, 0))
        expected = dict(after.files)
        expected[host_file.relative_to(self.root)] = crlf("[BASIC]", "NAME=host")
        self.assert_files(Snapshot(self.root).files, expected)
        # A dry run writes no journal; a named journal is taken back by name.
        self.run_driver("--dry-run", *MAIN_ARGS, *self.journal_args(), DRIVER.arg(self.root))
        self.assertEqual(len(self.journals()), 3)
        _, counts = self.undo(self.journals()[0])
        self.assertEqual(counts, (changed_count - 1, 0, 1))

    def test_undo_after_a_stop(self):
        folders = {"": crlf("[BASIC]", "NAME=root"), "a": crlf("[BASIC]", "NAME=a"), "a/b": None,
                   "c": crlf("[BASIC]", "NAME=c")}
        build_tree(self.root, folders, {})
        before = Snapshot(self.root)
        # A settings file that is a folder stops the run where it stands.
        (self.root / "a" / "b" / SETTINGS_FILE).mkdir()
        result = self.run_driver("--set", "NAME=x", *self.journal_args(), DRIVER.arg(self.root))
        self.assertEqual(result.status, 1, result)
        self.assertIn("--undo takes them back", result.err)
        self.undo()
        self.assert_files(Snapshot(self.root).files, before.files)

    def test_undo_from_another_working_folder_after_a_relative_start_folder(self):
        """The journal holds full paths: an undo started elsewhere, beside a
        tree of the same name, takes back the batch's own files and touches
        nothing there."""
        build_tree(self.root)
        before = Snapshot(self.root)
        journal = ["--journal", DRIVER.arg(self.base / "journal")]
        self.assert_success(self.run_driver(*MAIN_ARGS, *journal, "data", cwd=self.base))
        self.assertNotEqual(Snapshot(self.root).files, before.files)
        elsewhere = self.base / "elsewhere"
        build_tree(elsewhere / "data")
        other_before = Snapshot(elsewhere / "data")
        result = self.run_driver("--undo", *journal, cwd=elsewhere)
        self.assertEqual(result.status, 0, result)
        self.assertNotIn("left alone", result.err)
        self.assert_files(Snapshot(self.root).files, before.files)
        self.assert_files(Snapshot(elsewhere / "data").files, other_before.files)

    def test_a_damaged_journal_is_refused_and_nothing_is_taken_back(self):
        build_tree(self.root)
        self.assert_success(self.run_driver(*MAIN_ARGS, *self.journal_args(), DRIVER.arg(self.root)))
        after = Snapshot(self.root)
        index = self.base / "journal" / self.journals()[0] / "journal.txt"
        with open(index, "ab") as journal:
            journal.write(b"replaced\tnot a number\t5\t3\t00\tsomewhere\r\n")
        result = self.run_driver("--undo", *self.journal_args())
        self.assertEqual(result.status, 1, result)
        self.assertIn("tarnbatch: ファイル %s は開けません" % DRIVER.arg(index), result.err)
        self.assertEqual(result.out, "", "no summary of an undo that never ran")
        self.assert_files(Snapshot(self.root).files, after.files)

    def test_undo_after_a_kill_at_any_moment(self):
        folders = {"": None}
        for i in range(300):
            folders["板%02d/%03d" % (i // 30, i)] = crlf("[BASIC]", "NAME=%d" % i, "PARAM2=%d" % (i * 3))
        build_tree(self.root, folders, {})
        cut = 0
        def boards():
            # The settings files; a kill may leave temporary files beside them.
            return {rel: b for rel, b in Snapshot(self.root).files.items() if not rel.name.startswith("~TU")}

        for attempt, delay in enumerate([0.05, 0.1, 0.2, 0.3, 0.4, 0.6, 0.8, 1.0]):
            before = boards()
            proc = subprocess.Popen(DRIVER.command(["--set", "NAME=run%d" % attempt, *self.journal_args(),
                                                    DRIVER.arg(self.root)]),
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                proc.wait(timeout=delay)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
            after = boards()
            if after == before:
                continue  # killed before its first change: nothing to take back
            wanted = {rel: rules.settings_after_batch(b, Fields({"NAME": "run%d" % attempt}))
                      for rel, b in before.items()}
            cut += after != wanted
            self.undo()
            self.assert_files(boards(), before)
        # A whole run removes the temporary files every killed run left.
        self.assert_success(self.run_driver("--set", "NAME=last", *self.journal_args(), DRIVER.arg(self.root)))
        self.assertEqual([p for p in Snapshot(self.root).files if p.name.startswith("~TU")], [])
        print("undo after kill: %d runs cut mid-way" % cut, file=sys.stderr)


class FileErrorTest(DriverTest):
    """A file that cannot be replaced stops the run with status 1."""

    FOLDERS = {
        "": crlf("[BASIC]", "NAME=root"),
        "一": crlf("[BASIC]", "NAME=one"),
        "一/二": None,
        "一/二/表ソ": crlf("[DIALOG]", "_NAME=名前", "[BASIC]", "NAME=locked"),
        "一/二/表ソ/下": crlf("[BASIC]", "NAME=below"),
        "一/閉じた": crlf("[BASIC]", "NAME=closed"),
        "三": crlf("[BASIC]", "NAME=three"),
        "三/四": None,
    }

    def run_until_error(self, failing, locked, flag, left):
        """Runs over FOLDERS with `locked` given the attribute `flag`; `failing`
        is the file the run must stop at, `left` what its folder holds after."""
        build_tree(self.root, self.FOLDERS, {})
        make_immutable(self, self.base, self.root / locked, flag)
        before = Snapshot(self.root)
        result = self.run_driver("--verbose", "--set", "NAME=新しい名前", DRIVER.arg(self.root))
        self.assertEqual(result.status, 1, result)
        self.assertIn("tarnbatch: ファイル %s を作成できません" % DRIVER.arg(self.root / failing), result.err)

        after = Snapshot(self.root)
        listed = self.listed(result)
        expected = expected_files(before, Fields({"NAME": "新しい名前"}))
        # Written: the files listed before the error, and no others; every
        # other file keeps its old bytes, and no temporary file is left.
        wanted = dict(before.files)
        wanted.update({rel: expected[rel] for rel in listed})
        self.assert_files(after.files, wanted)
        self.assertNotIn(failing, listed)
        self.assert_untouched(before, after, [rel for rel in before.files if rel not in listed])
        # Each folder comes before those beneath it: the ones on the way to
        # the failing file are written.
        for parent in failing.parents:
            if parent != failing.parent:
                self.assertIn(parent / SETTINGS_FILE, listed)
        folders, written, unchanged, dry = result.summary()
        self.assertEqual((written, unchanged, dry), (len(listed), 0, False))
        self.assertEqual(sorted(os.listdir(self.root / failing.parent)), left)

    def test_unwritable_file(self):
        failing = Path("一/二/表ソ", SETTINGS_FILE)
        self.run_until_error(failing, failing, "+i", ["tarn_BBS.ini", "下"])

    def test_append_only_file(self):
        # Such a file may be opened for writing (so the replacement is
        # attempted) but not replaced: the temporary file is written and must
        # be removed again.
        failing = Path("一/二/表ソ", SETTINGS_FILE)
        self.run_until_error(failing, failing, "+a", ["tarn_BBS.ini", "下"])

    def test_unwritable_folder(self):
        self.run_until_error(Path("一/閉じた", SETTINGS_FILE), "一/閉じた", "+i", ["tarn_BBS.ini"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
