#include "platform/file_error.h"

namespace platform {
namespace {

std::string FormatMessage(FileError::Kind kind, const std::string& path) {
    // Shift-JIS bytes thanks to the execution character set.
    if (kind == FileError::kOpen) return "ファイル " + path + " は開けません";
    if (kind == FileError::kBusy) return "ファイル " + path + " は他のプログラムが書き込み中です";
    return "ファイル " + path + " を作成できません";
}

}  // namespace

FileError::FileError(Kind kind, const std::string& path)
    : std::runtime_error(FormatMessage(kind, path)), kind_(kind), path_(path) {}

FolderError::FolderError(const std::string& path)
    : std::runtime_error("フォルダ " + path + " に移動できません"), path_(path) {}

}  // namespace platform
