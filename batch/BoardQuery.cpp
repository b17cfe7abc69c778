#include "batch/BoardQuery.h"

#include "platform/platform.h"
#include "platform/wildcard.h"

namespace tarn {

bool IsChosen(const std::vector<ValueCondition>& where, const SectionList& basic) {
    for (const ValueCondition& condition : where) {
        const bool matches = platform::MatchesPattern(GetValue(basic, InfoOf(condition.field).key), condition.pattern);
        if (matches == condition.negated) return false;
    }
    return true;
}

bool ReplaceAll(const std::string& text, const std::string& from, const std::string& to, std::string& result) {
    result.clear();
    bool replaced = false;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!from.empty() && text.compare(i, from.size(), from) == 0) {
            // The occurrence must end where a character ends.
            std::size_t end = i;
            while (end < i + from.size()) end = platform::NextCharacter(text, end);
            if (end == i + from.size()) {
                result += to;
                i = end;
                replaced = true;
                continue;
            }
        }
        const std::size_t next = platform::NextCharacter(text, i);
        result.append(text, i, next - i);
        i = next;
    }
    return replaced;
}

}  // namespace tarn
