// POSIX implementation of the platform layer. File names on disk are UTF-8;
// the core works in Shift-JIS (code page 932), so names are converted at this
// boundary with glibc's iconv.
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/rewrite_state.h"
#include "platform/wildcard.h"

namespace platform {

const bool kNamesAreUtf8 = true;

const char kPathDelimiter = '/';

bool IsPathSeparator(char c) { return c == '/'; }

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

namespace {

// ---- text conversion --------------------------------------------------------

bool IsAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

struct IconvTraits {
    using type = iconv_t;
    static type Empty() noexcept { return reinterpret_cast<iconv_t>(-1); }
    static bool Valid(type cd) noexcept { return cd != Empty(); }
    static bool Close(type cd) noexcept { return iconv_close(cd) == 0; }
};

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}

    // The converted text, or the input unchanged when it does not convert.
    std::string operator()(const std::string& in) { return Strict(in).value_or(in); }

    // The converted text, or nothing when it does not convert.
    std::optional<std::string> Strict(const std::string& in) {
        if (IsAscii(in)) return in;
        if (!cd_.valid()) return std::nullopt;
        iconv(cd_.get(), nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 4, '\0');
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char* dst = &out[0];
        std::size_t dstLeft = out.size();
        if (iconv(cd_.get(), &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    Unique<IconvTraits> cd_;
};

// One converter per thread: a conversion keeps its state in the converter,
// and folders are listed on another thread than the walk's.
Converter& ToUtf8Converter() {
    static thread_local Converter convert("UTF-8", "CP932");
    return convert;
}

Converter& FromUtf8Converter() {
    static thread_local Converter convert("CP932", "UTF-8");
    return convert;
}

std::string ToUtf8(const std::string& sjis) { return ToUtf8Converter()(sjis); }
std::string FromUtf8(const std::string& utf8) { return FromUtf8Converter()(utf8); }

// The exact Shift-JIS form of UTF-8 text: it must convert and convert back to
// the same bytes (glibc maps some characters one way only, U+301C to 0x8160
// among them, which Windows does not).
std::optional<std::string> ExactForm(const std::string& utf8) {
    auto sjis = FromUtf8Converter().Strict(utf8);
    if (!sjis || ToUtf8Converter().Strict(*sjis) != utf8) return std::nullopt;
    return sjis;
}

// Length of the UTF-8 sequence at `i`, or 0 when the bytes there are no UTF-8.
std::size_t Utf8SequenceLength(const std::string& s, std::size_t i, char32_t& codePoint) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > s.size()) return 0;
    codePoint = length == 1 ? c : c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (t & 0x3F);
    }
    return length;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// The text in the code page with every character that has no exact form (and
// every control character) written "<U+XXXX>" and every byte that is no UTF-8
// "<0xNN>"; the name of the first character without a form in `missing`.
std::string ShownText(const std::string& utf8, std::string* missing = nullptr) {
    std::string shown;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = Utf8SequenceLength(utf8, i, c);
        if (length == 0) {
            char byte[8];
            std::snprintf(byte, sizeof byte, "<0x%02X>", static_cast<unsigned char>(utf8[i++]));
            shown += byte;
            continue;
        }
        if (length == 1 && IsControl(static_cast<unsigned char>(c))) {
            shown += "<" + CharacterName(c) + ">";  // shown, not acted upon
        } else if (auto form = ExactForm(utf8.substr(i, length))) {
            shown += *form;
        } else {
            shown += "<" + CharacterName(c) + ">";
            if (missing && missing->empty()) *missing = CharacterName(c);
        }
        i += length;
    }
    return shown;
}

// The name the operating system knows a core path by: each part converted on
// its own, so that a part with no Shift-JIS form (kept as its UTF-8 bytes)
// does not spoil the others.
std::string Native(const std::string& path) {
    if (IsAscii(path)) return path;
    std::string native;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        native += ToUtf8(path.substr(start, slash - start));
        if (slash == std::string::npos) return native;
        native += '/';
        start = slash + 1;
    }
}

// ---- comparison -------------------------------------------------------------

// One character of `s` at `i`, with ASCII and full-width Latin letters folded
// to upper case (Shift-JIS ａ-ｚ are 0x82 0x81-0x9A, Ａ-Ｚ are 0x82 0x60-0x79).
unsigned FoldedCharacterAt(const std::string& s, std::size_t& i) {
    const std::size_t start = i;
    i = NextCharacter(s, start);
    const auto c = static_cast<unsigned char>(s[start]);
    if (i == start + 2) {
        auto t = static_cast<unsigned char>(s[start + 1]);
        if (c == 0x82 && t >= 0x81 && t <= 0x9A) t = static_cast<unsigned char>(t - 0x21);
        return (static_cast<unsigned>(c) << 8) | t;
    }
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    return c;
}

// ---- files ------------------------------------------------------------------

struct DescriptorTraits {
    using type = int;
    static type Empty() noexcept { return -1; }
    static bool Valid(type fd) noexcept { return fd >= 0; }
    static bool Close(type fd) noexcept { return ::close(fd) == 0; }
};
using FileDescriptor = Unique<DescriptorTraits>;

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The file a write should land in: a symbolic link is written through, so the
// link itself survives.
std::string ResolveLink(const std::string& native) {
    struct stat st;
    if (::lstat(native.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return native;
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(native.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : native;
}

std::atomic<unsigned> temporaryCounter{0};

struct CloseDir {
    void operator()(DIR* d) const { ::closedir(d); }
};


// The native path of a file, found as Windows finds it: when no file has
// exactly that name, one whose name differs only in letter case is taken
// (TARN_BBS.INI for tarn_BBS.ini), so that it is rewritten under its own name
// instead of getting a second file beside it.
std::string NativeFile(const std::string& path) {
    const std::string native = Native(path);
    struct stat st;
    if (::lstat(native.c_str(), &st) == 0 || errno != ENOENT) return native;
    const std::size_t slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : native.substr(0, slash + 1);
    const std::string wanted = FilePart(path);
    std::unique_ptr<DIR, CloseDir> dir(::opendir(folder.c_str()));
    if (!dir) return native;
    while (dirent* d = ::readdir(dir.get()))
        if (SameTextIgnoringCase(FromUtf8(d->d_name), wanted))
            return (slash == std::string::npos ? std::string() : folder) + d->d_name;
    return native;
}

// Copies the extended attributes of the old file to its replacement: Wine
// keeps a file's hidden and system attributes in "user.DOSATTRIB". False when
// one that could be read could not be set.
bool CopyExtendedAttributes(int from, int to) {
    const ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size <= 0) return true;
    std::string names(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::flistxattr(from, &names[0], names.size());
    if (got < 0) return true;
    names.resize(static_cast<std::size_t>(got));
    for (std::size_t i = 0; i < names.size(); i += std::strlen(&names[i]) + 1) {
        const char* name = &names[i];
        const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
        if (length < 0) continue;
        std::string value(static_cast<std::size_t>(length), '\0');
        const ssize_t read = ::fgetxattr(from, name, &value[0], value.size());
        if (read < 0) continue;
        // Only the user's own attributes must come along; the system's
        // (security, trusted) are the system's to set.
        if (::fsetxattr(to, name, value.data(), static_cast<std::size_t>(read), 0) != 0 &&
            std::strncmp(name, "user.", 5) == 0)
            return false;
    }
    return true;
}

// A new temporary file beside the file it will replace, open for writing.
struct Temporary {
    std::string path;  // native
    FileDescriptor file;
};

// Writes `bytes` to a new temporary file beside `target` (a native path) with
// the old file's mode, owner and extended attributes (`old` open on it and
// `oldState` its state, or -1 for a new file); the file is kept open for its
// flush. Throws FileError(kCreate, path), leaving no temporary file.
Temporary WriteTemporary(const std::string& path, const std::string& target, const std::string& bytes, int old,
                         const struct stat& oldState, const TemporaryNotice& beforeTemporary = {},
                         const KnownMissing& knownMissing = {}) {
    const bool exists = old >= 0;
    const mode_t mode = exists ? (oldState.st_mode & 07777) : 0666;
    if (faults::Fire(faults::Point::CreateTemporary)) throw FileError(FileError::kCreate, path);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    static const unsigned long long seed =
        (static_cast<unsigned long long>(::getpid()) << 20) ^ static_cast<unsigned long long>(::time(nullptr));
    Temporary made;
    std::string& temporary = made.path;
    int raw = -1;
    for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        temporary = folder + TemporaryPathFor(target.substr(folder.size()), seed * 2654435761ull + temporaryCounter++);
        struct stat existing;
        if (beforeTemporary) {
            const std::string named = FromUtf8(temporary);
            const bool free = (knownMissing && knownMissing(named)) || ::lstat(temporary.c_str(), &existing) != 0;
            if (!free) continue;  // not ours: never named
            beforeTemporary(named);
        }
        raw = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (raw < 0 && errno != EEXIST) break;
    }
    FileDescriptor& fd = made.file;
    fd = FileDescriptor(raw);
    if (!fd.valid()) throw FileError(FileError::kCreate, path);
    bool ok = faults::FillTemporary(fd.get(), bytes, WriteAll);
    if (ok && exists) {
        // open() applied the umask, and the file is ours: give it the old
        // one's mode and owner where they differ.
        struct stat now;
        const bool known = ::fstat(fd.get(), &now) == 0;
        if (!known || (now.st_mode & 07777) != mode) ::fchmod(fd.get(), mode);
        if ((!known || now.st_uid != oldState.st_uid || now.st_gid != oldState.st_gid) &&
            ::fchown(fd.get(), oldState.st_uid, oldState.st_gid) != 0) { /* not ours to change: keep ours */ }
        ok = CopyExtendedAttributes(old, fd.get());
    }
    if (!ok) {
        fd.Close();
        ::unlink(temporary.c_str());
        throw FileError(FileError::kCreate, path);
    }
    return made;
}

// Moves the finished temporary file into place. A file that was missing is
// created without replacing one that appeared meanwhile (EEXIST).
bool MoveIntoPlace(const std::string& temporary, const std::string& target, bool targetExists) {
    if (faults::Fire(faults::Point::Replace)) {
        errno = EIO;
        return false;
    }
    if (!targetExists) {
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
        if (errno != EINVAL && errno != ENOSYS) return false;
    }
    return ::rename(temporary.c_str(), target.c_str()) == 0;
}

// A lease is broken by a signal to its holder, SIGIO, whose default action
// ends the process; the holder asks for the lease's state instead.
void IgnoreLeaseBreakSignal() {
    static const bool done = [] {
        struct sigaction current {};
        if (::sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) ::signal(SIGIO, SIG_IGN);
        return true;
    }();
    (void)done;
}

bool SameState(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// The content of the file open on `fd`, whose state `st` is; nothing for a
// folder.
std::optional<std::string> ReadAll(int fd, const struct stat& st, const std::string& path) {
    if (S_ISDIR(st.st_mode)) return std::nullopt;
    auto bytes = ReadToEnd(static_cast<std::size_t>(st.st_size), [fd](char* buffer, std::size_t size) {
        for (;;) {
            const ssize_t n = ::read(fd, buffer, size);
            if (n >= 0 || errno != EINTR) return static_cast<long long>(n);
        }
    });
    if (!bytes) throw FileError(FileError::kOpen, path);
    return bytes;
}

std::optional<std::string> ReadAll(int fd, const std::string& path) {
    struct stat st;
    if (::fstat(fd, &st) != 0) throw FileError(FileError::kOpen, path);
    return ReadAll(fd, st, path);
}

// True when a converted name could be used in a path as the name it came
// from, and the same name would be usable under Windows: no '\\' or ':', not
// "." or "..". Nor CR LF, which would end the path's line in the journal.
bool IsUsableName(const std::string& utf8) {
    return !utf8.empty() && utf8 != "." && utf8 != ".." && utf8.find_first_of("\\:") == std::string::npos &&
           utf8.find("\r\n") == std::string::npos;
}

// Opens the file at `native` (`opened`: where a link on it leads) for
// reading; an invalid descriptor when there is none. A link leading nowhere is
// there, but cannot be read: FileError(kOpen), as for any other failure.
FileDescriptor OpenExisting(const std::string& native, const std::string& opened, const std::string& path) {
    FileDescriptor fd(::open(opened.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() && ((errno != ENOENT && errno != ENOTDIR) ||
                        (::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode))))
        throw FileError(FileError::kOpen, path);
    return fd;
}

}  // namespace

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
        if (FoldedCharacterAt(a, i) != FoldedCharacterAt(b, j)) return false;
    return i == a.size() && j == b.size();
}

int CompareTextIgnoringCase(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto x = FoldedCharacterAt(a, i), y = FoldedCharacterAt(b, j);
        if (x != y) return x < y ? -1 : 1;
    }
    if (i == a.size()) return j == b.size() ? 0 : -1;
    return 1;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(NativeFile(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> ReadFileIfExists(const std::string& path) {
    // The name as given is tried first; only a file missing under it is
    // looked for in another letter case.
    const std::string native = Native(path);
    FileDescriptor fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        const std::string found = NativeFile(path);
        fd = OpenExisting(found, found, path);
        if (!fd.valid()) return std::nullopt;
    }
    return ReadAll(fd.get(), path);
}

namespace {

struct PosixRewrite : PreparedRewrite::State {
    ~PosixRewrite() override {
        if (!temporary.empty()) ::unlink(temporary.c_str());
    }

    bool Commit() override {
        // A writer that began to open the file meanwhile has broken the
        // lease (or changed the file): its write comes first, and the file is
        // read again.
        struct stat now;
        const bool undisturbed = leased ? ::fcntl(fd.get(), F_GETLEASE) == F_RDLCK
                                        : !exists || (::stat(target.c_str(), &now) == 0 && SameState(now, atRead));
        bool done = false;
        if (undisturbed && next && exists && leased) {
            switch (ExchangeUnderLease()) {
            case Exchange::Done: return true;
            case Exchange::WriterWaiting: return false;
            case Exchange::Unsupported: break;
            }
        }
        if (undisturbed) done = next ? MoveIntoPlace(temporary, target, exists) : ::unlink(target.c_str()) == 0;
        const int error = errno;
        if (done) temporary.clear();
        fd.Close();  // ends the lease
        if (done) return true;
        if (!undisturbed || error == EEXIST) return false;
        throw FileError(FileError::kCreate, path);
    }

    enum class Exchange { Done, WriterWaiting, Unsupported };

    // A writer whose open began before the replace waits for the lease on
    // the old file and would then write into it after it was replaced: its
    // write would be lost. So the new file and the old one trade places
    // atomically, and if a writer is waiting by then they trade back, the
    // writer gets its file and the rewrite is prepared again.
    Exchange ExchangeUnderLease() {
        if (faults::Fire(faults::Point::Replace)) throw FileError(FileError::kCreate, path);
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
            if (errno == EINVAL || errno == ENOSYS) return Exchange::Unsupported;  // a file system without it
            throw FileError(FileError::kCreate, path);
        }
        const bool tradeBackFails = faults::Fire(faults::Point::TradeBack);
        if (tradeBackFails || ::fcntl(fd.get(), F_GETLEASE) != F_RDLCK) {
            if (!tradeBackFails &&
                ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
                fd.Close();  // the waiting writer goes on, in its own file
                return Exchange::WriterWaiting;
            }
            // The writer is about to write into the old file, which now
            // stands under the temporary name: it is kept there for the
            // user, and the rewrite is reported failed, never done.
            temporary.clear();
            fd.Close();
            throw FileError(FileError::kCreate, path);
        }
        // The lease ends before the old file goes: an open file that is
        // removed lingers as an orphan until its last close, which costs the
        // file system a second record of it.
        fd.Close();
        ::unlink(temporary.c_str());  // the old file, now under the temporary name
        temporary.clear();
        return Exchange::Done;
    }

    bool FlushTemporary() override {
        const bool flushed = ::fsync(temporaryFile.get()) == 0;
        return temporaryFile.Close() && flushed;
    }

    std::string target, temporary;
    FileDescriptor fd, temporaryFile;
    bool leased = false, exists = false;
    struct stat atRead {};
};

}  // namespace

PreparedRewrite PrepareRewrite(const std::string& path, const ComposeFile& compose, bool dryRun,
                               const TemporaryNotice& beforeTemporary, const KnownMissing& knownMissing) {
    IgnoreLeaseBreakSignal();
    auto state = std::make_unique<PosixRewrite>();
    state->path = path;
    state->dryRun = dryRun;
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0) WaitForBusyFile(attempt, path);
        const std::string native = NativeFile(path);
        state->target = ResolveLink(native);
        FileDescriptor fd = OpenExisting(native, state->target, path);
        if (!fd.valid()) break;
        // A read lease is refused while any program has the file open for
        // writing, and while it is held a writer's open waits: the file is
        // read and replaced with no writer in the middle. Only the file's
        // owner (or root) gets one, and not on every file system; otherwise
        // the file's state is compared before the replace.
        state->leased = ::fcntl(fd.get(), F_SETLEASE, F_RDLCK) == 0;
        if (!state->leased && errno == EAGAIN) continue;
        if (::fstat(fd.get(), &state->atRead) != 0) throw FileError(FileError::kOpen, path);
        state->exists = true;
        state->old = ReadAll(fd.get(), state->atRead, path);
        state->fd = std::move(fd);
        break;
    }
    state->next = compose(state->old);
    state->changed = state->next != state->old;
    if (!state->changed || dryRun) return PreparedRewrite(std::move(state));

    if (state->exists && (S_ISDIR(state->atRead.st_mode) || ::access(state->target.c_str(), W_OK) != 0))
        throw FileError(FileError::kCreate, path);
    if (state->next) {
        Temporary made = WriteTemporary(path, state->target, *state->next, state->exists ? state->fd.get() : -1,
                                        state->atRead, beforeTemporary, knownMissing);
        state->temporary = std::move(made.path);
        state->temporaryFile = std::move(made.file);
    }
    return PreparedRewrite(std::move(state));
}

namespace {

// Calls `visit` with the name and type of every entry of the open folder `fd`,
// read straight from the kernel in large batches (no stat of the folder, as
// opendir makes). False when the folder cannot be read.
bool ReadEntries(int fd, const std::function<void(const char* name, unsigned char type)>& visit) {
    constexpr std::size_t kSize = 32768;
    const std::unique_ptr<char[]> buffer(new char[kSize]);  // aligned for any entry
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer.get(), kSize);
        if (n == 0) return true;
        if (n < 0) return false;
        for (ssize_t at = 0; at < n;) {
            const auto* d = reinterpret_cast<const dirent64*>(buffer.get() + at);
            visit(d->d_name, d->d_type);
            at += d->d_reclen;
        }
    }
}

}  // namespace

bool ListFolder(const std::string& folder, const std::string& mask,
                const std::function<void(const FolderEntry&)>& visit) {
    const std::string nativeFolder = Native(folder.empty() ? std::string(".") : folder);
    const FileDescriptor dir(::open(nativeFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) return false;
    const bool everything = mask == "*" || mask == "*.*";
    return ReadEntries(dir.get(), [&](const char* name, unsigned char type) {
        FolderEntry entry;
        const std::string utf8 = name;
        // The same rule as the Windows programs: a name is used only when it
        // has an exact Shift-JIS form, as a name of its own.
        const auto exact = ExactForm(utf8);
        entry.exactName = exact.has_value() && (IsUsableName(utf8) || utf8 == "." || utf8 == "..");
        entry.name = exact ? *exact : std::string();
        entry.shownName = exact && entry.exactName ? *exact : ShownText(utf8);
        if (!everything && !MatchesMask(entry.exactName ? entry.name : entry.shownName, mask)) return;
        struct stat st;
        if (type == DT_UNKNOWN && ::fstatat(dir.get(), name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        entry.isLink = type == DT_LNK;
        entry.isFolder = type == DT_DIR || (entry.isLink && ::fstatat(dir.get(), name, &st, 0) == 0 && S_ISDIR(st.st_mode));
        visit(entry);
    });
}

std::optional<FileIdentity> FolderIdentity(const std::string& path) {
    struct stat st;
    if (::stat(Native(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<std::string> ResolvedFolder(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(Native(path).c_str(), nullptr), &std::free);
    struct stat st;
    if (!real || ::stat(real.get(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return ShownText(real.get());
}

std::string CurrentDirectory() {
    std::string buffer(PATH_MAX, '\0');
    if (::getcwd(&buffer[0], buffer.size()) == nullptr) return std::string();
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return FromUtf8(buffer);
}

bool ChangeCurrentDirectory(const std::string& path) {
    return !path.empty() && ::chdir(Native(path).c_str()) == 0;
}

std::string AbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/' ? path : JoinPath(CurrentDirectory(), path);
}

std::vector<CommandArgument> CommandLineArguments(int argc, char** argv) {
    std::vector<CommandArgument> args;
    for (int i = 1; i < argc; ++i) {
        CommandArgument argument;
        // Text that is no UTF-8 is taken byte for byte, as before.
        if (!Utf8ToSystemText(argv[i], argument.text, argument.missingCharacter))
            argument.text = FromUtf8(argv[i]);
        argument.shown = ShownText(argv[i]);
        args.push_back(argument);
    }
    return args;
}

bool Utf8ToSystemText(const std::string& utf8, std::string& text, std::string& missingCharacter) {
    missingCharacter.clear();
    if (auto exact = ExactForm(utf8)) {
        text = *exact;
        return true;
    }
    // Text that is no UTF-8 as a whole names no missing character, even where
    // some of its bytes look like UTF-8 (Shift-JIS "で" is 0x82 0xC5, and
    // 0xC5 0x82 would be U+0142).
    for (std::size_t i = 0, length; i < utf8.size(); i += length) {
        char32_t ignored;
        if ((length = Utf8SequenceLength(utf8, i, ignored)) == 0) return false;
    }
    const std::string shown = ShownText(utf8, &missingCharacter);
    if (!missingCharacter.empty()) text = shown;
    return false;
}

std::string SystemTextToUtf8(const std::string& text) {
    if (auto whole = ToUtf8Converter().Strict(text)) return *whole;
    std::string utf8;
    for (std::size_t i = 0, next; i < text.size(); i = next) {
        next = NextCharacter(text, i);
        utf8 += ToUtf8Converter().Strict(text.substr(i, next - i)).value_or("\xEF\xBF\xBD");
    }
    return utf8;
}

unsigned AnsiCodePage() { return 932; }

bool IsTerminal(StandardStream stream) { return ::isatty(stream == StandardStream::Output ? 1 : 2) == 1; }

bool SystemHandleTraits::Close(type h) noexcept { return ::close(static_cast<int>(h)) == 0; }

AppendFile::AppendFile(const std::string& path)
    : handle_(::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600)) {
    struct stat st;
    if (handle_.valid() && ::fstat(static_cast<int>(handle_.get()), &st) == 0)
        size_ = static_cast<std::uint64_t>(st.st_size);
}

bool AppendFile::Append(const std::string& bytes) {
    if (!handle_.valid() || !WriteAll(static_cast<int>(handle_.get()), bytes.data(), bytes.size())) return false;
    size_ += bytes.size();
    return true;
}

bool AppendFile::Flush() { return handle_.valid() && ::fdatasync(static_cast<int>(handle_.get())) == 0; }

bool MakeFolders(const std::string& path) {
    const std::string native = Native(path);
    for (std::size_t slash = native.find('/', 1);; slash = native.find('/', slash + 1)) {
        const std::string part = native.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return DirectoryExists(path);
}

bool RemoveFile(const std::string& path) { return ::unlink(Native(path).c_str()) == 0; }
bool RemoveEmptyFolder(const std::string& path) { return ::rmdir(Native(path).c_str()) == 0; }

bool SyncFolder(const std::string& path) {
    FileDescriptor fd(::open(Native(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

std::string UserStateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state == '/') return FromUtf8(state);
    const char* home = std::getenv("HOME");
    return FromUtf8(std::string(home && *home ? home : "/tmp") + "/.local/state");
}

void WriteErrorUnicode(const std::string& utf8) { WriteAll(2, utf8.data(), utf8.size()); }

BatchLock::~BatchLock() = default;  // closing the file ends the lock

bool BatchLock::Acquire(unsigned waitMilliseconds) {
    if (held_) return true;
    if (!handle_.valid()) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        const std::string folder = runtime && *runtime ? runtime : "/tmp";
        const std::string path = folder + "/tarnutil-batch-" + std::to_string(::getuid()) + ".lock";
        handle_.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
        // Without a place for the lock file the batch still runs: each file
        // is guarded on its own all the same.
        if (!handle_.valid()) return held_ = true;
    }
    // The lock ends with the process, also when it is killed.
    for (unsigned waited = 0;; waited += 50) {
        if (::flock(static_cast<int>(handle_.get()), LOCK_EX | LOCK_NB) == 0) return held_ = true;
        if (errno != EWOULDBLOCK || waited >= waitMilliseconds) return false;
        ::usleep(50000);
    }
}

bool UserLanguageIsJapanese() {
    // The same order in which the C library picks the messages' locale.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        const std::string locale = value;
        return locale.compare(0, 2, "ja") == 0 && (locale.size() == 2 || std::strchr("_.@", locale[2]));
    }
    return false;
}

void WriteText(StandardStream stream, const std::string& text) { WriteBytes(stream, ToUtf8(text)); }

void WriteBytes(StandardStream stream, const std::string& bytes) {
    WriteAll(stream == StandardStream::Output ? 1 : 2, bytes.data(), bytes.size());
}

}  // namespace platform
