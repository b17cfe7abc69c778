// Shared parts of the fuzz targets: a private scratch folder, a check that
// stops the run with a readable report, and a plain second statement of the
// line rules of settings files that the targets compare the product with.
#pragma once

#include <cstddef>
#include <cstdint>
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

// A header starts with the character '[' and ends with the character ']',
// characters being one byte or a Shift-JIS lead byte with the byte after it.
bool IsHeader(const std::string& line);

// The lines of section `name` (every occurrence, each behind its header).
std::vector<std::string> Section(const std::vector<std::string>& lines, const std::string& name);

// True for the bytes trimming removes (code 32 or less).
inline bool IsWhite(unsigned char c) { return c <= 32; }
std::string Trimmed(const std::string& line);

// The name of a name=value line (text before its first '='), or false when
// the line holds no '='.
bool NameOf(const std::string& line, std::string& name);

// True when `name` equals the ASCII key `key` without regard to ASCII case.
bool SameKey(const std::string& name, const std::string& key);

inline bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace fuzz
