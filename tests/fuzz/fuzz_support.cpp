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

bool IsHeader(const std::string& line) {
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < line.size();) {
        const std::size_t width = IsLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size() ? 2 : 1;
        chars.push_back(line.substr(i, width));
        i += width;
    }
    return !chars.empty() && chars.front() == "[" && chars.back() == "]";
}

std::vector<std::string> Section(const std::vector<std::string>& lines, const std::string& name) {
    std::vector<std::string> out;
    bool inside = false;
    for (const auto& line : lines) {
        if (IsHeader(line)) inside = line == "[" + name + "]";
        if (inside) out.push_back(line);
    }
    return out;
}

std::string Trimmed(const std::string& line) {
    std::size_t b = 0, e = line.size();
    while (b < e && IsWhite(static_cast<unsigned char>(line[b]))) ++b;
    while (e > b && IsWhite(static_cast<unsigned char>(line[e - 1]))) --e;
    return line.substr(b, e - b);
}

bool NameOf(const std::string& line, std::string& name) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    name = line.substr(0, eq);
    return true;
}

bool SameKey(const std::string& name, const std::string& key) {
    if (name.size() != key.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != key[i]) return false;
    }
    return true;
}

}  // namespace fuzz
