#include "settings/BoardSettings.h"

#include "platform/ascii.h"
#include "platform/platform.h"

namespace tarn {

const std::array<FieldInfo, kFieldCount> kFieldCatalogue = {{
    {Field::LIB, "LIB", nullptr, nullptr, "ComboBox1_1", "CheckBox1_1"},
    {Field::BBSFOLDER, "BBSFOLDER", nullptr, nullptr, "CheckBox1_2_1", "CheckBox1_2"},
    {Field::URL, "URL", "_URL", "掲示板のアドレス(URL):", "LabeledEdit2_1", "CheckBox2_1"},
    {Field::UPURL, "UPURL", "_UPURL", "書き込み先アドレス(URL):", "LabeledEdit2_2", "CheckBox2_2"},
    {Field::NAME, "NAME", "_NAME", "名前:", "LabeledEdit2_3", "CheckBox2_3"},
    {Field::EMAIL, "EMAIL", "_EMAIL", "e-mailアドレス:", "LabeledEdit2_4", "CheckBox2_4"},
    {Field::HP, "HP", "_HP", "ホームページ:", "LabeledEdit2_5", "CheckBox2_5"},
    {Field::KEY, "KEY", "_KEY", "削除キー:", "LabeledEdit2_6", "CheckBox2_6"},
    {Field::PARAM1, "PARAM1", "_PARAM1", "パラメータ", "LabeledEdit2_7", "CheckBox2_7"},
    {Field::PARAM2, "PARAM2", "_PARAM2", "未読ポインタ", "LabeledEdit2_8", "CheckBox2_8"},
    {Field::USER, "USER", "_USER", "ユーザ名", "LabeledEdit2_9", "CheckBox2_9"},
    {Field::PASS, "PASS", "_PASS", "パスワード", "MaskEdit2_9", "CheckBox2_9"},
}};

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
