// Win32 implementation of the platform layer: the A functions throughout, so
// every path is in the ANSI code page exactly as the core holds it.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/ascii.h"
#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/win32_handle.h"

namespace platform {

const char kPathDelimiter = '\\';

bool IsPathSeparator(char c) { return c == '\\' || c == ':'; }

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

namespace {

bool IsPlainAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c >= 0x7F) return false;
    return true;
}


DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// Writes `bytes` to the new file, with the fault points tests can arm.
bool FillTemporary(HANDLE file, const std::string& bytes) {
    if (faults::Fire(faults::Point::WriteTemporary)) {
        WriteAll(file, bytes.data(), bytes.size() / 2);
        return false;
    }
    if (!WriteAll(file, bytes.data(), bytes.size())) return false;
    if (faults::Fire(faults::Point::FlushTemporary)) return false;
    return FlushFileBuffers(file) != FALSE;
}

// The absolute form of a path, or the path itself when it has none.
std::string FullPath(const std::string& path) {
    const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::string full(needed, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) return path;
    full.resize(length);
    return full;
}

// Wine's ReplaceFileA is not atomic (the target is moved aside before the new
// file takes its name, and a failure between the two leaves no file at all) and
// leaves a stray "rf*.tmp" behind when it fails; there a plain rename is the
// safe replace.
bool RunningUnderWine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// Moves the finished temporary file over the target. ReplaceFileA keeps the
// target's attributes, security and time of creation; it gets full paths,
// which it needs under Wine. Elsewhere the temporary file was created with the
// target's attributes, and MoveFileExA renames it over the target.
bool MoveIntoPlace(const std::string& temporary, const std::string& target, bool targetExists) {
    if (faults::Fire(faults::Point::Replace)) return false;
    if (targetExists && !RunningUnderWine()) {
        if (ReplaceFileA(FullPath(target).c_str(), FullPath(temporary).c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return true;
        // The target was moved aside but the new file could not take its
        // name: finish the move rather than leave no file under that name.
        if (GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) return false;
    }
    return MoveFileExA(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    // Plain ASCII compares the same under every locale; most keys take this way.
    if (IsPlainAscii(a) && IsPlainAscii(b)) {
        return SameAsciiTextIgnoringCase(a, b);
    }
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

int CompareTextIgnoringCase(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size())) -
           CSTR_EQUAL;
}

bool FileExists(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> ReadFileIfExists(const std::string& path) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
        // A folder cannot be opened as a file either; it is no file at all.
        if (error == ERROR_ACCESS_DENIED && DirectoryExists(path)) return std::nullopt;
        throw FileError(FileError::kOpen, path);
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) throw FileError(FileError::kOpen, path);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr))
            throw FileError(FileError::kOpen, path);
        if (read == 0) break;
        bytes.append(buffer, read);
    }
    return bytes;
}

bool FileHoldsExactly(const std::string& path, const std::string& bytes) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    if (!file.valid() || !GetFileSizeEx(file.get(), &size) ||
        static_cast<unsigned long long>(size.QuadPart) != bytes.size())
        return false;
    std::string current(bytes.size(), '\0');
    std::size_t done = 0;
    while (done < current.size()) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(current.size() - done);
        if (!ReadFile(file.get(), &current[done], want, &read, nullptr) || read == 0) return false;
        done += read;
    }
    return current == bytes;
}

void ReplaceFileContents(const std::string& path, const std::string& bytes) {
    const DWORD attributes = Attributes(path);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    // A read-only file is not replaced behind the user's back, nor a folder.
    if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        throw FileError(FileError::kCreate, path);

    // The new file is born with the attributes the old one had.
    const DWORD kept = exists ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)
                              : 0;
    std::string temporary;
    UniqueHandle file;
    if (!faults::Fire(faults::Point::CreateTemporary)) {
        // A stale temporary file of a crashed run only costs a new name.
        for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
            temporary = path + ".tmp~" + std::to_string(GetCurrentProcessId()) + "-" +
                        std::to_string(temporaryCounter++);
            file.reset(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   kept ? kept : FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file.valid() && GetLastError() != ERROR_FILE_EXISTS) break;
        }
    }
    if (!file.valid()) throw FileError(FileError::kCreate, path);

    bool ok = FillTemporary(file.get(), bytes);
    ok = file.Close() && ok;
    if (ok) ok = MoveIntoPlace(temporary, path, exists);
    if (!ok) {
        DeleteFileA(temporary.c_str());
        throw FileError(FileError::kCreate, path);
    }
}

bool ListFolder(const std::string& folder, const std::string& mask,
                const std::function<void(const FolderEntry&)>& visit) {
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileExA(JoinPath(folder, mask).c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find.valid()) return false;
    do {
        FolderEntry entry;
        entry.name = data.cFileName;
        entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.isHiddenOrSystem = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        visit(entry);
    } while (FindNextFileA(find.get(), &data));
    return true;
}

std::optional<FileIdentity> FolderIdentity(const std::string& path) {
    UniqueHandle folder(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder.valid() || !GetFileInformationByHandle(folder.get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::string CurrentDirectory() {
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return std::string();
    std::string buffer(needed, '\0');
    const DWORD length = GetCurrentDirectoryA(needed, &buffer[0]);
    buffer.resize(length < needed ? length : 0);
    return buffer;
}

bool ChangeCurrentDirectory(const std::string& path) {
    return !path.empty() && SetCurrentDirectoryA(path.c_str()) != 0;
}

std::string TerminalToSystemText(const std::string& text) { return text; }

std::string SystemToTerminalText(const std::string& text) { return text; }

}  // namespace platform
