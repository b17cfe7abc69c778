#!/usr/bin/env python3
"""What the host reads after a batch, for files in the shapes hand-editing and
older programs leave.

The host reads tarn_BBS.ini through Windows' profile API. A small Windows
program (ini_reader.exe) reads every [BASIC] key of each board that way, under
Wine, before and after a batch of tarnbatch.exe (under Wine) and of the native
tarnbatch: each key the batch sets must read the value set, every other key
what it read before. Both drivers must leave the same bytes.

The environment names the programs:
  TARNBATCH, TARN_WINE_RUN, TARN_WINE_PREFIX   tarnbatch.exe under Wine
  TARN_NATIVE_TARNBATCH                         the native tarnbatch
  TARN_INI_READER                               ini_reader.exe
"""

import os
import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from tarn_rules import CATALOGUE, SETTINGS_FILE  # noqa: E402
from test_tarnbatch import DRIVER, Driver, DriverTest, build_tree, companion_file  # noqa: E402
from testkit import Snapshot, crlf, environment  # noqa: E402

# Board folder -> tarn_BBS.ini (None: no file).
SHAPES = {
    # Shapes where the host and the batch used to disagree.
    "空白付き": crlf("[BASIC]", " NAME = 旧 ", "EMAIL =x", "URL=u"),
    "タブ": crlf("[BASIC]", "\tNAME=旧", "KEY=k"),
    "等号なし": crlf("[BASIC]", "NAME", "URL=u", "NAME=後"),
    "二つの節": crlf("[BASIC]", "URL=u", "NAME=旧", "[DIALOG]", "_NAME=名前:", "[BASIC]", "LIB=old", "EMAIL=e", "HP=h"),
    "小文字の見出し": crlf("[dialog]", "_URL=アドレス", "[basic]", "URL=u", "PASS=p", "NAME=旧"),
    "空白の見出し": crlf("[ BASIC ]", "URL=u", "PASS=p", "USER=\"引用\""),
    "後ろに空白": crlf("[DIALOG] ", "_NAME=x", "\t[BASIC]  ", "NAME=旧", "PARAM2=12"),
    # Shapes that already agreed.
    "本体のファイル": companion_file("URL=u", "NAME=旧", "EMAIL=", "PASS=p"),
    "同じキー二度": crlf("[BASIC]", "NAME=一", "NAME=二", "HP=h"),
    "小文字のキー": crlf("[BASIC]", "name=旧", "email=e", "url=u"),
    "注釈": crlf("[BASIC]", ";NAME=注釈", "URL=u"),
    "LFのみ": "[BASIC]\nNAME=旧\nURL=u\n".encode("cp932"),
    "ファイルなし": None,
}
SET_ARGS = ["--set", "NAME=新名前", "--set", "EMAIL=sage", "--set", "LIB=2ch", "--set", "HP="]
SET_VALUES = {"NAME": "新名前".encode("cp932"), "EMAIL": b"sage", "LIB": b"2ch", "HP": b""}


def read_as_host(reader, files):
    """{file: {KEY: value bytes, or None for the default}} for each file, read
    through the profile API; keys in upper case, the first of a name counts."""
    args = [DRIVER.arg(path) for path in files]
    command = [DRIVER.wine_run, DRIVER.prefix, reader, "BASIC", ",".join(CATALOGUE)] + args
    for attempt in range(2):
        proc = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=120)
        # The reader only reads; a failure that says nothing is Wine's own
        # (seen once while the GUI tests ran beside it), and it is run again.
        if proc.returncode == 0 or proc.stderr:
            break
    if proc.returncode != 0:
        raise AssertionError("ini_reader failed (status %d): %r" % (proc.returncode, proc.stderr))
    read, current = {}, None
    for line in proc.stdout.split(b"\n"):
        parts = line.rstrip(b"\r").split(b"\t")
        if parts[0] == b"file":
            current = read.setdefault(files[args.index(parts[1].decode("cp932"))], {})
        elif parts[0] == b"key":
            current.setdefault(parts[1].upper(), parts[2] if len(parts) > 2 else None)
    return read


class HostReadsTest(DriverTest):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.reader, native = environment("TARN_INI_READER", "TARN_NATIVE_TARNBATCH")
        if not DRIVER.wine:
            raise unittest.SkipTest("needs Wine")
        if not os.access(native, os.X_OK):
            raise AssertionError("no native tarnbatch at %s: build the native preset first" % native)
        cls.drivers = {"under Wine": DRIVER, "natively": Driver(native, wine=False)}

    def test_every_key_reads_the_value_set_or_what_it_read_before(self):
        written = {}
        for how, driver in self.drivers.items():
            with self.subTest(how):
                build_tree(self.root, SHAPES, {})
                files = [self.root / folder / SETTINGS_FILE for folder in SHAPES]
                before = read_as_host(self.reader, files)
                result = driver.run(*SET_ARGS, driver.arg(self.root))
                self.assertEqual(result.status, 0, result)
                after = read_as_host(self.reader, files)
                for path in files:
                    for key in sorted(set(before[path]) | set(after[path])):
                        want = SET_VALUES.get(key.decode("ascii", "replace"), before[path].get(key))
                        self.assertEqual(after[path].get(key), want, "%s: %s" % (path.parent.name, key))
                written[how] = Snapshot(self.root).files
                for folder in SHAPES:
                    (self.root / folder / SETTINGS_FILE).unlink()
        self.assertEqual(written["natively"], written["under Wine"], "both drivers write the same bytes")


if __name__ == "__main__":
    unittest.main(verbosity=2)
