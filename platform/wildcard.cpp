#include "platform/wildcard.h"

#include <vector>

#include "platform/ascii.h"
#include "platform/platform.h"

namespace platform {
namespace {

// The characters of a text as numbers: a single byte as itself, ASCII
// letters in upper case, a double-byte character as lead byte * 256 + trail
// byte, so that no two characters of different length are ever equal.
std::vector<unsigned> Characters(const std::string& text) {
    std::vector<unsigned> chars;
    chars.reserve(text.size());
    for (std::size_t i = 0, next; i < text.size(); i = next) {
        next = NextCharacter(text, i);
        const auto lead = static_cast<unsigned char>(text[i]);
        chars.push_back(next == i + 2 ? lead << 8 | static_cast<unsigned char>(text[i + 1])
                                      : static_cast<unsigned char>(UpperAscii(text[i])));
    }
    return chars;
}

// Classic greedy matcher with one backtrack point for the last '*'.
bool Match(const std::vector<unsigned>& name, const std::vector<unsigned>& mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (starMask != std::string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
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
    return n >= 2 && maskChars[n - 2] == '.' && maskChars[n - 1] == '*' && name.find('.') == std::string::npos &&
           Match(nameChars, {maskChars.begin(), maskChars.end() - 2});
}

}  // namespace platform
