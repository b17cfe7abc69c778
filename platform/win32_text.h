// Text of windows and of the wide system interfaces in the ANSI code page,
// without "best fit": a character with no exact form is named, not replaced.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace platform {

// The exact form of `text` in the code page, or nothing; then `missing` names
// the first character without one ("U+00E9").
std::optional<std::string> ExactSystemText(const std::wstring& text, std::string& missing);

// The whole text of a window (an edit field, a combo box) read through the
// wide functions, so that what the user typed is not yet converted.
std::wstring WideWindowText(HWND window);

}  // namespace platform
