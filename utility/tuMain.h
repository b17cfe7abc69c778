// The utility's main window: the batch settings form.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "settings/qvComFunctions.h"
#include "utility/tuBoardList.h"
#include "utility/tuProgress.h"
#include "utility/tuWindowKit.h"

namespace tarn {

// The values the window's commands share for the whole run.
struct UtilityValues {
    std::string DataDir;   // the executable's folder followed by "data"
    std::string StartDir;  // the batch's start folder
    SectionList DialogList;  // [DIALOG] of the file loaded last (snapshot or reference)
    SectionList BasicList;   // [BASIC] of the same file
    // The folder the utility was started in: the snapshot and the signature
    // are kept there, wherever the dialogs move the current folder meanwhile.
    std::string StartupDir;
};

class TForm1 : public ui::Window, private BoardListOwner {
public:
    static void RegisterWindowClass(HINSTANCE instance);

    explicit TForm1(HINSTANCE instance);
    // Saves the snapshot and the signature, then destroys the window.
    ~TForm1() override;

    // Creates the window and its controls, runs FormCreate and shows it.
    // False when the window cannot be created at all.
    bool Create(int showCommand);

private:
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(int id, int notification);
    LRESULT OnControlColour(HDC dc, HWND control);
    void LayOutPage();

    void FormCreate();
    void FormDestroy();
    void CheckBoxsClick();
    void Button_StartDirClick();
    void Button_RefClick();
    void Button_ConfAllClick();
    void Button_CancelClick();
    void LoadReference(const std::string& path);
    void LoadSignature(const std::string& path);
    void UndoLastBatch();

    // The board list's runs: the ticked fields, a batch over listed boards.
    BatchInput InputOfTickedFields() override;
    void RunOverBoards(std::vector<BoardInput> boards) override;

    // The batch's and the undo's run in the window (see WindowRun), with the
    // window's journals, then its report; a close asked for meanwhile is
    // carried out after the report.
    void RunInWindow(RunRequest request);
    void ShowRunEnd(const RunRequest& request, const RunResult& result, WindowRun& run);
    std::string JournalsFolder() const;

    // The system menu's command that takes the last batch back.
    static constexpr UINT kUndoCommand = 0x0110;
    // The system menu's command that opens the board list.
    static constexpr UINT kBoardListCommand = 0x0120;

    void EnableControl(int id, bool enabled);
    bool IsTicked(int id) const;
    void SetText(int id, const std::string& text);

    HINSTANCE instance_;
    ui::Scaler scale_;
    ui::Font font_;
    std::map<int, bool> painted_;  // value control -> painted in the enabled colour
    UtilityValues values_;
    bool saved_ = false;  // the snapshot and the signature went out already
    bool running_ = false;       // a batch or an undo runs
    bool closePending_ = false;  // a close came during the run
    std::unique_ptr<TProgressWindow> progress_;  // the last run's window
    std::unique_ptr<TBoardList> boardList_;      // made when first opened
};

}  // namespace tarn
