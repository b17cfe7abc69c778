#include "platform/process_win32.h"

#include <windows.h>

#include <vector>

#include "platform/win32_handle.h"

namespace platform {

std::string RawCommandLine() {
    const char* line = GetCommandLineA();
    return line ? std::string(line) : std::string();
}

void StartIndependentProgram(const std::string& program, const std::string& workingFolder) {
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    PROCESS_INFORMATION process = {};
    // The program is named on its own, so a path with spaces ("C:\Program
    // Files\...") is never taken for a shorter one ("C:\Program.exe"); its
    // command line is the path as it always was. CreateProcessA may write
    // into the command line, so it gets a copy.
    std::vector<char> line(program.begin(), program.end());
    line.push_back('\0');
    if (CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr,
                       workingFolder.c_str(), &startup, &process)) {
        // The utility runs on by itself; this process keeps nothing of it.
        UniqueHandle thread(process.hThread);
        UniqueHandle child(process.hProcess);
    }
}

void WriteStandardOutput(const std::string& bytes) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace platform
