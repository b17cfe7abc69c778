#!/usr/bin/env python3
"""Pictures of the utility's windows at 120 DPI, drawn by Wine's X11 driver on
an Xvfb screen and saved as PNG under the work folder (screenshots/):
main-window.png, dir-select.png, after-batch.png, board-list.png and
progress-window.png.

Each picture must show the window it is meant to show: the size of the
window, and more than a handful of colours (a window that failed to paint
comes out in one or two)."""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import image_info, sjis  # noqa: E402

DONE = sjis("一括設定が終了しました")
PAINT_WAIT = 1.0  # seconds for Wine to paint a window that has just appeared
MIN_COLOURS = 8


class Screenshots(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session(120, "x11").start()
        cls.probe = cls.session.probe

    @classmethod
    def tearDownClass(cls):
        cls.session.stop()

    def tearDown(self):
        self.session.end_utilities()

    def shoot(self, name, ref):
        rect = self.probe("screen_rect", ref)["rect"]
        path = self.session.screenshot(name, rect)
        width, height, colours = image_info(path)
        self.assertEqual((width, height), tuple(rect[2:]), f"{path} shows the whole window")
        self.assertGreaterEqual(colours, MIN_COLOURS, f"{path} is painted")
        return path

    def test_main_window(self):
        host = self.session.host(plugins=["qv_news.exe", "qv_bbs.pl"], boards=["board1"])
        self.session.start_utility(host / "TarnUtil.exe")
        time.sleep(PAINT_WAIT)
        self.shoot("main-window", "main")

    def start_with_name(self, host):
        """The utility in `host` with 名前 ticked and filled in, its
        start-folder dialog open; the dialog's handle."""
        self.session.start_utility(host / "TarnUtil.exe")
        self.probe.tick_name("名無しさん")
        dialog = self.probe.open_start_dialog()
        self.assertTrue(dialog)
        return dialog

    def test_start_folder_dialog_and_after_batch(self):
        host = self.session.host(plugins=["qv_bbs.exe"],
                                 boards=["board1", "board2", "board2/thread", "archive"])
        dialog = self.start_with_name(host)
        probe = self.probe
        # A dialog wholly inside its owner comes out black under Xvfb: move it
        # so that it overhangs the main window's left edge.
        main = probe("screen_rect", "main")["rect"]
        probe("move", dialog, max(0, main[0] - 200), main[1] + 40)
        time.sleep(PAINT_WAIT)
        self.shoot("dir-select", dialog)
        probe("press", dialog, 1)
        self.assertEqual(harness.wait_for(lambda: probe.text("Label_StartDir")), b"data")
        probe("click", "Button_ConfAll")
        self.assertEqual(harness.wait_for(lambda: probe.text("Label_ConfAll"), timeout=30), DONE)
        # The progress window keeps the last counts; closed for this picture.
        probe("click", "Button_Stop")
        time.sleep(PAINT_WAIT)
        self.shoot("after-batch", "main")
        self.assertTrue((host / "data" / "board2" / "thread" / "tarn_BBS.ini").is_file())

    def test_board_list_and_progress_window(self):
        """The board list over a host as users have it (C:\\host, here a link
        in the prefix's drive C), then the progress window of a batch over
        the boards it shows, its bar part way."""
        host = self.session.board_host(4000, lambda i: b"[BASIC]\r\nURL=http://example.jp/%d/\r\nNAME=x\r\n" % i)
        link = self.session.prefix / "drive_c" / "host"
        if link.is_symlink():
            link.unlink()
        link.symlink_to(host)
        self.addCleanup(link.unlink)
        self.session.start_utility(host / "TarnUtil.exe", windows_exe=sjis("C:\\host\\TarnUtil.exe"))
        probe = self.probe
        probe.tick_name("名無しさん")
        probe("post", "main", 0x0112, 0x0120, 0)  # the system menu's 板の一覧
        self.assertTrue(harness.wait_for(lambda: probe.try_("find", "list")["ok"] and
                                         probe.try_("info", "Label_BoardCount")["ok"], timeout=30))
        self.assertTrue(harness.wait_for(
            lambda: "読み込み中" not in probe.text("Label_BoardCount").decode("cp932"), timeout=60))
        probe.set_text("Edit_FilterPattern", "http://example.jp/1*")
        main = probe("screen_rect", "main")["rect"]
        window = probe("find", "list")["hwnd"]
        probe("move", window, max(0, main[0] - 120), main[1] + 80)
        time.sleep(PAINT_WAIT)
        self.shoot("board-list", window)

        probe.set_text("Edit_FilterPattern", "")
        probe("post_click", "Button_ApplyShown")
        self.assertTrue(harness.wait_for(lambda: probe.try_("find", "progress")["ok"], timeout=30))
        # Overhanging the main window, so that Xvfb paints it.
        window = probe("find", "progress")["hwnd"]
        probe("move", window, main[0] + main[2] - 300, main[1] + 60)
        time.sleep(PAINT_WAIT)
        self.shoot("progress-window", window)
        self.assertEqual(harness.wait_for(lambda: probe.text("Label_ConfAll"), timeout=120), DONE)

if __name__ == "__main__":
    unittest.main(verbosity=2)
