#include "utility/tuLayout.h"

#include <algorithm>

namespace tarn {

const char kFontFace[] = "ＭＳ Ｐゴシック";
const char kWindowTitle[] = "TarnUtil";
const char kWindowClass[] = "TForm1";
const char kDirSelectCaption[] = "一括設定の開始フォルダを選んでください";

namespace {

using K = ControlKind;
using namespace ids;

// The nine rows of the patrol settings group: tick box and edit field.
#define EDIT_ROW(n, top, width) {LabeledEdit2_##n, K::LabeledEdit, GroupBox2, 40, top, width, 23, "", false},
#define TICK_ROW(n, left, top) {CheckBox2_##n, K::TickBox, GroupBox2, left, top, 17, 25, "", true},

const std::vector<ControlLayout> kLayout = {
    {PageControl1, K::TabControl, 0, 0, 0, 0, 0, "", true},
    {TabSheet1, K::TabPage, PageControl1, 0, 0, 0, 0, "TabSheet1", true},

    {GroupBox2, K::Group, TabSheet1, 8, 8, 457, 473, "巡回設定タブ", true},
    EDIT_ROW(1, 48, 400) EDIT_ROW(2, 96, 400) EDIT_ROW(3, 144, 400) EDIT_ROW(4, 192, 400)
    EDIT_ROW(5, 240, 400) EDIT_ROW(6, 288, 400) EDIT_ROW(7, 384, 230) EDIT_ROW(8, 432, 230)
    {GroupBox1_2, K::Group, GroupBox2, 280, 328, 161, 129, "認証", true},
    {LabeledEdit2_9, K::LabeledEdit, GroupBox1_2, 16, 32, 130, 23, "", false},
    {Label_MaskEdit2_9, K::Label, GroupBox1_2, 16, 64, 0, 0, "", false},
    {MaskEdit2_9, K::PasswordEdit, GroupBox1_2, 16, 88, 130, 23, "", true},
    TICK_ROW(1, 16, 48) TICK_ROW(2, 16, 96) TICK_ROW(3, 16, 144) TICK_ROW(4, 16, 192)
    TICK_ROW(5, 16, 240) TICK_ROW(6, 16, 288) TICK_ROW(7, 16, 384) TICK_ROW(8, 16, 432)
    TICK_ROW(9, 256, 336)

    {GroupBox1, K::Group, TabSheet1, 472, 8, 329, 113, "基本設定タブ", true},
    {Label1_1, K::Label, GroupBox1, 40, 24, 0, 0, "掲示板処理プラグイン", false},
    {ComboBox1_1, K::DropDown, GroupBox1, 40, 48, 225, 0, "", false},
    {CheckBox1_2_1, K::CheckBox, GroupBox1, 40, 84, 233, 17, "通常巡回対象とする", false},
    {CheckBox1_1, K::TickBox, GroupBox1, 16, 48, 17, 25, "", true},
    {CheckBox1_2, K::TickBox, GroupBox1, 16, 80, 17, 25, "", true},

    {GroupBox3, K::Group, TabSheet1, 472, 128, 329, 193, "詳細タブ", true},
    {Label3_1, K::Label, GroupBox3, 32, 18, 0, 0, "署名", false},
    {Ref_Sign, K::Memo, GroupBox3, 8, 48, 313, 137, "\r\n", false},
    {CheckBox3_1, K::TickBox, GroupBox3, 8, 16, 17, 25, "", true},

    {Button_ConfAll, K::Button, TabSheet1, 480, 408, 130, 33, "一括設定", false},
    {Button_Cancel, K::Button, TabSheet1, 480, 448, 130, 33, "終了", true},
    {Button_StartDir, K::Button, TabSheet1, 479, 328, 130, 33, "開始フォルダ選択", true},
    {Button_Ref, K::Button, TabSheet1, 479, 368, 130, 33, "基準ファイル読込", true},
    {Label_StartDir, K::Label, TabSheet1, 624, 336, 0, 0, "Label_StartDir", true},
    {Label_Ref, K::Label, TabSheet1, 624, 376, 0, 0, "Label_Ref", true},
    {Label_ConfAll, K::Label, TabSheet1, 624, 416, 0, 0, "Label_ConfAll", true},
    {Label1, K::Label, TabSheet1, 696, 464, 0, 0, "TarnUtil Ver. 0.2", true},
};

#undef EDIT_ROW
#undef TICK_ROW

// In tab order (OK, Cancel, the list); the bevel is drawn beneath them all.
const std::vector<ControlLayout> kDirSelectLayout = {
    {OKBtn, K::DefaultButton, 0, 330, 393, 94, 31, "OK", true},
    {CancelBtn, K::Button, 0, 330, 433, 94, 31, "キャンセル", true},
    {DirectoryListBox1, K::FolderList, 0, 16, 16, 305, 449, "", true},
    {Bevel1, K::Bevel, 0, 10, 2, 423, 471, "", false},
};

// The progress window: what runs, the folder being written, the counts so
// far, and the button that stops the run (closes the window at the end).
const std::vector<ControlLayout> kProgressLayout = {
    {Label_Progress, K::Label, 0, 12, 12, 0, 0, "", true},
    {Label_Folder, K::Label, 0, 12, 40, 0, 0, "", true},
    {Label_Counts, K::Label, 0, 12, 68, 0, 0, "", true},
    {Button_Stop, K::DefaultButton, 0, 378, 96, 94, 31, "中止", true},
    {ProgressBar_Run, K::ProgressBar, 0, 12, 101, 354, 21, "", true},
};

// The board list: the filter (field, pattern, negation), the count, the
// secrets' tick box, the command on the boards shown, the replacement
// (fields, text before and after, its preview and its run), CSV out and in,
// then the list;
// in tab order.
const std::vector<ControlLayout> kBoardListLayout = {
    {Label_FilterField, K::AccessLabel, 0, 8, 14, 0, 0, "絞り込み(&F):", true},
    {Combo_FilterField, K::ChoiceList, 0, 96, 10, 190, 0, "", true},
    {Label_FilterPattern, K::AccessLabel, 0, 298, 14, 0, 0, "パターン(&P):", true},
    {Edit_FilterPattern, K::Edit, 0, 384, 10, 220, 23, "", true},
    {Check_FilterNegated, K::CheckBox, 0, 616, 12, 110, 21, "一致しない(&N)", true},
    {Check_ShowSecrets, K::CheckBox, 0, 8, 48, 180, 21, "パスワードを表示(&W)", true},
    {Button_ApplyShown, K::Button, 0, 200, 44, 190, 29, "表示中の板に適用(&A)", true},
    {Label_ReplaceField, K::AccessLabel, 0, 8, 86, 0, 0, "置換(&R):", true},
    {Combo_ReplaceField, K::ChoiceList, 0, 96, 82, 140, 0, "", true},
    {Label_ReplaceFrom, K::AccessLabel, 0, 246, 86, 0, 0, "置換前(&B):", true},
    {Edit_ReplaceFrom, K::Edit, 0, 322, 82, 130, 23, "", true},
    {Label_ReplaceTo, K::AccessLabel, 0, 462, 86, 0, 0, "置換後(&T):", true},
    {Edit_ReplaceTo, K::Edit, 0, 538, 82, 130, 23, "", true},
    {Button_Preview, K::Button, 0, 676, 79, 104, 29, "プレビュー(&V)", true},
    {Button_Replace, K::Button, 0, 786, 79, 106, 29, "置換を実行(&X)", false},
    {Button_Export, K::Button, 0, 402, 44, 150, 29, "CSV 書き出し(&E)...", true},
    {Button_Import, K::Button, 0, 562, 44, 150, 29, "CSV 読み込み(&I)...", true},
    {Button_CloseList, K::Button, 0, 722, 44, 94, 29, "閉じる", true},
    {Label_BoardCount, K::Label, 0, 740, 14, 0, 0, "", true},
    {List_Boards, K::ReportList, 0, 8, kBoardListTop, 884, 434, "", true},
};

}  // namespace

const std::vector<ControlLayout>& ProgressLayout() { return kProgressLayout; }

const std::vector<ControlLayout>& BoardListLayout() { return kBoardListLayout; }

const std::vector<ControlLayout>& MainWindowLayout() { return kLayout; }

const std::vector<ControlLayout>& DirSelectLayout() { return kDirSelectLayout; }

const ControlLayout* FindLayout(int id) {
    const auto it = std::find_if(kLayout.begin(), kLayout.end(), [id](const ControlLayout& c) { return c.id == id; });
    return it == kLayout.end() ? nullptr : &*it;
}

int FittedLabelLeft(int designedLeft, int width, int parentWidth, int margin) {
    const int lastFitting = parentWidth - margin - width;
    return designedLeft <= lastFitting ? designedLeft : std::max(0, lastFitting);
}

WindowOrigin PlaceInWorkArea(WindowOrigin origin, const WorkArea& area) {
    // How much of the window must stay inside the work area at the right and bottom.
    constexpr int kVisibleMargin = 100;
    if (origin.left > area.right - kVisibleMargin) origin.left = area.left;
    if (origin.left < area.left) origin.left = area.left;
    if (origin.top < area.top) origin.top = area.top;
    if (origin.top > area.bottom - kVisibleMargin) origin.top = area.top;
    return origin;
}

}  // namespace tarn
