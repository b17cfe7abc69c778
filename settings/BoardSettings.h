// The board settings file "tarn_BBS.ini", the signature file "sign.ini" and
// the field catalogue: the twelve [BASIC] keys the utility sets, with their
// [DIALOG] label keys, default labels and the window controls that carry them.
#pragma once

#include <array>
#include <cstddef>
#include <string>

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

struct FieldInfo {
    Field field;
    const char* key;           // [BASIC] key
    const char* labelKey;      // [DIALOG] label key, or nullptr (LIB, BBSFOLDER)
    const char* defaultLabel;  // Shift-JIS, or nullptr (LIB, BBSFOLDER)
    const char* valueControl;  // the window control holding the value
    const char* tickBox;       // the tick box that enables it (USER and PASS share one)
};

extern const std::array<FieldInfo, kFieldCount> kFieldCatalogue;

inline const FieldInfo& InfoOf(Field f) { return kFieldCatalogue[static_cast<std::size_t>(f)]; }

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
