// Shared parts of the fuzz targets: a private scratch folder, a check that
// stops the run with a readable report, and a plain second statement of the
// line rules of settings files that the targets compare the product with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fuzz {

// Reports a broken invariant (with the input's bytes) and aborts, which
// libFuzzer records as a crash and saves the input.
[[noreturn]] void Fail(const char* what, const std::string& detail);

#define FUZZ_CHECK(condition, detail)                      \
    do {                                                   \
        if (!(condition)) ::fuzz::Fail(#condition, detail); \
    } while (0)

// A folder of this process's own, on a memory file system where there is one
// (/dev/shm), removed again when the process ends. Created on first use.
const std::string& ScratchFolder();

// Removes every entry of the scratch folder.
void EmptyScratchFolder();

// The names in the scratch folder, sorted.
std::vector<std::string> ScratchEntries();

// Plain file access that does not go through the code under test.
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string& bytes);

// The bytes shown as C-style escapes, for reports.
std::string Shown(const std::string& bytes);
std::string Shown(const std::vector<std::string>& lines);

// ---- the line rules, stated once more ----------------------------------------

// Lines of a text: a line ends at CR LF, CR, LF or NUL, and NUL also ends the
// text; a break at the very end opens no new line.
std::vector<std::string> Lines(const std::string& text);

// Sections and keys as the host (Windows) finds them, with the batch's white
// space: a header, without white space around it, starts with '[' and holds
// a ']' character; its name is the text up to the last ']', without white
// space around it. Names match without regard to ASCII case.
bool HeaderName(const std::string& line, std::string& name);
bool IsHeader(const std::string& line);

// The lines of section `name`: every occurrence, each behind "[name]".
std::vector<std::string> Section(const std::vector<std::string>& lines, const std::string& name);

// True for the bytes trimming removes (code 32 or less).
inline bool IsWhite(unsigned char c) { return c <= 32; }
std::string Trimmed(const std::string& line);

// The key a line names: the text before its first '=' (the whole line when
// it has none) without white space around it; false for a header or a line
// that names nothing.
bool KeyOf(const std::string& line, std::string& name);

// True when the names are equal without regard to ASCII case.
bool SameAsciiName(const std::string& a, const std::string& b);

// ---- Windows' reading of an .ini file, as the host reads its settings ------------

// Windows takes only tab, LF, VT, FF, CR, space and 0x1A for white space.
bool IsHostWhite(unsigned char c);

// One key of a section as Windows reads it: its value without white space
// around it and without one pair of enclosing quotes; nothing for a line
// without '=' (Windows then hands out the caller's default).
struct HostKey {
    std::string name;
    std::optional<std::string> value;
};
using HostKeys = std::vector<HostKey>;

// The keys of the first section named `section` in a file's text, in order.
HostKeys HostReadSection(const std::string& text, const std::string& section);

// The value Windows hands out for `name`: the first key of that name.
// `found` tells whether any line names it.
std::optional<std::string> HostRead(const HostKeys& keys, const std::string& name, bool& found);

inline bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace fuzz
