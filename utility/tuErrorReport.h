// The texts of the utility's error report: the message box that shows an error
// raised while the window handled a command.
#pragma once

#include <string>

namespace tarn {

// The program's file name cut at its first ".", every letter after the first in
// lower case: "Tarnutil" for "C:\host\TarnUtil.exe".
std::string ErrorReportCaption(const std::string& programPath);

// The message, with "." appended when its last character sorts after ".".
std::string ErrorReportText(const std::string& message);

}  // namespace tarn
