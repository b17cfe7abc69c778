#include "utility/tuDirSelect.h"

#include <commctrl.h>

#include "utility/tuControlIds.h"

namespace tarn {

namespace {

constexpr int kRowHeight = 16;
constexpr int kIndent = 10;  // per folder level

// The three folder glyphs, drawn in a box of `size` pixels at `origin`.
void DrawFolderGlyph(HDC dc, POINT origin, int size, FolderRowKind kind) {
    const int w = size, h = size * 3 / 4, top = origin.y + (size - h) / 2, left = origin.x;
    const ui::Pen outline(CreatePen(PS_SOLID, 1, RGB(128, 96, 0)));
    const ui::Brush back(CreateSolidBrush(RGB(230, 180, 40)));
    const ui::Brush front(CreateSolidBrush(kind == FolderRowKind::Current ? RGB(255, 236, 140) : RGB(250, 210, 80)));
    const auto pen = platform::Select(dc, outline.get());
    {
        // The back of the folder with its tab.
        const auto fill = platform::Select(dc, back.get());
        const POINT body[] = {{left, top},
                              {left + w / 3, top},
                              {left + w / 3 + 2, top + 2},
                              {left + w - 1, top + 2},
                              {left + w - 1, top + h},
                              {left, top + h}};
        Polygon(dc, body, 6);
    }
    const auto fill = platform::Select(dc, front.get());
    if (kind == FolderRowKind::Subfolder) {
        Rectangle(dc, left, top + 4, left + w, top + h + 1);
        return;
    }
    // Open: the front leans forward, showing the inside.
    const POINT flap[] = {{left + w / 4, top + 5}, {left + w, top + 5}, {left + w - w / 4, top + h}, {left, top + h}};
    Polygon(dc, flap, 4);
    if (kind == FolderRowKind::Current) {
        // The current folder shows a sheet inside it.
        const ui::Brush sheet(CreateSolidBrush(RGB(255, 255, 255)));
        const auto paper = platform::Select(dc, sheet.get());
        Rectangle(dc, left + w / 3, top + 1, left + w - 3, top + 6);
    }
}

}  // namespace

TDirSelectDlg::TDirSelectDlg(HWND owner, std::string& startDir, const ui::Scaler& scale, HFONT font)
    : owner_(owner), startDir_(startDir), scale_(scale), font_(font) {}

LRESULT CALLBACK TDirSelectDlg::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR owner) noexcept {
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
            ui::RunReportingErrors(self->Handle(), [self] { self->OpenHighlightedRow(); });
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, ListProc, 0);
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

std::optional<LRESULT> TDirSelectDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
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
            EndDialog(Handle(), IDCANCEL);
            return TRUE;
        case ids::DirectoryListBox1:
            if (HIWORD(wParam) == LBN_DBLCLK) OpenHighlightedRow();
            return TRUE;
        }
        break;
    }
    return std::nullopt;
}

void TDirSelectDlg::OnInitDialog() {
    SetWindowTextA(Handle(), kDirSelectCaption);
    CreateControls(DirSelectLayout(), font_, scale_);
    list_ = Control(ids::DirectoryListBox1);
    SetWindowSubclass(list_, ListProc, 0, reinterpret_cast<DWORD_PTR>(this));

    // The client area as designed, centred over the main window.
    const RECT r = ui::CentredFrame(owner_, scale_(kDirSelectWidth), scale_(kDirSelectHeight),
                                    static_cast<DWORD>(GetWindowLongPtrA(Handle(), GWL_STYLE)),
                                    static_cast<DWORD>(GetWindowLongPtrA(Handle(), GWL_EXSTYLE)));
    SetWindowPos(Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    FillList();
    SetFocus(Control(ids::OKBtn));
}

void TDirSelectDlg::OKBtnClick() {
    // The folder last set or opened, not a row that is only highlighted.
    startDir_ = folders_.Directory();
    EndDialog(Handle(), IDOK);
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
