#include "fuzz_support.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace fuzz {
namespace {

std::string scratch;

// The names in `folder` but "." and ".."; false when it cannot be listed.
bool NamesIn(const std::string& folder, std::vector<std::string>& names) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    while (dirent* d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return true;
}

void RemoveFolder(const std::string& folder) {
    std::vector<std::string> names;
    NamesIn(folder, names);
    for (const auto& name : names) ::unlink((folder + "/" + name).c_str());
    ::rmdir(folder.c_str());
}

void RemoveScratch() {
    if (!scratch.empty()) RemoveFolder(scratch);
}

// A run that crashed (a broken invariant aborts) cannot remove its folder;
// the next run removes those whose process is gone.
void RemoveStaleScratchFolders(const std::string& base) {
    std::vector<std::string> names;
    NamesIn(base, names);
    for (const auto& name : names) {
        if (name.rfind("tarn_fuzz_", 0) != 0) continue;
        const long pid = std::strtol(name.c_str() + 10, nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) RemoveFolder(base + "/" + name);
    }
}

}  // namespace

void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "\n*** invariant broken: %s\n%s\n", what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

const std::string& ScratchFolder() {
    if (scratch.empty()) {
        struct stat st;
        std::string base = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "";
        if (base.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            base = tmp && *tmp ? tmp : "/tmp";
        }
        RemoveStaleScratchFolders(base);
        std::string pattern = base + "/tarn_fuzz_" + std::to_string(::getpid()) + "_XXXXXX";
        if (!::mkdtemp(&pattern[0])) Fail("mkdtemp", pattern);
        scratch = pattern;
        std::atexit(RemoveScratch);
    }
    return scratch;
}

std::vector<std::string> ScratchEntries() {
    std::vector<std::string> names;
    if (!NamesIn(ScratchFolder(), names)) Fail("opendir", scratch);
    std::sort(names.begin(), names.end());
    return names;
}

void EmptyScratchFolder() {
    for (const auto& name : ScratchEntries()) ::unlink((ScratchFolder() + "/" + name).c_str());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) Fail("fopen for writing", path);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) Fail("fwrite", path);
    if (std::fclose(f) != 0) Fail("fclose", path);
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes.clear();
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return true;
}

std::string Shown(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "\"";
}

std::string Shown(const std::vector<std::string>& lines) {
    std::string out = "[";
    for (std::size_t i = 0; i < lines.size(); ++i) out += (i ? ", " : "") + Shown(lines[i]);
    return out + "]";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    bool open = false;  // a line has started and not yet ended
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\0') break;
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            open = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current += c;
            open = true;
        }
    }
    if (open) lines.push_back(current);
    return lines;
}

namespace {

// The line cut into characters: one byte, or a Shift-JIS lead byte with the
// byte after it.
std::vector<std::string> Characters(const std::string& line) {
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < line.size();) {
        const std::size_t width = IsLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size() ? 2 : 1;
        chars.push_back(line.substr(i, width));
        i += width;
    }
    return chars;
}

std::string TrimmedBy(const std::string& text, bool (*white)(unsigned char)) {
    std::size_t b = 0, e = text.size();
    while (b < e && white(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && white(static_cast<unsigned char>(text[e - 1]))) --e;
    return text.substr(b, e - b);
}

bool IsWhiteByte(unsigned char c) { return IsWhite(c); }

// A header by the rules of `white`: see HeaderName.
bool HeaderNameBy(const std::string& line, bool (*white)(unsigned char), std::string& name) {
    const std::vector<std::string> chars = Characters(TrimmedBy(line, white));
    if (chars.empty() || chars.front() != "[") return false;
    std::size_t close = 0;
    for (std::size_t i = 1; i < chars.size(); ++i)
        if (chars[i] == "]") close = i;
    if (close == 0) return false;
    name.clear();
    for (std::size_t i = 1; i < close; ++i) name += chars[i];
    name = TrimmedBy(name, white);
    return true;
}

}  // namespace

bool HeaderName(const std::string& line, std::string& name) { return HeaderNameBy(line, IsWhiteByte, name); }

bool IsHeader(const std::string& line) {
    std::string name;
    return HeaderName(line, name);
}

std::vector<std::string> Section(const std::vector<std::string>& lines, const std::string& name) {
    std::vector<std::string> out;
    bool inside = false;
    for (const auto& line : lines) {
        std::string header;
        if (HeaderName(line, header)) {
            inside = SameAsciiName(header, name);
            if (inside) out.push_back("[" + name + "]");
        } else if (inside) {
            out.push_back(line);
        }
    }
    return out;
}

std::string Trimmed(const std::string& line) { return TrimmedBy(line, IsWhiteByte); }

bool KeyOf(const std::string& line, std::string& name) {
    if (IsHeader(line)) return false;
    name = Trimmed(line.substr(0, line.find('=')));
    return !name.empty();
}

bool SameAsciiName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// ---- Windows' reading of an .ini file ------------------------------------------------

bool IsHostWhite(unsigned char c) { return (c >= 9 && c <= 13) || c == 0x1A || c == ' '; }

HostKeys HostReadSection(const std::string& text, const std::string& section) {
    HostKeys keys;
    bool inside = false, seen = false;
    for (const auto& line : Lines(text)) {
        const std::string trimmed = TrimmedBy(line, IsHostWhite);
        if (trimmed.empty()) continue;
        std::string header;
        if (HeaderNameBy(trimmed, IsHostWhite, header)) {
            // Only the first section of a name is read.
            inside = !seen && SameAsciiName(header, section);
            seen = seen || inside;
            continue;
        }
        if (!inside) continue;
        const std::size_t eq = trimmed.find('=');
        std::optional<std::string> value;
        if (eq != std::string::npos) {
            value = TrimmedBy(trimmed.substr(eq + 1), IsHostWhite);
            if (value->size() >= 2 && ((*value)[0] == '"' || (*value)[0] == '\'') && value->back() == (*value)[0])
                value = value->substr(1, value->size() - 2);
        }
        keys.push_back({TrimmedBy(trimmed.substr(0, eq), IsHostWhite), value});
    }
    return keys;
}

std::optional<std::string> HostRead(const HostKeys& keys, const std::string& name, bool& found) {
    for (const auto& key : keys)
        if (SameAsciiName(key.name, name)) {
            found = true;
            return key.value;
        }
    found = false;
    return std::nullopt;
}

}  // namespace fuzz
