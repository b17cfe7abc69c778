// Settings files as plain lists of text lines: reading one section, and the
// name=value lookup and update rules inside a section. Shared by both
// programs. Lines are byte strings in the system code page and stay exactly
// as read: no trimming, no case folding, no decoding.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarn {

// One section of a settings file: its header line as it stood in the file
// (for example "[BASIC]"), then the section's lines in file order, blank lines
// included. Empty when the file or the section is absent.
using SectionList = std::vector<std::string>;

// Splits text into lines. A line ends at CR, LF, CR LF or NUL; a NUL also ends
// the whole text. A break at the very end adds no empty line; LF followed by
// CR is two breaks.
SectionList SplitLines(const std::string& text);

// Every line followed by CR LF, the last one included.
std::string TextForm(const SectionList& lines);

// `text` cut at every `separator`, one part more than there are separators
// ("" gives one empty part); with `maxParts`, the last part keeps the rest of
// the text, separators and all.
std::vector<std::string> SplitAt(const std::string& text, const std::string& separator,
                                 std::size_t maxParts = std::string::npos);

// Sections and keys are found as Windows reads an .ini file (the host reads
// its settings so): white space around a header, a section name or a key
// name does not count, nor does the letter case of a name, and only the
// first occurrence of a section is read.

// The section name of a header line: the line, without the white space
// around it, starts with '[' and holds a ']' (a character, not the second
// byte of a double-byte one); the name is the text up to the last ']',
// without the white space around it. Nothing for any other line.
std::optional<std::string> HeaderName(const std::string& line);
bool IsHeaderLine(const std::string& line);

// The lines of section `name` (without brackets, any letter case) among the
// lines of a whole file: every occurrence, each behind the header "[name]",
// in file order. Lines before the first header never belong to a section.
SectionList SelectSection(const SectionList& fileLines, const std::string& name);
// The same from a whole file's text: SelectSection(SplitLines(text), name),
// without making a line of the other sections.
SectionList SelectSectionOfText(const std::string& text, const std::string& name);

// Reads section `name` of the file at `path`. A path that names no existing
// file (a folder does not count) gives an empty list; a file that exists but
// cannot be read throws platform::FileError (kOpen).
SectionList ReadSection(const std::string& path, const std::string& name);

// Key lookup in a section list reads its first occurrence only: the first
// line whose name (the text before its first '=', or the whole line when it
// has none, without the white space around it) equals `name` without regard
// to letter case. FindValue gives that key's value as Windows hands it out
// (without surrounding white space or one pair of enclosing quotes; empty
// for a line without '='), nothing when no line names it; GetValue, an empty
// value then.
std::optional<std::string> FindValue(const SectionList& list, const std::string& name);
std::string GetValue(const SectionList& list, const std::string& name);

// Sets `name` to `value`. A non-empty value replaces the line naming it by
// name=value (the name as passed) or adds that line at the end of the first
// occurrence; an empty value deletes the line naming it.
void SetValue(SectionList& list, const std::string& name, const std::string& value);

// The text with every leading and trailing character of code 32 or less removed.
std::string Trim(const std::string& text);
// The text with every trailing character of code 32 or less removed.
std::string TrimRight(const std::string& text);

}  // namespace tarn
