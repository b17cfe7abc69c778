// Control identifiers of the utility's windows. Every control's identifier
// stands for its name; test tools that drive the windows from another process
// use the same list to find a control by name.
#pragma once

#include <string>

// X(name, identifier). The main window's controls, including the caption label
// of each labelled edit field (named after its field with ".EditLabel").
#define TARN_MAIN_WINDOW_CONTROLS(X)                                                        \
    X(PageControl1, 100)                                                                   \
    X(TabSheet1, 101)                                                                      \
    X(GroupBox2, 110)                                                                      \
    X(LabeledEdit2_1, 111) X(LabeledEdit2_2, 112) X(LabeledEdit2_3, 113)                   \
    X(LabeledEdit2_4, 114) X(LabeledEdit2_5, 115) X(LabeledEdit2_6, 116)                   \
    X(LabeledEdit2_7, 117) X(LabeledEdit2_8, 118) X(LabeledEdit2_9, 119)                   \
    X(GroupBox1_2, 120)                                                                    \
    X(MaskEdit2_9, 121)                                                                    \
    X(Label_MaskEdit2_9, 122)                                                              \
    X(CheckBox2_1, 131) X(CheckBox2_2, 132) X(CheckBox2_3, 133) X(CheckBox2_4, 134)        \
    X(CheckBox2_5, 135) X(CheckBox2_6, 136) X(CheckBox2_7, 137) X(CheckBox2_8, 138)        \
    X(CheckBox2_9, 139)                                                                    \
    X(GroupBox1, 150)                                                                      \
    X(Label1_1, 151)                                                                       \
    X(ComboBox1_1, 152)                                                                    \
    X(CheckBox1_2_1, 153)                                                                  \
    X(CheckBox1_1, 154)                                                                    \
    X(CheckBox1_2, 155)                                                                    \
    X(GroupBox3, 160)                                                                      \
    X(CheckBox3_1, 161)                                                                    \
    X(Label3_1, 162)                                                                       \
    X(Ref_Sign, 163)                                                                       \
    X(Button_StartDir, 170) X(Button_Ref, 171) X(Button_ConfAll, 172) X(Button_Cancel, 173) \
    X(Label_StartDir, 180) X(Label_Ref, 181) X(Label_ConfAll, 182) X(Label1, 183)

// The caption labels of the labelled edit fields: identifier of the field + 100.
inline constexpr int kEditLabelOffset = 100;

// X(name, identifier). The start-folder dialog; OK and Cancel carry the
// dialog manager's own identifiers so that Enter and Esc reach them.
#define TARN_DIR_SELECT_CONTROLS(X) \
    X(OKBtn, 1)                     \
    X(CancelBtn, 2)                 \
    X(Bevel1, 300)                  \
    X(DirectoryListBox1, 301)

// X(name, identifier). The progress window of a batch or an undo.
#define TARN_PROGRESS_CONTROLS(X) \
    X(Label_Progress, 400)        \
    X(Label_Folder, 401)          \
    X(Label_Counts, 402)          \
    X(Button_Stop, 403)           \
    X(ProgressBar_Run, 404)

// X(name, identifier). The board list window.
#define TARN_BOARD_LIST_CONTROLS(X) \
    X(Label_FilterField, 500)       \
    X(Combo_FilterField, 501)       \
    X(Label_FilterPattern, 502)     \
    X(Edit_FilterPattern, 503)      \
    X(Check_FilterNegated, 504)     \
    X(Check_ShowSecrets, 505)       \
    X(Button_ApplyShown, 506)       \
    X(Button_CloseList, 507)        \
    X(Label_BoardCount, 508)        \
    X(List_Boards, 509)             \
    X(Label_ReplaceField, 510)      \
    X(Combo_ReplaceField, 511)      \
    X(Label_ReplaceFrom, 512)       \
    X(Edit_ReplaceFrom, 513)        \
    X(Label_ReplaceTo, 514)         \
    X(Edit_ReplaceTo, 515)          \
    X(Button_Preview, 516)          \
    X(Button_Replace, 517)          \
    X(Button_Export, 518)           \
    X(Button_Import, 519)

namespace tarn::ids {

#define TARN_DECLARE_ID(name, id) inline constexpr int name = id;
TARN_MAIN_WINDOW_CONTROLS(TARN_DECLARE_ID)
TARN_DIR_SELECT_CONTROLS(TARN_DECLARE_ID)
TARN_PROGRESS_CONTROLS(TARN_DECLARE_ID)
TARN_BOARD_LIST_CONTROLS(TARN_DECLARE_ID)
#undef TARN_DECLARE_ID

inline constexpr int EditLabelOf(int editId) { return editId + kEditLabelOffset; }

// The identifier of a control of the lists above given by name; 0 when there
// is none.
inline int ListedControl(const std::string& name) {
#define TARN_MATCH_ID(n, id) \
    if (name == #n) return id;
    TARN_MAIN_WINDOW_CONTROLS(TARN_MATCH_ID)
    TARN_DIR_SELECT_CONTROLS(TARN_MATCH_ID)
    TARN_PROGRESS_CONTROLS(TARN_MATCH_ID)
    TARN_BOARD_LIST_CONTROLS(TARN_MATCH_ID)
#undef TARN_MATCH_ID
    return 0;
}

// The identifier of a control given by name, also of a labelled edit field's
// caption label ("LabeledEdit2_3.EditLabel"); 0 when there is no such control.
inline int FindByName(const char* name) {
    const std::string text = name;
    static const std::string kField = "LabeledEdit", kSuffix = ".EditLabel";
    if (text.size() <= kSuffix.size() || text.compare(text.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
        return ListedControl(text);
    const int field = text.rfind(kField, 0) == 0 ? ListedControl(text.substr(0, text.size() - kSuffix.size())) : 0;
    return field ? EditLabelOf(field) : 0;
}

}  // namespace tarn::ids
