// POSIX implementation of the platform layer. File names on disk are UTF-8;
// the core works in Shift-JIS (code page 932), so names are converted at this
// boundary with glibc's iconv.
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/wildcard.h"

namespace platform {

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

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // The converted text, or the input unchanged when it does not convert.
    std::string operator()(const std::string& in) {
        if (IsAscii(in) || cd_ == reinterpret_cast<iconv_t>(-1)) return in;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 4, '\0');
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char* dst = &out[0];
        std::size_t dstLeft = out.size();
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return in;
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    iconv_t cd_;
};

std::string ToUtf8(const std::string& sjis) {
    static Converter convert("UTF-8", "CP932");
    return convert(sjis);
}

std::string FromUtf8(const std::string& utf8) {
    static Converter convert("CP932", "UTF-8");
    return convert(utf8);
}

// The name the operating system knows a core path by.
std::string Native(const std::string& path) { return ToUtf8(path); }

// ---- comparison -------------------------------------------------------------

// One character of `s` at `i`, with ASCII and full-width Latin letters folded
// to upper case (Shift-JIS ａ-ｚ are 0x82 0x81-0x9A, Ａ-Ｚ are 0x82 0x60-0x79).
unsigned FoldedCharacterAt(const std::string& s, std::size_t& i) {
    const auto c = static_cast<unsigned char>(s[i++]);
    if (IsLeadByte(c) && i < s.size()) {
        auto t = static_cast<unsigned char>(s[i++]);
        if (c == 0x82 && t >= 0x81 && t <= 0x9A) t = static_cast<unsigned char>(t - 0x21);
        return (static_cast<unsigned>(c) << 8) | t;
    }
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    return c;
}

// ---- files ------------------------------------------------------------------

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    bool Close() {
        if (fd_ < 0) return true;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

private:
    int fd_;
};

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

// Writes `bytes` to the new file `fd`, with the fault points tests can arm.
bool FillTemporary(int fd, const std::string& bytes) {
    if (faults::Fire(faults::Point::WriteTemporary)) {
        WriteAll(fd, bytes.data(), bytes.size() / 2);
        return false;
    }
    if (!WriteAll(fd, bytes.data(), bytes.size())) return false;
    if (faults::Fire(faults::Point::FlushTemporary)) return false;
    return ::fsync(fd) == 0;
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
    return ::stat(Native(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> ReadFileIfExists(const std::string& path) {
    FileDescriptor fd(::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid() && (errno == ENOENT || errno == ENOTDIR)) return std::nullopt;
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) throw FileError(FileError::kOpen, path);
    if (S_ISDIR(st.st_mode)) return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileError(FileError::kOpen, path);
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

bool FileHoldsExactly(const std::string& path, const std::string& bytes) {
    FileDescriptor fd(::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) != bytes.size())
        return false;
    std::string current(bytes.size(), '\0');
    std::size_t done = 0;
    while (done < current.size()) {
        const ssize_t n = ::read(fd.get(), &current[done], current.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return current == bytes;
}

void ReplaceFileContents(const std::string& path, const std::string& bytes) {
    const std::string target = ResolveLink(Native(path));
    struct stat old;
    const bool exists = ::stat(target.c_str(), &old) == 0;
    // A file the user may not write is not replaced behind their back.
    if (exists && (S_ISDIR(old.st_mode) || ::access(target.c_str(), W_OK) != 0))
        throw FileError(FileError::kCreate, path);

    const std::string temporary = target + ".tmp~" + std::to_string(::getpid()) + "-" +
                                  std::to_string(temporaryCounter++);
    const mode_t mode = exists ? (old.st_mode & 07777) : 0666;
    if (faults::Fire(faults::Point::CreateTemporary)) throw FileError(FileError::kCreate, path);
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!fd.valid()) throw FileError(FileError::kCreate, path);

    bool ok = FillTemporary(fd.get(), bytes);
    if (ok && exists) {
        // open() applied the umask; give the new file the old one's mode and owner.
        ::fchmod(fd.get(), mode);
        if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) { /* not ours to change: keep ours */ }
    }
    ok = fd.Close() && ok;
    if (ok && faults::Fire(faults::Point::Replace)) ok = false;
    if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        throw FileError(FileError::kCreate, path);
    }
}

bool ListFolder(const std::string& folder, const std::string& mask,
                const std::function<void(const FolderEntry&)>& visit) {
    const std::string nativeFolder = Native(folder.empty() ? std::string(".") : folder);
    std::unique_ptr<DIR, CloseDir> dir(::opendir(nativeFolder.c_str()));
    if (!dir) return false;
    const bool everything = mask == "*" || mask == "*.*";
    while (dirent* d = ::readdir(dir.get())) {
        FolderEntry entry;
        entry.name = FromUtf8(d->d_name);
        if (!everything && !MatchesMask(entry.name, mask)) continue;
        unsigned char type = d->d_type;
        const std::string full = nativeFolder + "/" + d->d_name;
        // A name without a Shift-JIS form (or not valid UTF-8) cannot always
        // be reached again through a path in the code page: beneath a folder
        // with a Japanese name the whole path would not convert. Such an
        // entry is left out, as the Windows programs, which see '?' in place
        // of its characters, cannot open it either.
        if (!IsAscii(entry.name)) {
            const std::string reached = folder.empty()             ? std::string(d->d_name)
                                        : EndsWithSeparator(folder) ? nativeFolder + d->d_name
                                                                    : full;
            if (Native(JoinPath(folder, entry.name)) != reached) continue;
        }
        struct stat st;
        if (type == DT_UNKNOWN && ::lstat(full.c_str(), &st) == 0)
            type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        entry.isLink = type == DT_LNK;
        entry.isFolder = type == DT_DIR ||
                         (entry.isLink && ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
        visit(entry);
    }
    return true;
}

std::optional<FileIdentity> FolderIdentity(const std::string& path) {
    struct stat st;
    if (::stat(Native(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
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

std::string TerminalToSystemText(const std::string& text) { return FromUtf8(text); }

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(FromUtf8(argv[i]));
    return args;
}

std::string SystemToTerminalText(const std::string& text) { return ToUtf8(text); }

}  // namespace platform
