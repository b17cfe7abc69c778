// Win32 implementation of the platform layer: the A functions throughout, so
// every path is in the ANSI code page exactly as the core holds it.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/ascii.h"
#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/rewrite_state.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"

namespace platform {

const bool kNamesAreUtf8 = false;

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

// A finished temporary file, still open (with the right to rename it), and its name.
struct Temporary {
    std::string path;
    UniqueHandle file;
};

// Text in a code page (the ANSI one unless told) as UTF-16.
std::wstring ToWide(const std::string& text, UINT codePage = CP_ACP, DWORD flags = 0) {
    if (text.empty()) return std::wstring();
    const int size = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(size > 0 ? size : 0, L'\0');
    if (size > 0) MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

// `path` as the system's own (NT) form of a full path, which a rename through
// a handle takes: \??\C:\... or \??\UNC\server\share\...
std::wstring SystemPath(const std::string& path) {
    const std::wstring full = ToWide(FullPath(path));
    if (full.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + full.substr(4);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

// Gives the open file the name `target`, over an existing file only when
// `replace`: one request on the handle at hand, where MoveFileEx opens the
// file by its name again.
bool RenameOpenFile(HANDLE file, const std::string& target, bool replace) {
    const std::wstring name = SystemPath(target);
    const std::size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, name.data(), nameBytes);
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

// Moves the finished temporary file over the target. On Windows ReplaceFileA
// keeps the target's attributes, security and time of creation; it gets full
// paths. Elsewhere (under Wine, and for a file that was missing) the temporary
// file was born with the target's attributes and is renamed over it through
// its own handle.
bool MoveIntoPlace(Temporary& temporary, const std::string& target, bool targetExists) {
    if (faults::Fire(faults::Point::Replace)) return false;
    if (targetExists && !RunningUnderWine()) {
        temporary.file.Close();  // ReplaceFileA opens it by name
        if (ReplaceFileA(FullPath(target).c_str(), FullPath(temporary.path).c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return true;
        // The target was moved aside but the new file could not take its
        // name: finish the move rather than leave no file under that name.
        if (GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) return false;
        return MoveFileExA(temporary.path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
               FALSE;
    }
    // A file that was missing is created without replacing one that
    // appeared meanwhile.
    return RenameOpenFile(temporary.file.get(), target, targetExists);
}

std::atomic<unsigned> temporaryCounter{0};

bool IsSharingError(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// A read-only file is not replaced behind the user's back, nor a folder.
void RefuseUnwritable(const std::string& path, DWORD attributes) {
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) throw FileError(FileError::kCreate, path);
}

// True when another program has the file open for writing right now.
bool IsHeldByWriter(const std::string& path) {
    UniqueHandle probe(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    return !probe.valid() && IsSharingError(GetLastError());
}

// What an open file's attributes, size and time of last write were when it was
// read. Asked of the open handle for what these cost on the file's own
// descriptor: GetFileInformationByHandle also asks for the volume's serial
// number, which under Wine is a round trip through the mount manager for every
// file.
struct FileStamp {
    DWORD attributes = 0;
    ULONGLONG size = 0;
    LARGE_INTEGER lastWrite{};
};

bool StampOf(HANDLE file, FileStamp& stamp) {
    FILE_BASIC_INFO basic;
    LARGE_INTEGER size;
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) || !GetFileSizeEx(file, &size))
        return false;
    stamp.attributes = basic.FileAttributes;
    stamp.size = static_cast<ULONGLONG>(size.QuadPart);
    stamp.lastWrite = basic.LastWriteTime;
    return true;
}

std::string ReadAll(HANDLE file, const std::string& path, ULONGLONG expectedSize) {
    auto bytes = ReadToEnd(static_cast<std::size_t>(expectedSize), [file](char* buffer, std::size_t size) {
        DWORD read = 0;
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        return ReadFile(file, buffer, ask, &read, nullptr) ? static_cast<long long>(read) : -1LL;
    });
    if (!bytes) throw FileError(FileError::kOpen, path);
    return *std::move(bytes);
}

// Writes `bytes` to a new temporary file beside `path`, born with the
// attributes the target has and kept open for its flush and its move into
// place. Throws FileError(kCreate, path), leaving no temporary file.
Temporary WriteTemporary(const std::string& path, const std::string& bytes, DWORD targetAttributes,
                         const TemporaryNotice& beforeTemporary = {}, const KnownMissing& knownMissing = {}) {
    const DWORD kept = targetAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    Temporary temporary;
    UniqueHandle& file = temporary.file;
    if (!faults::Fire(faults::Point::CreateTemporary)) {
        // A stale temporary file of a crashed run only costs a new name.
        const unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^ GetTickCount64();
        for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
            temporary.path = TemporaryPathFor(path, seed * 2654435761ull + temporaryCounter++);
            if (beforeTemporary) {
                const bool free = (knownMissing && knownMissing(temporary.path)) ||
                                  GetFileAttributesA(temporary.path.c_str()) == INVALID_FILE_ATTRIBUTES;
                if (!free) continue;  // not ours: never named
                beforeTemporary(temporary.path);
            }
            file.reset(CreateFileA(temporary.path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                   kept ? kept : FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file.valid() && GetLastError() != ERROR_FILE_EXISTS) break;
        }
    }
    if (!file.valid()) throw FileError(FileError::kCreate, path);
    if (!faults::FillTemporary(file.get(), bytes, WriteAll)) {
        file.Close();
        DeleteFileA(temporary.path.c_str());
        throw FileError(FileError::kCreate, path);
    }
    return temporary;
}

// ---- text in the code page and in UTF-16 -------------------------------------

// The code point at `i` (a surrogate pair is one), stepping past it.
char32_t NextCodePoint(const wchar_t* text, std::size_t length, std::size_t& i) {
    const char32_t c = text[i++];
    if (c >= 0xD800 && c < 0xDC00 && i < length && text[i] >= 0xDC00 && text[i] < 0xE000)
        return 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
    return c;
}

// The exact form of wide characters in the code page, or nothing: no "best
// fit" (é is not e, ¥ is not \\), checked by converting back.
std::optional<std::string> ExactForm(const wchar_t* text, std::size_t length) {
    if (length == 0) return std::string();
    BOOL usedDefault = FALSE;
    const int n = static_cast<int>(length);
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, n, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return std::nullopt;
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, n, &bytes[0], size, nullptr, &usedDefault);
    if (usedDefault || ToWide(bytes) != std::wstring(text, length)) return std::nullopt;
    return bytes;
}

// The text in the code page with every character that has no exact form
// written "<U+XXXX>"; the name of the first such character in `missing`.
std::string ShownText(const wchar_t* text, std::size_t length, std::string* missing = nullptr) {
    std::string shown;
    for (std::size_t i = 0; i < length;) {
        const std::size_t start = i;
        const char32_t c = NextCodePoint(text, length, i);
        if (auto form = ExactForm(text + start, i - start)) {
            shown += *form;
        } else {
            shown += "<" + CharacterName(c) + ">";
            if (missing && missing->empty()) *missing = CharacterName(c);
        }
    }
    return shown;
}

// True when a converted name could be used in a path as the name it came
// from: no separator of its own, not "." or "..".
bool IsUsableName(const std::string& name) {
    if (name == "." || name == ".." || name.empty()) return false;
    for (std::size_t i = 0, next; i < name.size(); i = next) {
        next = NextCharacter(name, i);
        const char c = name[i];
        if (next == i + 1 && (c == '\\' || c == '/' || c == ':')) return false;
    }
    return true;
}

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
    return ReadAll(file.get(), path, static_cast<ULONGLONG>(size.QuadPart));
}

namespace {

struct Win32Rewrite : PreparedRewrite::State {
    ~Win32Rewrite() override {
        if (temporary.path.empty()) return;
        temporary.file.Close();  // opened without sharing: closed before it can go
        DeleteFileA(temporary.path.c_str());
    }

    bool Commit() override {
        // The rename cannot take the place of a file that is still open, so
        // the guard ends here, a moment before the replace; a writer that
        // opens the file in that moment makes the replace fail, and the file
        // is read again.
        file.Close();
        const bool done = next ? MoveIntoPlace(temporary, path, exists) : DeleteFileA(path.c_str()) != FALSE;
        const DWORD error = GetLastError();
        if (done) {
            temporary.file.Close();  // now the file itself
            temporary.path.clear();
            return true;
        }
        // A file that appeared meanwhile, or one another program holds open
        // or has written since it was read (it may have closed it again
        // before the check), is read again; any other failure is final.
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS || IsHeldByWriter(path) || ChangedSinceRead())
            return false;
        throw FileError(FileError::kCreate, path);
    }

    bool FlushTemporary() override { return FlushFileBuffers(temporary.file.get()) != FALSE; }

    bool ChangedSinceRead() const {
        WIN32_FILE_ATTRIBUTE_DATA now{};
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &now)) return exists;
        const ULONGLONG size = (static_cast<ULONGLONG>(now.nFileSizeHigh) << 32) | now.nFileSizeLow;
        const LONGLONG lastWrite = static_cast<LONGLONG>(
            (static_cast<ULONGLONG>(now.ftLastWriteTime.dwHighDateTime) << 32) | now.ftLastWriteTime.dwLowDateTime);
        return !exists || size != atRead.size || lastWrite != atRead.lastWrite.QuadPart;
    }

    FileStamp atRead;
    UniqueHandle file;
    Temporary temporary;
    bool exists = false;
};

}  // namespace

PreparedRewrite PrepareRewrite(const std::string& path, const ComposeFile& compose, bool dryRun,
                               const TemporaryNotice& beforeTemporary, const KnownMissing& knownMissing) {
    auto state = std::make_unique<Win32Rewrite>();
    state->path = path;
    state->dryRun = dryRun;
    DWORD attributes = 0;
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0) WaitForBusyFile(attempt, path);
        // Opened without write sharing: nobody else writes the file while it
        // is read and its new content is made.
        state->file.reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (state->file.valid()) {
            if (!StampOf(state->file.get(), state->atRead)) throw FileError(FileError::kOpen, path);
            attributes = state->atRead.attributes;
            state->exists = true;
            state->old = ReadAll(state->file.get(), path, state->atRead.size);
            break;
        }
        const DWORD error = GetLastError();
        if (IsSharingError(error)) continue;  // another program is writing it
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            // Something that is there but cannot be opened (a link leading
            // nowhere) is not a missing file.
            if (Attributes(path) != INVALID_FILE_ATTRIBUTES) throw FileError(FileError::kOpen, path);
            break;
        }
        if (error == ERROR_ACCESS_DENIED && DirectoryExists(path)) {
            attributes = FILE_ATTRIBUTE_DIRECTORY;  // replaced by nothing: refused below
            state->exists = true;
            break;
        }
        throw FileError(FileError::kOpen, path);
    }
    state->next = compose(state->old);
    state->changed = state->next != state->old;
    if (!state->changed || dryRun) return PreparedRewrite(std::move(state));

    RefuseUnwritable(path, attributes);
    if (state->next) state->temporary = WriteTemporary(path, *state->next, attributes, beforeTemporary, knownMissing);
    return PreparedRewrite(std::move(state));
}

bool ListFolder(const std::string& folder, const std::string& mask,
                const std::function<void(const FolderEntry&)>& visit) {
    // Listed through the W functions: the A functions would hand back a name
    // without a Shift-JIS form in "best fit" (café as cafe, a¥b as a\\b),
    // which leads to another folder or out of this one.
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileExW(ToWide(JoinPath(folder, mask)).c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find.valid()) return false;
    do {
        FolderEntry entry;
        const std::size_t length = wcslen(data.cFileName);
        const std::wstring wideName(data.cFileName, length);
        const auto exact = ExactForm(data.cFileName, length);
        entry.exactName = exact.has_value() && (IsUsableName(*exact) || wideName == L"." || wideName == L"..");
        entry.name = exact ? *exact : std::string();
        entry.shownName = exact ? *exact : ShownText(data.cFileName, length);
        entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.isHiddenOrSystem = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        visit(entry);
    } while (FindNextFileW(find.get(), &data));
    return true;
}

namespace {

// A folder opened only to ask about it (links followed), shared with everyone.
UniqueHandle OpenFolderForQuery(const std::string& path) {
    return UniqueHandle(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace

std::optional<FileIdentity> FolderIdentity(const std::string& path) {
    const UniqueHandle folder = OpenFolderForQuery(path);
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder.valid() || !GetFileInformationByHandle(folder.get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::optional<std::string> ResolvedFolder(const std::string& path) {
    const UniqueHandle folder = OpenFolderForQuery(path);
    if (!folder.valid()) return std::nullopt;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(folder.get(), &final[0], static_cast<DWORD>(final.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return std::nullopt;
        const bool fits = length < final.size();
        final.resize(length);
        if (fits) break;
    }
    // "\\?\C:\..." and "\\?\UNC\server\..." as the paths the programs use.
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) final.replace(0, 8, L"\\\\");
    else if (final.rfind(L"\\\\?\\", 0) == 0) final.erase(0, 4);
    return ShownText(final.data(), final.size());
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

std::string AbsolutePath(const std::string& path) { return FullPath(path); }

bool Utf8ToSystemText(const std::string& utf8, std::string& text, std::string& missingCharacter) {
    missingCharacter.clear();
    const std::wstring wide = ToWide(utf8, CP_UTF8, MB_ERR_INVALID_CHARS);
    if (wide.empty() && !utf8.empty()) return false;
    text = ShownText(wide.data(), wide.size(), &missingCharacter);
    return missingCharacter.empty();
}

std::string SystemTextToUtf8(const std::string& text) {
    const std::wstring wide = ToWide(text);
    if (wide.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], size, nullptr, nullptr);
    return utf8;
}

unsigned AnsiCodePage() { return GetACP(); }

bool IsTerminal(StandardStream stream) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE),
                          &mode) != FALSE;
}

bool SystemHandleTraits::Close(type h) noexcept { return CloseHandle(reinterpret_cast<HANDLE>(h)) != FALSE; }

AppendFile::AppendFile(const std::string& path)
    : handle_(reinterpret_cast<std::intptr_t>(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))) {
    LARGE_INTEGER size;
    if (handle_.valid() && GetFileSizeEx(reinterpret_cast<HANDLE>(handle_.get()), &size))
        size_ = static_cast<std::uint64_t>(size.QuadPart);
}

bool AppendFile::Append(const std::string& bytes) {
    if (!handle_.valid() || !WriteAll(reinterpret_cast<HANDLE>(handle_.get()), bytes.data(), bytes.size()))
        return false;
    size_ += bytes.size();
    return true;
}

bool AppendFile::Flush() { return handle_.valid() && FlushFileBuffers(reinterpret_cast<HANDLE>(handle_.get())); }

bool MakeFolders(const std::string& path) {
    if (DirectoryExists(path)) return true;
    const std::string parent = FolderPart(path);
    if (parent.size() > 3 && parent.size() < path.size()) MakeFolders(parent.substr(0, parent.size() - 1));
    return CreateDirectoryA(path.c_str(), nullptr) || DirectoryExists(path);
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }
bool RemoveEmptyFolder(const std::string& path) { return RemoveDirectoryA(path.c_str()) != FALSE; }
bool SyncFolder(const std::string&) { return true; }

std::string UserStateFolder() {
    char buffer[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer) return std::string(buffer, length);
    return CurrentDirectory();
}

std::wstring WideFromUtf8(const std::string& utf8) { return ToWide(utf8, CP_UTF8); }

std::string ShownSystemText(const wchar_t* text, std::size_t length, std::string& missing) {
    missing.clear();
    return ShownText(text, length, &missing);
}

std::optional<std::string> ExactSystemText(const std::wstring& text, std::string& missing) {
    missing.clear();
    const std::string shown = ShownText(text.data(), text.size(), &missing);
    if (!missing.empty()) return std::nullopt;
    return shown;
}


namespace {

HANDLE StandardHandle(StandardStream stream) {
    return GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

// A console shows wide characters right under any console code page (and
// Wine's terminal gets them as UTF-8); a file or pipe gets `bytes` themselves.
void WriteToConsoleOrBytes(HANDLE handle, const std::wstring& wide, const std::string& bytes) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || bytes.empty()) return;
    DWORD mode = 0, done = 0;
    if (GetConsoleMode(handle, &mode) &&
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr))
        return;
    WriteAll(handle, bytes.data(), bytes.size());
}

}  // namespace

void WriteErrorUnicode(const std::string& utf8) {
    WriteToConsoleOrBytes(GetStdHandle(STD_ERROR_HANDLE), ToWide(utf8, CP_UTF8), utf8);
}

BatchLock::~BatchLock() {
    if (held_ && handle_.valid()) ReleaseMutex(reinterpret_cast<HANDLE>(handle_.get()));
}

bool BatchLock::Acquire(unsigned waitMilliseconds) {
    if (held_) return true;
    if (!handle_.valid()) {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, "KolvexTarnUtilBatch");
        // Without the lock the batch still runs: each file is guarded on its
        // own all the same.
        if (!mutex) return held_ = true;
        handle_.reset(reinterpret_cast<std::intptr_t>(mutex));
    }
    // An abandoned mutex is a batch that was killed: its files are whole, and
    // this one may go on.
    const DWORD result = WaitForSingleObject(reinterpret_cast<HANDLE>(handle_.get()), waitMilliseconds);
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return held_;
}

bool UserLanguageIsJapanese() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE; }

void WriteText(StandardStream stream, const std::string& text) {
    WriteToConsoleOrBytes(StandardHandle(stream), ToWide(text, 932), text);
}

void WriteBytes(StandardStream stream, const std::string& bytes) {
    const HANDLE handle = StandardHandle(stream);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) WriteAll(handle, bytes.data(), bytes.size());
}

}  // namespace platform
