"""Shared parts of the hostile-tree and kill tests of the batch driver.

The driver is named by TARNBATCH (the native program). Trees are built below
TARN_HOSTILE_WORK (the build folder; the system's temporary folder when unset)
and removed afterwards. The rules model of the whole-program tests
(tests/e2e/tarn_rules.py) is the oracle for every file's bytes.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))

import tarn_rules as rules  # noqa: E402
from tarn_rules import CRLF, SETTINGS_FILE, SIGNATURE_FILE, Fields, sjis  # noqa: E402,F401
from testkit import ProgramRun, Snapshot, chattr, crlf, make_immutable  # noqa: E402,F401


def _starts_character(line, i):
    """True when byte i of the line starts a character: an even number of
    lead-byte values stands right before it (a byte outside the lead-byte
    range always ends a character)."""
    run = 0
    while i - 1 - run >= 0 and rules.is_lead_byte(line[i - 1 - run]):
        run += 1
    return run % 2 == 0


def _header_name_fast(line):
    """rules.header_name without cutting the whole line into characters, for
    lines of megabytes: the closing "]" is the last 0x5D byte that starts a
    character of its own."""
    line = rules.trim(line)
    if not line.startswith(b"["):
        return None
    close = len(line)
    while True:
        close = line.rfind(b"]", 1, close)
        if close < 0:
            return None
        if _starts_character(line, close):
            return rules.trim(line[1:close])


_SAMPLES = [b"[BASIC]", b"[", b"]", b"[]", b"[\x83]", b"[\x83]]", b"[\x83\x83]", b"[a\x81\x81\x81]", b"[x] ",
            b"[\x81\x40]", b"[\xe0\x81\x5d", b"[\xe0\x81]", b" [ a ]x", b"[\x83]\x83]", b"\t[b]\x83]"]
assert all(_header_name_fast(s) == rules.header_name(s) for s in _SAMPLES), "fast header test disagrees"
# The model's own test is exact but cuts every line into a list of
# characters, which takes minutes for the 200 MB file.
rules.header_name = _header_name_fast

# The account the permission tests run the driver as when they run as root
# (root reads and writes whatever the mode bits say).
NOBODY = 65534
TEMPORARY_MARK = "~TU"  # temporary files are named "~TU" and base-36 digits


def driver():
    program = os.environ.get("TARNBATCH")
    if not program:
        raise RuntimeError("TARNBATCH must name the driver to test")
    return program


_NOBODY_STATE = []


def nobody_state_folder():
    """A folder the unprivileged account may keep its journals in."""
    if not _NOBODY_STATE:
        folder = tempfile.mkdtemp(prefix="tarn-nobody-state-")
        os.chown(folder, NOBODY, NOBODY)
        _NOBODY_STATE.append(folder)
    return _NOBODY_STATE[0]


def run_driver(*args, as_nobody=False, timeout=300):
    # The tests read the English messages; the locale here is Japanese.
    command = [driver(), "--lang=en"] + [str(a) for a in args]
    env = None
    if as_nobody and os.geteuid() == 0:
        command = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups", "--"] + command
        env = dict(os.environ, XDG_STATE_HOME=nobody_state_folder())
    proc = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout, env=env)
    return ProgramRun(proc.returncode, proc.stdout.decode("utf-8", "replace"),
                      proc.stderr.decode("utf-8", "replace"))


def tree_files(root):
    """Every regular file of a tree (links not followed) -> its bytes, and
    every symbolic link -> its target."""
    tree = Snapshot(root)
    return tree.files, tree.links


class HostileTest(unittest.TestCase):
    maxDiff = 2000

    @classmethod
    def setUpClass(cls):
        driver()
        if sys.getfilesystemencoding().lower() not in ("utf-8", "utf8"):
            raise RuntimeError("run with PYTHONUTF8=1: file names must be UTF-8")
        work = os.environ.get("TARN_HOSTILE_WORK")
        cls.work = Path(work) if work else Path(tempfile.gettempdir())
        cls.work.mkdir(parents=True, exist_ok=True)

    def setUp(self):
        self.base = Path(tempfile.mkdtemp(prefix="hostile-", dir=self.work))
        self.addCleanup(self.remove_base)
        self.root = self.base / "data"
        self.root.mkdir()

    def remove_base(self):
        # Modes taken away by a test are given back first, so that removal
        # works for any user.
        for path, dirnames, _ in os.walk(self.base):
            for name in dirnames:
                full = Path(path) / name
                if not full.is_symlink():
                    os.chmod(full, 0o755)
        shutil.rmtree(self.base, ignore_errors=True)

    # ---- building trees -----------------------------------------------------

    def make_tree(self, folders):
        """folders: relative folder -> its tarn_BBS.ini bytes, or None."""
        for rel, content in folders.items():
            folder = self.root / rel
            folder.mkdir(parents=True, exist_ok=True)
            if content is not None:
                (folder / SETTINGS_FILE).write_bytes(content)

    def give_to_nobody(self):
        """Hands the tree to the unprivileged account the driver will run as."""
        if os.geteuid() != 0:
            return
        os.chown(self.base, NOBODY, NOBODY)
        for path, dirnames, filenames in os.walk(self.base):
            for name in dirnames + filenames:
                os.chown(Path(path) / name, NOBODY, NOBODY, follow_symlinks=False)

    def make_immutable(self, path):
        make_immutable(self, self.base, path)

    # ---- checking trees -----------------------------------------------------

    def assert_no_temporary_files(self):
        left = [str(p) for p in self.base.rglob("*" + TEMPORARY_MARK + "*")]
        self.assertEqual(left, [], "temporary files left behind")

    def assert_all_as_the_rules_give(self, before, fields, folders, after=None):
        """Every settings file of `folders` as the rules make it from its old
        bytes; every other file as it was."""
        after_files, _ = after if after is not None else tree_files(self.root)
        expected = rules.tree_after_batch(before, folders, fields)
        self.assertEqual(sorted(map(str, after_files)), sorted(map(str, expected)), "the tree's files")
        for rel in expected:
            if after_files[rel] != expected[rel]:
                self.fail("%s: %d bytes, expected %d bytes; first difference at %d"
                          % (rel, len(after_files[rel]), len(expected[rel]),
                             next((i for i, (a, b) in enumerate(zip(after_files[rel], expected[rel])) if a != b),
                                  min(len(after_files[rel]), len(expected[rel])))))
        self.assert_no_temporary_files()

    def assert_old_or_new(self, before, fields, after_files):
        """After a run that stopped: each settings file holds its old bytes or
        exactly the new ones, nothing in between; other files are unchanged.
        Returns the settings files that were rewritten."""
        rewritten = set()
        for rel, content in after_files.items():
            if rel.name == SETTINGS_FILE:
                new = rules.settings_after_batch(before.get(rel), fields)
                if content == new and before.get(rel) != new:
                    rewritten.add(rel)
                elif content != before.get(rel):
                    self.fail("%s holds neither its old nor its new bytes" % rel)
            elif rel.name == SIGNATURE_FILE and fields.signature is not None and content == fields.signature:
                continue
            else:
                self.assertEqual(content, before.get(rel), rel)
        for rel in before:
            self.assertIn(rel, after_files, "%s disappeared" % rel)
        self.assert_no_temporary_files()
        return rewritten

    def assert_file_error(self, run, path, kinds=("create",)):
        """Exit status 1 and the message of a file error naming `path`."""
        self.assertEqual(run.status, 1, run)
        messages = {"open": "ファイル %s は開けません" % path, "create": "ファイル %s を作成できません" % path}
        self.assertTrue(any("tarnbatch: " + messages[k] in run.err for k in kinds),
                        "no message naming %s in %r" % (path, run.err))
