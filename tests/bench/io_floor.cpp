// io_floor: the least work a batch run over a data folder can do, as a yardstick
// for tarnbatch. For every folder directly beneath DATA_FOLDER it reads that
// folder's tarn_BBS.ini, changes one byte, writes the result to a temporary
// file in the same folder, flushes it to disk and moves it over the original:
// the same crash-safe replacement the driver makes, without parsing anything.
//
//   io_floor [--replace-file | --read-only [--rewrite-one-in N]] [--walk] DATA_FOLDER
//
// --read-only only reads every file: the yardstick of a run that reads the
// whole tree and writes little or nothing (tarnbatch --list, --where);
// --rewrite-one-in N also replaces every Nth file read, the same crash-safe
// way: the yardstick of a --where run that writes one board in N.
// --walk finds the files as any program must that does not know the tree's
// shape: it lists DATA_FOLDER and every folder beneath it, and opens the
// settings file in each one (a folder without one costs a failed open).
// The changed byte is the one after "PARAM1=" (toggled between 'a' and 'b'),
// so the files stay valid settings files. On Windows the move is MoveFileEx;
// --replace-file uses ReplaceFile instead, as the driver does.
// Prints "files: N" and exits 0, or names the file that failed and exits 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char kSettings[] = "tarn_BBS.ini";

void ChangeOneByte(std::string& content) {
    const std::size_t at = content.find("PARAM1=");
    if (at != std::string::npos && at + 7 < content.size()) {
        char& c = content[at + 7];
        c = c == 'a' ? 'b' : 'a';
    } else if (!content.empty()) {
        content.back() ^= 1;
    }
}

#ifdef _WIN32

const char kDelimiter = '\\';

std::vector<std::string> Subfolders(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileExA((folder + "\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && std::strcmp(data.cFileName, ".") != 0 &&
            std::strcmp(data.cFileName, "..") != 0)
            names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

bool ReadFileBytes(const std::string& path, std::string& out) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) != FALSE;
    if (ok) {
        out.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = out.empty() || (ReadFile(file, &out[0], static_cast<DWORD>(out.size()), &read, nullptr) &&
                             read == out.size());
    }
    CloseHandle(file);
    return ok;
}

bool Replace(const std::string& path, const std::string& bytes, bool replaceFile) {
    const std::string temporary = path + ".floor~";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    if (ok)
        ok = replaceFile ? ReplaceFileA(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                        nullptr, nullptr) != FALSE
                         : MoveFileExA(temporary.c_str(), path.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok) DeleteFileA(temporary.c_str());
    return ok;
}

#else

const char kDelimiter = '/';

std::vector<std::string> Subfolders(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* d = readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
        bool isFolder = d->d_type == DT_DIR;
        if (d->d_type == DT_UNKNOWN) {
            struct stat st;
            isFolder = stat((folder + "/" + d->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        if (isFolder) names.push_back(d->d_name);
    }
    closedir(dir);
    return names;
}

bool ReadFileBytes(const std::string& path, std::string& out) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok) {
        out.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (ok && done < out.size()) {
            const ssize_t n = read(fd, &out[done], out.size() - done);
            ok = n > 0;
            if (ok) done += static_cast<std::size_t>(n);
        }
    }
    close(fd);
    return ok;
}

bool Replace(const std::string& path, const std::string& bytes, bool) {
    const std::string temporary = path + ".floor~";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) ok = rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) unlink(temporary.c_str());
    return ok;
}

#endif

// The settings file of `folder` and of every folder beneath it, each folder
// listed once, depth first.
void SettingsFilesBeneath(const std::string& folder, std::vector<std::string>& paths) {
    paths.push_back(folder + kDelimiter + kSettings);
    for (const auto& name : Subfolders(folder)) SettingsFilesBeneath(folder + kDelimiter + name, paths);
}

}  // namespace

int main(int argc, char** argv) {
    bool replaceFile = false, readOnly = false, walk = false;
    long rewriteOneIn = 0;
    std::string data;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--replace-file") == 0)
            replaceFile = true;
        else if (std::strcmp(argv[i], "--read-only") == 0)
            readOnly = true;
        else if (std::strcmp(argv[i], "--walk") == 0)
            walk = true;
        else if (std::strcmp(argv[i], "--rewrite-one-in") == 0 && i + 1 < argc)
            rewriteOneIn = std::atol(argv[++i]);
        else
            data = argv[i];
    }
    if (data.empty()) {
        std::fprintf(stderr, "usage: io_floor [--replace-file | --read-only [--rewrite-one-in N]] [--walk] DATA_FOLDER\n");
        return 2;
    }
    long files = 0;
    std::string content;
    std::vector<std::string> paths;
    if (walk) {
        SettingsFilesBeneath(data, paths);
    } else {
        for (const auto& name : Subfolders(data)) paths.push_back(data + kDelimiter + name + kDelimiter + kSettings);
    }
    for (const auto& path : paths) {
        if (!ReadFileBytes(path, content)) continue;  // a folder without the file
        if (readOnly && (rewriteOneIn <= 0 || files % rewriteOneIn != 0)) {
            ++files;
            continue;
        }
        ChangeOneByte(content);
        if (!Replace(path, content, replaceFile)) {
            std::fprintf(stderr, "io_floor: cannot replace %s\n", path.c_str());
            return 1;
        }
        ++files;
    }
    std::printf("files: %ld\n", files);
    return 0;
}
