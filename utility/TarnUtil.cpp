// The batch-settings utility's program entry: one instance at a time. A second
// start brings the running instance's window to the front and ends.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"
#include "utility/tuLayout.h"
#include "utility/tuMain.h"

namespace {

const char kInstanceMutex[] = "KolvexTarnUtil";

void RaiseRunningInstance() {
    // The running instance may not have made its window yet, or be closing
    // it; then there is nothing to raise and this start ends all the same.
    if (HWND running = FindWindowA(tarn::kWindowClass, tarn::kWindowTitle)) SetForegroundWindow(running);
}

// The loop takes messages in their wide form, so that a character typed into
// a field reaches it as typed, not already turned into the code page ("?" or
// a look-alike for one that has no Shift-JIS form); the batch then refuses it
// by name instead of writing something else.
int RunMessageLoop(HWND window) {
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) break;
        // Tab, Shift+Tab, access keys and Esc work as in a dialog, in the
        // main window and in the windows it owns (the board list).
        HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : window;
        if (IsDialogMessageW(top, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

// Every name and text is handled in code page 932; under another ANSI code
// page the window would show garbage and write "?" for Japanese. The message
// goes through the wide functions, which show Japanese on any system.
bool RefuseOtherCodePage() {
    if (GetACP() == 932) return false;
    const std::wstring text = platform::WideFromUtf8(platform::CodePageRefusal("TarnUtil"));
    MessageBoxW(nullptr, text.c_str(), L"TarnUtil", MB_OK | MB_ICONSTOP);
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    if (RefuseOtherCodePage()) return 3;
    // Testing for the marker and creating it is one call, so that two starts
    // at the same moment cannot both go on. The handle stays open until the
    // process is gone: a start during the exit save is a second start too.
    platform::UniqueHandle marker(CreateMutexA(nullptr, FALSE, kInstanceMutex));
    if (marker.valid() && GetLastError() == ERROR_ALREADY_EXISTS) {
        RaiseRunningInstance();
        return 0;
    }

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    tarn::TForm1::RegisterWindowClass(instance);
    tarn::TForm1 form(instance);
    if (!form.Create(showCommand)) return 1;
    RunMessageLoop(form.Handle());
    return 0;  // the form saves and closes as it goes
}
