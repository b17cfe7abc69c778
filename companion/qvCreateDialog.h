// The console companion's own table, the default [DIALOG] section, and its
// two jobs: installing that section into the current folder's settings file,
// and working out where the utility stands.
#pragma once

#include <optional>
#include <string>

#include "settings/qvComFunctions.h"

namespace tarn {

// The 21 lines of the default [DIALOG] section: every field offered ("KEY=1"),
// then the default labels, keys in the order URL UPURL NAME EMAIL HP KEY USER
// PASS PARAM1 PARAM2. Shift-JIS.
SectionList DefaultDialogSection();

// Rewrites "tarn_BBS.ini" in the current working folder: the default [DIALOG]
// section, then the file's [BASIC] lines as they are when it is replaced, read
// with other writers kept out (a write of the host's is never undone). Throws
// platform::FileError when the file cannot be read (kOpen, also when another
// program keeps it for seconds) or replaced (kCreate); the old file then
// stays as it was.
void InstallDialogSection();

// The first argument of a whole Windows command line, the program's own name
// skipped: arguments are separated by characters of code 1 to 32, double
// quotes group characters and are dropped, and a pair of double quotes with
// nothing between them is no argument. Nothing when there is no argument.
std::optional<std::string> FirstArgument(const std::string& commandLine);

// The utility's path for a current working folder: the folder two levels up,
// with its trailing '\', followed by "TarnUtil.exe" ("C:\host\data\board1"
// gives "C:\host\TarnUtil.exe"; "C:\host" and "C:\" give "C:TarnUtil.exe").
// '\' and ':' separate; the second byte of a double-byte character never does.
std::string UtilityPathFor(const std::string& currentFolder);

}  // namespace tarn
