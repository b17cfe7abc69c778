// Choosing boards by what they hold, and changing part of a value: the
// conditions and the text replacement a batch applies to each board's
// [BASIC] values as the host reads them.
#pragma once

#include <string>
#include <vector>

#include "settings/BoardSettings.h"

namespace tarn {

// KEY=PATTERN (or, negated, KEY must not match PATTERN). The pattern's '*'
// matches any run of characters and '?' one character; ASCII letters match
// without regard to case; a match never ends inside a double-byte character.
struct ValueCondition {
    Field field;
    std::string pattern;
    bool negated = false;
};

// True when every condition holds for the board's [BASIC] lines (a missing
// key, or a board without a settings file, has an empty value).
bool IsChosen(const std::vector<ValueCondition>& where, const SectionList& basic);

// Every occurrence of `from` (not empty) in the values of `fields` becomes `to`.
struct ValueReplacement {
    std::vector<Field> fields;
    std::string from, to;
};

// `text` with every occurrence of `from` replaced by `to`, left to right; an
// occurrence starts and ends on character boundaries, so no double-byte
// character is split. False (and `text` unchanged in `result`) when there
// is none.
bool ReplaceAll(const std::string& text, const std::string& from, const std::string& to, std::string& result);

}  // namespace tarn
