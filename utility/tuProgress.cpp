#include "utility/tuProgress.h"

#include <commctrl.h>

#include <chrono>
#include <exception>
#include <thread>

#include "batch/RunReport.h"
#include "utility/tuControlIds.h"
#include "utility/tuLayout.h"

namespace tarn {

// ---- the progress window -------------------------------------------------------

TProgressWindow::TProgressWindow(HWND owner, HINSTANCE instance, const ui::Scaler& scale, HFONT font,
                                 std::atomic<bool>& cancel)
    : owner_(owner), instance_(instance), scale_(scale), font_(font), cancel_(cancel) {}

void TProgressWindow::Show(const std::string& title, long total) {
    if (Handle()) return;
    total_ = total;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const RECT r = ui::CentredFrame(owner_, scale_(kProgressWidth), scale_(kProgressHeight), style, WS_EX_DLGMODALFRAME);
    if (!CreateTopLevel(instance_, kProgressClass, title.c_str(), style, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT,
                        r.left, r.top, r.right - r.left, r.bottom - r.top, owner_))
        return;
    CreateControls(ProgressLayout(), font_, scale_);
    ui::SetLabelText(Control(ids::Label_Progress), title);
    HWND bar = Control(ids::ProgressBar_Run);
    if (total_ > 0) {
        SendMessageA(bar, PBM_SETRANGE32, 0, total_);
    } else {
        SetWindowLongPtrA(bar, GWL_STYLE, GetWindowLongPtrA(bar, GWL_STYLE) | PBS_MARQUEE);
        SendMessageA(bar, PBM_SETMARQUEE, TRUE, 30);
    }
    ShowWindow(Handle(), SW_SHOWNORMAL);
    UpdateWindow(Handle());
}

void TProgressWindow::ShowProgress(const RunProgress& progress) {
    // A long path shows its end, where the board's folder is.
    HWND label = Control(ids::Label_Folder);
    ui::SetLabelText(label, ui::TailFittingWidth(label, progress.CurrentFolder(), scale_(kProgressWidth - 2 * 12)));
    ui::SetLabelText(Control(ids::Label_Counts), RunReport(Language::Japanese, FrontEnd::Window).Counts(progress));
    if (total_ > 0) SendMessageA(Control(ids::ProgressBar_Run), PBM_SETPOS, static_cast<WPARAM>(progress.folders), 0);
}

void TProgressWindow::Update(const RunProgress& progress) {
    if (Handle() && !finished_) ShowProgress(progress);
}

void TProgressWindow::Finish(const std::string& headline, const RunProgress& progress, bool complete) {
    if (!Handle()) return;
    finished_ = true;
    ui::SetLabelText(Control(ids::Label_Progress), headline);
    ShowProgress(progress);
    if (total_ <= 0) {
        // The marquee stops: a full bar for a run that went through, an empty one otherwise.
        HWND bar = Control(ids::ProgressBar_Run);
        SendMessageA(bar, PBM_SETMARQUEE, FALSE, 0);
        SetWindowLongPtrA(bar, GWL_STYLE, GetWindowLongPtrA(bar, GWL_STYLE) & ~static_cast<LONG_PTR>(PBS_MARQUEE));
        SendMessageA(bar, PBM_SETRANGE32, 0, 1);
        SendMessageA(bar, PBM_SETPOS, complete ? 1 : 0, 0);
    }
    SetWindowTextA(Control(ids::Button_Stop), "閉じる");
    EnableWindow(Control(ids::Button_Stop), TRUE);
}

std::optional<LRESULT> TProgressWindow::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    const bool stop = message == WM_CLOSE ||
                      (message == WM_COMMAND && (LOWORD(wParam) == ids::Button_Stop || LOWORD(wParam) == IDCANCEL));
    if (!stop) return std::nullopt;
    if (finished_) {
        DestroyWindowNow();
    } else {
        // Stops after the file being written: every file whole, the journal
        // covering what was done.
        cancel_ = true;
        EnableWindow(Control(ids::Button_Stop), FALSE);
    }
    return 0;
}

// ---- a run on its own thread -----------------------------------------------------

WindowRun::WindowRun(HWND owner, HINSTANCE instance, const ui::Scaler& scale, HFONT font)
    : owner_(owner), window_(std::make_unique<TProgressWindow>(owner, instance, scale, font, cancel_)) {}

RunResult WindowRun::Run(const std::string& title, long total, const Work& work) {
    using Clock = std::chrono::steady_clock;
    title_ = title;
    total_ = total;
    std::atomic<bool> done{false};
    RunResult result;
    std::exception_ptr error;
    EnableWindow(owner_, FALSE);
    std::thread worker([&] {
        try {
            result = work(progress_, cancel_);
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        PostMessageW(owner_, WM_NULL, 0, 0);  // wakes the loop below
    });

    const auto started = Clock::now();
    auto shown = started;
    bool quit = false;
    WPARAM quitCode = 0;
    while (!done) {
        MsgWaitForMultipleObjectsEx(0, nullptr, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {  // kept for the main loop, after the run
                quit = true;
                quitCode = msg.wParam;
                continue;
            }
            if (window_->Handle() && IsDialogMessageW(window_->Handle(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const auto now = Clock::now();
        if (!window_->Handle() && now - started >= std::chrono::milliseconds(500)) window_->Show(title, total_);
        if (now - shown >= std::chrono::milliseconds(100)) {
            shown = now;
            window_->Update(progress_);
        }
    }
    worker.join();
    EnableWindow(owner_, TRUE);
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    if (error) std::rethrow_exception(error);
    return result;
}

std::unique_ptr<TProgressWindow> WindowRun::Finish(const std::string& headline, bool complete) {
    if (window_) {
        window_->Show(title_, total_);
        window_->Finish(headline, progress_, complete);
    }
    return std::move(window_);
}

}  // namespace tarn
