// Shared helpers of the unit tests: a private temporary folder per test, and
// plain file access that does not go through the code under test.
//
// Paths come in two forms. The core takes byte strings in code page 932;
// `TempFolder::Path` builds them with the platform's own delimiter. The tests
// create and inspect files through std::filesystem, whose paths are built from
// UTF-8 (`TempFolder::Fs`, written with u8"" literals where a name is
// Japanese). Relative names use '/' in both forms.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/platform.h"

#ifdef _WIN32
// The few Win32 calls the tests need, declared here so that no test includes
// <windows.h> and its macros.
extern "C" {
__declspec(dllimport) int __stdcall SetFileAttributesA(const char* path, unsigned long attributes);
__declspec(dllimport) unsigned long __stdcall GetFileAttributesA(const char* path);
__declspec(dllimport) void* __stdcall CreateFileA(const char* path, unsigned long access,
                                                  unsigned long share, void* security,
                                                  unsigned long disposition, unsigned long flags,
                                                  void* templateFile);
__declspec(dllimport) int __stdcall CloseHandle(void* handle);
}
#endif

namespace tarn_test {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        static unsigned counter = 0;
        std::random_device random;
        for (int attempt = 0;; ++attempt) {
            const fs::path candidate = fs::temp_directory_path() /
                                       ("tarn_unit_" + std::to_string(random()) + "_" + std::to_string(counter++));
            std::error_code ec;
            if (fs::create_directory(candidate, ec)) {
                root_ = candidate;
                break;
            }
            if (attempt == 50) throw std::runtime_error("cannot create a temporary folder");
        }
        core_ = root_.string();
        for (unsigned char c : core_)
            if (c >= 0x80) ADD_FAILURE() << "the temporary folder's path is not plain ASCII: " << core_;
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder itself, as the core sees it and as std::filesystem does.
    const std::string& path() const { return core_; }
    const fs::path& fs() const { return root_; }

    // A path inside the folder for the core; `relative` is in code page 932.
    std::string Path(const std::string& relative) const {
        std::string path = core_;
        std::size_t start = 0;
        for (;;) {
            const std::size_t slash = relative.find('/', start);
            path += platform::kPathDelimiter;
            path += relative.substr(start, slash - start);
            if (slash == std::string::npos) return path;
            start = slash + 1;
        }
    }

    // The same path for std::filesystem; `relativeUtf8` is in UTF-8.
    fs::path Fs(const std::string& relativeUtf8) const { return root_ / fs::u8path(relativeUtf8); }

    // Creates a folder, or several, (and their parents) inside this one.
    fs::path MakeFolder(const std::string& relativeUtf8) const {
        const fs::path p = Fs(relativeUtf8);
        fs::create_directories(p);
        return p;
    }
    void MakeFolders(std::initializer_list<const char*> relativeUtf8) const {
        for (const char* relative : relativeUtf8) MakeFolder(relative);
    }

private:
    fs::path root_;
    std::string core_;
};

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file " + path.u8string());
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read test file " + path.u8string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names in a folder (UTF-8), sorted; shows left-over temporary files.
inline std::vector<std::string> EntryNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

// Gives a file a modification time well in the past and returns it, so that a
// later rewrite would show.
inline fs::file_time_type MakeOld(const fs::path& path) {
    const auto old = fs::last_write_time(path) - std::chrono::hours(24 * 30);
    fs::last_write_time(path, old);
    return fs::last_write_time(path);
}

// The exact message of a file error, spelled out byte for byte: "ファイル " +
// path + " は開けません" (kOpen), " を作成できません" (kCreate) or
// " は他のプログラムが書き込み中です" (kBusy).
inline std::string FileErrorText(platform::FileError::Kind kind, const std::string& path) {
    static const char* const kEndings[] = {  // in the order of FileError::Kind
        " \x82\xCD\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1",
        " \x82\xF0\x8D\xEC\x90\xAC\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1",
        " \x82\xCD\x91\xBC\x82\xCC\x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80\x82\xAA\x8F\x91\x82\xAB\x8D\x9E"
        "\x82\xDD\x92\x86\x82\xC5\x82\xB7",
    };
    return "\x83\x74\x83\x40\x83\x43\x83\x8B " + path + kEndings[kind];
}

// Runs `action` and checks that it raises the FileError of `kind` for `path`,
// with its exact message.
inline void ExpectFileError(const std::function<void()>& action, platform::FileError::Kind kind,
                            const std::string& path) {
    try {
        action();
        ADD_FAILURE() << "no error for " << path;
    } catch (const platform::FileError& e) {
        EXPECT_EQ(e.kind(), kind) << path;
        EXPECT_EQ(e.path(), path);
        EXPECT_EQ(std::string(e.what()), FileErrorText(kind, path));
    }
}

// Makes `folder` the current working folder while this object lives.
class InCurrentFolder {
public:
    explicit InCurrentFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
    ~InCurrentFolder() { fs::current_path(previous_); }
    InCurrentFolder(const InCurrentFolder&) = delete;
    InCurrentFolder& operator=(const InCurrentFolder&) = delete;

private:
    fs::path previous_;
};

// Disarms every fault point when a test ends, whatever it armed.
class FaultGuard {
public:
    FaultGuard() { platform::faults::DisarmAll(); }
    ~FaultGuard() { platform::faults::DisarmAll(); }
};

// A file that exists but cannot be opened for reading while this object lives:
// on Windows it is held open without sharing; on POSIX (where root reads any
// file) the path is a socket, which open() refuses. Returns false from
// `ready()` when the set-up is not possible here.
class UnreadableFile {
public:
    explicit UnreadableFile(const TempFolder& folder, const std::string& name);
    ~UnreadableFile();
    bool ready() const { return ready_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool ready_ = false;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int socket_ = -1;
#endif
};

}  // namespace tarn_test
