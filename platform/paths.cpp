#include "platform/paths.h"

#include "platform/platform.h"

#include <cstdio>

namespace platform {

std::size_t FolderPartLength(const std::string& path) { return FolderPartLength(path, IsPathSeparator); }

std::size_t NextCharacter(const std::string& text, std::size_t i) {
    return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? i + 2 : i + 1;
}

std::size_t FolderPartLength(const std::string& path, bool (*isSeparator)(char)) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t next = NextCharacter(path, i);
        // A lead byte is never a separator, so one-byte characters are enough to test.
        if (next == i + 1 && isSeparator(path[i])) end = next;
        i = next;
    }
    return end;
}

bool IsWindowsSeparator(char c) { return c == '\\' || c == ':'; }

std::string WindowsFilePart(const std::string& path) {
    return path.substr(FolderPartLength(path, IsWindowsSeparator));
}

std::string WindowsFolderPart(const std::string& path) {
    return path.substr(0, FolderPartLength(path, IsWindowsSeparator));
}

std::string FolderPart(const std::string& path) { return path.substr(0, FolderPartLength(path)); }

std::string FilePart(const std::string& path) { return path.substr(FolderPartLength(path)); }

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && FolderPartLength(path) == path.size();
}

std::vector<std::string> PathNames(const std::string& path, bool (*isSeparator)(char)) {
    std::vector<std::string> names(1);
    for (std::size_t i = 0, next; i < path.size(); i = next) {
        next = NextCharacter(path, i);
        if (next != i + 1 || !isSeparator(path[i]))
            names.back().append(path, i, next - i);
        else if (!names.back().empty())
            names.emplace_back();
    }
    if (names.back().empty()) names.pop_back();
    return names;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || EndsWithSeparator(folder)) return folder + name;
    return folder + kPathDelimiter + name;
}

std::string TemporaryPathFor(const std::string& target, unsigned long long unique) {
    const std::size_t nameLength = target.size() - FolderPartLength(target);
    const std::size_t digits = (nameLength > 6 ? nameLength : 6) - (sizeof kTemporaryMark - 1);
    std::string name = kTemporaryMark;
    for (std::size_t i = 0; i < digits; ++i) {
        name += "0123456789abcdefghijklmnopqrstuvwxyz"[unique % 36];
        unique /= 36;
    }
    return target.substr(0, FolderPartLength(target)) + name;
}

std::string CharacterName(char32_t codePoint) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(codePoint));
    return buffer;
}

bool IsSameOrBeneath(const std::string& path, const std::string& folder) {
    if (path.size() < folder.size()) return false;
    const std::string head = path.substr(0, folder.size());
    if (kNamesAreUtf8 ? head != folder : !SameTextIgnoringCase(head, folder)) return false;
    return path.size() == folder.size() || EndsWithSeparator(folder) || IsPathSeparator(path[folder.size()]);
}

}  // namespace platform
