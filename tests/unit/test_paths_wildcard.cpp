// Path arithmetic on code-page byte strings, the lead-byte test, name
// comparison, and wildcard masks.
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/wildcard.h"

#include <vector>

namespace {

using platform::FilePart;
using platform::FolderPart;
using platform::JoinPath;
using platform::MatchesMask;

const std::string D(1, platform::kPathDelimiter);

// ---- separators and the parts of a path -----------------------------------------------------

TEST(Paths, SeparatorsOfThisSystem) {
#ifdef _WIN32
    EXPECT_EQ(platform::kPathDelimiter, '\\');
    EXPECT_TRUE(platform::IsPathSeparator('\\'));
    EXPECT_TRUE(platform::IsPathSeparator(':'));
    EXPECT_FALSE(platform::IsPathSeparator('/'));
#else
    EXPECT_EQ(platform::kPathDelimiter, '/');
    EXPECT_TRUE(platform::IsPathSeparator('/'));
    EXPECT_FALSE(platform::IsPathSeparator('\\'));
    EXPECT_FALSE(platform::IsPathSeparator(':'));
#endif
}

TEST(Paths, FolderPartEndsWithTheLastSeparator) {
    const std::string path = "data" + D + "board" + D + "tarn_BBS.ini";
    EXPECT_EQ(FolderPart(path), "data" + D + "board" + D);
    EXPECT_EQ(FilePart(path), "tarn_BBS.ini");
    EXPECT_EQ(platform::FolderPartLength(path), 11u);
    EXPECT_EQ(FolderPart("name"), "");
    EXPECT_EQ(FilePart("name"), "name");
    EXPECT_EQ(FolderPart("dir" + D), "dir" + D);
    EXPECT_EQ(FilePart("dir" + D), "");
    EXPECT_EQ(FilePart(""), "");
}

TEST(Paths, TrailByteOfADoubleByteCharacterIsNoSeparator) {
    // ソ is 0x83 0x5C: on Windows a byte-wise search would cut after it.
    EXPECT_EQ(FolderPart("a\x83\x5C"), "");
    EXPECT_EQ(FilePart("a\x83\x5C"), "a\x83\x5C");
    EXPECT_FALSE(platform::EndsWithSeparator("a\x83\x5C"));
    EXPECT_EQ(FolderPart("ソ" + D + "表"), "\x83\x5C" + D);
    EXPECT_EQ(FilePart("ソ" + D + "表"), "\x95\x5C");
    EXPECT_EQ(FolderPart("x" + D + "ソ表能"), "x" + D);
}

TEST(Paths, PathNamesBetweenSeparatorsNeverCutADoubleByteCharacter) {
    using Names = std::vector<std::string>;
    const auto slashes = [](char c) { return c == '/' || c == '\\'; };
    EXPECT_EQ(platform::PathNames("//a\\b//", slashes), (Names{"a", "b"}));
    EXPECT_EQ(platform::PathNames("ソ\\表/x", slashes), (Names{"\x83\x5C", "\x95\x5C", "x"}));
    EXPECT_EQ(platform::PathNames("/", slashes), Names{});
    EXPECT_EQ(platform::PathNames("", slashes), Names{});
}

TEST(Paths, PerSystemSeparatorCharacters) {
#ifdef _WIN32
    EXPECT_EQ(FolderPart("C:name"), "C:");
    EXPECT_EQ(FilePart("C:\\dir\\name"), "name");
    EXPECT_EQ(FilePart("a/b"), "a/b");
#else
    EXPECT_EQ(FolderPart("C:name"), "");
    EXPECT_EQ(FilePart("a\\b"), "a\\b");
    EXPECT_EQ(FilePart("/a/b"), "b");
#endif
}

TEST(Paths, LeadByteAtTheEndDoesNotReachPastTheText) {
    EXPECT_EQ(FolderPart("dir" + D + "\x83"), "dir" + D);
    EXPECT_EQ(FilePart("dir" + D + "\x83"), "\x83");
}

TEST(Paths, JoinPathAddsExactlyOneDelimiter) {
    EXPECT_EQ(JoinPath("dir", "name"), "dir" + D + "name");
    EXPECT_EQ(JoinPath("dir" + D, "name"), "dir" + D + "name");
    EXPECT_EQ(JoinPath("", "name"), "name");
    EXPECT_EQ(JoinPath("ソ", "tarn_BBS.ini"), "\x83\x5C" + D + "tarn_BBS.ini");
    EXPECT_EQ(JoinPath("x" + D + "表", "y"), "x" + D + "\x95\x5C" + D + "y");
#ifdef _WIN32
    EXPECT_EQ(JoinPath("C:", "name"), "C:name");
#endif
}

// ---- lead bytes and names -----------------------------------------------------------------------

TEST(CodePage, LeadBytesOfShiftJis) {
    for (int c : {0x81, 0x83, 0x9F, 0xE0, 0xEA, 0xFC}) EXPECT_TRUE(platform::IsLeadByte(c)) << c;
    // ASCII, half-width katakana (0xA1-0xDF) and the unused ends are single bytes.
    for (int c : {0x00, 0x5C, 0x7F, 0x80, 0xA0, 0xA1, 0xB1, 0xDF, 0xFD, 0xFF})
        EXPECT_FALSE(platform::IsLeadByte(c)) << c;
}

TEST(CodePage, NextCharacterStepsOverDoubleByteCharacters) {
    const std::string text = "a\x83\x5C" "b\xB1\x95\x5C";  // a ソ b ｱ 表
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); i = platform::NextCharacter(text, i)) starts.push_back(i);
    EXPECT_EQ(starts, (std::vector<std::size_t>{0, 1, 3, 4, 5}));
}

TEST(CodePage, LeadByteAtTheVeryEndIsACharacterOfOneByte) {
    EXPECT_EQ(platform::NextCharacter("\x83", 0), 1u);
    EXPECT_EQ(platform::NextCharacter("ab\x83", 2), 3u);
    EXPECT_EQ(platform::NextCharacter("\x83\x83", 0), 2u);  // a lead byte as trail byte
    EXPECT_EQ(platform::NextCharacter(std::string("\x83\0", 2), 0), 2u);
}

TEST(CodePage, SameTextIgnoringCase) {
    EXPECT_TRUE(platform::SameTextIgnoringCase("PassWord", "PASSWORD"));
    EXPECT_TRUE(platform::SameTextIgnoringCase("", ""));
    EXPECT_TRUE(platform::SameTextIgnoringCase("名前", "名前"));
    EXPECT_TRUE(platform::SameTextIgnoringCase("ｎａｍｅ", "ＮＡＭＥ"));
    EXPECT_FALSE(platform::SameTextIgnoringCase("NAME", "NAMES"));
    EXPECT_FALSE(platform::SameTextIgnoringCase("NAME", ""));
    EXPECT_FALSE(platform::SameTextIgnoringCase("NAME", "ＮＡＭＥ"));
    EXPECT_FALSE(platform::SameTextIgnoringCase("ソ", "ゾ"));
    EXPECT_FALSE(platform::SameTextIgnoringCase("[", "{"));  // no folding beyond letters
}

// ---- wildcard masks -------------------------------------------------------------------------------

TEST(MatchesMask, WorkedNamesAndMasks) {
    struct Case {
        const char* name;
        const char* mask;
        bool matches;
    };
    const Case cases[] = {
        // A star matches any run of characters.
        {"", "*", true},
        {"qv_2ch.exe", "qv_*.exe", true},
        {"qv_.exe", "qv_*.exe", true},
        {"qv_2ch.exe.bak", "qv_*.exe", false},
        {"xqv_2ch.exe", "qv_*.exe", false},
        {"abXXabYYcd", "*ab*cd", true},
        {"aab", "*ab", true},
        {"abc", "*ab", false},
        {"a.b.c", "*.c", true},
        // A question mark is one character, also a double-byte one.
        {"a", "?", true},
        {"", "?", false},
        {"ab", "?", false},
        {"表", "?", true},
        {"表", "??", false},
        {"qv_表x.exe", "qv_??.exe", true},
        // Double-byte characters compare whole; the trail byte of ソ is not the
        // '\\' of a mask.
        {"ソ.txt", "ソ.*", true},
        {"ゾ.txt", "ソ.*", false},
        {"\x83\x5C", "*\\", false},
        {"\x83\x5C", "\x83*", false},
        // ASCII letters ignore case.
        {"QV_X.EXE", "qv_*.exe", true},
        {"qv_x.exe", "QV_?.EXE", true},
        {"qv_x.exf", "qv_*.exe", false},
        // ".*" also matches names without an extension.
        {"README", "*.*", true},
        {"a.b", "*.*", true},
        {".hidden", "*.*", true},
        {"x", "x.*", true},
        {"x.txt", "x.*", true},
        {"x.", "x.*", true},
        {"xy", "x.*", false},
        {"y", "x.*", false},
        {"x", "x.txt", false},
        // Only a name without any extension gets the empty one.
        {"ax", "*x.*", true},
        {"a.x", "*x.*", false},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " " << c.mask;
}

}  // namespace
