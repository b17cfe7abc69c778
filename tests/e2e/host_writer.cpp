// A stand-in for the patrol host in the tests of other writers: it rewrites
// board settings files in place, as the host does while it patrols (read the
// file, truncate it, write it anew, with a pause in the middle of the write),
// until a file named "stop" appears in its working folder.
//
// Each file holds the count of the writer's last complete write twice
// (PARAM2 and END). Before each rewrite the writer checks that the file is
// whole (URL, PARAM2 and END present and equal) and holds its own last count:
// a batch that wrote back a torn read, or content older than the writer's
// last write, shows up there. At the end it prints one line per file:
//   <file> <last count> <rewrites> <torn> <older> <busy>
//
//   host_writer FILE...
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

struct Board {
    std::string path;
    long last = 0, rewrites = 0, torn = 0, older = 0, busy = 0;
};

std::string Content(const Board& board, long count) {
    const std::string n = std::to_string(count);
    return "[DIALOG]\r\n_NAME=name\r\n[BASIC]\r\nURL=http://host/" + board.path.substr(board.path.size() - 20) +
           "\r\nNAME=host\r\nPARAM2=" + n + "\r\nEND=" + n + "\r\n";
}

long ValueOf(const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\r\n" + key + "=");
    if (at == std::string::npos) return -1;
    return std::strtol(text.c_str() + at + key.size() + 3, nullptr, 10);
}

void Check(Board& board, const std::string& text) {
    const long param2 = ValueOf(text, "PARAM2"), end = ValueOf(text, "END");
    if (text.find("\r\nURL=http://host/") == std::string::npos || param2 < 0 || param2 != end)
        ++board.torn;
    else if (param2 < board.last)
        ++board.older;
}

#ifdef _WIN32
bool Stopped() { return GetFileAttributesA("stop") != INVALID_FILE_ATTRIBUTES; }
void Pause() { Sleep(1); }

bool Rewrite(Board& board) {
    // Shared as a C runtime's fopen shares: others may read and write.
    HANDLE file = CreateFileA(board.path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string text(65536, '\0');
    DWORD got = 0;
    ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
    text.resize(got);
    Check(board, text);
    const std::string next = Content(board, board.last + 1);
    const DWORD half = static_cast<DWORD>(next.size() / 2);
    DWORD done = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    WriteFile(file, next.data(), half, &done, nullptr);
    Pause();
    WriteFile(file, next.data() + half, static_cast<DWORD>(next.size()) - half, &done, nullptr);
    CloseHandle(file);
    return true;
}
#else
bool Stopped() { return ::access("stop", F_OK) == 0; }
void Pause() { ::usleep(300); }

bool Rewrite(Board& board) {
    const int fd = ::open(board.path.c_str(), O_RDWR);
    if (fd < 0) return false;
    std::string text(65536, '\0');
    const ssize_t got = ::read(fd, &text[0], text.size());
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    Check(board, text);
    const std::string next = Content(board, board.last + 1);
    const std::size_t half = next.size() / 2;
    bool ok = ::ftruncate(fd, 0) == 0 && ::pwrite(fd, next.data(), half, 0) == static_cast<ssize_t>(half);
    Pause();
    ok = ok && ::pwrite(fd, next.data() + half, next.size() - half, static_cast<off_t>(half)) ==
                   static_cast<ssize_t>(next.size() - half);
    ::close(fd);
    return ok;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    std::vector<Board> boards;
    for (int i = 1; i < argc; ++i) boards.push_back({argv[i]});
    while (!Stopped()) {
        for (auto& board : boards) {
            if (Rewrite(board)) {
                ++board.last;
                ++board.rewrites;
            } else {
                ++board.busy;
            }
        }
        Pause();
    }
    for (const auto& b : boards)
        std::printf("%s %ld %ld %ld %ld %ld\n", b.path.c_str(), b.last, b.rewrites, b.torn, b.older, b.busy);
    return 0;
}
