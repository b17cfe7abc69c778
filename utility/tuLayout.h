// The utility's windows as data: what each control is, where it stands and
// what it shows when the window opens; where a label and the main window
// stand in what is at hand. A new window is a table here and a
// handful of handlers in a class built on ui::Window (tuWindowKit.h).
#pragma once

#include <vector>

#include "utility/tuControlIds.h"

namespace tarn {

enum class ControlKind {
    TabControl,    // fills the window's client area
    TabPage,       // fills its tab control's display area
    Group,         // a framed container with a caption
    Label,         // sized to its text
    LabeledEdit,   // a one-line edit field with its caption label above it
    PasswordEdit,  // shows "*" for every character
    Memo,          // multi-line text
    DropDown,      // editable drop-down box with sorted entries
    TickBox,       // check box without text that enables other controls
    CheckBox,      // check box with text carrying a value
    Button,
    DefaultButton,  // the button Enter presses
    FolderList,     // owner-drawn list of folders
    Bevel,          // a sunken frame beneath the other controls
    Edit,           // a one-line edit field alone
    AccessLabel,    // a label whose "&" marks the access key of the control after it
    ChoiceList,     // drop-down list to choose from, in the order given
    ReportList,     // report-view list whose rows the window supplies (virtual)
    ProgressBar,
};

struct ControlLayout {
    int id;
    ControlKind kind;
    int parent;  // 0 for the window itself
    // At 120 pixels per inch, relative to the parent's client area. A width
    // or height of 0 means "from the content" (labels) or "fill the parent".
    int left, top, width, height;
    const char* text;  // design-time text, Shift-JIS
    bool enabled;
};

// Every control of the main window, parents before children; among the
// children of one parent the order is the tab order.
const std::vector<ControlLayout>& MainWindowLayout();

const ControlLayout* FindLayout(int id);

// The start-folder dialog's controls; its OK and Cancel buttons carry the
// dialog manager's own identifiers.
const std::vector<ControlLayout>& DirSelectLayout();

// The progress window's controls; its client area is kProgressWidth x
// kProgressHeight design pixels.
const std::vector<ControlLayout>& ProgressLayout();
inline constexpr int kProgressWidth = 484, kProgressHeight = 139;
inline constexpr char kProgressClass[] = "TTarnProgress";

// The board list window's controls; the list fills the client area below
// kBoardListTop design pixels. Its client area opens kBoardListWidth x
// kBoardListHeight design pixels.
const std::vector<ControlLayout>& BoardListLayout();
inline constexpr int kBoardListWidth = 900, kBoardListHeight = 560, kBoardListTop = 118;
inline constexpr char kBoardListClass[] = "TTarnBoardList";
inline constexpr int kDirSelectWidth = 446, kDirSelectHeight = 483;  // client area
extern const char kDirSelectCaption[];

// The window itself, designed at 120 pixels per inch.
inline constexpr int kDesignDpi = 120;
inline constexpr int kWindowLeft = 222, kWindowTop = 56, kWindowWidth = 824, kWindowHeight = 550;
inline constexpr int kFontHeight = 15;  // character height in pixels
extern const char kFontFace[];          // "ＭＳ Ｐゴシック"
extern const char kWindowTitle[];       // "TarnUtil", how a second start finds the window
extern const char kWindowClass[];       // "TForm1"
inline constexpr int kLabelGap = 3;     // between a caption label and its field
inline constexpr int kPageMargin = 8;   // between the page's edge and what stands on it

// Where a label sized to its text stands in its parent: at its designed left
// edge when it ends at least `margin` inside the parent's right edge there,
// otherwise moved left just far enough to do so, but never left of the
// parent's left edge. All in the same pixels.
int FittedLabelLeft(int designedLeft, int width, int parentWidth, int margin);

struct WorkArea {
    int left, top, right, bottom;
};

struct WindowOrigin {
    int left, top;
};

// Where the main window opens: its designed position, moved inside the desktop
// work area when it would start left of or above it, or too close to its right
// or bottom edge to be seen. Width and height never change; the window only
// ever moves to the work area's left or top edge.
WindowOrigin PlaceInWorkArea(WindowOrigin designed, const WorkArea& area);

}  // namespace tarn
