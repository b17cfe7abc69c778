// window_probe: finds a top-level window by class and title from another
// process and reports on it or closes it, for the release tests and the demo
// run (scripts/run.sh).
//
//   window_probe wait CLASS TITLE SECONDS    until the window exists and is
//                                            visible; prints "pid=N"
//   window_probe close CLASS TITLE SECONDS   posts WM_CLOSE to it and waits up
//                                            to SECONDS for its process to end;
//                                            prints "exit=N" (its exit status)
//   window_probe text CLASS TITLE ID         prints the text of its child
//                                            control ID (Shift-JIS bytes)
//   window_probe absent CLASS TITLE          succeeds when no such window exists
//
// Exit status: 0 done; 1 no such window (for "absent": there is one); 2 the
// process did not end in time; 3 the process could not be opened; 4 the
// command line was wrong.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Print(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

HWND Find(const char* windowClass, const char* title) {
    HWND window = FindWindowA(windowClass, title);
    return window && IsWindowVisible(window) ? window : nullptr;
}

// Polls for the window for up to `seconds`.
HWND WaitFor(const char* windowClass, const char* title, double seconds) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        if (HWND window = Find(windowClass, title)) return window;
        if (GetTickCount64() >= deadline) return nullptr;
        Sleep(50);
    }
}

int Usage() {
    Print("usage: window_probe wait|close CLASS TITLE SECONDS | text CLASS TITLE ID | absent CLASS TITLE\n");
    return 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Usage();
    const std::string command = argv[1];
    const char* windowClass = argv[2];
    const char* title = argv[3];

    if (command == "absent") {
        return argc == 4 && !FindWindowA(windowClass, title) ? 0 : (argc == 4 ? 1 : Usage());
    }
    if (argc != 5) return Usage();

    if (command == "wait") {
        HWND window = WaitFor(windowClass, title, std::atof(argv[4]));
        if (!window) return 1;
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        Print("pid=" + std::to_string(pid) + "\n");
        return 0;
    }

    if (command == "close") {
        HWND window = WaitFor(windowClass, title, std::atof(argv[4]));
        if (!window) return 1;
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
        if (!process) return 3;
        PostMessageA(window, WM_CLOSE, 0, 0);
        const DWORD waited = WaitForSingleObject(process, static_cast<DWORD>(std::atof(argv[4]) * 1000));
        DWORD status = 0;
        GetExitCodeProcess(process, &status);
        CloseHandle(process);
        if (waited != WAIT_OBJECT_0) return 2;
        Print("exit=" + std::to_string(status) + "\n");
        return 0;
    }

    if (command == "text") {
        HWND window = Find(windowClass, title);
        HWND control = window ? GetDlgItem(window, std::atoi(argv[4])) : nullptr;
        // GetDlgItem finds direct children only; the utility's controls sit
        // inside a tab page and group boxes, so search the whole tree too.
        if (window && !control) {
            struct Search {
                int id;
                HWND found;
            } search = {std::atoi(argv[4]), nullptr};
            EnumChildWindows(
                window,
                [](HWND child, LPARAM param) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(param);
                    if (GetDlgCtrlID(child) != s->id) return TRUE;
                    s->found = child;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&search));
            control = search.found;
        }
        if (!control) return 1;
        // Read as UTF-16 and convert here: cross-process ANSI text messages
        // are not reliable under Wine.
        wchar_t wide[4096] = {};
        const LRESULT n = SendMessageW(control, WM_GETTEXT, sizeof wide / sizeof wide[0], reinterpret_cast<LPARAM>(wide));
        char bytes[8192] = {};
        const int m = WideCharToMultiByte(932, 0, wide, static_cast<int>(n), bytes, sizeof bytes, nullptr, nullptr);
        Print(std::string(bytes, m > 0 ? m : 0) + "\n");
        return 0;
    }
    return Usage();
}
