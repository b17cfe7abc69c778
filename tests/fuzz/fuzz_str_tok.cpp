// The token scanner on arbitrary text and delimiter sets. Input: one byte
// giving the number of delimiter bytes (0 to 7), those bytes, then the text.
// Checked over a whole scan (StrTokFirst, then StrTokNext until the empty
// token):
// - every token is non-empty and holds no delimiter byte except as the second
//   byte of a double-byte character;
// - the text is exactly: delimiters, token, delimiters, token, ...,
//   delimiters, so nothing is lost, doubled or reordered;
// - a token ends at the text's end or right before a delimiter (it is as long
//   as it can be), never between the two bytes of a double-byte character;
// - the scan ends, and once over it stays over.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "support/StrTokLib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t count = data[0] % 8;
    if (size < 1 + count) return 0;
    tarn::TCharSet delimiters;
    std::vector<bool> isDelimiter(256, false);
    for (std::size_t i = 0; i < count; ++i) {
        delimiters.Add(data[1 + i]);
        isDelimiter[data[1 + i]] = true;
    }
    const std::string text(reinterpret_cast<const char*>(data) + 1 + count, size - 1 - count);
    auto delim = [&](char c) { return isDelimiter[static_cast<unsigned char>(c)]; };

    std::string delimiterBytes;
    for (std::size_t i = 0; i < count; ++i) delimiterBytes += static_cast<char>(data[1 + i]);
    const std::string detail = "delimiters " + fuzz::Shown(delimiterBytes) + " text " + fuzz::Shown(text);

    tarn::TStrTokRec rec;
    std::vector<std::string> tokens;
    for (std::string token = tarn::StrTokFirst(text, delimiters, rec); !token.empty();
         token = tarn::StrTokNext(delimiters, rec)) {
        tokens.push_back(token);
        FUZZ_CHECK(tokens.size() <= text.size(), detail + "\n the scan does not end");
        FUZZ_CHECK(rec.position <= text.size() + 1, detail);
    }
    FUZZ_CHECK(tarn::StrTokNext(delimiters, rec).empty(), detail + "\n a token after the end");

    const std::string shown = detail + "\n tokens " + fuzz::Shown(tokens);
    std::size_t p = 0;
    for (const auto& token : tokens) {
        // Within the token, a delimiter byte may only be a trail byte.
        std::size_t i = 0;
        for (; i < token.size(); ++i) {
            FUZZ_CHECK(!delim(token[i]), shown);
            if (fuzz::IsLead(static_cast<unsigned char>(token[i]))) ++i;
        }
        while (p < text.size() && delim(text[p])) ++p;
        FUZZ_CHECK(text.compare(p, token.size(), token) == 0, shown + "\n token not where the text has it");
        p += token.size();
        FUZZ_CHECK(p == text.size() || delim(text[p]), shown + "\n token stops short");
        // A token never ends between the two bytes of a character (only the
        // text's end may cut a lead byte off its trail byte).
        FUZZ_CHECK(i == token.size() || p == text.size(), shown + "\n token ends inside a character");
    }
    while (p < text.size() && delim(text[p])) ++p;
    FUZZ_CHECK(p == text.size(), shown + "\n text left over after the last token");
    return 0;
}
