#include "settings/qvComFunctions.h"

#include "platform/platform.h"

namespace tarn {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// Position of the line's last character (its first byte for a double-byte one).
std::size_t LastCharacterStart(const std::string& line) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < line.size(); i = platform::NextCharacter(line, i)) last = i;
    return last;
}

// Index of the first name=value line whose name matches, or npos.
std::size_t FindName(const SectionList& list, const std::string& name) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::size_t eq = list[i].find('=');
        if (eq != std::string::npos && platform::SameTextIgnoringCase(list[i].substr(0, eq), name))
            return i;
    }
    return std::string::npos;
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

bool IsHeaderLine(const std::string& line) {
    if (line.empty() || line[0] != '[') return false;
    const std::size_t last = LastCharacterStart(line);
    return last == line.size() - 1 && line[last] == ']';
}

SectionList SelectSection(const SectionList& fileLines, const std::string& name) {
    const std::string header = "[" + name + "]";
    SectionList section;
    bool inside = false;
    for (const auto& line : fileLines) {
        if (IsHeaderLine(line)) inside = line == header;
        if (inside) section.push_back(line);
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
    return list[i].substr(list[i].find('=') + 1);
}

std::string GetValue(const SectionList& list, const std::string& name) { return FindValue(list, name).value_or(""); }

void SetValue(SectionList& list, const std::string& name, const std::string& value) {
    const std::size_t i = FindName(list, name);
    if (value.empty()) {
        if (i != std::string::npos) list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (i != std::string::npos) {
        list[i] = name + "=" + value;
    } else {
        list.push_back(name + "=" + value);
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
