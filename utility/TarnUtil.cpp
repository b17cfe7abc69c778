// The batch-settings utility's program entry: one instance at a time. A second
// start brings the running instance's window to the front and ends.
#include <windows.h>

#include <commctrl.h>

#include "platform/win32_handle.h"
#include "utility/tuLayout.h"
#include "utility/tuMain.h"

namespace {

const char kInstanceMutex[] = "KolvexTarnUtil";

void RaiseRunningInstance() {
    // The running instance may not have made its window yet, or be closing
    // it; then there is nothing to raise and this start ends all the same.
    if (HWND running = FindWindowA(tarn::kWindowClass, tarn::kWindowTitle)) SetForegroundWindow(running);
}

int RunMessageLoop(HWND window) {
    MSG msg;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) break;
        // Tab and Shift+Tab move through the controls as in a dialog.
        if (IsDialogMessageA(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // Testing for the marker and creating it is one call, so that two starts
    // at the same moment cannot both go on. The handle stays open until the
    // process is gone: a start during the exit save is a second start too.
    platform::UniqueHandle marker(CreateMutexA(nullptr, FALSE, kInstanceMutex));
    if (marker.valid() && GetLastError() == ERROR_ALREADY_EXISTS) {
        RaiseRunningInstance();
        return 0;
    }

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    tarn::TForm1::RegisterWindowClass(instance);
    tarn::TForm1 form(instance);
    if (!form.Create(showCommand)) return 1;
    RunMessageLoop(form.Handle());
    form.Destroy();
    return 0;
}
