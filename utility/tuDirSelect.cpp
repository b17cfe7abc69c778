#include "utility/tuDirSelect.h"

#include <commctrl.h>

#include <vector>

#include "utility/tuControlIds.h"

namespace tarn {

namespace {

const char kCaption[] = "一括設定の開始フォルダを選んでください";
constexpr int kClientWidth = 446, kClientHeight = 483, kRowHeight = 16;
constexpr int kIndent = 10;  // per folder level

enum class DialogKind { Bevel, FolderList, DefaultButton, Button };

struct DialogControl {
    int id;
    DialogKind kind;
    int left, top, width, height;
    const char* text;
};

// In tab order (OK, Cancel, the list); the bevel is drawn beneath them all.
const DialogControl kControls[] = {
    {ids::OKBtn, DialogKind::DefaultButton, 330, 393, 94, 31, "OK"},
    {ids::CancelBtn, DialogKind::Button, 330, 433, 94, 31, "キャンセル"},
    {ids::DirectoryListBox1, DialogKind::FolderList, 16, 16, 305, 449, ""},
    {ids::Bevel1, DialogKind::Bevel, 10, 2, 423, 471, ""},
};

// A dialog template without controls; the controls are made from the table
// above in pixels, so that they scale like the main window's.
struct alignas(DWORD) EmptyDialogTemplate {
    DLGTEMPLATE header;
    WORD menu = 0, windowClass = 0, title = 0;
};

void CreateDialogControl(const DialogControl& c, HWND dialog, HFONT font, const ui::Scaler& scale) {
    const char* cls = "BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE, exStyle = 0;
    switch (c.kind) {
    case DialogKind::Bevel:
        cls = "STATIC";
        style |= SS_SUNKEN | WS_CLIPSIBLINGS | WS_DISABLED;
        break;
    case DialogKind::FolderList:
        cls = "LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case DialogKind::DefaultButton:
        style |= WS_TABSTOP | BS_DEFPUSHBUTTON;
        break;
    case DialogKind::Button:
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
    }
    HWND control = CreateWindowExA(exStyle, cls, c.text, style, scale(c.left), scale(c.top), scale(c.width),
                                   scale(c.height), dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)), nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (c.kind == DialogKind::Bevel) SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// The three folder glyphs, drawn in a box of `size` pixels at `origin`.
void DrawFolderGlyph(HDC dc, POINT origin, int size, FolderRowKind kind) {
    const int w = size, h = size * 3 / 4, top = origin.y + (size - h) / 2, left = origin.x;
    ui::Pen outline(CreatePen(PS_SOLID, 1, RGB(128, 96, 0)));
    ui::Brush back(CreateSolidBrush(RGB(230, 180, 40)));
    ui::Brush front(CreateSolidBrush(kind == FolderRowKind::Current ? RGB(255, 236, 140) : RGB(250, 210, 80)));
    ui::Selection pen(dc, outline.get());
    {
        // The back of the folder with its tab.
        ui::Selection fill(dc, back.get());
        const POINT body[] = {{left, top},
                              {left + w / 3, top},
                              {left + w / 3 + 2, top + 2},
                              {left + w - 1, top + 2},
                              {left + w - 1, top + h},
                              {left, top + h}};
        Polygon(dc, body, 6);
    }
    ui::Selection fill(dc, front.get());
    if (kind == FolderRowKind::Subfolder) {
        Rectangle(dc, left, top + 4, left + w, top + h + 1);
        return;
    }
    // Open: the front leans forward, showing the inside.
    const POINT flap[] = {{left + w / 4, top + 5}, {left + w, top + 5}, {left + w - w / 4, top + h}, {left, top + h}};
    Polygon(dc, flap, 4);
    if (kind == FolderRowKind::Current) {
        // The current folder shows a sheet inside it.
        ui::Brush sheet(CreateSolidBrush(RGB(255, 255, 255)));
        ui::Selection paper(dc, sheet.get());
        Rectangle(dc, left + w / 3, top + 1, left + w - 3, top + 6);
    }
}

}  // namespace

TDirSelectDlg::TDirSelectDlg(HWND owner, std::string& startDir, const ui::Scaler& scale, HFONT font)
    : owner_(owner), startDir_(startDir), scale_(scale), font_(font) {}

INT_PTR TDirSelectDlg::ShowModal() {
    EmptyDialogTemplate dialog{};
    dialog.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    dialog.header.cx = 100;
    dialog.header.cy = 100;
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner_, GWLP_HINSTANCE));
    return DialogBoxIndirectParamA(instance, &dialog.header, owner_, DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK TDirSelectDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        reinterpret_cast<TDirSelectDlg*>(lParam)->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<TDirSelectDlg*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    if (ui::RunReportingErrors(dialog, [&] { result = self->HandleMessage(message, wParam, lParam); })) return result;
    return TRUE;
}

LRESULT CALLBACK TDirSelectDlg::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR owner) {
    auto* self = reinterpret_cast<TDirSelectDlg*>(owner);
    switch (message) {
    case WM_GETDLGCODE:
        // Enter opens the highlighted row instead of pressing OK.
        if (lParam) {
            const MSG* msg = reinterpret_cast<const MSG*>(lParam);
            if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
                return DefSubclassProc(list, message, wParam, lParam) | DLGC_WANTMESSAGE;
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            ui::RunReportingErrors(self->dialog_, [self] { self->OpenHighlightedRow(); });
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, ListProc, 0);
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

INT_PTR TDirSelectDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = scale_(kRowHeight);
        return TRUE;
    case WM_DRAWITEM:
        DrawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OKBtnClick();
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog_, IDCANCEL);
            return TRUE;
        case ids::DirectoryListBox1:
            if (HIWORD(wParam) == LBN_DBLCLK) OpenHighlightedRow();
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void TDirSelectDlg::OnInitDialog() {
    SetWindowTextA(dialog_, kCaption);
    SendMessageA(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (const DialogControl& control : kControls) CreateDialogControl(control, dialog_, font_, scale_);
    list_ = GetDlgItem(dialog_, ids::DirectoryListBox1);
    SetWindowSubclass(list_, ListProc, 0, reinterpret_cast<DWORD_PTR>(this));

    // The client area as designed, centred over the main window.
    RECT frame{0, 0, scale_(kClientWidth), scale_(kClientHeight)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_EXSTYLE)));
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT owner{};
    GetWindowRect(owner_, &owner);
    SetWindowPos(dialog_, nullptr, owner.left + (owner.right - owner.left - width) / 2,
                 owner.top + (owner.bottom - owner.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    FillList();
    SetFocus(GetDlgItem(dialog_, ids::OKBtn));
}

void TDirSelectDlg::OKBtnClick() {
    // The folder last set or opened, not a row that is only highlighted.
    startDir_ = folders_.Directory();
    EndDialog(dialog_, IDOK);
}

void TDirSelectDlg::OpenHighlightedRow() {
    const LRESULT row = SendMessageA(list_, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) return;
    folders_.OpenRow(static_cast<std::size_t>(row));
    FillList();
}

void TDirSelectDlg::FillList() {
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list_, LB_RESETCONTENT, 0, 0);
    for (const FolderRow& row : folders_.Rows())
        SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.name.c_str()));
    SendMessageA(list_, LB_SETCURSEL, folders_.CurrentRowIndex(), 0);
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
}

void TDirSelectDlg::DrawRow(const DRAWITEMSTRUCT& item) const {
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= folders_.Rows().size()) return;
    const FolderRow& row = folders_.Rows()[item.itemID];
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int glyph = scale_(kRowHeight) - 2;
    const int left = item.rcItem.left + scale_(2) + row.depth * scale_(kIndent);
    DrawFolderGlyph(dc, {left, item.rcItem.top + 1}, glyph, row.kind);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text = item.rcItem;
    text.left = left + glyph + scale_(4);
    DrawTextA(dc, row.name.c_str(), static_cast<int>(row.name.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &item.rcItem);
}

}  // namespace tarn
