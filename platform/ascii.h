// Letter case of plain ASCII letters, byte by byte; every other byte (also the
// bytes of double-byte characters) compares exactly.
#pragma once

#include <string>

namespace platform {

inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Same length, the letters A to Z without regard to case, every other byte exactly.
inline bool SameAsciiTextIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

}  // namespace platform
