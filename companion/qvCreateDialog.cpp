#include "companion/qvCreateDialog.h"

#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "settings/BoardSettings.h"
#include "settings/tuCommon.h"

namespace tarn {

SectionList DefaultDialogSection() {
    return {
        "[DIALOG]",
        "URL=1",
        "UPURL=1",
        "NAME=1",
        "EMAIL=1",
        "HP=1",
        "KEY=1",
        "USER=1",
        "PASS=1",
        "PARAM1=1",
        "PARAM2=1",
        "_URL=掲示板のアドレス(URL):",
        "_UPURL=書き込み先アドレス(URL):",
        "_NAME=名前:",
        "_EMAIL=e-mailアドレス:",
        "_HP=ホームページ:",
        "_KEY=削除キー:",
        "_USER=ユーザ名",
        "_PASS=パスワード",
        "_PARAM1=パラメータ",
        "_PARAM2=未読ポインタ (No. or yyyy/mm/dd,tt:mm)",
    };
}

void InstallDialogSection() {
    // The host may be patrolling this board: [BASIC] is taken from what the
    // file holds at the moment it is replaced, never from an earlier read.
    try {
        platform::UpdateFile(
            kSettingsFileName,
            [](const std::optional<std::string>& current) {
                SectionList dialog = DefaultDialogSection();
                return ComposeSections(dialog, SelectSection(SplitLines(current.value_or("")), kBasicSection));
            },
            false);
    } catch (const platform::FileError& e) {
        // A file another program kept to itself is one the host's plug-in
        // could not open, as it always reported.
        if (e.kind() == platform::FileError::kBusy) throw platform::FileError(platform::FileError::kOpen, e.path());
        throw;
    }
}

namespace {

bool IsArgumentSeparator(char c) { return c != '\0' && static_cast<unsigned char>(c) <= 32; }

// Reads one argument starting at `p`, leaving `p` after it. Empty pairs of
// double quotes before it are skipped; the result is empty at the end.
std::string NextArgument(const std::string& line, std::size_t& p) {
    auto at = [&](std::size_t i) { return i < line.size() ? line[i] : '\0'; };
    while (IsArgumentSeparator(at(p)) || (at(p) == '"' && at(p + 1) == '"')) p += at(p) == '"' ? 2 : 1;
    std::string argument;
    while (at(p) != '\0' && !IsArgumentSeparator(at(p))) {
        if (at(p) == '"') {
            ++p;
            while (at(p) != '\0' && at(p) != '"') argument += line[p++];
            if (at(p) != '\0') ++p;
        } else {
            argument += line[p++];
        }
    }
    return argument;
}

// The utility's path follows the Windows rules in every build: '\\' and ':'
// separate (never the second byte of a double-byte character).
std::size_t WindowsFolderPartLength(const std::string& path) {
    return platform::FolderPartLength(path, platform::IsWindowsSeparator);
}

}  // namespace

std::optional<std::string> FirstArgument(const std::string& commandLine) {
    std::size_t p = 0;
    NextArgument(commandLine, p);  // the program's own name
    std::string first = NextArgument(commandLine, p);
    if (first.empty()) return std::nullopt;
    return first;
}

std::string UtilityPathFor(const std::string& currentFolder) {
    std::string path = currentFolder.substr(0, WindowsFolderPartLength(currentFolder));
    // Drop the separator that ends the parent's path, unless it is a colon.
    if (!path.empty() && path.back() == '\\' && WindowsFolderPartLength(path) == path.size())
        path.pop_back();
    path.resize(WindowsFolderPartLength(path));
    return path + "TarnUtil.exe";
}

}  // namespace tarn
