// The start-folder dialog: a modal dialog with a folder list, in which the user
// picks the folder the batch starts from.
#pragma once

#include <windows.h>

#include <string>

#include "utility/tuDirList.h"
#include "utility/tuWindowKit.h"

namespace tarn {

class TDirSelectDlg : public ui::Window {
public:
    // `startDir` receives the chosen folder when the user presses OK.
    TDirSelectDlg(HWND owner, std::string& startDir, const ui::Scaler& scale, HFONT font);

    // The folder list; set its folder before showing the dialog.
    FolderList& DirectoryListBox1() { return folders_; }

    // Shows the dialog until the user closes it: IDOK or IDCANCEL.
    INT_PTR ShowModal() { return ShowModalDialog(owner_); }

private:
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR owner) noexcept;
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitDialog();
    void OKBtnClick();
    void OpenHighlightedRow();
    void FillList();
    void DrawRow(const DRAWITEMSTRUCT& item) const;

    HWND owner_;
    HWND list_ = nullptr;
    std::string& startDir_;
    const ui::Scaler& scale_;
    HFONT font_;
    FolderList folders_;
};

}  // namespace tarn
