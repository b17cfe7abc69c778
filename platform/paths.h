// Path arithmetic on byte strings in the system code page. The second byte of
// a double-byte character never counts as a separator, even when its value is
// that of '\\' (Shift-JIS ソ is 0x83 0x5C).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// Length of the folder part: the bytes up to and including the last separator,
// or 0 when there is none.
std::size_t FolderPartLength(const std::string& path);

// The same with the caller's own separators (for paths of another system).
std::size_t FolderPartLength(const std::string& path, bool (*isSeparator)(char));

// The separators of Windows paths, "\\" and ":", whatever system runs the code.
bool IsWindowsSeparator(char c);

// The file part of a Windows path: the text after its last "\\" or ":".
std::string WindowsFilePart(const std::string& path);

// The folder part of a Windows path, up to and including that separator.
std::string WindowsFolderPart(const std::string& path);

// Everything up to and including the last separator ("" when there is none).
std::string FolderPart(const std::string& path);

// The text after the last separator.
std::string FilePart(const std::string& path);

// True when the last character of `path` is a separator.
bool EndsWithSeparator(const std::string& path);

// The names between the separators of `path` (those `isSeparator` tells),
// empty ones (doubled separators) left out.
std::vector<std::string> PathNames(const std::string& path, bool (*isSeparator)(char));

// `folder` and `name` joined by one delimiter (none added when `folder` is
// empty or already ends in a separator).
std::string JoinPath(const std::string& folder, const std::string& name);

// True when `path` is `folder` or lies beneath it, both full paths, names
// compared as the system's file systems do (without regard to letter case on
// Windows).
bool IsSameOrBeneath(const std::string& path, const std::string& folder);

}  // namespace platform
