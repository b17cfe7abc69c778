#include "settings/qvComFunctions.h"

#include "platform/platform.h"

namespace tarn {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The name a key line gives as Windows reads it: the text before its first
// '=' (the whole line when it has none) without the white space around it.
std::string KeyName(const std::string& line) {
    return Trim(line.substr(0, line.find('=')));
}

// Index of the line naming `name` in the list's first occurrence of its
// section (a later occurrence starts at its own header), or npos.
std::size_t FindName(const SectionList& list, const std::string& name) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (IsHeaderLine(list[i])) {
            if (i > 0) break;
            continue;
        }
        const std::string key = KeyName(list[i]);
        if (!key.empty() && platform::SameTextIgnoringCase(key, name)) return i;
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

SectionList SplitLines(const std::string& text) {
    SectionList lines;
    std::size_t p = 0;
    const std::size_t n = text.size();
    while (p < n && text[p] != '\0') {
        const std::size_t start = p;
        while (p < n && text[p] != '\0' && text[p] != '\r' && text[p] != '\n') ++p;
        lines.emplace_back(text, start, p - start);
        if (p < n && text[p] == '\r') ++p;
        if (p < n && text[p] == '\n') ++p;
    }
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
    const std::string text = Trim(line);
    if (text.empty() || text[0] != '[') return std::nullopt;
    std::size_t close = std::string::npos;
    for (std::size_t i = 1; i < text.size(); i = platform::NextCharacter(text, i))
        if (text[i] == ']') close = i;
    if (close == std::string::npos) return std::nullopt;
    return Trim(text.substr(1, close - 1));
}

bool IsHeaderLine(const std::string& line) { return HeaderName(line).has_value(); }

SectionList SelectSection(const SectionList& fileLines, const std::string& name) {
    SectionList section;
    bool inside = false;
    for (const auto& line : fileLines) {
        const auto header = HeaderName(line);
        if (header) {
            inside = platform::SameTextIgnoringCase(*header, name);
            if (inside) section.push_back("[" + name + "]");
        } else if (inside) {
            section.push_back(line);
        }
    }
    return section;
}

SectionList ReadSection(const std::string& path, const std::string& name) {
    const auto bytes = platform::ReadFileIfExists(path);
    if (!bytes) return {};
    return SelectSection(SplitLines(*bytes), name);
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
