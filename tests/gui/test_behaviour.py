#!/usr/bin/env python3
"""What TarnUtil.exe does when it is used: the plug-in list, the snapshot and
signature saved at exit, reference files, the batch button's rules, the batch
over a real folder tree, its failure on a file that cannot be written, and the
start-folder dialog.

Every case runs the real program in a host folder of its own (TarnUtil.exe,
plugins\\, data\\ with board folders) and drives it from tarnprobe.exe; files
are compared byte for byte (Shift-JIS, CR LF). The expected settings files
come from the rule model of the whole-program tests (tests/e2e/tarn_rules.py).
"""

import re
import subprocess
import sys
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "e2e"))
import harness  # noqa: E402
import tarn_rules  # noqa: E402
from harness import CRLF, START_DIR_CAPTION, ProbeError, crlf, from_hex, sjis, to_hex, wait_for, win_path  # noqa: E402
from testkit import make_immutable  # noqa: E402

SETTINGS = "tarn_BBS.ini"
DONE = sjis("一括設定が終了しました")
ERROR_CAPTION = b"Tarnutil"
IDOK, IDCANCEL = 1, 2
VK_RETURN = 0x0D
LIST_ID, BEVEL_ID = 301, 300
WS_THICKFRAME = 0x00040000
LBS_OWNERDRAWFIXED, LBS_HASSTRINGS = 0x0010, 0x0040

DEFAULT_BASIC = [b"[BASIC]", b"URL=", b"UPURL=", b"NAME=", b"EMAIL=", b"HP=", b"KEY=", b"USER=", b"PASS=",
                 b"PARAM1=", b"PARAM2="]
DEFAULT_CAPTIONS = ["掲示板のアドレス(URL):", "書き込み先アドレス(URL):", "名前:", "e-mailアドレス:",
                    "ホームページ:", "削除キー:", "パラメータ", "未読ポインタ", "ユーザ名", "パスワード"]
# The caption controls of the ten fields and the value controls, in the order
# of the keys below.
CAPTION_CONTROLS = [f"LabeledEdit2_{i}.EditLabel" for i in range(1, 10)] + ["Label_MaskEdit2_9"]
VALUE_CONTROLS = [f"LabeledEdit2_{i}" for i in range(1, 10)] + ["MaskEdit2_9"]
VALUE_KEYS = ["URL", "UPURL", "NAME", "EMAIL", "HP", "KEY", "PARAM1", "PARAM2", "USER", "PASS"]
TICK_BOXES = [f"CheckBox2_{i}" for i in range(1, 10)] + ["CheckBox1_1", "CheckBox1_2", "CheckBox3_1"]


WM_SYSCOMMAND = 0x0112
UNDO_COMMAND = 0x0110  # the system menu's "前回の一括設定を元に戻す(&U)"


def files_below(root):
    """Every file below `root` -> its bytes."""
    return {p: p.read_bytes() for p in root.rglob("*") if p.is_file()}


def written_before_stop(count):
    return sjis("それまでに %d 個のファイルを書き込みました。システム メニューの「前回の一括設定を元に戻す」で元に戻せます."
                % count)


def cannot_create(path):
    return sjis("ファイル ") + path + sjis(" を作成できません.")


def cannot_open(path):
    return sjis("ファイル ") + path + sjis(" は開けません.")


SESSION = None


def setUpModule():
    global SESSION
    SESSION = harness.Session(120, "null").start()


def tearDownModule():
    if SESSION:
        SESSION.stop()


class BehaviourCase(unittest.TestCase):
    def setUp(self):
        self.session = SESSION
        self.probe = SESSION.probe
        self.cleanups = []

    def tearDown(self):
        for cleanup in reversed(self.cleanups):
            cleanup()
        self.session.end_utilities()

    # ---- driving the window ------------------------------------------------------

    def start(self, host, cwd=None, windows_exe=None):
        cwd = cwd or self.session.new_folder("cwd")
        utility = self.session.start_utility(host / "TarnUtil.exe", cwd, windows_exe)
        utility.cwd = cwd
        return utility

    def start_in_new_host(self, plugins=(), boards=()):
        """A new host folder and the utility started in it."""
        host = self.session.host(plugins=plugins, boards=boards)
        return host, self.start(host)

    def exit(self, utility):
        self.assertEqual(self.session.close_utility(utility), 0)

    def text(self, ref):
        return self.probe.text(ref)

    def click(self, *boxes):
        for box in boxes:
            self.probe("click", box)

    def wait_gone(self, hwnd, timeout=10):
        self.assertTrue(wait_for(lambda: not self.probe("alive", hwnd)["alive"], timeout=timeout),
                        "the dialog closes")
        self.probe("sync")

    def open_start_dialog(self):
        dialog = self.probe.open_start_dialog()
        self.assertTrue(dialog, "the start-folder dialog opens, owned by the main window")
        return dialog, self.probe("child", dialog, LIST_ID)["hwnd"]

    def rows(self, folder_list):
        # The list may be rebuilt between two of the probe's reads: read again.
        for _ in range(20):
            reply = self.probe.try_("listbox", folder_list)
            if reply["ok"]:
                return [from_hex(r) for r in reply["rows"]], reply["selected"]
        raise ProbeError(reply["error"])

    def close_dialog(self, dialog, button):
        self.probe("press", dialog, button)
        self.wait_gone(dialog)

    def confirm_start_folder(self, expected_label=b"data"):
        dialog, _ = self.open_start_dialog()
        self.close_dialog(dialog, IDOK)
        self.assertEqual(self.text("Label_StartDir"), expected_label)

    def open_row(self, folder_list, name, how="enter"):
        """Opens the row showing name: a click and Enter, or a double-click."""
        rows, _ = self.rows(folder_list)
        index = rows.index(name)
        if how == "enter":
            self.probe("click_row", folder_list, index)
            self.probe("key", folder_list, VK_RETURN)
        else:
            self.probe("double_click_row", folder_list, index)
        self.assertTrue(wait_for(lambda: self.current_row(folder_list) == name),
                        f"{name} becomes the current folder")

    def current_row(self, folder_list):
        rows, selected = self.rows(folder_list)
        return rows[selected] if 0 <= selected < len(rows) else None

    def choose_file(self, path):
        """The reference command with path (bytes) typed into the file dialog."""
        self.probe("post_click", "Button_Ref")
        dialog = self.probe.find_dialog(None, "main")["hwnd"]
        self.assertTrue(dialog, "the file-open dialog opens")
        self.probe("file_open", dialog, to_hex(path))
        self.wait_gone(dialog)

    def message_box(self, caption, timeout_ms, what):
        """The message box of that caption (`what` says why it must come): its
        handle and the probe's reply about it."""
        box = self.probe.find_dialog(caption, "*", timeout_ms)["hwnd"]
        self.assertTrue(box, what)
        return box, self.probe("message_box", box)

    def undo_last_batch(self):
        """The system menu's undo; the report box's handle and text (closed)."""
        self.probe("post", "main", WM_SYSCOMMAND, UNDO_COMMAND, 0)
        box, reply = self.message_box(b"TarnUtil", 60000, "the undo reports what it did")
        self.close_dialog(box, IDOK)
        return box, from_hex(reply["text"])

    def error_box(self, timeout_ms=5000):
        """The error report's handle and text; fails when there is none."""
        box, reply = self.message_box(ERROR_CAPTION, timeout_ms, "an error is reported")
        return box, from_hex(reply["text"])

    def run_batch(self, timeout=30):
        """Presses the batch button and waits for the completion message."""
        self.probe("post_click", "Button_ConfAll")
        self.assertEqual(wait_for(lambda: self.text("Label_ConfAll"), timeout=timeout), DONE)

    def start_batch(self, row, value):
        """Ticks field `row`, types `value` into it, confirms the start folder
        and presses the batch button (returns at once)."""
        self.click(f"CheckBox2_{row}")
        self.probe.set_text(f"LabeledEdit2_{row}", value)
        self.confirm_start_folder()
        self.probe("post_click", "Button_ConfAll")

    def no_message_box(self):
        self.assertEqual(self.probe.find_dialog(None, "*", 0)["hwnd"], 0, "no message box")

    def captions(self):
        return [self.text(c) for c in CAPTION_CONTROLS]

    def values(self):
        return [self.text(c) for c in VALUE_CONTROLS]

    def enabled_states(self):
        return {name: self.probe.enabled(name)
                for name in VALUE_CONTROLS + ["ComboBox1_1", "CheckBox1_2_1", "Ref_Sign", "Button_ConfAll"]}


class PluginList(BehaviourCase):
    def combo(self):
        reply = self.probe("combo", "ComboBox1_1")
        return [from_hex(i) for i in reply["items"]], reply["selected"], from_hex(reply["text"])

    def run_with(self, plugins):
        _, utility = self.start_in_new_host(plugins)
        got = self.combo()
        self.exit(utility)
        return got

    def test_sorted_names_without_prefix_and_extension(self):
        self.assertEqual(self.run_with(["qv_news.exe", "qv_bbs.pl"]), ([b"bbs", b"news"], 0, b"bbs"))

    def test_every_mask_duplicates_and_odd_names(self):
        plugins = ["qv_board.exe", "qv_board.pl", "qv_a.b.exe", "qv_.exe", "qv_r.rb", "qv_v.vbs", "qv_j.js",
                   "QV_Upper.EXE",
                   # not plug-ins: other extensions or names
                   "qv_t.txt", "qv_noext", "other.exe", "xqv_y.exe"]
        items, selected, text = self.run_with(plugins)
        self.assertEqual(sorted(items), sorted([b"board", b"board", b"a.b", b"", b"r", b"v", b"j", b"Upper"]))
        self.assertEqual(items, sorted(items, key=lambda i: i.lower()), "kept sorted")
        self.assertEqual((selected, text), (0, items[0]))
        self.assertEqual(items[0], b"", "the empty entry sorts first")

    def test_the_companion_is_left_out(self):
        # The companion stands among the plug-ins and would sort first here;
        # listed and selected, a ticked box would write LIB=TarnUtil.
        self.assertEqual(self.run_with(["qv_TarnUtil.exe", "qv_zbbs.exe", "qv_news.pl"]),
                         ([b"news", b"zbbs"], 0, b"news"))
        self.assertEqual(self.run_with(["QV_TARNUTIL.EXE"]), ([], -1, b""), "in any letter case")

    def test_no_plugins(self):
        self.assertEqual(self.run_with([]), ([], -1, b""))
        self.assertEqual(self.run_with(None), ([], -1, b""), "no plugins folder")


class SnapshotAndReference(BehaviourCase):
    REFERENCE_DIALOG = [
        b"[DIALOG]", b"URL=1", b"NAME=1",
        sjis("_URL=板のURL"), sjis("_UPURL=送信先"), sjis("_NAME=ソ表示名"), sjis("_EMAIL=メール"),
        sjis("_KEY=キー"), sjis("_PARAM1=P1"), sjis("_PARAM2=P2"), sjis("_USER=利用者"), sjis("_PASS=暗号"),
    ]
    REFERENCE_BASIC = [
        b"[BASIC]", b"URL=http://example.jp/bbs/", b"UPURL=http://example.jp/post", sjis("NAME=名無し表"),
        b"email=me@example.jp", b"HP=http://home/", b"PARAM1=p1", b"PARAM2=2005/01/02,03:04", b"USER=u",
        b"PASS=secret", b"LIB=news", b"BBSFOLDER=1",
    ]

    def reference_file(self, folder, dialog=True, extra=b""):
        folder.mkdir(parents=True, exist_ok=True)
        path = folder / SETTINGS
        content = b"top line\r\n" + (crlf(*self.REFERENCE_DIALOG) if dialog else b"") + \
            b"[OTHER]\r\nx=1\r\n" + crlf(*self.REFERENCE_BASIC) + extra
        path.write_bytes(content)
        return path

    def expected_values(self):
        basic = self.REFERENCE_BASIC
        return [tarn_rules.get(basic, key.encode()) for key in VALUE_KEYS]

    def test_first_start_writes_the_default_snapshot(self):
        _, utility = self.start_in_new_host()
        self.assertEqual(self.captions(), [sjis(c) for c in DEFAULT_CAPTIONS])
        self.assertEqual(self.values(), [b""] * 10)
        self.exit(utility)
        self.assertEqual((utility.cwd / "TarnUtil.ini").read_bytes(), crlf(*DEFAULT_BASIC))
        self.assertEqual((utility.cwd / "sign.ini").read_bytes(), CRLF, "the memo's one empty line")
        self.assertEqual(sorted(p.name for p in utility.cwd.iterdir()), ["TarnUtil.ini", "sign.ini"])

    def test_reference_without_hp_label_then_exit_and_restart(self):
        host = self.session.host(plugins=["qv_bbs.exe"], boards=["board7"])
        reference = self.reference_file(host / "data" / "board7")
        utility = self.start(host)
        self.probe.set_text("LabeledEdit2_6", "typed before")  # KEY is not in the file
        states = self.enabled_states()
        self.choose_file(win_path(reference))
        self.no_message_box()
        self.assertEqual(self.text("Label_Ref"), b"board7")
        want_captions = [tarn_rules.get(self.REFERENCE_DIALOG, b"_" + key.encode()) for key in VALUE_KEYS]
        self.assertEqual(want_captions[4], b"", "the file has no _HP")
        self.assertEqual(self.captions(), want_captions)
        self.assertEqual(self.values(), self.expected_values())
        self.assertEqual(self.values()[5], b"", "a key missing from the file empties its field")
        self.assertEqual(self.enabled_states(), states, "loading ticks and enables nothing")
        self.assertEqual(from_hex(self.probe("combo", "ComboBox1_1")["text"]), b"bbs", "LIB is not read")
        self.assertEqual([self.probe.checked(b) for b in TICK_BOXES + ["CheckBox1_2_1"]], [0] * 13)
        # Typed after the load: not part of the snapshot.
        self.probe.set_text("LabeledEdit2_1", "typed after")
        self.probe.set_text("Ref_Sign", "sig line\r\nsecond")
        self.exit(utility)
        snapshot = tarn_rules.write_sections(self.REFERENCE_DIALOG, self.REFERENCE_BASIC)
        self.assertEqual((utility.cwd / "TarnUtil.ini").read_bytes(), snapshot)
        self.assertEqual((utility.cwd / "sign.ini").read_bytes(), b"sig line\r\nsecond")

        # The next start in that folder brings back the file's captions and values.
        again = self.start(host, cwd=utility.cwd)
        self.assertEqual(self.captions(), want_captions)
        self.assertEqual(self.values(), self.expected_values())
        self.assertEqual(self.text("Ref_Sign"), b"sig line\r\nsecond", "sign.ini of the start folder")
        self.assertEqual(self.text("Label_Ref"), b"")
        self.exit(again)
        self.assertEqual((utility.cwd / "TarnUtil.ini").read_bytes(), snapshot)

    def test_reference_without_dialog_section_keeps_the_captions(self):
        host = self.session.host(plugins=[], boards=["plain"])
        reference = self.reference_file(host / "data" / "plain", dialog=False)
        utility = self.start(host)
        self.choose_file(win_path(reference))
        self.assertEqual(self.captions(), [sjis(c) for c in DEFAULT_CAPTIONS])
        self.assertEqual(self.values(), self.expected_values())
        self.assertEqual(self.text("Label_Ref"), b"plain")
        self.exit(utility)
        self.assertEqual((utility.cwd / "TarnUtil.ini").read_bytes(),
                         tarn_rules.write_sections([], self.REFERENCE_BASIC))

    def test_missing_reference_file_gives_the_default_lines(self):
        host, utility = self.start_in_new_host(boards=["ghost"])
        self.probe.set_text("LabeledEdit2_1", "kept")
        self.choose_file(win_path(host / "data" / "ghost" / SETTINGS))
        self.no_message_box()
        self.assertEqual(self.text("Label_Ref"), b"ghost")
        self.assertEqual(self.text("LabeledEdit2_1"), b"kept")
        self.assertEqual(self.captions(), [sjis(c) for c in DEFAULT_CAPTIONS])
        self.exit(utility)
        self.assertEqual((utility.cwd / "TarnUtil.ini").read_bytes(), crlf(*DEFAULT_BASIC))

    def test_signature_files(self):
        host = self.session.host(plugins=[], boards=["s"])
        signature = host / "data" / "s" / "SIGN.INI"
        signature.write_bytes(sjis("一行目\n二行目\r三行目\r\n"))
        utility = self.start(host)
        self.choose_file(win_path(signature))
        self.no_message_box()
        self.assertEqual(self.text("Ref_Sign"), sjis("一行目\r\n二行目\r\n三行目\r\n"))
        self.assertEqual(self.text("Label_Ref"), b"", "a signature is no reference file")
        # A signature path that names no file is reported; the memo stays.
        missing = win_path(host / "data" / "s" / "none" / "sign.ini")
        self.choose_file(missing)
        box, text = self.error_box()
        self.assertEqual(text, cannot_open(missing))
        self.close_dialog(box, IDOK)
        self.assertEqual(self.text("Ref_Sign"), sjis("一行目\r\n二行目\r\n三行目\r\n"))
        # Any other file name loads nothing.
        other = host / "data" / "s" / "tarn_BBS.ini.bak"
        other.write_bytes(crlf(*self.REFERENCE_BASIC))
        self.choose_file(win_path(other))
        self.no_message_box()
        self.assertEqual(self.values(), [b""] * 10)
        self.exit(utility)
        self.assertEqual((utility.cwd / "sign.ini").read_bytes(), sjis("一行目\r\n二行目\r\n三行目\r\n"))

    def test_snapshot_and_signature_at_start(self):
        host = self.session.host(plugins=[])
        cwd = self.session.new_folder("cwd")
        (cwd / "TarnUtil.ini").write_bytes(b"[BASIC]\nURL=from snapshot\nPASS=pw\n")
        (cwd / "sign.ini").write_bytes(b"old sig")
        utility = self.start(host, cwd=cwd)
        self.assertEqual(self.text("LabeledEdit2_1"), b"from snapshot")
        self.assertEqual(self.text("MaskEdit2_9"), b"pw")
        self.assertEqual(self.text("Ref_Sign"), b"old sig")
        self.exit(utility)
        self.assertEqual((cwd / "TarnUtil.ini").read_bytes(), b"[BASIC]\r\nURL=from snapshot\r\nPASS=pw\r\n")
        self.assertEqual((cwd / "sign.ini").read_bytes(), b"old sig")


class FileErrorsAtStartAndExit(BehaviourCase):
    """A snapshot or signature file that another program holds open, sharing
    it with no one, can be neither read nor replaced."""

    def hold(self, path):
        self.probe("hold", to_hex(win_path(path)))
        self.cleanups.append(lambda: self.probe.try_("release", to_hex(win_path(path))))

    def test_unreadable_snapshot_at_start(self):
        host = self.session.host(plugins=[])
        cwd = self.session.new_folder("cwd")
        (cwd / "TarnUtil.ini").write_bytes(b"[BASIC]\r\nURL=never\r\n")
        (cwd / "sign.ini").write_bytes(b"not loaded")
        self.hold(cwd / "TarnUtil.ini")
        utility = self.session.launch(host / "TarnUtil.exe", cwd)
        box, text = self.error_box(timeout_ms=20000)
        self.assertEqual(text, cannot_open(b"TarnUtil.ini"))
        self.close_dialog(box, IDOK)
        # The window opens all the same; creation ended before the signature.
        self.probe("wait_main", harness.MAIN_WAIT_MS)
        self.assertEqual(self.text("LabeledEdit2_1"), b"")
        self.assertEqual(self.text("Ref_Sign"), CRLF)
        self.assertEqual(self.captions(), [sjis(c) for c in DEFAULT_CAPTIONS])
        self.probe("release", to_hex(win_path(cwd / "TarnUtil.ini")))
        self.cleanups.clear()
        self.exit(utility)

    def close_with_held(self, utility, name):
        """Closes the utility while the file `name` of its folder is held: the
        failure is reported, and the utility ends all the same."""
        self.hold(utility.cwd / name)
        self.probe("post_close")
        box, text = self.error_box(timeout_ms=20000)
        self.assertEqual(text, cannot_create(name.encode("ascii")))
        self.probe("press", box, IDOK)
        self.assertEqual(utility.wait(), 0, "the utility ends all the same")

    def test_snapshot_that_cannot_be_written_at_exit(self):
        _, utility = self.start_in_new_host()
        self.probe.set_text("Ref_Sign", "unsaved")
        self.close_with_held(utility, "TarnUtil.ini")
        self.assertFalse((utility.cwd / "sign.ini").exists(), "no signature after a failed snapshot")

    def test_signature_that_cannot_be_written_at_exit(self):
        _, utility = self.start_in_new_host()
        self.close_with_held(utility, "sign.ini")
        self.assertEqual((utility.cwd / "TarnUtil.ini").read_bytes(), crlf(*DEFAULT_BASIC))

    def test_signature_without_a_shift_jis_form_is_not_saved_at_exit(self):
        # As a batch refuses such a memo, the exit save does not turn it
        # into "?" or a look-alike: it says so and keeps the old file.
        _, utility = self.start_in_new_host()
        (utility.cwd / "sign.ini").write_bytes(sjis("旧署名"))
        self.probe("set_text_utf16", "Ref_Sign", "署名é".encode("utf-16-le").hex())
        self.probe("post_close")
        box, text = self.error_box(timeout_ms=20000)
        self.assertEqual(text, sjis("署名に Shift-JIS で書けない文字 U+00E9 があります。sign.ini は保存しませんでした."))
        self.probe("press", box, IDOK)
        self.assertEqual(utility.wait(), 0, "the utility ends all the same")
        self.assertEqual((utility.cwd / "sign.ini").read_bytes(), sjis("旧署名"))
        self.assertEqual((utility.cwd / "TarnUtil.ini").read_bytes(), crlf(*DEFAULT_BASIC))


class BatchButton(BehaviourCase):
    def test_enabling_rules(self):
        _, utility = self.start_in_new_host(boards=["b"])
        self.click("CheckBox2_3")
        self.assertFalse(self.probe.enabled("Button_ConfAll"), "no start folder yet")
        self.assertTrue(self.probe.enabled("LabeledEdit2_3"))
        self.assertTrue(self.probe.enabled("LabeledEdit2_3.EditLabel"), "the caption follows its field")
        self.confirm_start_folder()
        self.assertTrue(self.probe.enabled("Button_ConfAll"), "a confirmed folder enables it")
        self.click("CheckBox2_3")
        self.assertFalse(self.probe.enabled("Button_ConfAll"))
        self.assertFalse(self.probe.enabled("LabeledEdit2_3"))
        self.click("CheckBox1_2")
        self.assertTrue(self.probe.enabled("CheckBox1_2_1"))
        self.assertFalse(self.probe.enabled("Button_ConfAll"), "CheckBox1_2 alone does not enable it")
        self.click("CheckBox2_3")
        self.assertTrue(self.probe.enabled("Button_ConfAll"))
        self.click("CheckBox2_3", "CheckBox1_2")
        self.assertFalse(self.probe.enabled("Button_ConfAll"))
        # Each box other than CheckBox1_2 on its own, with what it switches.
        switches = {
            "CheckBox1_1": ["ComboBox1_1", "Label1_1"],
            "CheckBox2_9": ["LabeledEdit2_9", "MaskEdit2_9", "Label_MaskEdit2_9", "LabeledEdit2_9.EditLabel"],
            "CheckBox3_1": ["Ref_Sign", "Label3_1"],
        }
        switches.update({f"CheckBox2_{i}": [f"LabeledEdit2_{i}", f"LabeledEdit2_{i}.EditLabel"]
                         for i in range(1, 9)})
        for box, controls in switches.items():
            with self.subTest(box=box):
                self.click(box)
                self.assertTrue(self.probe.enabled("Button_ConfAll"))
                self.assertEqual([self.probe.enabled(c) for c in controls], [True] * len(controls))
                self.click(box)
                self.assertFalse(self.probe.enabled("Button_ConfAll"))
                self.assertEqual([self.probe.enabled(c) for c in controls], [False] * len(controls))
        self.exit(utility)

    def test_drive_root_as_start_folder(self):
        root = self.session.new_folder("drive")
        host_parent = root
        host = self.session.host(plugins=[], boards=["b"])
        # The host folder on a drive of its own: T:\host\TarnUtil.exe.
        (host_parent / "host").symlink_to(host)
        self.cleanups.append(self.session.drive("t", root))
        utility = self.start(host, windows_exe=b"T:\\host\\TarnUtil.exe")
        self.click("CheckBox2_1")
        dialog, folders = self.open_start_dialog()
        rows, selected = self.rows(folders)
        self.assertEqual(rows, [b"T:\\", b"host", b"data", b"b"])
        self.assertEqual(selected, 2)
        self.open_row(folders, b"T:\\", how="double")
        self.assertEqual(self.rows(folders)[0][:2], [b"T:\\", b"host"])
        self.close_dialog(dialog, IDOK)
        self.assertEqual(self.text("Label_StartDir"), b"")
        self.assertFalse(self.probe.enabled("Button_ConfAll"))
        self.exit(utility)

    def test_completion_message(self):
        host = self.session.host(plugins=[], boards=["b"])
        reference = host / "data" / "b" / SETTINGS
        reference.write_bytes(b"[BASIC]\r\nURL=u\r\n")
        utility = self.start(host)
        self.click("CheckBox2_2")
        self.confirm_start_folder()
        self.assertEqual(self.text("Label_ConfAll"), b"")
        self.run_batch()
        self.no_message_box()
        self.choose_file(win_path(reference))
        self.assertEqual(self.text("Label_ConfAll"), DONE, "the reference command leaves it")
        self.click("CheckBox1_2")
        self.assertEqual(self.text("Label_ConfAll"), b"", "a tick-box click empties it")
        self.run_batch()
        self.confirm_start_folder()
        self.assertEqual(self.text("Label_ConfAll"), b"", "a confirmed start folder empties it")
        self.exit(utility)


class Batch(BehaviourCase):
    SIGNATURE = sjis("署名の一行目\r\n\\ソ表\r\n")

    def tree(self, data):
        """Board folders with settings files of every kind; returns the files'
        contents before the run (None: no file)."""
        files = {
            "": None,
            "a": b"junk\r\n[DIALOG]\r\n_URL=x\r\n[BASIC]\r\nurl=old\r\n  NAME = keep  \r\npass=old\r\n[X]\r\ny=2\r\n",
            "a/deep": b"[BASIC]\nLIB=old\nPARAM1=full\nHP=h\n",
            "b": b"[basic]\r\nURL=lost\r\n",
            "b/c": None,
            "日本語の板": sjis("[BASIC]\rNAME=名無し\r\r\n"),
            "e": b"",
        }
        before = {}
        for rel, content in files.items():
            folder = data / rel if rel else data
            folder.mkdir(parents=True, exist_ok=True)
            if content is not None:
                (folder / SETTINGS).write_bytes(content)
            before[rel] = content
        return before

    def set_fields(self):
        self.click("CheckBox1_1", "CheckBox1_2", "CheckBox2_1", "CheckBox2_3", "CheckBox2_7", "CheckBox2_9",
                   "CheckBox3_1")
        self.click("CheckBox1_2_1")
        self.assertEqual(self.probe.checked("CheckBox1_2_1"), 1)
        self.probe.set_text("LabeledEdit2_1", "http://new.example/")
        self.probe.set_text("LabeledEdit2_3", "名無し表ソ")
        self.probe.set_text("LabeledEdit2_7", "")
        self.probe.set_text("LabeledEdit2_9", "user")
        self.probe.set_text("MaskEdit2_9", "p@ss")
        self.probe.set_text("Ref_Sign", self.SIGNATURE)
        return tarn_rules.Fields({"LIB": "bbs", "URL": "http://new.example/", "NAME": "名無し表ソ", "PARAM1": "",
                                  "USER": "user", "PASS": "p@ss"}, bbsfolder=True, signature=self.SIGNATURE)

    def test_batch_over_a_tree(self):
        host = self.session.host(plugins=["qv_bbs.exe", "qv_news.exe"])
        before = self.tree(host / "data")
        utility = self.start(host)
        fields = self.set_fields()
        self.confirm_start_folder()
        self.run_batch(timeout=60)
        self.no_message_box()
        for rel, content in before.items():
            folder = host / "data" / rel if rel else host / "data"
            with self.subTest(folder=rel or "data"):
                self.assertEqual((folder / SETTINGS).read_bytes(), tarn_rules.settings_after_batch(content, fields))
                self.assertEqual((folder / "sign.ini").read_bytes(), self.SIGNATURE)
        self.assertFalse((host / SETTINGS).exists(), "nothing above the start folder")
        self.exit(utility)
        self.assertEqual((utility.cwd / "sign.ini").read_bytes(), self.SIGNATURE)

    def test_unwritable_settings_file(self):
        host = self.session.host(plugins=["qv_bbs.exe"], boards=["locked/inner", "x", "y"])
        data = host / "data"
        locked = data / "locked" / SETTINGS
        original = b"[BASIC]\r\nURL=locked\r\n"
        locked.write_bytes(original)
        # Wine run as root ignores permissions; an immutable file it cannot replace.
        make_immutable(self, host, locked)
        utility = self.start(host)
        self.click("CheckBox2_1")
        self.probe.set_text("LabeledEdit2_1", "new")
        self.confirm_start_folder()
        self.assertEqual(self.text("Label_ConfAll"), b"")
        self.probe("post_click", "Button_ConfAll")
        box, text = self.error_box(timeout_ms=30000)
        self.close_dialog(box, IDOK)
        self.assertEqual(self.text("Label_ConfAll"), b"", "no completion message")
        fields = tarn_rules.Fields({"URL": "new"})
        written = tarn_rules.settings_after_batch(None, fields)
        self.assertEqual((data / SETTINGS).read_bytes(), written, "the start folder was written first")
        self.assertEqual(locked.read_bytes(), original)
        self.assertFalse((data / "locked" / "inner" / SETTINGS).exists(), "the walk stopped at the error")
        made = [data / SETTINGS]
        for rel in ("x", "y"):  # written or not, depending on the order of the walk
            path = data / rel / SETTINGS
            if path.exists():
                self.assertEqual(path.read_bytes(), written)
                made.append(path)
        # The report names the file and tells how many were written and how
        # to take them back.
        self.assertEqual(text, cannot_create(win_path(locked))[:-1] + CRLF + CRLF + written_before_stop(len(made)))
        # The window stays usable, and the system menu takes the batch back.
        self.assertTrue(self.probe.enabled("Button_ConfAll"))
        box, text = self.undo_last_batch()
        self.assertIn(sjis("元に戻したファイル: %d" % len(made)), text)
        self.assertEqual([p for p in made if p.exists()], [], "the files the batch made are gone again")
        self.assertEqual(locked.read_bytes(), original)
        self.exit(utility)


class LongBatch(BehaviourCase):
    """A batch over thousands of folders: the window keeps answering, the
    progress window shows rising counts, 中止 stops it, a close waits for the
    end, and the system menu's undo (in a later start) takes it all back."""

    FOLDERS = 5000
    COUNTS = re.compile("フォルダ: (\\d+)、書き込み: (\\d+)、変更不要: (\\d+)、飛ばした: (\\d+)")

    def counts(self):
        reply = self.probe.try_("info", "Label_Counts")
        match = reply["ok"] and self.COUNTS.search(from_hex(reply["text"]).decode("cp932"))
        return tuple(map(int, match.groups())) if match else None

    def test_progress_stop_and_undo(self):
        host = self.session.board_host(self.FOLDERS, lambda i: crlf("[BASIC]", "URL=http://example.jp/%d/" % i,
                                                                    "NAME=名無し"))
        data = host / "data"
        before = files_below(data)
        utility = self.start(host)
        self.start_batch(3, "新しい名前")

        seen, answers = [], []
        deadline = time.monotonic() + 60
        while len(set(seen)) < 3 and time.monotonic() < deadline:
            answer = self.probe("responsive", "main")
            answers.append(answer)
            self.assertTrue(answer["answered"] and not answer["hung"], answer)
            counts = self.counts()
            if counts:
                seen.append(counts)
            time.sleep(0.2)
        self.assertGreaterEqual(len(set(seen)), 3, "the counts rise while the batch runs")
        self.assertEqual(seen, sorted(seen), "the counts only rise")
        self.assertLess(max(a["ms"] for a in answers), 1000)
        self.assertFalse(self.probe.info("main")["enabled"], "input to the main window is held off")
        # A batch over a tree does not count its folders first: the bar shows a marquee.
        self.assertTrue(self.probe("progress_bar", "ProgressBar_Run")["marquee"])

        # A close waits for the end of the run.
        self.probe("post_close")
        self.probe("sleep", 300)
        self.assertEqual(self.probe("count_main")["count"], 1)
        self.probe("click", "Button_Stop")
        box, reply = self.message_box(b"TarnUtil", 30000, "the cancel is reported")
        text = from_hex(reply["text"]).decode("cp932")
        self.assertIn("一括設定を中止しました", text)
        self.probe("press", box, IDOK)
        self.assertEqual(utility.wait(timeout=30), 0, "the close asked for during the run is carried out")
        self.probe("wait_no_instance", 10000)

        # Every file whole: its old bytes or its new ones, the report's count new.
        written = 0
        for path, old in before.items():
            now = path.read_bytes()
            if now != old:
                self.assertEqual(now, crlf("[BASIC]", old.split(CRLF)[1].decode(), "NAME=新しい名前"))
                written += 1
        made = [p for p in data.rglob(SETTINGS) if p not in before]  # in folders that had none
        for path in made:
            self.assertEqual(path.read_bytes(), crlf("[BASIC]", "NAME=新しい名前"))
        written += len(made)
        self.assertIn("それまでに %d 個" % written, text)
        self.assertTrue(0 < written < self.FOLDERS, "stopped part way (%d written)" % written)

        # The journal stays beside the snapshot: a later start takes it back.
        utility = self.start(host, cwd=utility.cwd)
        _, report = self.undo_last_batch()
        self.assertIn(sjis("元に戻したファイル: %d" % written), report)
        self.assertEqual(files_below(data), before)
        self.exit(utility)


class StopsAndCloses(BehaviourCase):
    """中止 reaches the undo too, and a close asked for during a run waits
    until the run's report has been read, also when an error stopped it."""

    FOLDERS = 3000
    COUNTS = LongBatch.COUNTS
    counts = LongBatch.counts

    def test_stop_during_an_undo(self):
        host = self.session.board_host(self.FOLDERS, lambda i: crlf("[BASIC]", "NAME=名無し%d" % i))
        data = host / "data"
        before = files_below(data)
        utility = self.start(host)
        self.start_batch(3, "新しい名前")
        self.assertEqual(wait_for(lambda: self.text("Label_ConfAll"), timeout=180), DONE)
        after_batch = files_below(data)
        # The batch's progress window goes, so that the counts read next are the undo's.
        self.probe("click", "Button_Stop")
        self.assertTrue(wait_for(lambda: not self.probe.try_("info", "Label_Counts")["ok"]))

        self.probe("post", "main", WM_SYSCOMMAND, UNDO_COMMAND, 0)
        self.assertTrue(wait_for(self.counts, timeout=60), "the undo's progress shows")
        self.probe("click", "Button_Stop")
        box, reply = self.message_box(b"TarnUtil", 60000, "the stopped undo reports what it did")
        text = from_hex(reply["text"]).decode("cp932")
        self.close_dialog(box, IDOK)
        self.assertIn("前回の一括設定を元に戻す途中で中止しました。", text)
        restored = int(re.search("元に戻したファイル: (\\d+)", text).group(1))
        # Every file whole: back to its old bytes, or still as the batch left it.
        back = 0
        for path, new in after_batch.items():
            now = path.read_bytes() if path.exists() else None
            self.assertIn(now, (new, before.get(path)), path)
            back += now != new
        self.assertEqual(back, restored, "the report counts the files taken back")
        self.assertTrue(0 < restored < self.FOLDERS + 1, "stopped part way (%d taken back)" % restored)
        self.exit(utility)

    def test_a_close_during_a_run_that_stops_on_an_error_waits_for_its_report(self):
        host = self.session.host(plugins=[], boards=["busy"])
        held = host / "data" / "busy" / SETTINGS
        # Held open without sharing: the batch waits for it some seconds, then stops.
        self.probe("hold", to_hex(win_path(held)))
        self.cleanups.append(lambda: self.probe.try_("release", to_hex(win_path(held))))
        utility = self.start(host)
        self.start_batch(3, "新しい名前")
        self.probe("sleep", 1000)
        self.probe("post_close")
        box, text = self.error_box(timeout_ms=30000)
        self.assertEqual(self.probe("count_main")["count"], 1, "the window stays while its report is up")
        self.assertIsNone(utility.process.poll())
        self.assertTrue(text.endswith(CRLF + CRLF + written_before_stop(1)), text)
        self.probe("press", box, IDOK)
        self.assertEqual(utility.wait(timeout=30), 0, "the close asked for during the run is carried out")


class UnsafeInput(BehaviourCase):
    """Values and folder names the code page cannot hold, and a system whose
    ANSI code page is not Japanese: refused or reported, nothing written."""

    def test_value_without_a_shift_jis_form_is_refused_by_field(self):
        host = self.session.host(plugins=[], boards=["板"])
        (host / "data" / "板" / SETTINGS).write_bytes(b"[BASIC]\r\nNAME=old\r\n")
        before = files_below(host / "data")
        utility = self.start(host)
        self.click("CheckBox2_3")
        # As typed: the text reaches the field in UTF-16, é included.
        self.probe("set_text_utf16", "LabeledEdit2_3", "山田é".encode("utf-16-le").hex())
        self.confirm_start_folder()
        self.probe("post_click", "Button_ConfAll")
        box, text = self.error_box(timeout_ms=20000)
        self.assertIn(b"U+00E9", text)
        self.assertIn(self.text("LabeledEdit2_3.EditLabel"), text, "the field is named")
        self.close_dialog(box, IDOK)
        self.assertEqual(self.text("Label_ConfAll"), b"", "no batch ran")
        self.assertEqual(files_below(host / "data"), before)
        self.exit(utility)

    def test_folders_skipped_for_their_names_are_listed_after_the_batch(self):
        skipped = {"café": b"caf<U+00E9>", "ハート♡": sjis("ハート") + b"<U+2661>"}
        host = self.session.host(plugins=[], boards=["cafe", *skipped])
        data = host / "data"
        for name in skipped:
            (data / name / SETTINGS).write_bytes(b"[BASIC]\r\nNAME=keep\r\n")
        utility = self.start(host)
        self.start_batch(3, "new")
        box, reply = self.message_box(b"TarnUtil", 30000, "the skipped folders are reported")
        self.assertEqual(self.text("Label_ConfAll"), DONE, "after the completion message")
        text = from_hex(reply["text"])
        for shown in skipped.values():
            self.assertIn(win_path(data) + b"\\" + shown, text)
        self.assertIn(b"(2 ", text)
        self.close_dialog(box, IDOK)
        for name in skipped:
            self.assertEqual((data / name / SETTINGS).read_bytes(), b"[BASIC]\r\nNAME=keep\r\n")
        self.assertEqual((data / "cafe" / SETTINGS).read_bytes(), b"[BASIC]\r\nNAME=new\r\n")
        self.exit(utility)

    def test_another_code_page_refuses_to_start(self):
        host = self.session.host(plugins=[])
        cwd = self.session.new_folder("cwd")
        env = dict(self.session.env, LC_ALL="C.UTF-8")
        process = subprocess.Popen(["wine", win_path(host / "TarnUtil.exe")], cwd=str(cwd), env=env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.cleanups.append(lambda: process.kill() if process.poll() is None else None)
        box, reply = self.message_box(b"TarnUtil", 20000, "the refusal is shown")
        text = bytes.fromhex(reply["text_utf16"]).decode("utf-16-le")
        self.assertIn("日本語", text)
        self.assertIn("932", text)
        self.assertIn("LC_ALL=ja_JP.UTF-8", text)
        self.assertEqual(self.probe("count_main")["count"], 0, "no main window")
        self.probe("press", box, IDOK)
        self.assertEqual(process.wait(timeout=20), 3)
        self.assertEqual(list(cwd.iterdir()), [], "no snapshot or signature written")


class StartFolderDialog(BehaviourCase):
    def start_with_boards(self, cwd=None):
        # Wine gives names that start with "." the hidden attribute.
        host = self.session.host(plugins=[], boards=["c3", "a1", "B2/sub", "a1/inner", ".hidden"])
        return host, self.start(host, cwd=cwd)

    def batch_and_written(self, host):
        """Runs the batch (URL ticked) and returns the folders that got a file."""
        self.run_batch()
        data = host / "data"
        return sorted(str(p.parent.relative_to(data)) for p in data.rglob(SETTINGS))

    def test_dialog_layout(self):
        host, utility = self.start_with_boards()
        dialog, folders = self.open_start_dialog()
        info = self.probe.info(dialog)
        self.assertEqual(info["client"][2:], [446, 483])
        self.assertEqual(info["style"] & WS_THICKFRAME, 0, "a fixed border")
        main = self.probe("screen_rect", "main")["rect"]
        box = self.probe("screen_rect", dialog)["rect"]
        for axis in (0, 1):
            self.assertLessEqual(abs((box[axis] * 2 + box[axis + 2]) - (main[axis] * 2 + main[axis + 2])), 2,
                                 "centred over the main window")
        controls = {  # identifier: class, rectangle, text
            IDOK: ("Button", [330, 393, 94, 31], sjis("OK")),
            IDCANCEL: ("Button", [330, 433, 94, 31], sjis("キャンセル")),
            LIST_ID: ("ListBox", [16, 16, 305, 449], b""),
            BEVEL_ID: (None, [10, 2, 423, 471], None),
        }
        for ident, (cls, rect, text) in controls.items():
            with self.subTest(control=ident):
                child = self.probe.info(self.probe("child", dialog, ident)["hwnd"])
                self.assertEqual(child["rect"], rect)
                if cls:
                    self.assertEqual(child["class"], cls)
                if text is not None:
                    self.assertEqual(from_hex(child["text"]), text)
        list_style = self.probe.info(folders)["style"]
        self.assertEqual(list_style & (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS), LBS_OWNERDRAWFIXED | LBS_HASSTRINGS)
        self.assertEqual(self.probe("listbox", folders)["item_height"], 16)
        self.assertEqual(self.probe("tab_cycle", dialog)["cycle"], ["#1", "#2", f"#{LIST_ID}"])
        self.close_dialog(dialog, IDCANCEL)
        self.exit(utility)

    def test_rows_and_ok_without_moving(self):
        host, utility = self.start_with_boards()
        dialog, folders = self.open_start_dialog()
        rows, selected = self.rows(folders)
        ancestors = [b"Z:\\"] + [sjis(part) for part in host.parts[1:]]
        self.assertEqual(rows, ancestors + [b"data", b"a1", b"B2", b"c3"], "no hidden folder, case ignored")
        self.assertEqual(rows[selected], b"data")
        self.assertEqual(selected, len(ancestors))
        self.close_dialog(dialog, IDOK)
        self.assertEqual(self.text("Label_StartDir"), b"data")
        self.click("CheckBox2_1")
        self.assertEqual(self.batch_and_written(host), [".", ".hidden", "B2", "B2/sub", "a1", "a1/inner", "c3"])
        self.exit(utility)

    def test_cancel_keeps_the_confirmed_folder(self):
        host, utility = self.start_with_boards()
        self.click("CheckBox2_1")
        self.confirm_start_folder()
        dialog, folders = self.open_start_dialog()
        self.open_row(folders, b"a1")
        self.assertEqual(self.rows(folders)[0][-2:], [b"a1", b"inner"])
        self.close_dialog(dialog, IDCANCEL)
        self.assertEqual(self.text("Label_StartDir"), b"data")
        self.assertTrue(self.probe.enabled("Button_ConfAll"))
        self.assertEqual(self.batch_and_written(host), [".", ".hidden", "B2", "B2/sub", "a1", "a1/inner", "c3"])
        self.exit(utility)

    def test_cancel_before_any_confirmation(self):
        host, utility = self.start_with_boards()
        self.click("CheckBox2_1")
        dialog, folders = self.open_start_dialog()
        self.close_dialog(dialog, IDCANCEL)
        self.assertEqual(self.text("Label_StartDir"), b"")
        self.assertFalse(self.probe.enabled("Button_ConfAll"))
        self.exit(utility)

    def test_highlight_then_ok_stores_the_current_folder(self):
        host, utility = self.start_with_boards()
        dialog, folders = self.open_start_dialog()
        rows, _ = self.rows(folders)
        self.probe("click_row", folders, rows.index(b"c3"))
        self.assertTrue(wait_for(lambda: self.current_row(folders) == b"c3"), "the row is highlighted")
        self.assertEqual(self.rows(folders)[0], rows, "a click opens nothing")
        self.close_dialog(dialog, IDOK)
        self.assertEqual(self.text("Label_StartDir"), b"data")
        self.exit(utility)

    def test_open_with_enter_or_double_click_then_ok(self):
        host, utility = self.start_with_boards()
        self.click("CheckBox2_1")
        dialog, folders = self.open_start_dialog()
        self.open_row(folders, b"B2", how="enter")
        self.assertEqual(self.rows(folders)[0][-2:], [b"B2", b"sub"])
        self.close_dialog(dialog, IDOK)
        self.assertEqual(self.text("Label_StartDir"), b"B2")
        self.assertEqual(self.batch_and_written(host), ["B2", "B2/sub"])
        # Every time the dialog opens at the data folder; up to data by a row
        # of the path, then into a1 by a double-click.
        dialog, folders = self.open_start_dialog()
        self.assertEqual(self.current_row(folders), b"data")
        self.open_row(folders, b"a1", how="double")
        self.close_dialog(dialog, IDOK)
        self.assertEqual(self.text("Label_StartDir"), b"a1")
        self.exit(utility)

    def test_log_off_saves_like_an_exit(self):
        cwd = self.session.new_folder("cwd")
        host, utility = self.start_with_boards(cwd)
        dialog, folders = self.open_start_dialog()
        self.open_row(folders, b"a1")
        self.close_dialog(dialog, IDOK)
        self.probe.set_text("Ref_Sign", "at log-off")
        self.assertTrue(self.probe("end_session")["agreed"], "the window lets the session end")
        self.assertEqual((cwd / "sign.ini").read_bytes(), b"at log-off")
        self.assertEqual((cwd / "TarnUtil.ini").read_bytes(), crlf(*DEFAULT_BASIC))
        self.assertIsNone(utility.process.poll(), "saved while still running, as Windows ends it only then")
        self.probe.set_text("Ref_Sign", "later")
        self.exit(utility)
        self.assertEqual((cwd / "sign.ini").read_bytes(), b"at log-off", "saved once")
        self.assertFalse((host / "data" / "a1" / "sign.ini").exists())

    def test_missing_data_folder_keeps_the_start_folder(self):
        # The dialog always opens at the data folder. When that folder is gone
        # the command reports it and keeps the start folder confirmed before;
        # an empty start folder would send the batch to the drive's root.
        host, utility = self.start_with_boards()
        self.click("CheckBox2_1")
        dialog, folders = self.open_start_dialog()
        self.open_row(folders, b"a1")
        self.close_dialog(dialog, IDOK)
        # The current folder now differs from the start folder.
        dialog, folders = self.open_start_dialog()
        self.open_row(folders, b"c3")
        self.close_dialog(dialog, IDCANCEL)
        data, moved = host / "data", host / "data-away"
        data.rename(moved)
        self.cleanups.append(lambda: moved.rename(data) if moved.exists() else None)
        self.probe("post_click", "Button_StartDir")
        box, text = self.error_box()
        self.assertEqual(text, sjis("フォルダ ") + win_path(data) + sjis(" に移動できません."))
        self.close_dialog(box, IDOK)
        self.assertEqual(self.probe.find_dialog(START_DIR_CAPTION, "main", 0)["hwnd"], 0, "no dialog shown")
        self.assertEqual(self.text("Label_StartDir"), b"a1")
        self.assertTrue(self.probe.enabled("Button_ConfAll"))
        moved.rename(data)
        self.assertEqual(self.batch_and_written(host), ["a1", "a1/inner"], "the batch still starts at a1")
        self.assertFalse((utility.cwd / SETTINGS).exists(), "nothing written in the working folder")
        self.exit(utility)

    def test_exit_save_goes_to_the_start_up_folder(self):
        cwd = self.session.new_folder("cwd")
        host, utility = self.start_with_boards(cwd)
        reference = host / "data" / "c3" / SETTINGS
        reference.write_bytes(b"[BASIC]\r\nURL=ref\r\n")
        dialog, folders = self.open_start_dialog()
        self.open_row(folders, b"a1")
        self.open_row(folders, b"inner", how="double")
        self.close_dialog(dialog, IDOK)
        self.assertEqual(self.text("Label_StartDir"), b"inner")
        dialog, folders = self.open_start_dialog()
        self.open_row(folders, b"B2")
        self.close_dialog(dialog, IDCANCEL)
        self.choose_file(win_path(reference))
        self.probe.set_text("Ref_Sign", "bye")
        self.exit(utility)
        self.assertEqual((cwd / "TarnUtil.ini").read_bytes(), b"[BASIC]\r\nURL=ref\r\n")
        self.assertEqual((cwd / "sign.ini").read_bytes(), b"bye")
        strays = sorted(str(p.relative_to(host)) for p in host.rglob("*")
                        if p.name in ("TarnUtil.ini", "sign.ini"))
        self.assertEqual(strays, [], "nothing saved where the dialogs went")


if __name__ == "__main__":
    unittest.main(verbosity=2)
