#!/usr/bin/env python3
"""Whole-program tests of the console companion qv_TarnUtil.exe under Wine.

The host runs the companion in a board folder: with "i" it rewrites that
folder's tarn_BBS.ini (default [DIALOG] section, then the old [BASIC] lines),
without arguments it starts TarnUtil.exe from the folder two levels up. These
tests run the real program in real folders and compare files byte for byte.

Named by the environment (tests/companion/CMakeLists.txt sets them):
  TARN_COMPANION    qv_TarnUtil.exe
  TARN_RUN_RAW      run_raw.exe: starts a program with an exact command line
  TARN_STANDIN      standin_utility.exe: copied as TarnUtil.exe, records its start
  TARN_WINE_RUN     scripts/wine-run.sh
  TARN_WINE_PREFIX  the Wine prefix (its wineserver already running)

Folder names on disk are UTF-8 (PYTHONUTF8=1, LC_ALL=ja_JP.UTF-8); Wine shows
them to the programs in code page 932, so everything the programs write is
decoded as CP932. Unix "/" is the Windows drive Z:.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

SETTINGS = "tarn_BBS.ini"
OLD_TIME_NS = 1_000_000_000 * 1_000_000_000  # 2001-09-09

# The companion's default [DIALOG] section, every non-ASCII byte spelled out.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))  # tests/, for testkit
from default_dialog import DIALOG, DIALOG_LINES  # noqa: E402
from testkit import CRLF, ProgramRun, chattr, crlf, environment, make_immutable  # noqa: E402,F401

# "ファイル tarn_BBS.ini を作成できません" / "... は開けません", spelled out.
CANNOT_CREATE = b"\x83\x74\x83\x40\x83\x43\x83\x8b tarn_BBS.ini \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"
CANNOT_OPEN = b"\x83\x74\x83\x40\x83\x43\x83\x8b tarn_BBS.ini \x82\xcd\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1"

RECORD_WAIT = 20.0    # how long a started stand-in may take to write its record
ABSENCE_WAIT = 1.5    # how long a start that must not happen is watched for


class Env:
    def __init__(self):
        companion, run_raw, standin, self.wine_run, prefix = environment(
            "TARN_COMPANION", "TARN_RUN_RAW", "TARN_STANDIN", "TARN_WINE_RUN", "TARN_WINE_PREFIX")
        self.companion, self.run_raw, self.standin, self.prefix = map(Path, (companion, run_raw, standin, prefix))
        z = self.prefix / "dosdevices" / "z:"
        if not z.is_symlink() or os.readlink(z) != "/":
            raise unittest.SkipTest("the prefix has no drive Z: for /")


ENV = None


def setUpModule():
    global ENV
    ENV = Env()


def win(path):
    """The Windows path of a Unix path, through drive Z:."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Record:
    """What the stand-in utility wrote about its start (text decoded from CP932)."""

    def __init__(self, data):
        self.raw = data
        self.fields = {}
        for line in data.split(b"\n"):
            if b"=" in line:
                key, value = line.split(b"=", 1)
                self.fields[key.decode("ascii")] = value
        self.cmd = self.fields["cmd"].decode("cp932")
        self.cmd_bytes = self.fields["cmd"]
        self.dir = self.fields["dir"].decode("cp932")
        self.module = self.fields["module"].decode("cp932")
        self.flags = int(self.fields["flags"])
        self.show = int(self.fields["show"])
        self.pos = self.fields["pos"].decode("ascii")

    def __repr__(self):
        return repr(self.raw)


class CompanionTest(unittest.TestCase):
    def setUp(self):
        self.base = Path(tempfile.mkdtemp(prefix="qv-tarnutil-"))
        self.addCleanup(shutil.rmtree, self.base, ignore_errors=True)
        self.record = self.base / "record.txt"
        self.env = dict(os.environ, TARN_STANDIN_RECORD=win(self.record))
        self.env.pop("TARN_STANDIN_RELEASE", None)

    # ---- set-up helpers ------------------------------------------------------

    def folder(self, rel, root=None):
        path = (root or self.base) / rel
        path.mkdir(parents=True, exist_ok=True)
        return path

    def place_utility(self, folder):
        """The stand-in as TarnUtil.exe in `folder`."""
        shutil.copyfile(ENV.standin, folder / "TarnUtil.exe")

    def host_and_board(self):
        """A host folder with the stand-in utility, and its board folder
        host/data/board1 (two levels below it)."""
        host = self.folder("host")
        self.place_utility(host)
        return host, self.folder("host/data/board1")

    def settings(self, folder, data):
        path = folder / SETTINGS
        path.write_bytes(data)
        os.utime(path, ns=(OLD_TIME_NS, OLD_TIME_NS))
        return path

    # ---- running the companion ----------------------------------------------

    def run_wine(self, args, cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE):
        proc = subprocess.run([ENV.wine_run, str(ENV.prefix)] + [str(a) for a in args], cwd=str(cwd),
                              env=self.env, stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr,
                              timeout=60)
        return ProgramRun(proc.returncode, proc.stdout, proc.stderr)

    def run_companion(self, cwd, *args):
        """The companion with Unix argv (Wine builds the command line), in `cwd`."""
        return self.run_wine([ENV.companion] + list(args), cwd)

    def run_exact(self, command_line, directory, program=None, hold=None, show=None, pos=None):
        """`program` (the companion by default) started by run_raw.exe with the
        exact command line `command_line` (bytes) and working folder
        `directory` (a Windows path)."""
        request = b"app=" + win(program or ENV.companion).encode("cp932") + b"\n"
        request += b"dir=" + directory.encode("cp932") + b"\n"
        if hold:
            request += b"hold=" + win(hold).encode("cp932") + b"\n"
        if show is not None:
            request += b"show=%d\n" % show
        if pos is not None:
            request += b"pos=%d,%d\n" % pos
        request += b"cmd=" + command_line
        path = self.base / "request.txt"
        path.write_bytes(request)
        result = self.run_wine([ENV.run_raw, win(path)], self.base)
        self.assertLess(result.status, 200, "run_raw itself failed: %r" % result)
        return result

    def run_either(self, cwd, run):
        """The companion in `cwd` with `run`: an exact command line (bytes),
        or an argument (text) or arguments (a list) from which Wine builds one."""
        if isinstance(run, bytes):
            return self.run_exact(run, win(cwd))
        return self.run_companion(cwd, *([run] if isinstance(run, str) else run))

    def assert_quiet_success(self, result):
        self.assertEqual((result.status, result.out, result.err), (0, b"", b""), result)

    # ---- what the stand-in saw -------------------------------------------------

    def wait_record(self, path=None, raw=False):
        path = path or self.record
        deadline = time.monotonic() + RECORD_WAIT
        while not path.exists():
            if time.monotonic() > deadline:
                self.fail("the utility was not started (no %s within %g s)" % (path.name, RECORD_WAIT))
            time.sleep(0.05)
        data = path.read_bytes()
        return data if raw else Record(data)

    def assert_started(self, command_line, directory):
        """The utility was started with that command line in that folder; its
        record is taken away for the next start."""
        record = self.wait_record()
        self.assertEqual(record.cmd, command_line)
        self.assertEqual(record.dir, directory)
        self.record.unlink()
        return record

    def assert_not_started(self):
        deadline = time.monotonic() + ABSENCE_WAIT
        while time.monotonic() < deadline:
            self.assertFalse(self.record.exists(), "the utility was started: %r" %
                             (self.record.exists() and self.record.read_bytes()))
            time.sleep(0.05)


# ---- "i": installing the default [DIALOG] section ----------------------------

class BoardTest(CompanionTest):
    def setUp(self):
        super().setUp()
        # A utility two levels up shows any start that must not happen.
        self.host, self.board = self.host_and_board()


class InstallTest(BoardTest):

    def install(self, old):
        """Runs "i" on a file holding `old` (None: no file) and returns the new bytes."""
        if old is not None:
            self.settings(self.board, old)
        result = self.run_companion(self.board, "i")
        self.assert_quiet_success(result)
        self.assertEqual(sorted(os.listdir(self.board)), [SETTINGS], "no other file is left")
        return (self.board / SETTINGS).read_bytes()

    def test_empty_folder_gets_the_default_section(self):
        self.assertEqual(len(DIALOG), 328)
        self.assertEqual(self.install(None), DIALOG)
        self.assert_not_started()

    def test_basic_before_dialog(self):
        old = crlf("[BASIC]", "URL=http://bbs.example/", "NAME=太郎", "", "PASS=",
                   "[DIALOG]", "URL=1", "_NAME=お名前:", "_URL=掲示板")
        new = self.install(old)
        self.assertEqual(new, DIALOG + crlf("[BASIC]", "URL=http://bbs.example/", "NAME=太郎", "", "PASS="))
        self.assertNotIn("お名前".encode("cp932"), new)

    def test_dialog_replaced_in_place(self):
        old = crlf("[DIALOG]", "URL=1", "_URL=住所", "", "[BASIC]", "NAME=ソ表", "LIB=2ch")
        self.assertEqual(self.install(old), DIALOG + crlf("[BASIC]", "NAME=ソ表", "LIB=2ch"))

    def test_other_sections_and_leading_lines_dropped(self):
        # "[basic]" is [BASIC] as the host reads it: kept, under the host's header.
        old = crlf("; written by hand", "NAME=before any header", "[OTHER]", "X=1",
                   "[BASIC]", "NAME=a", "[OTHER]", "Y=2", "[basic]", "NAME=lower")
        self.assertEqual(self.install(old), DIALOG + crlf("[BASIC]", "NAME=a", "[BASIC]", "NAME=lower"))

    def test_two_basic_sections_each_behind_its_header(self):
        old = crlf("[BASIC]", "URL=u", "[DIALOG]", "_URL=x", "[BASIC]", "NAME=n", "[OTHER]", "Z=z")
        self.assertEqual(self.install(old), DIALOG + crlf("[BASIC]", "URL=u", "[BASIC]", "NAME=n"))

    def test_trailing_blank_lines_and_spaces_trimmed(self):
        old = crlf("[BASIC]", "NAME=a  ", "", "URL=b \t ", "", "   ", "\t", "")
        self.assertEqual(self.install(old), DIALOG + crlf("[BASIC]", "NAME=a  ", "", "URL=b"))

    def test_lf_and_cr_line_ends_become_crlf(self):
        old = "[BASIC]\nNAME=表ソ\rURL=u\r\n\nKEY=k".encode("cp932")
        self.assertEqual(self.install(old), DIALOG + crlf("[BASIC]", "NAME=表ソ", "URL=u", "", "KEY=k"))

    def test_file_without_basic_section(self):
        self.assertEqual(self.install(crlf("[BASIC", "NAME=not a header", "[Other]", "URL=u")), DIALOG)
        self.assertEqual(self.install(b""), DIALOG)

    def test_basic_headers_the_host_reads_are_kept(self):
        old = crlf("[ Basic ] ", "NAME=spaced header", "[basic]x", "URL=u")
        self.assertEqual(self.install(old), DIALOG + crlf("[BASIC]", "NAME=spaced header", "[BASIC]", "URL=u"))

    def test_second_install_keeps_the_result(self):
        first = self.install(crlf("[BASIC]", "NAME=a"))
        self.assertEqual(self.install(None), first)

    def test_further_arguments_and_exact_command_lines_that_install(self):
        runs = [["i", "x"], ["i", "I"], ["i", "-i"],
                b'qv_TarnUtil.exe "i"', b'"qv_TarnUtil.exe" i', b'qv_TarnUtil.exe "" i',
                b'qv_TarnUtil.exe\ti', b'qv_TarnUtil.exe\x1fi\x01x', b'qv_TarnUtil.exe i""',
                b'qv_TarnUtil.exe "i" x', b'"C:\\Program Files\\host\\plugins\\qv_TarnUtil.exe" i']
        for run in runs:
            with self.subTest(run=run):
                self.settings(self.board, crlf("[DIALOG]", "_NAME=x", "[BASIC]", "NAME=a"))
                self.assert_quiet_success(self.run_either(self.board, run))
                self.assertEqual((self.board / SETTINGS).read_bytes(), DIALOG + crlf("[BASIC]", "NAME=a"))
        self.assert_not_started()


# ---- other first arguments: nothing happens ---------------------------------

class OtherArgumentTest(BoardTest):
    OLD = crlf("[DIALOG]", "URL=1", "_NAME=お名前", "[OTHER]", "A=1", "[BASIC]", "NAME=n", "", "")

    def setUp(self):
        super().setUp()
        self.path = self.settings(self.board, self.OLD)

    def assert_untouched(self):
        self.assertEqual(self.path.read_bytes(), self.OLD)
        self.assertEqual(os.stat(self.path).st_mtime_ns, OLD_TIME_NS)
        self.assertEqual(sorted(os.listdir(self.board)), [SETTINGS])

    def test_arguments_other_than_i_and_exact_command_lines_that_do_nothing(self):
        runs = ["I", "-i", "/i", "ii", "x", "install", "i ", " i", "表",
                b'qv "i "', b'qv "I"', b'qv "" I', b'qv \x7fi', b'qv "i""x"', b'qv i\x7f', b'qv i\xa0']
        for run in runs:
            with self.subTest(run=run):
                self.assert_quiet_success(self.run_either(self.board, run))
                self.assert_untouched()
        self.assert_not_started()


# ---- files that cannot be read or written -----------------------------------

class FileErrorTest(BoardTest):
    OLD = crlf("[DIALOG]", "_NAME=お名前", "[BASIC]", "NAME=n")

    def make_immutable(self, path):
        make_immutable(self, self.base, path)

    def leftovers(self):
        """Files beside tarn_BBS.ini: a failed replace must leave none."""
        return [name for name in sorted(os.listdir(self.board)) if name != SETTINGS]

    def assert_report(self, result, message):
        self.assertEqual(result.status, 1, result)
        self.assertEqual(result.out, message + CRLF, result)
        self.assertEqual(result.err, b"", result)
        self.assertEqual(result.out.decode("cp932"), message.decode("cp932") + "\r\n")

    def test_unwritable_file(self):
        path = self.settings(self.board, self.OLD)
        self.make_immutable(path)
        result = self.run_companion(self.board, "i")
        self.assert_report(result, CANNOT_CREATE)
        self.assertEqual(result.out.decode("cp932"), "ファイル tarn_BBS.ini を作成できません\r\n")
        self.assertEqual(path.read_bytes(), self.OLD)
        self.assertEqual(os.stat(path).st_mtime_ns, OLD_TIME_NS)
        self.assertEqual(self.leftovers(), [])
        self.assert_not_started()

    def test_unwritable_folder_without_file(self):
        self.make_immutable(self.board)
        result = self.run_companion(self.board, "i")
        self.assert_report(result, CANNOT_CREATE)
        self.assertEqual(os.listdir(self.board), [])

    def test_file_locked_by_another_program(self):
        path = self.settings(self.board, self.OLD)
        result = self.run_exact(b"qv_TarnUtil.exe i", win(self.board), hold=path)
        self.assert_report(result, CANNOT_OPEN)
        self.assertEqual(result.out.decode("cp932"), "ファイル tarn_BBS.ini は開けません\r\n")
        self.assertEqual(path.read_bytes(), self.OLD)
        self.assertEqual(self.leftovers(), [])


# ---- no argument: starting the utility --------------------------------------

class LaunchTest(CompanionTest):
    def test_harness_passes_command_lines_exactly(self):
        # run_raw.exe must hand over its command line untouched, or the exact
        # command-line tests above would prove nothing.
        line = b'any "" \t"a b"\x01c \x95\x5c'
        self.place_utility(self.base)
        self.assertEqual(self.run_exact(line, win(self.base), program=self.base / "TarnUtil.exe").status, 0)
        self.assertEqual(self.wait_record().cmd_bytes, line)

    def test_board_folder_starts_the_hosts_utility(self):
        host, board = self.host_and_board()
        self.place_utility(self.folder("host/data"))  # one level up: the wrong one
        self.assert_quiet_success(self.run_companion(board))
        record = self.assert_started(win(host) + "\\TarnUtil.exe", win(board))
        self.assertEqual(record.module, win(host / "TarnUtil.exe"))

    def test_a_host_under_a_folder_with_a_space_starts_its_own_utility(self):
        # Unquoted and unnamed, "...\Program Files\host\TarnUtil.exe" would
        # first start "...\Program.exe".
        programs = self.folder("Program Files")
        host, board = self.folder("host", programs), self.folder("host/data/board1", programs)
        self.place_utility(host)
        shutil.copyfile(ENV.standin, self.base / "Program.exe")
        self.assert_quiet_success(self.run_companion(board))
        record = self.assert_started(win(host) + "\\TarnUtil.exe", win(board))
        self.assertEqual(record.module, win(host / "TarnUtil.exe"))

    def test_empty_quotes_alone_start_the_utility(self):
        host, board = self.host_and_board()
        path = self.settings(board, crlf("[BASIC]", "NAME=n"))
        for line in [b'qv_TarnUtil.exe ""', b'qv_TarnUtil.exe "" ""\t', b'"qv_TarnUtil.exe"']:
            with self.subTest(line=line):
                self.assert_quiet_success(self.run_exact(line, win(board)))
                self.assert_started(win(host) + "\\TarnUtil.exe", win(board))
        self.assertEqual(path.read_bytes(), crlf("[BASIC]", "NAME=n"))

    def test_start_up_settings_are_passed_on(self):
        _, board = self.host_and_board()
        SW_SHOWMINNOACTIVE, STARTF_USESHOWWINDOW, STARTF_USEPOSITION = 7, 0x1, 0x4
        self.assert_quiet_success(self.run_exact(b"qv", win(board), show=SW_SHOWMINNOACTIVE, pos=(40, 30)))
        record = self.wait_record()
        self.assertEqual(record.flags & (STARTF_USESHOWWINDOW | STARTF_USEPOSITION),
                         STARTF_USESHOWWINDOW | STARTF_USEPOSITION, record)
        self.assertEqual(record.show, SW_SHOWMINNOACTIVE)
        self.assertEqual(record.pos, "40,30")

    def test_the_companion_does_not_wait_for_the_utility(self):
        _, board = self.host_and_board()
        release = self.base / "release"
        self.env["TARN_STANDIN_RELEASE"] = win(release)
        done = Path(str(self.record) + ".done")
        # Output into files: a pipe would stay open as long as the utility runs.
        with open(self.base / "out", "wb") as out, open(self.base / "err", "wb") as err:
            result = self.run_wine([ENV.companion], board, stdout=out, stderr=err)
        self.assertEqual(result.status, 0)
        # The utility is still waiting for its release when the companion has ended.
        self.wait_record()
        self.assertFalse(done.exists(), "the companion ended only after the utility")
        release.write_bytes(b"")
        self.assertEqual(self.wait_record(done, raw=True), b"released")
        self.assertEqual((self.base / "out").read_bytes(), b"")
        self.assertEqual((self.base / "err").read_bytes(), b"")

    def test_missing_utility(self):
        board = self.folder("host/data/board1")
        self.place_utility(self.folder("host/data"))  # not where it is looked for
        self.place_utility(board)
        self.assert_quiet_success(self.run_companion(board))
        self.assert_not_started()

    def test_names_ending_in_a_double_byte_backslash(self):
        # ソ is 83 5C and 表 is 95 5C in code page 932: the 5C is no separator.
        cases = [("host/表ソ/board", "host"), ("host/data/表ソ", "host"),
                 ("表ソ/data/board", "表ソ"), ("host/ソ/表", "host")]
        for number, (current, utility) in enumerate(cases):
            with self.subTest(current=current):
                root = self.folder("tree%d" % number)
                board = self.folder(current, root)
                self.place_utility(self.folder(utility, root))
                self.assert_quiet_success(self.run_companion(board))
                record = self.assert_started(win(root / utility) + "\\TarnUtil.exe", win(board))
                self.assertEqual(record.cmd_bytes, (win(root / utility) + "\\TarnUtil.exe").encode("cp932"))


class DriveRootTest(CompanionTest):
    """Near a drive root: a drive T: of the test's own, a symbolic link in the
    prefix's dosdevices folder."""

    def setUp(self):
        super().setUp()
        self.drive = self.folder("drive")
        link = ENV.prefix / "dosdevices" / "t:"
        if os.path.lexists(link):
            self.skipTest("drive T: is already in use in the prefix")
        os.symlink(self.drive, link)
        self.addCleanup(os.unlink, link)

    def test_near_the_root(self):
        # "T:TarnUtil.exe" names the file in the current folder of drive T:,
        # so a stand-in waits in each folder the companion may start from.
        for rel in ["", "sub", "host", "host/data/board1"]:
            self.place_utility(self.folder(rel, self.drive))
        cases = [
            ("T:\\host\\data\\board1", "T:\\host\\TarnUtil.exe"),
            ("T:\\host\\data", "T:\\TarnUtil.exe"),
            ("T:\\sub", "T:TarnUtil.exe"),
            ("T:\\", "T:TarnUtil.exe"),
        ]
        for directory, command_line in cases:
            with self.subTest(directory=directory):
                self.assert_quiet_success(self.run_exact(b"qv_TarnUtil.exe", directory))
                self.assert_started(command_line, directory)

    def test_root_without_utility(self):
        self.assert_quiet_success(self.run_exact(b"qv_TarnUtil.exe", "T:\\"))
        self.assert_not_started()


if __name__ == "__main__":
    unittest.main(verbosity=2)
