#include "settings/BoardSettings.h"

#include <algorithm>

#include "platform/ascii.h"
#include "platform/platform.h"

namespace tarn {

std::vector<std::string> DefaultBasicLines() {
    std::vector<std::string> lines = {std::string("[") + kBasicSection + "]"};
    for (int place = 1;; ++place) {
        const auto it = std::find_if(kFieldCatalogue.begin(), kFieldCatalogue.end(),
                                     [place](const FieldInfo& info) { return info.defaultLine == place; });
        if (it == kFieldCatalogue.end()) return lines;
        lines.push_back(std::string(it->key) + "=");
    }
}

std::vector<Field> FieldsBut(std::initializer_list<Field> leftOut) {
    std::vector<Field> fields;
    for (const FieldInfo& info : kFieldCatalogue)
        if (std::find(leftOut.begin(), leftOut.end(), info.field) == leftOut.end()) fields.push_back(info.field);
    return fields;
}

const FieldInfo* FindFieldByKey(const std::string& key) {
    for (const auto& info : kFieldCatalogue)
        if (platform::SameAsciiTextIgnoringCase(key, info.key)) return &info;
    return nullptr;
}

std::string ReadSignature(const std::string& path) {
    const std::string bytes = platform::ReadWholeFile(path);
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16);
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            text += "\r\n";
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            text += c;
        }
    }
    return text;
}

WriteOutcome WriteSignature(const std::string& path, const std::string& memoText, WriteMode mode) {
    return StoreFile(path, memoText, mode);
}

}  // namespace tarn
