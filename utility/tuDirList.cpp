#include "utility/tuDirList.h"

#include <algorithm>

#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/platform.h"

namespace tarn {

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

FolderPath SplitFolderPath(const std::string& path) {
    const bool drive = path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
    const bool share = !drive && path.size() >= 2 && platform::IsPathSeparator(path[0]) &&
                       platform::IsPathSeparator(path[1]);
    FolderPath split;
    split.root =
        drive ? path.substr(0, 2) + platform::kPathDelimiter : std::string(share ? 2 : 1, platform::kPathDelimiter);
    split.names = platform::PathNames(drive ? path.substr(2) : path, platform::IsPathSeparator);
    // A network share: "\\server\share" is the root.
    const std::size_t rootNames = share ? std::min<std::size_t>(2, split.names.size()) : 0;
    for (std::size_t i = 0; i < rootNames; ++i) split.root += split.names[i] + platform::kPathDelimiter;
    split.names.erase(split.names.begin(), split.names.begin() + static_cast<std::ptrdiff_t>(rootNames));
    return split;
}

std::vector<FolderRow> BuildFolderRows(const std::string& current, std::vector<std::string> subfolders) {
    const FolderPath split = SplitFolderPath(current);
    std::vector<FolderRow> rows;
    const int depth = static_cast<int>(split.names.size());
    rows.push_back({split.root, split.root, depth == 0 ? FolderRowKind::Current : FolderRowKind::Root, 0});
    std::string path = split.root;
    for (int i = 0; i < depth; ++i) {
        path = platform::JoinPath(path, split.names[i]);
        rows.push_back({split.names[i], path, i + 1 == depth ? FolderRowKind::Current : FolderRowKind::Ancestor, i + 1});
    }
    std::sort(subfolders.begin(), subfolders.end(), [](const std::string& a, const std::string& b) {
        return platform::CompareTextIgnoringCase(a, b) < 0;
    });
    for (const std::string& name : subfolders)
        rows.push_back({name, platform::JoinPath(current, name), FolderRowKind::Subfolder, depth + 1});
    return rows;
}

std::vector<std::string> ListVisibleSubfolders(const std::string& folder) {
    std::vector<std::string> names;
    platform::ListFolder(folder, "*", [&](const platform::FolderEntry& entry) {
        // A folder whose name has no exact Shift-JIS form cannot be entered.
        if (!entry.isFolder || entry.isHiddenOrSystem || !entry.exactName || entry.name == "." || entry.name == "..")
            return;
        names.push_back(entry.name);
    });
    return names;
}

void FolderList::SetDirectory(const std::string& folder) {
    if (!directory_.empty() && platform::SameTextIgnoringCase(folder, directory_)) return;
    if (!platform::ChangeCurrentDirectory(folder)) throw platform::FolderError(folder);
    directory_ = platform::CurrentDirectory();
    rows_ = BuildFolderRows(directory_, ListVisibleSubfolders(directory_));
}

void FolderList::OpenRow(std::size_t index) {
    if (index < rows_.size()) SetDirectory(rows_[index].path);
}

std::size_t FolderList::CurrentRowIndex() const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].kind == FolderRowKind::Current) return i;
    return 0;
}

}  // namespace tarn
