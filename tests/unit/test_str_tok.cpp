// The token scanner and the file search by a list of masks.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "support/StrTokLib.h"
#include "temp_folder.h"

namespace {

using tarn::TCharSet;
using tarn::TStrArray;
using tarn::TStrTokRec;
using namespace tarn_test;

// Every token of `text` up to the empty one, plus one call past the end.
std::vector<std::string> Tokens(const std::string& text, const TCharSet& delimiters) {
    std::vector<std::string> tokens;
    TStrTokRec rec;
    for (std::string t = tarn::StrTokFirst(text, delimiters, rec); !t.empty(); t = tarn::StrTokNext(delimiters, rec)) {
        tokens.push_back(t);
        if (tokens.size() > 100) break;
    }
    EXPECT_EQ(tarn::StrTokNext(delimiters, rec), "") << "the scan went on after its end";
    return tokens;
}

using Strings = std::vector<std::string>;

// ---- token scanner ---------------------------------------------------------------------

TEST(StrTok, WorkedScans) {
    struct Case {
        std::string text;
        const char* delimiters;
        Strings tokens;
    };
    const Case cases[] = {
        // Leading, repeated and trailing delimiters give no empty tokens.
        {";;ab;;cd;", ";", {"ab", "cd"}},
        // Text without delimiters is one token.
        {"abc", ";", {"abc"}},
        {"a", "", {"a"}},
        // Any member of the set delimits.
        {" a,b ,, c\t", " ,\t", {"a", "b", "c"}},
        // ソ, 表 and 能 end in 0x5C ('\\'), ゾ in 0x5D (']'): the second byte of
        // a character is never tested against the set.
        {"aソb\\表;\\能", "\\;", {"a\x83\x5C" "b", "\x95\x5C", "\x94\x5C"}},
        {"\\ソ\\", "\\;", {"\x83\x5C"}},
        {"[ゾ]", "[]", {"\x83\x5D"}},
        // The byte after a lead byte belongs to it even when it is a delimiter.
        {"a\x83;b;c", ";", {"a\x83;b", "c"}},
        // Delimiters are tested byte by byte, so a lead byte in the set
        // delimits and the byte after it is tested on its own.
        {"a\x83" "b\x83\x83" "c", "\x83", {"a", "b", "c"}},
        {"x\xA0y", "\xA0", {"x", "y"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Tokens(c.text, TCharSet(c.delimiters)), c.tokens) << c.text;
}

TEST(StrTok, EmptyTextAndOnlyDelimitersGiveTheEmptyTokenAtOnce) {
    TStrTokRec rec;
    EXPECT_EQ(tarn::StrTokFirst("", TCharSet(";"), rec), "");
    EXPECT_EQ(tarn::StrTokFirst(";;;", TCharSet(";"), rec), "");
    EXPECT_EQ(tarn::StrTokNext(TCharSet(";"), rec), "");
}

TEST(StrTok, PositionIsOneBasedAndStopsAtTheNextToken) {
    TStrTokRec rec;
    EXPECT_EQ(tarn::StrTokFirst("ab;;cd", TCharSet(";"), rec), "ab");
    EXPECT_EQ(rec.text, "ab;;cd");
    EXPECT_EQ(rec.position, 5u);  // at 'c'
    EXPECT_EQ(tarn::StrTokNext(TCharSet(";"), rec), "cd");
    EXPECT_EQ(rec.position, 7u);  // past the end
}

TEST(StrTok, FirstStartsANewScanWithTheSameRecord) {
    TStrTokRec rec;
    tarn::StrTokFirst("x;y;z", TCharSet(";"), rec);
    EXPECT_EQ(tarn::StrTokFirst("p;q", TCharSet(";"), rec), "p");
    EXPECT_EQ(tarn::StrTokNext(TCharSet(";"), rec), "q");
}

TEST(StrTok, LeadByteAtTheVeryEndIsKeptAndEndsTheScan) {
    EXPECT_EQ(Tokens("ab\x83", TCharSet(";")), Strings{"ab\x83"});
    TStrTokRec rec;
    tarn::StrTokFirst("ab\x83", TCharSet(";"), rec);
    EXPECT_EQ(rec.position, 4u);  // just past the end, as after any last token
    EXPECT_EQ(Tokens("a;\x83", TCharSet(";")), (Strings{"a", "\x83"}));
}

// ---- file search by masks ------------------------------------------------------------------

class FindFilesByMasksTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"qv_z.pl", "qv_a.exe", "qv_b.rb", "readme.txt", "qv_c.exe.bak"})
            WriteBytes(dir.Fs(name), "");
    }
    TStrArray Find(const std::string& path, const std::string& masks) {
        TStrArray names;
        tarn::FindFilesByMasks(path, masks, names);
        return names;
    }
    TempFolder dir;
};

TEST_F(FindFilesByMasksTest, WorkedSearches) {
    const std::vector<std::tuple<std::string, std::string, Strings>> cases = {
        // The mask order beats the name order.
        {dir.path(), "qv_*.pl;qv_*.exe;qv_*.rb", {"qv_z.pl", "qv_a.exe", "qv_b.rb"}},
        {dir.path(), "qv_*.rb;qv_*.exe;qv_*.pl", {"qv_b.rb", "qv_a.exe", "qv_z.pl"}},
        // A name matched by two masks is listed twice.
        {dir.path(), "qv_*.exe;*.exe", {"qv_a.exe", "qv_a.exe"}},
        // Empty elements of the list are skipped.
        {dir.path(), ";qv_*.exe;;qv_*.pl;", {"qv_a.exe", "qv_z.pl"}},
        {dir.path(), "", {}},
        {dir.path(), ";;", {}},
        // A file's path searches its folder.
        {dir.Path("qv_a.exe"), "qv_*.pl", {"qv_z.pl"}},
        {dir.Path("no_such_file"), "qv_*.rb", {"qv_b.rb"}},
        {dir.path() + platform::kPathDelimiter, "qv_*.rb", {"qv_b.rb"}},
        // A path outside any existing folder finds nothing.
        {dir.Path("missing/qv_a.exe"), "*", {}},
        {dir.Path("missing/deeper/"), "*", {}},
    };
    for (const auto& [path, masks, names] : cases) EXPECT_EQ(Find(path, masks), names) << path << " " << masks;
}

TEST_F(FindFilesByMasksTest, MatchingFoldersAreListedDotEntriesNever) {
    dir.MakeFolder("qv_dir.exe");
    Strings names = Find(dir.path(), "qv_*.exe");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Strings{"qv_a.exe", "qv_dir.exe"}));
    names = Find(dir.path(), "*");
    EXPECT_EQ(std::count(names.begin(), names.end(), "."), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), ".."), 0);
    EXPECT_EQ(names.size(), 6u);
}

TEST_F(FindFilesByMasksTest, MasksIgnoreLetterCase) {
    WriteBytes(dir.Fs("QV_X.EXE"), "");
    Strings names = Find(dir.path(), "qv_*.exe");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Strings{"QV_X.EXE", "qv_a.exe"}));
    EXPECT_EQ(Find(dir.path(), "QV_*.RB"), Strings{"qv_b.rb"});
}

TEST_F(FindFilesByMasksTest, QuestionMarkIsExactlyOneCharacter) {
    WriteBytes(dir.Fs("qv_ab.exe"), "");
    EXPECT_EQ(Find(dir.path(), "qv_?.exe"), Strings{"qv_a.exe"});
}

TEST_F(FindFilesByMasksTest, ShiftJisNamesComeBackInTheCodePage) {
    dir.MakeFolder(u8"プラグイン");
    WriteBytes(dir.Fs(u8"プラグイン/qv_表.exe"), "");
    EXPECT_EQ(Find(dir.Path("プラグイン"), "qv_*.exe"), Strings{"qv_\x95\x5C.exe"});
}

TEST_F(FindFilesByMasksTest, ThePlugInMaskList) {
    dir.MakeFolder(u8"plugins");
    for (const char* name : {"qv_one.js", "qv_two.vbs", "qv_three.rb", "qv_four.pl", "qv_five.exe", "tool.exe"})
        WriteBytes(dir.Fs(std::string("plugins/") + name), "");
    EXPECT_EQ(Find(dir.Path("plugins"), "qv_*.exe;qv_*.pl;qv_*.rb;qv_*.vbs;qv_*.js"),
              (Strings{"qv_five.exe", "qv_four.pl", "qv_three.rb", "qv_two.vbs", "qv_one.js"}));
}

}  // namespace
