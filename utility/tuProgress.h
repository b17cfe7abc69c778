// A batch or an undo run from the window: the engine works on a thread of its
// own while the window's thread goes on handling messages, and a small
// progress window owned by the main window shows how far it got.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "batch/BatchRun.h"
#include "batch/tuConfAll.h"
#include "utility/tuWindowKit.h"

namespace tarn {

// The progress window: the run's title, the folder being written, the counts
// so far, a bar and 中止 (at the end: 閉じる, and the last counts stay). The
// bar shows the share of boards done when their number is known, a marquee
// otherwise.
class TProgressWindow : public ui::Window {
public:
    TProgressWindow(HWND owner, HINSTANCE instance, const ui::Scaler& scale, HFONT font,
                    std::atomic<bool>& cancel);

    // `total`: the number of boards the run visits; 0 when not known.
    void Show(const std::string& title, long total);
    void Update(const RunProgress& progress);
    // The run ended (`complete`: every board done): `headline` and the last
    // counts stay; the button closes.
    void Finish(const std::string& headline, const RunProgress& progress, bool complete);

private:
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void ShowProgress(const RunProgress& progress);

    HWND owner_;
    HINSTANCE instance_;
    const ui::Scaler& scale_;
    HFONT font_;
    std::atomic<bool>& cancel_;
    bool finished_ = false;
    long total_ = 0;
};

// Runs `work` on a worker thread. The window's thread meanwhile handles
// messages, so the main window repaints and is never taken for hung, while
// the main window itself is disabled (its input held off until the end).
// The progress window appears when the run takes longer than half a second.
// Returns what `work` returned; rethrows an error it raised.
//
// A thread rather than pumping messages from inside the engine: the engine
// stays free of window code, and a slow file (a busy one is waited for up to
// seconds) never stops the window from answering.
class WindowRun {
public:
    using Work = std::function<RunResult(RunProgress& progress, const std::atomic<bool>& cancel)>;

    WindowRun(HWND owner, HINSTANCE instance, const ui::Scaler& scale, HFONT font);

    // `total`: the number of boards the run visits, 0 when not known.
    RunResult Run(const std::string& title, long total, const Work& work);
    // The progress window showing the end of the run (shown now if the run
    // was too short for it), for the caller to keep until the next run.
    std::unique_ptr<TProgressWindow> Finish(const std::string& headline, bool complete);
    const RunProgress& Progress() const { return progress_; }

private:
    HWND owner_;
    std::string title_;
    long total_ = 0;
    RunProgress progress_;
    std::atomic<bool> cancel_{false};
    std::unique_ptr<TProgressWindow> window_;
};

}  // namespace tarn
