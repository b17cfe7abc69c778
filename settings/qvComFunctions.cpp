#include "settings/qvComFunctions.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/platform.h"

namespace tarn {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// False for a line that cannot be a header, told without a copy: its first
// character other than white space is not '['.
bool MayBeHeader(const std::string& text, std::size_t start, std::size_t length) {
    std::size_t i = start;
    while (i < start + length && IsBlank(text[i])) ++i;
    return i < start + length && text[i] == '[';
}

// Where the name a key line gives as Windows reads it begins and ends: the
// text before its first '=' (the whole line when it has none) without the
// white space around it.
std::pair<std::size_t, std::size_t> KeyNameSpan(const std::string& line) {
    std::size_t begin = 0, end = std::min(line.find('='), line.size());
    while (begin < end && IsBlank(line[begin])) ++begin;
    while (end > begin && IsBlank(line[end - 1])) --end;
    return {begin, end};
}

bool IsAsciiSpan(const std::string& text, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    return true;
}

// True when the key line names `name`. Most lines name another key of
// another length, told apart without a copy when both names are ASCII (the
// only case where letter case keeps lengths equal in every locale).
bool NamesKey(const std::string& line, const std::string& name, bool nameIsAscii) {
    const auto [begin, end] = KeyNameSpan(line);
    if (begin == end) return false;
    if (nameIsAscii && end - begin != name.size() && IsAsciiSpan(line, begin, end)) return false;
    return platform::SameTextIgnoringCase(line.substr(begin, end - begin), name);
}

// Index of the line naming `name` in the list's first occurrence of its
// section (a later occurrence starts at its own header), or npos.
std::size_t FindName(const SectionList& list, const std::string& name) {
    const bool nameIsAscii = IsAsciiSpan(name, 0, name.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (IsHeaderLine(list[i])) {
            if (i > 0) break;
            continue;
        }
        if (NamesKey(list[i], name, nameIsAscii)) return i;
    }
    return std::string::npos;
}

// Where a new key goes: the end of the first occurrence of the section.
std::size_t EndOfFirstOccurrence(const SectionList& list) {
    for (std::size_t i = 1; i < list.size(); ++i)
        if (IsHeaderLine(list[i])) return i;
    return list.size();
}

// A value as Windows hands it out: without the white space around it and
// without one pair of quotes (single or double) enclosing it.
std::string ValueAsRead(const std::string& text) {
    std::string value = Trim(text);
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

// Calls `line` with where each line of `text` begins and how long it is, by
// the line rules of SplitLines.
template <typename LineVisitor>
void ForEachLine(const std::string& text, LineVisitor line) {
    const char* const begin = text.data();
    // A NUL ends the whole text.
    const char* const nul = static_cast<const char*>(std::memchr(begin, '\0', text.size()));
    const char* const end = nul ? nul : begin + text.size();
    for (const char* p = begin; p < end;) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!lf) lf = end;
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(lf - p)));
        const char* stop = cr ? cr : lf;
        line(static_cast<std::size_t>(p - begin), static_cast<std::size_t>(stop - p));
        p = stop;
        if (p < end && *p == '\r') ++p;
        if (p < end && *p == '\n') ++p;
    }
}

SectionList SplitLines(const std::string& text) {
    SectionList lines;
    ForEachLine(text, [&](std::size_t start, std::size_t length) { lines.emplace_back(text, start, length); });
    return lines;
}

std::string TextForm(const SectionList& lines) {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> SplitAt(const std::string& text, const std::string& separator, std::size_t maxParts) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (parts.size() + 1 < maxParts) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string::npos) break;
        parts.push_back(text.substr(start, end - start));
        start = end + separator.size();
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::optional<std::string> HeaderName(const std::string& line) {
    // Most lines are key lines: told apart by their first character, no copy.
    if (!MayBeHeader(line, 0, line.size())) return std::nullopt;
    const std::string text = Trim(line);
    std::size_t close = std::string::npos;
    for (std::size_t i = 1; i < text.size(); i = platform::NextCharacter(text, i))
        if (text[i] == ']') close = i;
    if (close == std::string::npos) return std::nullopt;
    return Trim(text.substr(1, close - 1));
}

bool IsHeaderLine(const std::string& line) { return HeaderName(line).has_value(); }

namespace {

// Adds a line of a whole file to the lines of section `name` when it belongs
// there; `inside` tells whether the lines before it did.
void Select(const std::string& line, const std::string& name, bool& inside, SectionList& section) {
    const auto header = HeaderName(line);
    if (header) {
        inside = platform::SameTextIgnoringCase(*header, name);
        if (inside) section.push_back("[" + name + "]");
    } else if (inside) {
        section.push_back(line);
    }
}

}  // namespace

SectionList SelectSection(const SectionList& fileLines, const std::string& name) {
    SectionList section;
    bool inside = false;
    for (const auto& line : fileLines) Select(line, name, inside, section);
    return section;
}

SectionList SelectSectionOfText(const std::string& text, const std::string& name) {
    SectionList section;
    bool inside = false;
    ForEachLine(text, [&](std::size_t start, std::size_t length) {
        if (MayBeHeader(text, start, length))
            Select(text.substr(start, length), name, inside, section);
        else if (inside)
            section.emplace_back(text, start, length);
    });
    return section;
}

SectionList ReadSection(const std::string& path, const std::string& name) {
    const auto bytes = platform::ReadFileIfExists(path);
    if (!bytes) return {};
    return SelectSectionOfText(*bytes, name);
}

std::optional<std::string> FindValue(const SectionList& list, const std::string& name) {
    const std::size_t i = FindName(list, name);
    if (i == std::string::npos) return std::nullopt;
    const std::size_t eq = list[i].find('=');
    return eq == std::string::npos ? std::string() : ValueAsRead(list[i].substr(eq + 1));
}

std::string GetValue(const SectionList& list, const std::string& name) { return FindValue(list, name).value_or(""); }

void SetValue(SectionList& list, const std::string& name, const std::string& value) {
    const std::size_t i = FindName(list, name);
    if (value.empty()) {
        if (i != std::string::npos) list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (i != std::string::npos) {
        list[i] = name + "=" + value;
    } else {
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(EndOfFirstOccurrence(list)), name + "=" + value);
    }
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string TrimRight(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return text.substr(0, end);
}

}  // namespace tarn
