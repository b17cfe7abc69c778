// The start-folder dialog: a modal dialog with a folder list, in which the user
// picks the folder the batch starts from.
#pragma once

#include <windows.h>

#include <string>

#include "utility/tuDirList.h"
#include "utility/tuWindowKit.h"

namespace tarn {

class TDirSelectDlg {
public:
    // `startDir` receives the chosen folder when the user presses OK.
    TDirSelectDlg(HWND owner, std::string& startDir, const ui::Scaler& scale, HFONT font);
    TDirSelectDlg(const TDirSelectDlg&) = delete;
    TDirSelectDlg& operator=(const TDirSelectDlg&) = delete;

    // The folder list; set its folder before showing the dialog.
    FolderList& DirectoryListBox1() { return folders_; }

    // Shows the dialog until the user closes it: IDOK or IDCANCEL.
    INT_PTR ShowModal();

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OKBtnClick();
    void OpenHighlightedRow();
    void FillList();
    void DrawRow(const DRAWITEMSTRUCT& item) const;

    HWND owner_;
    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
    std::string& startDir_;
    const ui::Scaler& scale_;
    HFONT font_;
    FolderList folders_;
};

}  // namespace tarn
