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

// True when the line's first character is '[' and its last character is ']',
// counted in characters of the code page (a double-byte character whose
// second byte is ']' does not end a header).
bool IsHeaderLine(const std::string& line);

// The lines of section `name` (case-sensitive, without brackets) among the
// lines of a whole file: every occurrence, each behind its own header, in
// file order. Lines before the first header never belong to a section.
SectionList SelectSection(const SectionList& fileLines, const std::string& name);

// Reads section `name` of the file at `path`. A path that names no existing
// file (a folder does not count) gives an empty list; a file that exists but
// cannot be read throws platform::FileError (kOpen).
SectionList ReadSection(const std::string& path, const std::string& name);

// The value of the first name=value line whose name equals `name` without
// regard to letter case (locale-aware): everything after its '='. FindValue
// gives nothing when there is no such line; GetValue, an empty value.
std::optional<std::string> FindValue(const SectionList& list, const std::string& name);
std::string GetValue(const SectionList& list, const std::string& name);

// Sets `name` to `value`. A non-empty value replaces the first matching line
// by name=value (the name as passed) or appends that line; an empty value
// deletes the first matching line.
void SetValue(SectionList& list, const std::string& name, const std::string& value);

// The text with every leading and trailing character of code 32 or less removed.
std::string Trim(const std::string& text);
// The text with every trailing character of code 32 or less removed.
std::string TrimRight(const std::string& text);

}  // namespace tarn
