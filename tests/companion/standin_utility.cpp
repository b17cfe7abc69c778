// Test helper: copied into test folders as "TarnUtil.exe", it stands in for
// the windowed utility and records how it was started.
//
// TARN_STANDIN_RECORD  file to write (Windows path). It appears whole (written
//                      aside, then renamed), as lines ended by LF:
//                        cmd=<GetCommandLineA>
//                        dir=<GetCurrentDirectoryA>
//                        module=<GetModuleFileNameA>
//                        flags=<STARTUPINFO dwFlags> show=<wShowWindow> pos=<dwX>,<dwY>
// TARN_STANDIN_RELEASE when set, a file to wait for (up to 20 s) after the
//                      record is written; then "<record>.done" receives
//                      "released" or "timeout".
// Nothing is written to standard output or error; the exit status is 0.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Environment(const char* name) {
    char buffer[2048];
    const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

void WriteWhole(const std::string& path, const std::string& text) {
    const std::string part = path + ".part";
    HANDLE file = CreateFileA(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int main() {
    const std::string record = Environment("TARN_STANDIN_RECORD");
    if (record.empty()) return 0;

    char folder[MAX_PATH * 2] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    char module[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, "flags=%lu\nshow=%u\npos=%lu,%lu\n", startup.dwFlags,
                  static_cast<unsigned>(startup.wShowWindow), startup.dwX, startup.dwY);
    const char* line = GetCommandLineA();
    WriteWhole(record, std::string("cmd=") + (line ? line : "") + "\ndir=" + folder + "\nmodule=" + module + "\n" +
                           numbers);

    const std::string release = Environment("TARN_STANDIN_RELEASE");
    if (release.empty()) return 0;
    const char* outcome = "timeout";
    for (int i = 0; i < 400; ++i) {
        if (GetFileAttributesA(release.c_str()) != INVALID_FILE_ATTRIBUTES) {
            outcome = "released";
            break;
        }
        Sleep(50);
    }
    WriteWhole(record + ".done", outcome);
    return 0;
}
