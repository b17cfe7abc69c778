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
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/unique.h"

namespace platform {

// The character that joins a folder and a name: '\\' on Windows, '/' on POSIX.
extern const char kPathDelimiter;

// True where file names and typed text are UTF-8 (POSIX), converted here.
extern const bool kNamesAreUtf8;

// True when `c` separates path components: '\\' and ':' on Windows, '/' on
// POSIX. Callers must not test the second byte of a double-byte character.
bool IsPathSeparator(char c);

// True when `c` is the first byte of a double-byte character of the code page.
bool IsLeadByte(unsigned char c);

// Where the character that starts at byte `i` of `text` ends: two bytes on
// for a lead byte, one otherwise (also for a lead byte at the very end). Every
// scanner steps with this, so none reads past the end or splits a character.
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
// exists but cannot be opened or read.
std::optional<std::string> ReadFileIfExists(const std::string& path);


enum class WriteOutcome {
    Written,     // the file now holds the new bytes
    Unchanged,   // the file already held exactly these bytes and was left alone
    WouldWrite,  // dry run: the file would have been written (or created)
};

// What a rewrite computes from the file's current content (nothing when the
// file is missing): the complete new content, or nothing when the file is to
// be removed (undoing a file a batch created).
using ComposeFile = std::function<std::optional<std::string>(const std::optional<std::string>& current)>;

// A rewrite made ready: the file read with other writers kept out (Windows:
// open without write sharing; Linux: a read lease, or else a check before the
// replace that the file is still the one read), its new content composed and,
// when it differs, written to a flushed temporary file beside it. The guard
// lasts until Commit() or until the object is dropped (which removes the
// temporary file), so a caller can record the old content durably first.
class PreparedRewrite {
public:
    struct State;
    PreparedRewrite();
    explicit PreparedRewrite(std::unique_ptr<State> state);
    PreparedRewrite(PreparedRewrite&&) noexcept;
    PreparedRewrite& operator=(PreparedRewrite&&) noexcept;
    ~PreparedRewrite();

    const std::string& Path() const;
    const std::optional<std::string>& Old() const;  // nothing: there was no file
    const std::optional<std::string>& New() const;  // nothing: the file goes
    bool Changed() const;

    // Flushes the new content to disk, once; it may be called on another
    // thread than the one that prepared the rewrite, before Commit. False
    // when the flush failed: Commit then throws and the file stays as it was.
    bool Flush();

    // Moves the new content into place (or removes the file) and ends the
    // guard, flushing the new content first if Flush was not called. False
    // when another writer came in between: nothing was changed and the
    // rewrite must be prepared again. Throws FileError(kCreate).
    bool Commit();

private:
    std::unique_ptr<State> state_;
};

// Told the name of a temporary file just before it is created (never the
// name of a file that exists), so that a journal can name it for removal
// after a kill. An error it throws stops the rewrite with nothing created.
using TemporaryNotice = std::function<void(const std::string& temporaryPath)>;

// True when a file of this path is known to be missing without asking the
// system: a listing of its folder made shortly before shows no such name.
// A temporary file's name is then taken as free without a lookup (under Wine
// the lookup of a missing name reads the whole folder).
using KnownMissing = std::function<bool(const std::string& path)>;

// Prepares the rewrite of the file at `path` from what it holds now. A file
// another program is writing is waited for, a few seconds at most (then
// FileError kBusy). Nothing is written for a dry run. On POSIX an existing file
// is found without regard to letter case, as on Windows, and keeps its own
// name. Throws FileError kOpen, kCreate or kBusy.
PreparedRewrite PrepareRewrite(const std::string& path, const ComposeFile& compose, bool dryRun,
                               const TemporaryNotice& beforeTemporary = {}, const KnownMissing& knownMissing = {});

// Rewrites the file at `path` from what it holds at this moment, so that
// another program's write is never undone: PrepareRewrite and Commit, again
// while other writers come in between (a few seconds at most, then kBusy). A
// missing file is created, never over one that appeared meanwhile.
WriteOutcome UpdateFile(const std::string& path, const ComposeFile& compose, bool dryRun);

// Waits before the next attempt at a busy file; throws FileError(kBusy,
// path) after about five seconds of attempts.
void WaitForBusyFile(int attempt, const std::string& path);

// The name of the temporary file that stands beside `target` while it is
// replaced: "~TU" and base-36 digits of `unique`, never longer than the
// target's own name (but at least six characters), so any path the system
// accepts for the target works for it too.
std::string TemporaryPathFor(const std::string& target, unsigned long long unique);
inline constexpr char kTemporaryMark[] = "~TU";

// A file that only grows, for records that must survive a crash; created when
// missing. Flush makes everything appended durable. False on failure.
class AppendFile {
public:
    explicit AppendFile(const std::string& path);
    bool IsOpen() const { return handle_.valid(); }
    bool Append(const std::string& bytes);
    bool Flush();
    std::uint64_t Size() const { return size_; }

private:
    SystemHandle handle_;
    std::uint64_t size_ = 0;
};

// Creates a folder and the folders above it that are missing; true when the
// folder exists afterwards.
bool MakeFolders(const std::string& path);

// Removes a file, or an empty folder; false when it could not be removed.
bool RemoveFile(const std::string& path);
bool RemoveEmptyFolder(const std::string& path);

// Makes a folder's entries durable where the system needs that (POSIX).
bool SyncFolder(const std::string& path);

// The folder where a program keeps its own state for this user:
// %LOCALAPPDATA% on Windows, $XDG_STATE_HOME or ~/.local/state on POSIX.
std::string UserStateFolder();

// One entry of a folder listing.
struct FolderEntry {
    std::string name;      // bare name, no path
    bool isFolder = false; // a folder, or a link that leads to one
    bool isLink = false;   // a symbolic link or junction (may lead anywhere)
    bool isHiddenOrSystem = false;  // marked hidden or system (Windows attributes)
    // False when the name has no exact form in the code page, or would hold
    // '\\', '/' or ':' or be "." or ".." once converted: a path built from
    // `name` would lead elsewhere, so such an entry is never entered.
    bool exactName = true;
    // The name as a report shows it: for an inexact name every character
    // without a form written "<U+XXXX>" (a byte that is no UTF-8 "<0xNN>").
    std::string shownName;
};

// Lists the entries of `folder` whose names match the wildcard `mask` ('*' and
// '?', letter case ignored, "*.*" matching every name), hidden and system
// entries, "." and ".." included, in the system's order. `visit` may list
// other folders. False when the folder cannot be listed at all.
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

// The full path a folder path leads to once every link on it is followed, as
// a report shows it ("<U+XXXX>" for a character with no form in the code
// page); nothing when it leads to no folder.
std::optional<std::string> ResolvedFolder(const std::string& path);

// The process's current working folder: a full path without a trailing
// delimiter, except at a root.
std::string CurrentDirectory();

// `path` as a full path: a relative one taken from the current working folder.
std::string AbsolutePath(const std::string& path);

// Makes `path` the process's current working folder; false when it cannot be
// entered (missing, not a folder, no access).
bool ChangeCurrentDirectory(const std::string& path);

// The program's arguments (without the program's name) in the code page: on
// Windows from the wide command line (in the library tarn_command_line), so no
// byte of a double-byte character is taken for a quote or backslash; on POSIX
// `argv` turned from UTF-8. An argument with a character that has no form in
// the code page names it in `missingCharacter` ("U+00E9"), and its `text` is
// not to be used, not even as a path: the core would look the path up under
// another name.
struct CommandArgument {
    std::string text;
    std::string missingCharacter;
    std::string shown;  // for messages: `text` with "<U+XXXX>" for such characters
};
std::vector<CommandArgument> CommandLineArguments(int argc, char** argv);

// UTF-8 text turned into the code page exactly. False when the text is not
// valid UTF-8 (`missingCharacter` stays empty) or holds a character with no
// form in the code page (named in `missingCharacter`, "U+00E9").
bool Utf8ToSystemText(const std::string& utf8, std::string& text, std::string& missingCharacter);

// Text in the code page turned into UTF-8; a byte that is no character of
// the code page becomes U+FFFD.
std::string SystemTextToUtf8(const std::string& text);

// "U+00E9": how messages name a character.
std::string CharacterName(char32_t codePoint);

// One batch at a time on a machine (the window's and tarnbatch's alike): a
// named mutex on Windows, a lock file in the user's runtime folder on POSIX.
// Acquire waits up to `waitMilliseconds` for a running batch; false if it runs on.
class BatchLock {
public:
    ~BatchLock();
    bool Acquire(unsigned waitMilliseconds);

private:
    SystemHandle handle_;
    bool held_ = false;
};

// The Windows ANSI code page the program runs with; 932 natively, where names
// are converted at the boundary.
unsigned AnsiCodePage();

// Writes UTF-8 text to standard error whatever the code page: on a Windows
// console through the wide functions, elsewhere as UTF-8 bytes.
void WriteErrorUnicode(const std::string& utf8);

// Why `program` does nothing under an ANSI code page other than 932, and how
// to fix it, in Japanese and English, as UTF-8 (a text any code page can
// show through the wide functions).
std::string CodePageRefusal(const std::string& program);


// True when the user reads Japanese: on POSIX the language of the locale's
// messages (the first of LC_ALL, LC_MESSAGES and LANG that is set); on
// Windows the user's default UI language.
bool UserLanguageIsJapanese();

enum class StandardStream { Output, Error };

// Writes text in the code page to standard output or error: on a Windows
// console through the wide functions (Japanese shows right whatever the
// console's code page), redirected as the bytes themselves; on POSIX as UTF-8.
void WriteText(StandardStream stream, const std::string& text);

// Writes bytes to standard output or error exactly as they are (a file's
// content: no conversion, no line-end translation).
void WriteBytes(StandardStream stream, const std::string& bytes);

// True when the stream is shown to a user (a terminal, a console) rather than
// redirected to a file or a pipe.
bool IsTerminal(StandardStream stream);

}  // namespace platform
