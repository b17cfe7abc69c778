// run_raw REQUEST-FILE
//
// Test helper: starts a program with an exact Windows command line, which a
// Unix argv passed through Wine could not give (Wine quotes its arguments in
// its own way). The request file holds "key=value" lines ended by LF:
//
//   app=Z:\...\prog.exe   the program to start (lpApplicationName), required
//   dir=T:\sub            its working folder; missing or empty: this one's
//   hold=Z:\...\file      a file held open without sharing while it runs
//   show=7                STARTF_USESHOWWINDOW with this show state
//   pos=100,200           STARTF_USEPOSITION with this position
//   cmd=...               the command line: every byte after "cmd=" to the
//                         end of the file, exactly (it must be the last key)
//
// Standard input, output and error are handed to the program. The exit status
// is the program's; 200 and up are this helper's own failures, reported on
// standard error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int Fail(int status, const char* what, const std::string& detail) {
    std::fprintf(stderr, "run_raw: %s %s (error %lu)\n", what, detail.c_str(), GetLastError());
    return status;
}

bool ReadAll(const std::string& path, std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != FALSE) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return ok;
}

struct Request {
    std::string app, dir, hold, cmd;
    int show = -1;
    long x = -1, y = -1;
    bool hasCmd = false;
};

bool Parse(const std::string& text, Request& request) {
    std::size_t at = 0;
    while (at < text.size()) {
        if (text.compare(at, 4, "cmd=") == 0) {
            request.cmd = text.substr(at + 4);
            request.hasCmd = true;
            return true;
        }
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) return false;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "app") request.app = value;
        else if (key == "dir") request.dir = value;
        else if (key == "hold") request.hold = value;
        else if (key == "show") request.show = std::atoi(value.c_str());
        else if (key == "pos") {
            if (std::sscanf(value.c_str(), "%ld,%ld", &request.x, &request.y) != 2) return false;
        } else return false;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: run_raw REQUEST-FILE\n");
        return 200;
    }
    std::string text;
    if (!ReadAll(argv[1], text)) return Fail(201, "cannot read", argv[1]);
    Request request;
    if (!Parse(text, request) || request.app.empty()) return Fail(202, "bad request in", argv[1]);

    HANDLE held = INVALID_HANDLE_VALUE;
    if (!request.hold.empty()) {
        held = CreateFileA(request.hold.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE) return Fail(203, "cannot hold", request.hold);
    }

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    if (request.show >= 0) {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(request.show);
    }
    if (request.x >= 0) {
        startup.dwFlags |= STARTF_USEPOSITION;
        startup.dwX = static_cast<DWORD>(request.x);
        startup.dwY = static_cast<DWORD>(request.y);
    }
    std::vector<char> line(request.cmd.begin(), request.cmd.end());
    line.push_back('\0');
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(request.app.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        request.dir.empty() ? nullptr : request.dir.c_str(), &startup, &process))
        return Fail(204, "cannot start", request.app);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    return static_cast<int>(status);
}
