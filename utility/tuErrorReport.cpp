#include "utility/tuErrorReport.h"

#include "platform/paths.h"
#include "platform/platform.h"

namespace tarn {

std::string ErrorReportCaption(const std::string& programPath) {
    const std::string file = platform::WindowsFilePart(programPath);
    std::string name;
    // Up to the first "." (never a byte of a double-byte character), every
    // ASCII letter after the first character in lower case; the bytes of
    // double-byte characters stay as they are.
    for (std::size_t i = 0, next; i < file.size() && file[i] != '.'; i = next) {
        next = platform::NextCharacter(file, i);
        name.append(file, i, next - i);
        if (i > 0 && next == i + 1 && file[i] >= 'A' && file[i] <= 'Z')
            name.back() = static_cast<char>(file[i] - 'A' + 'a');
    }
    return name;
}

std::string ErrorReportText(const std::string& message) {
    if (message.empty()) return message;
    std::size_t last = 0;
    for (std::size_t i = 0; i < message.size(); i = platform::NextCharacter(message, i)) last = i;
    // A double-byte character sorts by its lead byte, which is above ".".
    if (static_cast<unsigned char>(message[last]) > '.') return message + ".";
    return message;
}

}  // namespace tarn
