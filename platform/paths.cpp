#include "platform/paths.h"

#include "platform/platform.h"

namespace platform {

std::size_t FolderPartLength(const std::string& path) { return FolderPartLength(path, IsPathSeparator); }

std::size_t FolderPartLength(const std::string& path, bool (*isSeparator)(char)) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(c)) {
            i += 2;
            continue;
        }
        ++i;
        if (isSeparator(static_cast<char>(c))) end = i;
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

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || EndsWithSeparator(folder)) return folder + name;
    return folder + kPathDelimiter + name;
}

}  // namespace platform
