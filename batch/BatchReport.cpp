#include "batch/BatchReport.h"

#include <cstdio>

#include "platform/paths.h"
#include "platform/platform.h"
#include "settings/BoardSettings.h"

namespace tarn {
namespace {

// A value as the terminal can show it: in quotes, with control characters
// and bytes that begin no Shift-JIS character written "<0xNN>".
std::string Shown(const std::optional<std::string>& value, Language language) {
    if (!value) return InLanguage(language, "(none)", "(なし)");
    std::string shown = "\"";
    const std::string& text = *value;
    char hex[8];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool pair = platform::IsLeadByte(c) && i + 1 < text.size() &&
                          static_cast<unsigned char>(text[i + 1]) >= 0x40 &&
                          static_cast<unsigned char>(text[i + 1]) != 0x7F;
        if (pair) {
            shown += text.substr(i++, 2);
        } else if (c < 0x20 || c == 0x7F || c == 0x80 || c == 0xA0 || c >= 0xFD || platform::IsLeadByte(c)) {
            std::snprintf(hex, sizeof hex, "<0x%02X>", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown + "\"";
}

SectionList BasicOf(const std::optional<std::string>& text) {
    return text ? SelectSectionOfText(*text, kBasicSection) : SectionList();
}

}  // namespace

std::string DescribeChange(const std::string& path, const std::optional<std::string>& before,
                           const std::string& after, Language language) {
    std::string text = before ? InLanguage(language, "rewritten: ", "書き換え: ") + path + "\n"
                              : InLanguage(language, "created: ", "作成: ") + path + "\n";
    if (platform::FilePart(path) != kSettingsFileName) return text;
    const SectionList oldBasic = BasicOf(before), newBasic = BasicOf(after);
    bool valueChanged = false;
    for (const auto& info : kFieldCatalogue) {
        const auto oldValue = FindValue(oldBasic, info.key), newValue = FindValue(newBasic, info.key);
        if (oldValue == newValue) continue;
        valueChanged = true;
        text += std::string("  ") + info.key + ": " + Shown(oldValue, language) +
                InLanguage(language, " -> ", " → ") + Shown(newValue, language) + "\n";
    }
    if (!valueChanged && before)
        text += InLanguage(language, "  (no value changes; other lines change)\n",
                           "  （値は変わりません。ほかの行が変わります）\n");
    return text;
}

}  // namespace tarn
