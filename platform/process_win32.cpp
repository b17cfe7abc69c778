#include "platform/process_win32.h"

#include <windows.h>

#include <vector>

#include "platform/win32_handle.h"

namespace platform {

std::string RawCommandLine() {
    const char* line = GetCommandLineA();
    return line ? std::string(line) : std::string();
}

void StartIndependentProgram(const std::string& commandLine, const std::string& workingFolder) {
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    PROCESS_INFORMATION process = {};
    // CreateProcessA may write into its command line, so it gets a copy.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr,
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
