#!/usr/bin/env python3
"""The board list window of TarnUtil.exe, opened from the system menu, over a
tree of boards of three sites: its rows and values are what the files hold,
secrets hidden until asked for; a click on a column heading sorts; the filter
and its negation; the main window's fields applied to exactly the boards
shown (files byte for byte as the rules give), the progress bar, and the
system menu's undo taking it back; Esc closes it. Over 10,000 boards the
window answers within a second while the list fills."""

import shutil
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
from harness import crlf, from_hex, sjis, to_hex, wait_for, win_path  # noqa: E402

SETTINGS = "tarn_BBS.ini"
DONE = sjis("一括設定が終了しました")
WM_SYSCOMMAND = 0x0112
BOARD_LIST_COMMAND = 0x0120  # the system menu's "板の一覧(&L)..."
UNDO_COMMAND = 0x0110
CB_SETCURSEL = 0x014E
VK_ESCAPE, VK_RETURN = 0x1B, 0x0D
WM_LBUTTONDOWN, WM_LBUTTONUP = 0x0201, 0x0202
IDOK = 1
KEYS = ["LIB", "BBSFOLDER", "URL", "UPURL", "NAME", "EMAIL", "HP", "KEY", "PARAM1", "PARAM2", "USER", "PASS"]
HEADINGS = ["フォルダ", "掲示板処理プラグイン", "通常巡回対象", "掲示板のアドレス(URL)", "書き込み先アドレス(URL)",
            "名前", "e-mailアドレス", "ホームページ", "削除キー", "パラメータ", "未読ポインタ", "ユーザ名", "パスワード"]
HIDDEN = sjis("●●●")

# Three sites' boards; the site folders themselves hold no settings file and
# are no boards of the list.
BOARDS = {
    "雑談/板1": crlf("[DIALOG]", "_NAME=名前:", "[BASIC]", "LIB=2ch", "URL=http://old.example/a/", "NAME=名無し",
                     "PASS=secret"),
    "雑談/板2": crlf("[BASIC]", " url = http://OLD.example/b/ ", "NAME=太郎", "KEY=k"),
    "news/n1": crlf("[BASIC]", "URL=http://news.example/1/", "NAME="),
    "news/n2": crlf("[basic]", "URL=http://news.example/2/", "BBSFOLDER=1"),
    "shop/s1": crlf("[BASIC]", "URL=http://shop.example/", "NAME=店長"),
}


def files_below(root):
    return {p: p.read_bytes() for p in root.rglob("*") if p.is_file()}


def windows_relative(rel):
    return sjis(rel.replace("/", "\\")) if rel else b"."


def expected_row(rel, content, secrets_shown=False):
    """The list's row for a board: its folder, then each key's value as the host reads it."""
    basic = tarn_rules.read_section(content, b"BASIC") if content is not None else []
    row = [windows_relative(rel)]
    for key in KEYS:
        value = tarn_rules.get(basic, key.encode("ascii"))
        row.append(HIDDEN if key in ("KEY", "PASS") and value and not secrets_shown else value)
    return row


def setUpModule():
    harness.open_module_session(120, "null")


def tearDownModule():
    harness.close_module_session()


class BoardListCase(harness.ModuleSessionCase):
    def open_list(self):
        self.probe("post", "main", WM_SYSCOMMAND, BOARD_LIST_COMMAND, 0)
        # Found by its class while still being created: wait for its controls too.
        self.assertTrue(wait_for(lambda: self.probe.try_("info", "list")["ok"] and
                                 self.probe.try_("info", "Label_BoardCount")["ok"]), "the board list opens")
        info = self.probe.info("list")
        self.assertEqual(info["owner"], self.probe.info("main")["hwnd"], "owned by the main window")

    def loaded_count(self, timeout=60):
        """The count label once the list has been read whole."""
        text = wait_for(lambda: (lambda t: t if t and "読み込み中" not in t.decode("cp932") else None)(
            self.probe.text("Label_BoardCount")), timeout=timeout)
        self.assertTrue(text, "the list is read to its end")
        return text

    def rows(self):
        reply = self.probe("report_list", "List_Boards")
        return [[from_hex(cell) for cell in row] for row in reply["rows"]], reply

    def wait_batch(self):
        """Waits for the end of a batch; the completion message is taken away
        again, for the next batch's."""
        self.assertEqual(wait_for(lambda: self.probe.text("Label_ConfAll"), timeout=60), DONE)
        self.probe.set_text("Label_ConfAll", "")

    def undo(self):
        self.probe("post", "main", WM_SYSCOMMAND, UNDO_COMMAND, 0)
        box = self.probe.find_dialog(b"TarnUtil", "*", 60000)["hwnd"]
        self.assertTrue(box, "the undo reports")
        self.probe("press", box, IDOK)

    def through_file_dialog(self, button, path):
        """Presses a button that opens a common file dialog and gives it `path`."""
        self.probe("post_click", button)
        dialog = self.probe.find_dialog(None, "list")["hwnd"]
        self.assertTrue(dialog, "the file dialog opens, owned by the list")
        self.probe("file_open", dialog, to_hex(win_path(path)))
        self.assertTrue(wait_for(lambda: not self.probe("alive", dialog)["alive"]), "the dialog closes")

    def tarnbatch(self, *args):
        """tarnbatch.exe (beside TarnUtil.exe) under the session's Wine; its standard output."""
        program = harness.config().utility.parent / "tarnbatch.exe"
        run = subprocess.run(["wine", str(program)] + [a if isinstance(a, str) else a.decode("cp932") for a in args],
                             env=self.session.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=120)
        self.assertEqual(run.returncode, 0)
        return run.stdout


class ThreeSites(BoardListCase):
    def open_over_three_sites(self):
        """The utility in a host holding the boards of the three sites, its
        list open and read whole; the data folder and its files."""
        host = self.session.host(plugins=[])
        data = host / "data"
        for rel, content in BOARDS.items():
            (data / rel).mkdir(parents=True, exist_ok=True)
            (data / rel / SETTINGS).write_bytes(content)
        self.session.start_utility(host / "TarnUtil.exe")
        self.open_list()
        self.assertEqual(self.loaded_count(), sjis("5 / 5 板"))
        return data, files_below(data)

    def test_rows_sort_filter_apply_to_shown_and_undo(self):
        data, before = self.open_over_three_sites()
        contents = BOARDS

        # Every board once, with the values its file holds; secrets hidden.
        rows, reply = self.rows()
        self.assertEqual([from_hex(h) for h in reply["headings"]], [sjis(h) for h in HEADINGS])
        expected = {windows_relative(rel): expected_row(rel, content) for rel, content in contents.items()}
        self.assertEqual(len(rows), len(expected))
        self.assertEqual({row[0]: row for row in rows}, expected)
        self.probe("click", "Check_ShowSecrets")
        rows, _ = self.rows()
        self.assertEqual({row[0]: row for row in rows},
                         {windows_relative(rel): expected_row(rel, content, True) for rel, content in contents.items()})

        # A click on 名前 sorts by it, a second click the other way.
        name = 1 + KEYS.index("NAME")
        self.probe("header_click", "List_Boards", name)
        ascending = wait_for(lambda: (lambda r: r if [x[name] for x in r] == sorted(x[name] for x in r) and
                                      r[-1][name] else None)(self.rows()[0]))
        self.assertTrue(ascending, "sorted by 名前")
        self.probe("header_click", "List_Boards", name)
        self.assertTrue(wait_for(lambda: [x[name] for x in self.rows()[0]] ==
                                 sorted((x[name] for x in ascending), reverse=True)), "sorted the other way")

        # The filter and its negation.
        self.probe.set_text("Edit_FilterPattern", "http://old.example/*")
        self.assertEqual(self.probe.text("Label_BoardCount"), sjis("2 / 5 板"))
        self.assertEqual(sorted(r[0] for r in self.rows()[0]), [windows_relative("雑談/板1"), windows_relative("雑談/板2")])
        self.probe("click", "Check_FilterNegated")
        self.assertEqual(self.probe.text("Label_BoardCount"), sjis("3 / 5 板"))
        self.probe("click", "Check_FilterNegated")
        self.assertEqual(self.probe.text("Label_BoardCount"), sjis("2 / 5 板"))

        # The main window's ticked fields go to exactly the boards shown: those
        # with a 名前 (choosing the field gives no notification; the pattern
        # typed next filters).
        self.probe("post", "Combo_FilterField", CB_SETCURSEL, KEYS.index("NAME"), 0)
        self.probe("sync", "list")
        self.probe.set_text("Edit_FilterPattern", "?*")
        shown = sorted(r[0] for r in self.rows()[0])
        self.assertEqual(shown, sorted(windows_relative(rel) for rel in ("雑談/板1", "雑談/板2", "shop/s1")))
        self.probe.tick_name("新しい名前")
        self.probe("post_click", "Button_ApplyShown")
        self.wait_batch()
        bar = self.probe("progress_bar", "ProgressBar_Run")
        self.assertEqual((bar["pos"], bar["high"], bar["marquee"]), (3, 3, False), "every shown board done")
        fields = tarn_rules.Fields({"NAME": "新しい名前"})
        after = dict(before)
        for rel in ("雑談/板1", "雑談/板2", "shop/s1"):
            after[data / rel / SETTINGS] = tarn_rules.settings_after_batch(BOARDS[rel], fields)
        self.assertEqual(files_below(data), after, "only the shown boards changed")
        # The list shows the boards as the run left them.
        self.assertTrue(wait_for(lambda: sjis("新しい名前") in [r[name] for r in self.rows()[0]]))

        # The system menu's undo takes the run back.
        self.undo()
        self.assertTrue(wait_for(lambda: files_below(data) == before), "every file back as it was")

        # Esc closes the list.
        self.probe("key", "List_Boards", VK_ESCAPE)
        self.assertTrue(wait_for(lambda: not self.probe.try_("info", "list")["ok"]), "Esc closes the list")

    def test_replacement_preview_then_run_then_undo(self):
        data, before = self.open_over_three_sites()
        self.assertFalse(self.probe.enabled("Button_Replace"), "no run before a preview")
        # In every field (the choice at first): news.example becomes news.example.jp.
        self.probe.set_text("Edit_ReplaceFrom", "news.example")
        self.probe.set_text("Edit_ReplaceTo", "news.example.jp")
        # Enter in the replacement's text previews it.
        self.probe("post", "Edit_ReplaceTo", WM_LBUTTONDOWN, 1, 0)  # the click that gives it the focus
        self.probe("post", "Edit_ReplaceTo", WM_LBUTTONUP, 0, 0)
        self.probe("key", "Edit_ReplaceTo", VK_RETURN)
        self.assertTrue(wait_for(lambda: self.probe.enabled("Button_Replace")), "Enter previews")
        self.assertEqual(self.probe.text("Label_BoardCount"), sjis("置換で変わる板: 2 / 5 板"))
        url = 1 + KEYS.index("URL")
        rows, _ = self.rows()
        self.assertEqual(sorted((r[0], r[url]) for r in rows), [
            (windows_relative("news/n1"), b"http://news.example/1/ \x81\xa8 http://news.example.jp/1/"),
            (windows_relative("news/n2"), b"http://news.example/2/ \x81\xa8 http://news.example.jp/2/")])
        self.assertTrue(self.probe.enabled("Button_Replace"))
        # An edit of the replacement's text ends the preview; Enter shows it again.
        self.probe.set_text("Edit_ReplaceTo", "news.example.net")
        self.assertTrue(wait_for(lambda: not self.probe.enabled("Button_Replace")), "an edit ends the preview")
        self.assertEqual(self.loaded_count(), sjis("5 / 5 板"))
        self.probe.set_text("Edit_ReplaceTo", "news.example.jp")
        self.probe("key", "Edit_ReplaceTo", VK_RETURN)
        self.assertTrue(wait_for(lambda: self.probe.enabled("Button_Replace")), "Enter previews again")
        copy = self.session.new_folder("replace") / "data"
        shutil.copytree(data, copy)
        self.probe("post_click", "Button_Replace")
        self.assertEqual(wait_for(lambda: self.probe.text("Label_ConfAll"), timeout=60), DONE)
        # The same files as tarnbatch's replacement over the same tree (every key but BBSFOLDER).
        self.tarnbatch("--replace", ",".join(k for k in KEYS if k != "BBSFOLDER"), "--from", "news.example",
                       "--to", "news.example.jp", "--journal", win_path(copy.parent / "journal"), win_path(copy))
        self.assertEqual({p.relative_to(data): b for p, b in files_below(data).items()},
                         {p.relative_to(copy): b for p, b in files_below(copy).items()})
        # As many files changed as the preview counted, each as the rules write its new value.
        after = dict(before)
        for rel, number in (("news/n1", 1), ("news/n2", 2)):
            fields = tarn_rules.Fields({"URL": "http://news.example.jp/%d/" % number})
            after[data / rel / SETTINGS] = tarn_rules.settings_after_batch(BOARDS[rel], fields)
        self.assertEqual(files_below(data), after)
        self.assertEqual(self.loaded_count(), sjis("5 / 5 板"), "the list is read again, the preview over")
        self.assertFalse(self.probe.enabled("Button_Replace"))

        self.undo()
        self.assertTrue(wait_for(lambda: files_below(data) == before), "every file back as it was")

    def test_export_then_import_and_a_refused_import(self):
        data, _ = self.open_over_three_sites()
        work = self.session.new_folder("csv")
        table = work / "boards.csv"
        # Sorted by folder, the export is what tarnbatch --list writes of the tree.
        self.probe("header_click", "List_Boards", 0)
        self.through_file_dialog("Button_Export", table)
        self.assertTrue(wait_for(table.is_file), "the table is written")
        self.assertEqual(table.read_bytes(), self.tarnbatch("--list", win_path(data)))

        # Every board's 名前 changed, then the table imported: each board gets
        # its exported values back, as tarnbatch --import writes them.
        self.probe.tick_name("別の名前")
        self.probe("post_click", "Button_ApplyShown")
        self.wait_batch()
        changed = files_below(data)
        copy = work / "copy"
        shutil.copytree(data, copy)
        self.through_file_dialog("Button_Import", table)
        self.wait_batch()
        self.tarnbatch("--import", win_path(table), "--journal", win_path(work / "journal"), win_path(copy))
        self.assertEqual({p.relative_to(data): b for p, b in files_below(data).items()},
                         {p.relative_to(copy): b for p, b in files_below(copy).items()})
        self.assertNotEqual(files_below(data), changed)
        imported = files_below(data)

        # A refused table is named in a message box, and nothing is written.
        refused = work / "refused.csv"
        refused.write_bytes(b"FOLDER,NAMAE\r\nnews\\n1,x\r\n")
        self.through_file_dialog("Button_Import", refused)
        box = self.probe.find_dialog(b"Tarnutil", "*", 10000)["hwnd"]
        self.assertTrue(box, "the refusal is reported")
        self.assertIn(b"NAMAE", from_hex(self.probe("message_box", box)["text"]))
        self.probe("press", box, IDOK)
        self.assertEqual(files_below(data), imported)

        # The undo takes the import back.
        self.undo()
        self.assertTrue(wait_for(lambda: files_below(data) == changed), "the import taken back")


class TenThousandBoards(BoardListCase):
    BOARDS = 10000

    def test_the_window_answers_while_the_list_fills(self):
        host = self.session.board_host(self.BOARDS, lambda i: crlf("[BASIC]", "URL=http://example.jp/%d/" % i))
        self.session.start_utility(host / "TarnUtil.exe")
        self.open_list()
        answers, counts = [], []
        while True:
            answer = self.probe("responsive", "list")
            answers.append(answer)
            self.assertTrue(answer["answered"] and not answer["hung"], answer)
            text = self.probe.text("Label_BoardCount").decode("cp932")
            counts.append(int(text.split(" ")[0]))
            if "読み込み中" not in text:
                break
            time.sleep(0.1)
        self.assertGreater(len(answers), 2, "asked while the list fills")
        self.assertLess(max(a["ms"] for a in answers), 1000)
        self.assertEqual(counts, sorted(counts), "the list only grows while it fills")
        self.assertEqual(text, "%d / %d 板" % (self.BOARDS, self.BOARDS))
        self.assertEqual(self.probe("report_list", "List_Boards", 0)["count"], self.BOARDS)


if __name__ == "__main__":
    unittest.main(verbosity=2)
