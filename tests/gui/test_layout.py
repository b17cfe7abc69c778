#!/usr/bin/env python3
"""The main window of TarnUtil.exe as it opens, at 96 and at 120 DPI.

Every control is looked up by name and compared with the window's design:
class, parent, text (Shift-JIS bytes), enabled state, position and size
(designed at 120 DPI, scaled with rounding), plus the font, the password
character, the drop-down box's style, the memo's text, the tab order, the
window's size and title, the page caption and the version resource.

The design below is this window's own description, kept here on its own so
that a slip in the program's tables shows up as a difference.
"""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import from_hex, scaled, sjis, to_hex  # noqa: E402

CRLF = b"\r\n"
WS_TABSTOP = 0x00010000
WS_EX_CONTROLPARENT = 0x00010000
ES_MULTILINE = 0x0004
ES_PASSWORD = 0x0020
CBS_DROPDOWN = 0x0002
CBS_DROPDOWNLIST = 0x0003
CBS_SORT = 0x0100
BS_TYPEMASK = 0x000F
BS_CHECKBOX, BS_AUTOCHECKBOX = 0x0002, 0x0003
BS_PUSHBUTTON, BS_DEFPUSHBUTTON = 0x0000, 0x0001
SHIFTJIS_CHARSET = 128

FONT_FACE = "ＭＳ Ｐゴシック"
# The default captions of the labelled fields, as the field catalogue has them.
DEFAULT_CAPTIONS = {
    1: "掲示板のアドレス(URL):",
    2: "書き込み先アドレス(URL):",
    3: "名前:",
    4: "e-mailアドレス:",
    5: "ホームページ:",
    6: "削除キー:",
    7: "パラメータ",
    8: "未読ポインタ",
    9: "ユーザ名",
}

# name: (class, parent, (left, top, width, height) at 120 DPI, None where the
# control sizes itself, text, enabled at start)
G2, G12, G1, G3, PAGE = "GroupBox2", "GroupBox1_2", "GroupBox1", "GroupBox3", "TabSheet1"
EDIT_ROWS = {1: 48, 2: 96, 3: 144, 4: 192, 5: 240, 6: 288, 7: 384, 8: 432}
DESIGN = {
    "GroupBox2": ("TGroupBox", PAGE, (8, 8, 457, 473), "巡回設定タブ", True),
    "GroupBox1_2": ("TGroupBox", G2, (280, 328, 161, 129), "認証", True),
    "GroupBox1": ("TGroupBox", PAGE, (472, 8, 329, 113), "基本設定タブ", True),
    "GroupBox3": ("TGroupBox", PAGE, (472, 128, 329, 193), "詳細タブ", True),
    "LabeledEdit2_9": ("Edit", G12, (16, 32, 130, 23), "", False),
    "CheckBox2_9": ("Button", G2, (256, 336, 17, 25), "", True),
    "Label_MaskEdit2_9": ("Static", G12, (16, 64, None, None), "パスワード", False),
    "MaskEdit2_9": ("Edit", G12, (16, 88, 130, 23), "", False),
    "Label1_1": ("Static", G1, (40, 24, None, None), "掲示板処理プラグイン", False),
    "ComboBox1_1": ("ComboBox", G1, (40, 48, 225, None), "", False),
    "CheckBox1_2_1": ("Button", G1, (40, 84, 233, 17), "通常巡回対象とする", False),
    "CheckBox1_1": ("Button", G1, (16, 48, 17, 25), "", True),
    "CheckBox1_2": ("Button", G1, (16, 80, 17, 25), "", True),
    "CheckBox3_1": ("Button", G3, (8, 16, 17, 25), "", True),
    "Label3_1": ("Static", G3, (32, 18, None, None), "署名", False),
    "Ref_Sign": ("Edit", G3, (8, 48, 313, 137), "\r\n", False),
    "Button_StartDir": ("Button", PAGE, (479, 328, 130, 33), "開始フォルダ選択", True),
    "Button_Ref": ("Button", PAGE, (479, 368, 130, 33), "基準ファイル読込", True),
    "Button_ConfAll": ("Button", PAGE, (480, 408, 130, 33), "一括設定", False),
    "Button_Cancel": ("Button", PAGE, (480, 448, 130, 33), "終了", True),
    "Label_StartDir": ("Static", PAGE, (624, 336, None, None), "", True),
    "Label_Ref": ("Static", PAGE, (624, 376, None, None), "", True),
    "Label_ConfAll": ("Static", PAGE, (624, 416, None, None), "", True),
    # Its left edge is checked with the page's width (test_version_label_fits_in_the_page).
    "Label1": ("Static", PAGE, (None, 464, None, None), "TarnUtil Ver. 0.2", True),
}
for _row, _top in EDIT_ROWS.items():
    DESIGN[f"LabeledEdit2_{_row}"] = ("Edit", G2, (40, _top, 400 if _row <= 6 else 230, 23), "", False)
    DESIGN[f"CheckBox2_{_row}"] = ("Button", G2, (16, _top, 17, 25), "", True)

TICK_BOXES = [f"CheckBox2_{i}" for i in range(1, 10)] + ["CheckBox1_1", "CheckBox1_2", "CheckBox3_1"]

# The tab order of the whole window, every control enabled.
FULL_TAB_CYCLE = (
    [f"LabeledEdit2_{i}" for i in range(1, 10)] + ["MaskEdit2_9"]
    + [f"CheckBox2_{i}" for i in range(1, 10)]
    + ["ComboBox1_1", "CheckBox1_2_1", "CheckBox1_1", "CheckBox1_2"]
    + ["Ref_Sign", "CheckBox3_1"]
    + ["Button_ConfAll", "Button_Cancel", "Button_StartDir", "Button_Ref"]
)
# At start only the tick boxes and three buttons are enabled.
START_TAB_CYCLE = TICK_BOXES + ["Button_Cancel", "Button_StartDir", "Button_Ref"]

# Characters of different widths, half and full width, for measuring fonts.
FONT_SAMPLE = "iWm1.あ漢字ソ表ｱ"


SESSIONS = {}


def session_at(dpi):
    """The module's Wine session at a resolution, started at first use."""
    if dpi not in SESSIONS:
        SESSIONS[dpi] = harness.Session(dpi, "null").start()
    return SESSIONS[dpi]


def tearDownModule():
    for session in SESSIONS.values():
        session.stop()


# Some of the board list's controls at 120 DPI; the list fills the window
# below them, 8 pixels inside its edges.
BOARD_LIST_DESIGN = {
    "Edit_FilterPattern": (384, 10, 220, 23),
    "Check_FilterNegated": (616, 12, 110, 21),
    "Button_ApplyShown": (200, 44, 190, 29),
    "Button_Preview": (676, 79, 104, 29),
}
# Its tab order (the disabled 置換を実行 is passed over): the filter, the
# secrets, the command on the boards shown, the replacement, CSV, close, the list.
BOARD_LIST_TAB_CYCLE = ["#501", "#503", "#504", "#505", "#506", "#511", "#513", "#515", "#516", "#518", "#519",
                        "#507", "#509"]


class LayoutChecks:
    """The layout at one resolution; the test classes set DPI."""

    DPI = None
    session = None

    @classmethod
    def setUpClass(cls):
        cls.session = session_at(cls.DPI)
        cls.probe = cls.session.probe
        # A host folder with a data folder and no plug-ins; started in a
        # folder without a snapshot, so the window shows its design.
        cls.host = cls.session.host(plugins=[], boards=["board1"])
        cls.utility = cls.session.start_utility(cls.host / "TarnUtil.exe")

    @classmethod
    def tearDownClass(cls):
        if cls.utility.process.poll() is None:
            cls.session.close_utility(cls.utility)

    def px(self, value):
        return scaled(value, self.DPI)

    def test_controls_match_the_design(self):
        for name, (cls_name, parent, rect, text, enabled) in DESIGN.items():
            with self.subTest(control=name):
                info = self.probe.info(name)
                self.assertEqual(info["class"], cls_name)
                self.assertEqual(info["parent"], parent)
                self.assertEqual(from_hex(info["text"]), sjis(text))
                self.assertEqual(info["enabled"], enabled)
                self.assertTrue(info["visible"])
                got = info["rect"]
                for index, (want, what) in enumerate(zip(rect, ("left", "top", "width", "height"))):
                    if want is not None:
                        self.assertEqual(got[index], self.px(want), f"{what} of {name}: {got}")

    def test_field_captions_stand_above_their_fields(self):
        for row, caption in DEFAULT_CAPTIONS.items():
            field = f"LabeledEdit2_{row}"
            with self.subTest(field=field):
                label = self.probe.info(field + ".EditLabel")
                edit = self.probe.info(field)
                self.assertEqual(label["class"], "Static")
                self.assertEqual(from_hex(label["text"]), sjis(caption))
                self.assertEqual(label["parent"], edit["parent"])
                self.assertEqual(label["id"], edit["id"] + 100)
                self.assertFalse(label["enabled"], "a caption follows its disabled field")
                left, top, width, height = label["rect"]
                self.assertEqual(left, edit["rect"][0])
                self.assertEqual(top + height, edit["rect"][1] - self.px(3))
                self.assertGreater(width, 0)

    def test_captions_in_shift_jis_bytes(self):
        # Spelled out byte by byte: a wrong code page would change them.
        self.assertEqual(self.probe.text("Button_ConfAll"), b"\x88\xea\x8a\x87\x90\xdd\x92\xe8")
        self.assertEqual(self.probe.text("Button_Cancel"), b"\x8f\x49\x97\xb9")
        self.assertEqual(self.probe.text("LabeledEdit2_5.EditLabel"),
                         b"\x83\x7a\x81\x5b\x83\x80\x83\x79\x81\x5b\x83\x57:")
        self.assertEqual(self.probe.text("Label1"), b"TarnUtil Ver. 0.2")

    def test_version_label_fits_in_the_page(self):
        # Sized to its text in the window's font (under Wine a stand-in for
        # the design's), it ends at least 8 design pixels inside the page: at
        # its designed left 696 where that is room enough, else moved left
        # no further than that.
        text = "TarnUtil Ver. 0.2"
        # The prefix widths of the text and one more character: the last is the whole text's.
        edges = self.probe("font_extents", to_hex(FONT_FACE), -self.px(15), SHIFTJIS_CHARSET,
                           to_hex(text + "x"))["edges"]
        text_width = edges[-1]
        self.assertGreater(text_width, 0)
        page_width = self.probe.info("TabSheet1")["client"][2]
        left, top, width, height = self.probe.info("Label1")["rect"]
        self.assertGreaterEqual(width, text_width, "the whole text is shown")
        self.assertGreater(height, 0)
        self.assertLessEqual(left + width, page_width - self.px(8), "inside the page")
        self.assertLessEqual(left, self.px(696))
        if left < self.px(696):
            self.assertEqual(left + width, page_width - self.px(8), "moved left only as far as needed")
        # It stays to the right of the buttons and of where the status labels start.
        self.assertGreater(left, self.px(624))

    def test_window_page_and_containers(self):
        main = self.probe.info("main")
        self.assertEqual(main["class"], "TForm1")
        self.assertEqual(from_hex(main["text"]), b"TarnUtil")
        self.assertEqual(main["rect"][2:], [self.px(824), self.px(550)])
        tab = self.probe.info("PageControl1")
        self.assertEqual(tab["class"], "SysTabControl32")
        self.assertEqual(tab["parent"], "main")
        self.assertEqual(tab["style"] & WS_TABSTOP, 0, "the tab control is no tab stop")
        self.assertEqual(tab["rect"][2:], main["client"][2:], "the tab control fills the client area")
        tabs = self.probe("tabs", "PageControl1")
        page_caption = sjis("巡回パラメータ一括設定")
        self.assertEqual([from_hex(t) for t in tabs["items"]], [page_caption])
        self.assertEqual(tabs["selected"], 0)
        page = self.probe.info("TabSheet1")
        self.assertEqual(page["class"], "TTabSheet")
        self.assertEqual(from_hex(page["text"]), page_caption)
        self.assertEqual(page["rect"], tabs["display"], "the page fills the display area")
        for name in ("TabSheet1", "GroupBox2", "GroupBox1_2", "GroupBox1", "GroupBox3"):
            with self.subTest(container=name):
                info = self.probe.info(name)
                self.assertTrue(info["exstyle"] & WS_EX_CONTROLPARENT)
                self.assertEqual(info["client"][2:], info["rect"][2:], "no border around the client area")

    def test_control_kinds(self):
        combo = self.probe.info("ComboBox1_1")["style"]
        self.assertEqual(combo & CBS_DROPDOWNLIST, CBS_DROPDOWN, "an editable drop-down box")
        self.assertTrue(combo & CBS_SORT, "entries kept sorted")
        mask = self.probe.info("MaskEdit2_9")
        self.assertTrue(mask["style"] & ES_PASSWORD)
        self.assertEqual(self.probe("password_char", "MaskEdit2_9")["char"], ord("*"))
        self.assertEqual(self.probe("password_char", "LabeledEdit2_9")["char"], 0)
        memo = self.probe.info("Ref_Sign")
        self.assertTrue(memo["style"] & ES_MULTILINE)
        self.assertEqual(from_hex(memo["text"]), CRLF, "the memo holds one empty line")
        for name in TICK_BOXES + ["CheckBox1_2_1"]:
            with self.subTest(check_box=name):
                self.assertIn(self.probe.info(name)["style"] & BS_TYPEMASK, (BS_CHECKBOX, BS_AUTOCHECKBOX))
                self.assertEqual(self.probe.checked(name), 0)
        for name in ("Button_StartDir", "Button_Ref", "Button_ConfAll", "Button_Cancel"):
            with self.subTest(button=name):
                self.assertIn(self.probe.info(name)["style"] & BS_TYPEMASK, (BS_PUSHBUTTON, BS_DEFPUSHBUTTON))

    def test_font(self):
        # A font handle means nothing outside its process, so the font is
        # measured: the edges of the characters of a sample text as the
        # controls lay them out must be those of the design's font made here,
        # and the drop-down rows as high as its character cell.
        sample = to_hex(FONT_SAMPLE)
        height = -self.px(15)
        want = self.probe("font_extents", to_hex(FONT_FACE), height, SHIFTJIS_CHARSET, sample)
        self.assertEqual(want["tm_charset"], SHIFTJIS_CHARSET)
        steps = lambda edges: [b - a for a, b in zip(edges, edges[1:])]  # noqa: E731
        # The measure tells fonts apart: the system's default font differs.
        other = self.probe("font_extents", to_hex("Tahoma"), height, 0, sample)
        self.assertNotEqual(steps(other["edges"]), steps(want["edges"]))
        bigger = self.probe("font_extents", to_hex(FONT_FACE), height - 1, SHIFTJIS_CHARSET, sample)
        self.assertNotEqual(bigger["tm_height"], want["tm_height"])
        for name in [f"LabeledEdit2_{i}" for i in range(1, 10)] + ["Ref_Sign", "ComboBox1_1"]:
            with self.subTest(control=name):
                got = self.probe("edit_extents", name, sample)
                self.assertEqual(steps(got["edges"]), steps(want["edges"]))
        self.assertEqual(self.probe("item_height", "ComboBox1_1")["row"], want["tm_height"])
        # Texts were put back.
        self.assertEqual(self.probe.text("Ref_Sign"), CRLF)
        self.assertEqual(self.probe.text("LabeledEdit2_1"), b"")

    def test_board_list_window(self):
        """The board list, opened from the system menu: its size, its controls
        where the design puts them, the main window's font, and its tab order."""
        self.probe("post", "main", 0x0112, 0x0120, 0)  # WM_SYSCOMMAND, 板の一覧(&L)...
        self.assertTrue(harness.wait_for(lambda: self.probe.try_("info", "Button_CloseList")["ok"]))
        try:
            window = self.probe.info("list")
            self.assertEqual(window["client"][2:], [self.px(900), self.px(560)])
            self.assertEqual(window["owner"], self.probe.info("main")["hwnd"])
            for name, rect in BOARD_LIST_DESIGN.items():
                with self.subTest(control=name):
                    self.assertEqual(self.probe.info(name)["rect"], [self.px(v) for v in rect])
            margin, top = self.px(8), self.px(118)
            self.assertEqual(self.probe.info("List_Boards")["rect"],
                             [margin, top, self.px(900) - 2 * margin, self.px(560) - top - margin])
            sample = to_hex(FONT_SAMPLE)
            want = self.probe("font_extents", to_hex(FONT_FACE), -self.px(15), SHIFTJIS_CHARSET, sample)
            got = self.probe("edit_extents", "Edit_FilterPattern", sample)
            steps = lambda edges: [b - a for a, b in zip(edges, edges[1:])]  # noqa: E731
            self.assertEqual(steps(got["edges"]), steps(want["edges"]))
            self.assertEqual(self.probe("tab_cycle", "list")["cycle"], BOARD_LIST_TAB_CYCLE)
        finally:
            self.probe("click", "Button_CloseList")

    def test_tab_cycle_at_start(self):
        self.assertEqual(self.probe("tab_cycle")["cycle"], START_TAB_CYCLE)

    def test_version_resource(self):
        version = self.probe("version", to_hex(harness.win_path(self.host / "TarnUtil.exe")))
        self.assertTrue(version["present"])
        self.assertEqual(version["file_version"], [0, 2, 2, 5])
        self.assertEqual(version["product_version"], [1, 0, 0, 0])
        self.assertTrue(version["strings"], "a string table")
        for table in version["strings"]:
            with self.subTest(translation=table["translation"]):
                for field in ("CompanyName", "FileDescription", "ProductName"):
                    self.assertEqual(table.get(field, ""), "", field)


class Layout96(LayoutChecks, unittest.TestCase):
    DPI = 96


class Layout120(LayoutChecks, unittest.TestCase):
    DPI = 120

    def test_design_position_inside_the_work_area(self):
        left, top, right, bottom = self.probe("work_area")["work_area"]
        self.assertLess(222, right - 100)
        self.assertLess(56, bottom - 100)
        self.assertEqual(self.probe.info("main")["rect"][:2], [222, 56])


class TabCycleWithEverythingEnabled(unittest.TestCase):
    """Every box ticked and a start folder confirmed: the whole tab order."""

    def test_full_cycle(self):
        session = session_at(120)
        probe = session.probe
        host = session.host(plugins=["qv_x.exe"], boards=["b"])
        utility = session.start_utility(host / "TarnUtil.exe")
        try:
            for box in TICK_BOXES:
                probe("click", box)
            dialog = probe.open_start_dialog()
            self.assertTrue(dialog, "the start-folder dialog opens")
            probe("press", dialog, 1)
            self.assertEqual(harness.wait_for(lambda: probe.text("Label_StartDir")), b"data")
            self.assertTrue(probe.enabled("Button_ConfAll"))
            self.assertEqual(probe("tab_cycle")["cycle"], FULL_TAB_CYCLE)
        finally:
            self.assertEqual(session.close_utility(utility), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
