// The start-folder dialog's folder list without its window: the current
// folder, and the rows that show the way to it from the drive root and the
// folders beneath it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarn {

enum class FolderRowKind {
    Root,       // the drive root, shown open
    Ancestor,   // a folder on the way from the root down to the current one, shown open
    Current,    // the current folder, selected
    Subfolder,  // a folder beneath the current one, shown closed
};

struct FolderRow {
    std::string name;  // what the row shows
    std::string path;  // the folder opening the row leads to
    FolderRowKind kind;
    int depth;  // 0 for the root, one more per level below it
};

// "C:\a\b" as its root "C:\" and the names "a", "b" ("\\server\share\a" has
// the root "\\server\share\"). The second byte of a double-byte character
// never splits a name.
struct FolderPath {
    std::string root;
    std::vector<std::string> names;
};
FolderPath SplitFolderPath(const std::string& path);

// The rows for `current` and its subfolders, the subfolders sorted without
// regard to letter case in the user's locale.
std::vector<FolderRow> BuildFolderRows(const std::string& current, std::vector<std::string> subfolders);

// The folders directly beneath `folder` that the list shows: not "." or "..",
// not hidden or system folders.
std::vector<std::string> ListVisibleSubfolders(const std::string& folder);

// The list itself. It works on the process's current working folder: setting
// a folder or opening a row makes that folder current, and leaves it so.
class FolderList {
public:
    // Makes `folder` the list's current folder (nothing happens when it is the
    // current one already, compared as file names are). Throws
    // platform::FolderError when the folder cannot be entered; the list then
    // stays as it was.
    void SetDirectory(const std::string& folder);

    // Opens a row: its folder becomes the current one.
    void OpenRow(std::size_t index);

    // The current folder as the system reports it: no trailing separator
    // except at a drive root.
    const std::string& Directory() const { return directory_; }
    const std::vector<FolderRow>& Rows() const { return rows_; }
    std::size_t CurrentRowIndex() const;

private:
    std::string directory_;
    std::vector<FolderRow> rows_;
};

}  // namespace tarn
