#include "platform/wildcard.h"

#include <vector>

#include "platform/ascii.h"
#include "platform/platform.h"

namespace platform {
namespace {

// Splits text into its characters (one or two bytes each).
std::vector<std::string> Characters(const std::string& text) {
    std::vector<std::string> chars;
    for (std::size_t i = 0, next; i < text.size(); i = next) {
        next = NextCharacter(text, i);
        chars.push_back(text.substr(i, next - i));
    }
    return chars;
}

bool SameCharacter(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    if (a.size() == 1) return UpperAscii(a[0]) == UpperAscii(b[0]);
    return a == b;
}

// Classic greedy matcher with one backtrack point for the last '*'.
bool Match(const std::vector<std::string>& name, const std::vector<std::string>& mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == "*") {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == "?" || SameCharacter(mask[m], name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == "*") ++m;
    return m == mask.size();
}

}  // namespace

bool MatchesPattern(const std::string& text, const std::string& pattern) {
    return Match(Characters(text), Characters(pattern));
}

bool MatchesMask(const std::string& name, const std::string& mask) {
    const auto nameChars = Characters(name);
    const auto maskChars = Characters(mask);
    if (Match(nameChars, maskChars)) return true;
    // "x.*" also matches "x": a name without a dot has an empty extension.
    const std::size_t n = maskChars.size();
    return n >= 2 && maskChars[n - 2] == "." && maskChars[n - 1] == "*" && name.find('.') == std::string::npos &&
           Match(nameChars, {maskChars.begin(), maskChars.end() - 2});
}

}  // namespace platform
