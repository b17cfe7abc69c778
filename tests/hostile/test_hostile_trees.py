#!/usr/bin/env python3
"""Hostile trees for the batch driver: whatever a user's tree holds, the run
must not crash, must stop with a clear message naming the path where a file
cannot be read or replaced, and must leave every settings file with either
its old bytes or exactly the new ones, and no temporary file.

Environment: TARNBATCH (the native driver), TARN_HOSTILE_WORK (where the trees
are built), TARN_HOSTILE_BIG=0 to leave out the two big trees (the 200 MB file
and the folder of 50,000 entries), as the sanitizer build does.
"""

import os
import random
import unittest
from pathlib import Path

from hostile_common import (CRLF, SETTINGS_FILE, SIGNATURE_FILE, Fields, HostileTest, crlf, rules, run_driver,
                            sjis, tree_files)

SET_ARGS = ["--set", "NAME=山田ソ", "--set", "EMAIL=", "--set", "PARAM1=表ソ\\x", "--set", "BBSFOLDER=1"]
FIELDS = Fields({"NAME": "山田ソ", "EMAIL": "", "PARAM1": "表ソ\\x"}, bbsfolder=True)
BIG = os.environ.get("TARN_HOSTILE_BIG", "1") != "0"
# What the run appends, in catalogue order, to a [BASIC] section holding none
# of its keys: BBSFOLDER=1, NAME=山田ソ, EMAIL=, PARAM1=表ソ\x (ソ and 表 end
# in the byte 0x5C).
APPENDED = b"BBSFOLDER=1\r\nNAME=\x8eR\x93c\x83\x5c\r\nEMAIL=\r\nPARAM1=\x95\x5c\x83\x5c\\x\r\n"


def summary(run):
    lines = run.out.splitlines()
    return lines[-1] if lines else ""


class TreeTest(HostileTest):
    def run_over(self, folders, *options, reached=None):
        """Builds `folders` and runs the driver over them with SET_ARGS, which
        must succeed and write every folder of `reached` (all of `folders` by
        default) as the rules give; the run and the tree's files after it."""
        self.make_tree(folders)
        before, _ = tree_files(self.root)
        run = run_driver(*options, *SET_ARGS, self.root)
        self.assertEqual(run.status, 0, run)
        self.assert_all_as_the_rules_give(before, FIELDS, folders if reached is None else reached)
        return run, tree_files(self.root)[0]


class ContentTest(TreeTest):
    """Malformed, binary and huge settings files: each is read by the line
    rules and rewritten whole."""

    def test_nul_bytes_lone_lead_bytes_and_invalid_shift_jis(self):
        rng = random.Random(20240601)
        binary = bytes(rng.randrange(256) for _ in range(64 * 1024))
        folders = {
            "": crlf("[BASIC]", "NAME=root"),
            # NUL ends the text wherever it stands.
            "nul-first": b"\0" + crlf("[BASIC]", "NAME=lost"),
            "nul-in-line": crlf("[DIALOG]", "_NAME=n") + b"[BASIC]\r\nNAME=a\0b\r\nKEY=lost\r\n",
            "nul-after-header": b"[BASIC]\0\r\nNAME=x\r\n",
            "binary": binary,
            "binary-with-header": crlf("[BASIC]", "KEY=k") + binary.replace(b"\0", b"\x01"),
            # A lead byte with nothing after it: at the end of a line, of a
            # header, of a name, of the file.
            "lead-end-of-line": b"[BASIC]\r\nNAME=\x83\r\nKEY=\x81\nPASS=x\x9f\r\nHP=\xfc",
            "lead-in-header": b"[BASIC\x81]\r\nNAME=not-basic\r\n[BASIC]\x81\r\nKEY=still-not\r\n[BASIC]\r\nHP=h",
            "lead-in-name": b"[BASIC]\r\nNAME\x81=x\r\nNAM\x81E=y\r\n",
            "lead-end-of-file": b"[DIALOG]\r\n_NAME=\x83",
            "header-trail-bracket": sjis("[ゾ]\r\nNAME=x\r\n[BASIC]\r\n[メモゾ\r\nNAME=y\r\n"),
            # Bytes that are no Shift-JIS at all, and lead bytes before bytes
            # that cannot follow them (a space, a CR, DEL).
            "invalid": b"[BASIC]\r\nNAME=\x80\xa0\xfd\xfe\xff\r\nURL=\x81 \x81\r\x81\x7f\r\n\xff[BASIC]\r\nHP=x\r\n",
            "control": b"\x01\x02[BASIC]\x03\r\n[BASIC]\r\n\x1bNAME=\x1b\x7f\r\n\x0c\r\n\x1a",
        }
        run, after = self.run_over(folders)
        self.assertEqual(summary(run), "folders visited: %d, files written: %d, files already up to date: 0"
                         % (len(folders), len(folders)))
        # A few results worked out by hand.
        self.assertEqual(after[Path("nul-first", SETTINGS_FILE)], b"[BASIC]\r\n" + APPENDED)
        self.assertEqual(after[Path("nul-in-line", SETTINGS_FILE)],
                         b"[DIALOG]\r\n_NAME=n\r\n[BASIC]\r\nNAME=\x8eR\x93c\x83\x5c\r\nBBSFOLDER=1\r\nEMAIL=\r\n"
                         b"PARAM1=\x95\x5c\x83\x5c\\x\r\n")
        # "[BASIC\x81]" holds no "]" of its own (0x81 0x5D is one character):
        # no header. "[BASIC]\x81" is the first [BASIC], as Windows reads it
        # (text after the "]" does not count), so the keys go there.
        self.assertEqual(after[Path("lead-in-header", SETTINGS_FILE)],
                         b"[BASIC]\r\nKEY=still-not\r\n" + APPENDED + b"[BASIC]\r\nHP=h\r\n")
        self.assertEqual(after[Path("lead-end-of-line", SETTINGS_FILE)],
                         b"[BASIC]\r\nNAME=\x8eR\x93c\x83\x5c\r\nKEY=\x81\r\nPASS=x\x9f\r\nHP=\xfc\r\nBBSFOLDER=1\r\n"
                         b"EMAIL=\r\nPARAM1=\x95\x5c\x83\x5c\\x\r\n")

    def test_ten_megabyte_lines(self):
        long_value = sjis("ソ表") * (10 * 1024 * 1024 // 4)
        folders = {
            "": None,
            # Kept: the long line belongs to a key nobody sets.
            "kept": crlf("[DIALOG]", b"_HP=" + long_value, "[BASIC]", b"KEY=" + long_value, "NAME=old"),
            # Replaced: the long line is that of a key the run sets.
            "replaced": crlf("[BASIC]", b"name=" + long_value, "HP=h"),
            # One 10 MB line with no line break at all, and a 10 MB header.
            "no-break": b"[BASIC]\r\nPASS=" + long_value,
            "long-header": b"[" + long_value + b"]\r\nNAME=x\r\n[BASIC]\r\nHP=" + long_value + b" \t ",
        }
        _, after = self.run_over(folders)
        self.assertIn(b"\r\nKEY=" + long_value + b"\r\n", after[Path("kept", SETTINGS_FILE)])
        self.assertEqual(after[Path("replaced", SETTINGS_FILE)],
                         b"[BASIC]\r\nNAME=\x8eR\x93c\x83\x5c\r\nHP=h\r\nBBSFOLDER=1\r\nEMAIL=\r\n"
                         b"PARAM1=\x95\x5c\x83\x5c\\x\r\n")
        # The long "[...表]" line is a header (its last character is "]"), so
        # NAME=x belongs to another section and goes.
        self.assertEqual(after[Path("long-header", SETTINGS_FILE)],
                         b"[BASIC]\r\nHP=" + long_value + b"\r\n" + APPENDED)

    @unittest.skipUnless(BIG, "TARN_HOSTILE_BIG=0")
    def test_two_hundred_megabyte_file(self):
        # Half of it in [BASIC] (kept and trimmed line by line), half in a
        # section the rewrite drops; Shift-JIS values with 0x5C trail bytes.
        body = sjis("掲示板ソ表" * 95)
        basic = b"".join(b"  X%07d=" % i + body + b" \t" + CRLF for i in range(100 * 1024 * 1024 // (len(body) + 14)))
        other = b"".join(b"LOG%07d=" % i + body + CRLF for i in range(100 * 1024 * 1024 // (len(body) + 12)))
        content = crlf("[DIALOG]", "_NAME=名前:") + b"[BASIC]\r\nNAME=old\r\n" + basic + b"[LOG]\r\n" + other
        self.assertGreater(len(content), 200 * 1000 * 1000)
        del basic, other
        run, _ = self.run_over({"": None, "大きい": content})
        self.assertEqual(summary(run), "folders visited: 2, files written: 2, files already up to date: 0")


class StructureTest(TreeTest):
    """Deep, wide and looping trees, and odd names."""

    def test_tree_two_hundred_folders_deep(self):
        folders, rel = {"": crlf("[BASIC]", "NAME=top")}, Path()
        for depth in range(1, 201):
            rel = rel / ("層ソ%03d" % depth)
            folders[str(rel)] = crlf("[BASIC]", "NAME=%d" % depth) if depth % 3 else None
        run, _ = self.run_over(folders, "--verbose")
        self.assertEqual(summary(run), "folders visited: 201, files written: 201, files already up to date: 0")
        # Depth first: each folder is listed right after its parent.
        listed = run.out.splitlines()[:-1]
        self.assertEqual(listed, [str(self.root / f / SETTINGS_FILE) for f in folders])

    @unittest.skipUnless(BIG, "TARN_HOSTILE_BIG=0")
    def test_folder_with_fifty_thousand_entries(self):
        wide = self.root / "広い"
        wide.mkdir()
        subfolders = ["板%05d" % i for i in range(2000)]
        before = {}
        for i, name in enumerate(subfolders):
            (wide / name).mkdir()
            if i % 2:
                before[name] = crlf("[BASIC]", "NAME=%d" % i)
                (wide / name / SETTINGS_FILE).write_bytes(before[name])
        for i in range(48000):
            (wide / ("memo%05d.txt" % i)).write_bytes(b"%d" % i)

        def entries():
            # The files are told by inode, size and time stamp (a folder's
            # time stamp changes when a file is made in it).
            return {e.name: "folder" if e.is_dir(follow_symlinks=False) else
                    (e.inode(), e.stat(follow_symlinks=False).st_size, e.stat(follow_symlinks=False).st_mtime_ns)
                    for e in os.scandir(wide)}

        listing = entries()
        self.assertEqual(len(listing), 50000)
        run = run_driver(*SET_ARGS, self.root)
        self.assertEqual(run.status, 0, run)
        self.assertEqual(summary(run), "folders visited: 2002, files written: 2002, files already up to date: 0")
        now = entries()
        self.assertIsInstance(now.pop(SETTINGS_FILE, None), tuple, "the wide folder's own settings file")
        self.assertEqual((wide / SETTINGS_FILE).read_bytes(), rules.settings_after_batch(None, FIELDS))
        changed = sorted(name for name in set(now) | set(listing) if now.get(name) != listing.get(name))
        self.assertEqual(changed[:10], [], "entries of the wide folder changed (%d in all)" % len(changed))
        for name in subfolders:
            self.assertEqual(os.listdir(wide / name), [SETTINGS_FILE], name)
            self.assertEqual((wide / name / SETTINGS_FILE).read_bytes(),
                             rules.settings_after_batch(before.get(name), FIELDS), name)
        self.assertEqual((self.root / SETTINGS_FILE).read_bytes(), rules.settings_after_batch(None, FIELDS))

    def test_symbolic_link_loops_are_not_followed(self):
        self.make_tree({"": None, "a/b": crlf("[BASIC]", "NAME=b"), "c": None})
        os.symlink("loop2", self.root / "a" / "loop1")   # loop1 -> loop2 -> loop1: leads nowhere
        os.symlink("loop1", self.root / "a" / "loop2")
        os.symlink("../..", self.root / "a" / "b" / "up")  # back to the start folder
        os.symlink("../c", self.root / "c" / "self")      # c/self is c
        os.symlink("missing", self.root / "c" / "dangling")
        before, links = tree_files(self.root)
        run = run_driver("--verbose", *SET_ARGS, self.root)
        self.assertEqual(run.status, 0, run)
        self.assertEqual(summary(run), "folders visited: 4, files written: 4, files already up to date: 0")
        self.assert_all_as_the_rules_give(before, FIELDS, ["", "a", "a/b", "c"])
        self.assertEqual(tree_files(self.root)[1], links, "links changed")

    def test_settings_file_that_is_a_link_loop(self):
        # The file exists as a name but leads nowhere: it cannot be opened,
        # and the run says so.
        self.make_tree({"": crlf("[BASIC]", "NAME=r"), "一": None, "一/二": crlf("[BASIC]", "NAME=2")})
        os.symlink(SETTINGS_FILE, self.root / "一" / SETTINGS_FILE)
        before, links = tree_files(self.root)
        run = run_driver(*SET_ARGS, self.root)
        self.assert_file_error(run, self.root / "一" / SETTINGS_FILE, ("open", "create"))
        after, after_links = tree_files(self.root)
        self.assertEqual(after_links, links)
        self.assertEqual(self.assert_old_or_new(before, FIELDS, after), {Path(SETTINGS_FILE)})

    def test_settings_file_that_is_a_dangling_link(self):
        # A link leading nowhere is not a missing file: it is not replaced by
        # a regular file, and the run stops naming it.
        self.make_tree({"": crlf("[BASIC]", "NAME=r"), "一": None})
        os.symlink("nowhere/" + SETTINGS_FILE, self.root / "一" / SETTINGS_FILE)
        before, links = tree_files(self.root)
        run = run_driver(*SET_ARGS, self.root)
        self.assert_file_error(run, self.root / "一" / SETTINGS_FILE, ("open",))
        self.assertEqual(tree_files(self.root)[1], links)

    def test_odd_names(self):
        names = ["with space", " leading space", "new\nline", "tab\there", "quote\"'s",
                 "-dash", "x" * 255, "ソ" * 85, "テスト.ini", SETTINGS_FILE + ".d"]
        folders = {"": None}
        for i, name in enumerate(names):
            folders[name] = crlf("[BASIC]", "NAME=%d" % i)
        # Names with no Shift-JIS form, not valid UTF-8, or holding a
        # Windows separator are never entered, wherever they stand (the
        # Windows programs could not reach them as they are), and are
        # reported.
        skipped = {"掲示板/😀": "掲示板/<U+1F600>", "掲示板/한국어": "掲示板/<U+D55C><U+AD6D><U+C5B4>",
                   "掲示板/" + os.fsdecode(b"bad\xff"): "掲示板/bad<0xFF>", "back\\slash": "back\\slash",
                   "表ソ\\": "表ソ\\", "한국": "<U+D55C><U+AD6D>"}
        folders["掲示板"] = crlf("[BASIC]", "NAME=jp")
        for rel in skipped:
            folders[rel] = crlf("[BASIC]", "NAME=unreachable")
        folders["掲示板/😀/下"] = None
        reached = [f for f in folders if not any(f.startswith(u) for u in skipped)]
        run, _ = self.run_over(folders, reached=reached)
        self.assertEqual(summary(run), "folders visited: %d, files written: %d, files already up to date: 0, "
                         "skipped: %d" % (len(reached), len(reached), len(skipped)))
        reported = sorted(line.split("form): ", 1)[1] for line in run.err.splitlines() if "skipped" in line)
        self.assertEqual(reported, sorted(str(self.root / shown) for shown in skipped.values()))


class PermissionTest(HostileTest):
    """Folders that cannot be listed or written, read-only files, and files
    that are folders: the driver runs as an ordinary user here."""

    FOLDERS = {
        "": crlf("[BASIC]", "NAME=root"),
        "一": crlf("[BASIC]", "NAME=one"),
        "一/二": None,
        "一/二/表ソ": crlf("[DIALOG]", "_NAME=名前", "[BASIC]", "NAME=blocked"),
        "一/二/表ソ/下": crlf("[BASIC]", "NAME=below"),
        "三": crlf("[BASIC]", "NAME=three"),
    }
    BLOCKED = Path("一/二/表ソ")

    def stopped_run(self, failing, kinds=("create",)):
        """Runs as an ordinary user; the run must stop at `failing`."""
        before, _ = tree_files(self.root)
        self.give_to_nobody()
        run = run_driver("--verbose", *SET_ARGS, self.root, as_nobody=True)
        self.assert_file_error(run, self.root / failing, kinds)
        os.chmod(self.root / self.BLOCKED, 0o755)
        after, _ = tree_files(self.root)
        rewritten = self.assert_old_or_new(before, FIELDS, after)
        listed = {Path(line).relative_to(self.root) for line in run.out.splitlines()[:-1]}
        self.assertEqual(rewritten, listed, "the files the driver says it wrote")
        self.assertNotIn(failing, rewritten)
        # The folders on the way down to the failing one come before it.
        for parent in failing.parent.parents:
            self.assertIn(parent / SETTINGS_FILE, rewritten)
        return after

    def test_folder_that_cannot_be_listed(self):
        # Write and search rights but no read right: the folder's own file is
        # written, its subfolders cannot be seen and are left alone.
        self.make_tree(self.FOLDERS)
        before, _ = tree_files(self.root)
        self.give_to_nobody()
        os.chmod(self.root / self.BLOCKED, 0o300)
        run = run_driver(*SET_ARGS, self.root, as_nobody=True)
        self.assertEqual(run.status, 0, run)
        os.chmod(self.root / self.BLOCKED, 0o755)
        reached = [f for f in self.FOLDERS if f != "一/二/表ソ/下"]
        self.assertEqual(summary(run), "folders visited: %d, files written: %d, files already up to date: 0"
                         % (len(reached), len(reached)))
        self.assert_all_as_the_rules_give(before, FIELDS, reached)

    def test_folder_without_any_rights(self):
        self.make_tree(self.FOLDERS)
        os.chmod(self.root / self.BLOCKED, 0o000)
        after = self.stopped_run(self.BLOCKED / SETTINGS_FILE, ("open", "create"))
        self.assertEqual(after[self.BLOCKED / "下" / SETTINGS_FILE], crlf("[BASIC]", "NAME=below"))

    def test_read_only_file_in_the_middle(self):
        self.make_tree(self.FOLDERS)
        os.chmod(self.root / self.BLOCKED / SETTINGS_FILE, 0o444)
        self.stopped_run(self.BLOCKED / SETTINGS_FILE)
        self.assertEqual(sorted(os.listdir(self.root / self.BLOCKED)), [SETTINGS_FILE, "下"])
        self.assertEqual(os.stat(self.root / self.BLOCKED / SETTINGS_FILE).st_mode & 0o777, 0o444)

    def test_read_only_folder_in_the_middle(self):
        self.make_tree(self.FOLDERS)
        os.chmod(self.root / self.BLOCKED, 0o555)
        self.stopped_run(self.BLOCKED / SETTINGS_FILE)
        self.assertEqual(sorted(os.listdir(self.root / self.BLOCKED)), [SETTINGS_FILE, "下"])

    def test_immutable_file_as_root(self):
        # Root may write any mode; an immutable file still cannot be replaced.
        self.make_tree(self.FOLDERS)
        self.make_immutable(self.root / self.BLOCKED / SETTINGS_FILE)
        before, _ = tree_files(self.root)
        run = run_driver(*SET_ARGS, self.root)
        self.assert_file_error(run, self.root / self.BLOCKED / SETTINGS_FILE)
        after, _ = tree_files(self.root)
        self.assertNotIn(self.BLOCKED / SETTINGS_FILE, self.assert_old_or_new(before, FIELDS, after))

    def test_settings_file_replaced_by_a_folder(self):
        folders = dict(self.FOLDERS)
        folders["一/二/表ソ"] = None
        folders["一/二/表ソ/" + SETTINGS_FILE] = crlf("[BASIC]", "NAME=inside")
        self.make_tree(folders)
        before, _ = tree_files(self.root)
        run = run_driver(*SET_ARGS, self.root)
        self.assert_file_error(run, self.root / self.BLOCKED / SETTINGS_FILE)
        after, _ = tree_files(self.root)
        rewritten = self.assert_old_or_new(before, FIELDS, after)
        self.assertTrue((self.root / self.BLOCKED / SETTINGS_FILE).is_dir())
        self.assertNotIn(self.BLOCKED / SETTINGS_FILE / SETTINGS_FILE, rewritten)

    def test_signature_file_replaced_by_a_folder(self):
        self.make_tree(self.FOLDERS)
        (self.root / "一" / SIGNATURE_FILE).mkdir()
        sign = self.base / "sign.txt"
        sign.write_bytes(sjis("署名ソ\n"))
        fields = Fields(FIELDS.values, bbsfolder=True, signature=sjis("署名ソ\r\n"))
        before, _ = tree_files(self.root)
        run = run_driver(*SET_ARGS, "--sign", sign, self.root)
        self.assert_file_error(run, self.root / "一" / SIGNATURE_FILE)
        after, _ = tree_files(self.root)
        rewritten = self.assert_old_or_new(before, fields, after)
        # "三" may come before "一" in the listing; nothing below "一" is reached.
        self.assertIn(Path(SETTINGS_FILE), rewritten)
        self.assertLessEqual(rewritten, {Path(SETTINGS_FILE), Path("三", SETTINGS_FILE)})
        self.assertEqual(after[Path(SIGNATURE_FILE)], fields.signature)
        self.assertTrue((self.root / "一" / SIGNATURE_FILE).is_dir())


if __name__ == "__main__":
    unittest.main(verbosity=2)
