// The board list window: every board under the start folder with its
// values, filtered by a field's pattern, sorted by a column, and the main
// window's fields applied to exactly the boards shown. The boards are read on
// a thread of their own and the list fills as they come, so that the window
// answers at once also over thousands of boards.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "batch/tuConfAll.h"
#include "utility/tuBoardRows.h"
#include "utility/tuWindowKit.h"

namespace tarn {

// What the list asks of the main window, which owns every run.
class BoardListOwner {
public:
    virtual ~BoardListOwner() = default;
    // The main window's ticked fields and signature, as its batch writes
    // them; throws the refusal of a value it cannot write.
    virtual BatchInput InputOfTickedFields() = 0;
    // Runs a batch over exactly these boards, as every batch of the window.
    virtual void RunOverBoards(std::vector<BoardInput> boards) = 0;
};

class TBoardList : public ui::Window {
public:
    // `excludedFolder`: never read (the journals' folder), as a batch never enters it.
    TBoardList(BoardListOwner& owner, HINSTANCE instance, const ui::Scaler& scale, HFONT font,
               std::string excludedFolder);
    ~TBoardList() override;

    // Creates the window over `main` and starts reading the boards of `startFolder`.
    bool Open(HWND main, const std::string& startFolder);
    // Reads the boards again (after a run, or from another start folder).
    void Reload(const std::string& startFolder);

private:
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(int id, int notification);
    std::optional<LRESULT> OnNotify(const NMHDR& header, LPARAM lParam);
    void LayOut();
    void AddColumns();
    void MarkSortColumn();
    void StartLoading();
    void StopLoading();
    void TakeLoadedRows();
    void ShowSecretsAsTicked();
    void PreviewFromReplacementTexts();
    void ApplyFilter();
    void ShowRows();
    void ApplyToShown();
    void PreviewReplacement();
    void RunReplacement();
    void EndPreview();
    bool ReadyToRun();
    void ExportTable();
    void ImportTable();
    void Close();

    BoardListOwner& owner_;
    HINSTANCE instance_;
    const ui::Scaler& scale_;
    HFONT font_;
    std::string excludedFolder_;
    std::string startFolder_;
    bool loading_ = false;
    BoardRows rows_;

    // Filled by the reading thread, taken by the window's timer.
    std::thread reader_;
    std::atomic<bool> stopReading_{false};
    std::atomic<bool> readingDone_{false};
    std::mutex loadedMutex_;
    std::vector<ListedBoard> loaded_;
    std::string readError_;
};

}  // namespace tarn
