// The few operating-system services the core needs.
//
// Every string here is a byte string in the system's ANSI code page (Shift-JIS,
// code page 932). The Win32 implementation hands these bytes straight to the
// A functions; the POSIX one converts file names to and from UTF-8, the
// encoding Linux file systems use, at this boundary, so the core sees the same
// Shift-JIS names under both systems.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The character that joins a folder and a name: '\\' on Windows, '/' on POSIX.
extern const char kPathDelimiter;

// True where file names and typed text are UTF-8 (POSIX) and are converted at
// this boundary; false on Windows.
extern const bool kNamesAreUtf8;

// True when `c` separates path components: '\\' and ':' on Windows, '/' on
// POSIX. Callers must not test the second byte of a double-byte character.
bool IsPathSeparator(char c);

// True when `c` is the first byte of a double-byte character of the code page.
bool IsLeadByte(unsigned char c);

// Where the character that starts at byte `i` of `text` ends: two bytes on
// for a lead byte, one otherwise. A lead byte at the very end of the text has
// nothing to pair with and is a character of one byte. Every scanner steps
// through text with this, so that none reads past the end or splits a
// double-byte character.
std::size_t NextCharacter(const std::string& text, std::size_t i);

// Locale-aware, case-insensitive equality of two names in the code page.
bool SameTextIgnoringCase(const std::string& a, const std::string& b);

// The order of two texts without regard to letter case in the user's locale:
// negative, zero or positive as `a` sorts before, with or after `b`.
int CompareTextIgnoringCase(const std::string& a, const std::string& b);

bool FileExists(const std::string& path);       // an existing file; a folder does not count
bool DirectoryExists(const std::string& path);  // an existing folder (links followed)

// The whole content of an existing file. Throws FileError(kOpen, path) when it
// cannot be opened or read.
std::string ReadWholeFile(const std::string& path);

// The whole content of the file, or nothing when `path` names no existing
// file (a folder does not count). Throws FileError(kOpen, path) when the file
// exists but cannot be opened or read. One open instead of a probe and an open.
std::optional<std::string> ReadFileIfExists(const std::string& path);

// True when `path` is an existing file holding exactly `bytes` (the size is
// checked first, so a file of another size is not read).
bool FileHoldsExactly(const std::string& path, const std::string& bytes);

// Replaces the file at `path` with `bytes` so that at every moment the file
// holds either its old content or the new one: the bytes go to a temporary
// file in the same folder, which is flushed to disk and then moved over the
// target (keeping the target's attributes or mode). On any failure the target
// is left as it was, the temporary file is removed, and FileError(kCreate,
// path) is thrown.
void ReplaceFileContents(const std::string& path, const std::string& bytes);

enum class UpdateOutcome {
    Unchanged,     // the file already held the new bytes and was left alone
    Replaced,      // the file now holds the new bytes
    WouldReplace,  // dry run: the file would have been replaced (or created)
};

// What a rewrite computes from the file's current content (nothing when the
// file is missing): the complete new content.
using ComposeFile = std::function<std::string(const std::optional<std::string>& current)>;

// Rewrites the file at `path` from what it holds at this moment, so that
// another program writing the same file is never undone: while the file is
// read, the new bytes composed and the file replaced, other writers are kept
// out (Windows: the file stays open without write sharing; Linux: a read
// lease, or where none can be had, a check that the file is still the one
// read). A file another program is writing is waited for and read again; when
// it stays busy for a few seconds FileError(kBusy, path) is thrown. A missing
// file is created, but never over one that appeared meanwhile. The replace is
// crash-safe as in ReplaceFileContents; nothing is written when the bytes do
// not change or `dryRun` is set. Throws FileError kOpen, kCreate or kBusy.
// On POSIX an existing file is found without regard to letter case, as on
// Windows, and rewritten under its own name.
UpdateOutcome UpdateFile(const std::string& path, const ComposeFile& compose, bool dryRun);

// The name of the temporary file that stands beside `target` while it is
// replaced: "~TU" and base-36 digits of `unique`, never longer than the
// target's own name (but at least six characters), so any path the system
// accepts for the target works for it too.
std::string TemporaryPathFor(const std::string& target, unsigned long long unique);
inline constexpr char kTemporaryMark[] = "~TU";

// One entry of a folder listing.
struct FolderEntry {
    std::string name;      // bare name, no path
    bool isFolder = false; // a folder, or a link that leads to one
    bool isLink = false;   // a symbolic link or junction (may lead anywhere)
    bool isHiddenOrSystem = false;  // marked hidden or system (Windows attributes)
    // False when the name has no exact form in the code page, or would hold
    // '\\', '/' or ':' or be "." or ".." once converted: a path built from
    // `name` would then lead somewhere else, so such an entry is never entered.
    bool exactName = true;
    // The name as a report shows it: `name`, except that for an inexact name
    // every character without a form is written "<U+XXXX>" (and a byte that
    // is no UTF-8 "<0xNN>"), the same under every system.
    std::string shownName;
};

// Lists the entries of `folder` whose names match the wildcard `mask` ('*' and
// '?', letter case ignored, "*.*" matching every name), hidden and system
// entries included, "." and ".." included as the system reports them, in the
// order the system returns them. The listing stays open while `visit` runs,
// so `visit` may list other folders. Returns false when the folder cannot be
// listed at all.
bool ListFolder(const std::string& folder, const std::string& mask,
                const std::function<void(const FolderEntry&)>& visit);

// What identifies a folder regardless of the path that reached it: volume
// serial number and file index on Windows, device and inode on POSIX.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity& o) const { return volume == o.volume && index == o.index; }
};

// The identity of the folder a path leads to (links followed); nothing when it
// cannot be opened.
std::optional<FileIdentity> FolderIdentity(const std::string& path);

// The process's current working folder: a full path without a trailing
// delimiter, except at a root.
std::string CurrentDirectory();

// Makes `path` the process's current working folder; false when it cannot be
// entered (missing, not a folder, no access).
bool ChangeCurrentDirectory(const std::string& path);

// The program's arguments (without the program's name) in the code page. On
// Windows they are taken from the wide command line, so that no byte of a
// double-byte character is mistaken for a quote or backslash; on POSIX they
// are `argv` turned from UTF-8 into the code page. On Windows it is in the
// library tarn_command_line, which a program using it links.
// An argument that holds a character with no form in the code page has it
// named in `missingCharacter` ("U+00E9"); its `text` is then not to be used.
// On POSIX such an argument still works as a file name (`pathUsable`): its
// characters stay UTF-8 bytes, which lead to the same file on disk.
struct CommandArgument {
    std::string text;
    std::string missingCharacter;
    bool pathUsable = true;
    std::string shown;  // for messages: `text` with "<U+XXXX>" for such characters
};
std::vector<CommandArgument> CommandLineArguments(int argc, char** argv);

// UTF-8 text turned into the code page exactly. False when the text is not
// valid UTF-8 (`missingCharacter` stays empty) or holds a character with no
// form in the code page (named in `missingCharacter`, "U+00E9").
bool Utf8ToSystemText(const std::string& utf8, std::string& text, std::string& missingCharacter);

// "U+00E9": how messages name a character.
std::string CharacterName(char32_t codePoint);

// Only one batch runs at a time on a machine (the window's and tarnbatch's
// alike): a named mutex on Windows, a lock file in the user's runtime folder
// on POSIX. Waits up to `waitMilliseconds` for a running batch to end; false
// when it did not.
class BatchLock {
public:
    BatchLock();
    ~BatchLock();
    BatchLock(const BatchLock&) = delete;
    BatchLock& operator=(const BatchLock&) = delete;
    bool Acquire(unsigned waitMilliseconds);

private:
    std::intptr_t handle_ = -1;
    bool held_ = false;
};
// The Windows ANSI code page the program runs with; 932 natively, where names
// are converted at the boundary.
unsigned AnsiCodePage();

// Writes UTF-8 text to standard error whatever the code page: on a Windows
// console through the wide functions, elsewhere as UTF-8 bytes.
void WriteErrorUnicode(const std::string& utf8);

// Text typed by the user (command-line arguments) turned into the code page,
// and text in the code page turned into what the terminal shows. On Windows
// both are the identity; on POSIX they convert between UTF-8 and Shift-JIS
// (bytes that do not convert are kept as they are).
std::string TerminalToSystemText(const std::string& text);
std::string SystemToTerminalText(const std::string& text);

}  // namespace platform
