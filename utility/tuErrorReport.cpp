#include "utility/tuErrorReport.h"

#include "platform/paths.h"
#include "platform/platform.h"

namespace tarn {

std::string ErrorReportCaption(const std::string& programPath) {
    std::string name = platform::WindowsFilePart(programPath);
    // Cut at the first "." (never a byte of a double-byte character).
    for (std::size_t i = 0; i < name.size(); i = platform::NextCharacter(name, i)) {
        if (name[i] == '.') {
            name.resize(i);
            break;
        }
    }
    if (name.empty()) return name;
    // Lower-case every ASCII letter after the first character; the bytes of
    // double-byte characters stay as they are.
    for (std::size_t i = platform::NextCharacter(name, 0), next; i < name.size(); i = next) {
        next = platform::NextCharacter(name, i);
        if (next == i + 1 && name[i] >= 'A' && name[i] <= 'Z') name[i] = static_cast<char>(name[i] - 'A' + 'a');
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
