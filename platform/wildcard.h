// Wildcard matching of file names as Windows does it, for systems whose own
// listings know no masks: '*' matches any run of characters, '?' exactly one
// character (a double-byte character counts as one), ASCII letters match
// without regard to case, and a mask ending in ".*" also matches names that
// have no extension at all ("*.*" matches every name).
#pragma once

#include <string>

namespace platform {

bool MatchesMask(const std::string& name, const std::string& mask);

// The same wildcards over any text, without the rule for extensions: '*'
// any run of characters, '?' one character, ASCII letters without regard to
// case; a match never starts or ends inside a double-byte character.
bool MatchesPattern(const std::string& text, const std::string& pattern);

}  // namespace platform
