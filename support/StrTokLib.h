// A token scanner over byte strings with a set of delimiter bytes, and a file
// search by a ";"-separated list of wildcard masks built on it. A double-byte
// character of the code page is one character: its second byte is never taken
// for a delimiter.
#pragma once

#include <bitset>
#include <string>
#include <vector>

namespace tarn {

// A set of 8-bit character codes.
class TCharSet {
public:
    TCharSet() = default;
    explicit TCharSet(const std::string& members) {
        for (unsigned char c : members) bits_.set(c);
    }
    bool Contains(unsigned char c) const { return bits_.test(c); }
    void Add(unsigned char c) { bits_.set(c); }

private:
    std::bitset<256> bits_;
};

// The scanner's state: the text being scanned and the current position
// (1-based: 1 is the first byte).
struct TStrTokRec {
    std::string text;
    std::size_t position = 1;
};

using TStrArray = std::vector<std::string>;

// Stores `text` in `rec`, starts at its first byte and returns the first token.
std::string StrTokFirst(const std::string& text, const TCharSet& delimiters, TStrTokRec& rec);

// The next token; an empty token means the scan is over.
std::string StrTokNext(const TCharSet& delimiters, TStrTokRec& rec);

// Appends to `names` the names of the entries of one folder that match any
// mask of `masks` (such as "qv_*.exe;qv_*.pl"), mask by mask in list order, in
// the order the file system returns them; "." and ".." left out, folders and
// hidden entries included. `path` is that folder, or a path whose folder part
// is meant; when neither names an existing folder, nothing is added.
void FindFilesByMasks(const std::string& path, const std::string& masks, TStrArray& names);

}  // namespace tarn
