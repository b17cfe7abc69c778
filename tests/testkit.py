"""What the Python tests share: the programs' text encoding and line ends,
snapshots of a tree, files made unwritable with chattr, and the settings the
build passes to a test in its environment. A test module puts this folder on sys.path and imports it."""

import os
import subprocess
import unittest
from pathlib import Path

CRLF = b"\r\n"
CODE_PAGE = "cp932"


def sjis(text):
    """Text as the programs store it: Shift-JIS bytes."""
    return text.encode(CODE_PAGE)


def crlf(*lines, end=CRLF):
    """Lines (text, written in Shift-JIS, or bytes as they are) each ended by `end`."""
    return b"".join((line if isinstance(line, bytes) else sjis(line)) + end for line in lines)


class Snapshot:
    """Every folder, file (bytes, mtime, inode) and symbolic link of a tree,
    links not followed; paths relative to the tree's root."""

    def __init__(self, root):
        self.root = root
        self.folders = set()
        self.files = {}
        self.stats = {}
        self.links = {}
        for path, dirnames, filenames in os.walk(root):
            here = Path(path).relative_to(root)
            self.folders.add(here)
            for name in dirnames + filenames:
                full = Path(path) / name
                rel = here / name
                if full.is_symlink():
                    self.links[rel] = os.readlink(full)
                elif name in filenames:
                    st = full.lstat()
                    self.files[rel] = full.read_bytes()
                    self.stats[rel] = (st.st_mtime_ns, st.st_ino)


def chattr(flag, path):
    subprocess.run(["chattr", flag, str(path)], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_immutable(test, base, path, flag="+i"):
    """Sets the attribute `flag` ("+i" by default) on `path` until `test` ends;
    skips `test` where chattr does not work in the folder `base` (it needs root
    and a file system that has it). As root, an unwritable mode is no obstacle,
    so this is how the tests make a file that cannot be replaced."""
    probe = Path(base) / "probe"
    probe.write_bytes(b"")
    try:
        chattr("+i", probe)
    except (OSError, subprocess.CalledProcessError) as e:
        test.skipTest("chattr +i does not work in %s: %s" % (base, getattr(e, "stderr", e)))
    chattr("-i", probe)
    probe.unlink()
    # Registered before it is set, so that a failure half way still undoes it
    # (cleanups run last in, first out: before the folder is removed).
    test.addCleanup(chattr, "-" + flag[1:], path)
    chattr(flag, path)


def environment(*names):
    """The values of the environment variables the build sets for a test, in
    the order named; the test is skipped when one of them is not set."""
    missing = [n for n in names if not os.environ.get(n)]
    if missing:
        raise unittest.SkipTest("not set: " + ", ".join(missing))
    return [os.environ[n] for n in names]


class ProgramRun:
    """How a run of a program ended: its status and its output."""

    def __init__(self, status, out, err):
        self.status, self.out, self.err = status, out, err

    def __repr__(self):
        def tail(output):  # text or bytes; None where it went to a file
            return output[-3000:] if output else ""
        return "status %d\n--- stdout\n%s--- stderr\n%s" % (self.status, tail(self.out), tail(self.err))
