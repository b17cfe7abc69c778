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

// `text` in the code page with every character that has no exact form
// written "<U+XXXX>"; `missing` names the first such character, or is empty.
std::string ShownSystemText(const wchar_t* text, std::size_t length, std::string& missing);

// UTF-8 text for the wide functions.
std::wstring WideFromUtf8(const std::string& utf8);

}  // namespace platform
