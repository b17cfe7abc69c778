// The file-stream error every file operation of the programs raises: a C++
// exception whose message names the file, in the system code page.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class FileError : public std::runtime_error {
public:
    enum Kind { kOpen, kCreate, kBusy };

    // The message is "ファイル <path> は開けません" for kOpen and
    // "ファイル <path> を作成できません" for kCreate, with the path exactly as
    // passed; kBusy, a file another program kept writing, is
    // "ファイル <path> は他のプログラムが書き込み中です".
    FileError(Kind kind, const std::string& path);

    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }

private:
    Kind kind_;
    std::string path_;
};

// Raised when a folder cannot be made the current working folder (missing, not
// a folder, no access): "フォルダ <path> に移動できません".
class FolderError : public std::runtime_error {
public:
    explicit FolderError(const std::string& path);

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace platform
