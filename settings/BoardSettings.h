// The board settings file "tarn_BBS.ini", the signature file "sign.ini" and
// the field catalogue: the twelve [BASIC] keys the utility sets, with their
// [DIALOG] label keys and default labels.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "settings/tuCommon.h"

namespace tarn {

inline constexpr const char kSettingsFileName[] = "tarn_BBS.ini";
inline constexpr const char kSignatureFileName[] = "sign.ini";
inline constexpr const char kSnapshotFileName[] = "TarnUtil.ini";
inline constexpr const char kDialogSection[] = "DIALOG";
inline constexpr const char kBasicSection[] = "BASIC";

// The catalogue's rows, in the order the batch sets the keys.
enum class Field : std::size_t { LIB, BBSFOLDER, URL, UPURL, NAME, EMAIL, HP, KEY, PARAM1, PARAM2, USER, PASS };
inline constexpr std::size_t kFieldCount = 12;

// What the file format says of a field (its controls are the utility's).
struct FieldInfo {
    Field field;
    const char* key;           // [BASIC] key
    const char* labelKey;      // [DIALOG] label key, or nullptr (LIB, BBSFOLDER)
    const char* defaultLabel;  // Shift-JIS, or nullptr (LIB, BBSFOLDER)
    // Place of its line in a snapshot's default [BASIC] (1 first; 0: none).
    int defaultLine;
};

inline constexpr std::array<FieldInfo, kFieldCount> kFieldCatalogue = {{
    {Field::LIB, "LIB", nullptr, nullptr, 0},
    {Field::BBSFOLDER, "BBSFOLDER", nullptr, nullptr, 0},
    {Field::URL, "URL", "_URL", "掲示板のアドレス(URL):", 1},
    {Field::UPURL, "UPURL", "_UPURL", "書き込み先アドレス(URL):", 2},
    {Field::NAME, "NAME", "_NAME", "名前:", 3},
    {Field::EMAIL, "EMAIL", "_EMAIL", "e-mailアドレス:", 4},
    {Field::HP, "HP", "_HP", "ホームページ:", 5},
    {Field::KEY, "KEY", "_KEY", "削除キー:", 6},
    {Field::PARAM1, "PARAM1", "_PARAM1", "パラメータ", 9},
    {Field::PARAM2, "PARAM2", "_PARAM2", "未読ポインタ", 10},
    {Field::USER, "USER", "_USER", "ユーザ名", 7},
    {Field::PASS, "PASS", "_PASS", "パスワード", 8},
}};

// True when row i of a table of kFieldCount rows is field i. A row left out
// is zero-filled (field LIB) or moves the rows after it: checked with
// static_assert, either does not compile.
template <class Rows>
constexpr bool InCatalogueOrder(const Rows& rows) {
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (rows[i].field != static_cast<Field>(i)) return false;
    return true;
}
static_assert(InCatalogueOrder(kFieldCatalogue), "a field without its catalogue row, or out of order");

// How many fields have a [DIALOG] label (the ten edit fields, URL to PASS).
inline constexpr std::size_t kLabelledFieldCount = [] {
    std::size_t count = 0;
    for (const FieldInfo& info : kFieldCatalogue) count += info.labelKey != nullptr;
    return count;
}();

inline const FieldInfo& InfoOf(Field f) { return kFieldCatalogue[static_cast<std::size_t>(f)]; }

// The catalogue's fields but those `leftOut`, in catalogue order.
std::vector<Field> FieldsBut(std::initializer_list<Field> leftOut);

// The [BASIC] lines a snapshot gets when the file loaded had none: the header,
// then "KEY=" for every key with a default line, in that order.
std::vector<std::string> DefaultBasicLines();

// The catalogue row whose key equals `key` without regard to ASCII case;
// nullptr when there is none.
const FieldInfo* FindFieldByKey(const std::string& key);

// The signature file read as the memo shows it: the whole file up to a NUL,
// every CR, LF or CR LF turned into CR LF. Throws platform::FileError (kOpen).
std::string ReadSignature(const std::string& path);

// Writes the memo's text as the signature file, byte for byte.
WriteOutcome WriteSignature(const std::string& path, const std::string& memoText,
                            WriteMode mode = WriteMode::Write);

}  // namespace tarn
