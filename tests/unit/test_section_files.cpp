// Reading settings files as line lists: splitting text into lines, section
// headers, picking one section out of a file, and the name=value rules.
#include <gtest/gtest.h>

#include "platform/file_error.h"
#include "settings/qvComFunctions.h"
#include "temp_folder.h"

namespace {

using tarn::SectionList;
using namespace tarn_test;

// ---- splitting text into lines ------------------------------------------------

TEST(SplitLines, WorkedTexts) {
    const std::vector<std::pair<std::string, SectionList>> cases = {
        // Lines end at CR, LF and CR LF.
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        // A final break adds no empty line.
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n", {"a"}},
        {"a\r", {"a"}},
        // LF followed by CR is two breaks.
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        // Blank lines and surrounding blanks stay.
        {"\r\n  x \t\r\n\r\ny", {"", "  x \t", "", "y"}},
        // NUL ends the line and the whole text.
        {std::string("ab\0cd\r\nef", 9), {"ab"}},
        {std::string("ab\r\n\0cd", 7), {"ab"}},
        {std::string("\0ab", 3), {}},
        // Empty text has no lines.
        {"", {}},
        // ソ and 表 end in 0x5C; no byte of a double-byte character is a break.
        {"ソ表\r\n名前", {"\x83\x5C\x95\x5C", "\x96\xBC\x91\x4F"}},
    };
    for (const auto& [text, lines] : cases) {
        EXPECT_EQ(tarn::SplitLines(text), lines) << text;
        // A section read straight from the text is the one read from its lines.
        for (const std::string& withHeader : {"[BASIC]\r\n" + text, text + "\n[basic]\n" + text})
            EXPECT_EQ(tarn::SelectSectionOfText(withHeader, "BASIC"), tarn::SelectSection(tarn::SplitLines(withHeader), "BASIC"))
                << withHeader;
    }
}

TEST(SplitAt, EveryPartAndAtMostTheGivenNumberTheLastKeepingTheRest) {
    using Parts = std::vector<std::string>;
    EXPECT_EQ(tarn::SplitAt("URL,UPURL", ","), (Parts{"URL", "UPURL"}));
    EXPECT_EQ(tarn::SplitAt(",a,,", ","), (Parts{"", "a", "", ""}));
    EXPECT_EQ(tarn::SplitAt("", ","), (Parts{""}));
    EXPECT_EQ(tarn::SplitAt("a\tb\tc\td", "\t", 3), (Parts{"a", "b", "c\td"}));
    EXPECT_EQ(tarn::SplitAt("a\r\nb\r\r\n", "\r\n"), (Parts{"a", "b\r", ""}));
}

TEST(TextForm, EndsEveryLineWithCrLfTheLastIncluded) {
    EXPECT_EQ(tarn::TextForm({"a", "", "b "}), "a\r\n\r\nb \r\n");
    EXPECT_EQ(tarn::TextForm({}), "");
    EXPECT_EQ(tarn::TextForm({""}), "\r\n");
}

// ---- section headers, as Windows reads them -----------------------------------------

TEST(HeaderName, WhiteSpaceAroundAndInsideTheBracketsDoesNotCount) {
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"[BASIC]", "BASIC"}, {"[]", ""},           {"[名前]", "名前"},      {"[ゾ]", "ゾ"},
        {" [BASIC]", "BASIC"}, {"[BASIC] ", "BASIC"}, {"\t[ BASIC\t]\t", "BASIC"},
        // The name ends at the last ']'; text after it does not count.
        {"[BASIC]x", "BASIC"}, {"[BASIC]]", "BASIC]"}, {"[BA]SIC]", "BA]SIC"},
    };
    for (const auto& [line, name] : headers) EXPECT_EQ(tarn::HeaderName(line), name) << line;
    // ゾ is 0x83 0x5D; its second byte is the code of ']' but closes no header.
    for (const char* line : {"", "[", "BASIC]", "[BASIC", "x[BASIC]", "[ゾ", "[\x83\x5D"})
        EXPECT_FALSE(tarn::IsHeaderLine(line)) << line;
}

// ---- one section out of a file ------------------------------------------------------

const SectionList kFile = {
    "stray line",  "[DIALOG]",    "URL=1",  "",      "[BASIC]", "NAME=a",
    "[basic]",     "NAME=lower",  "[ BASIC ] ", "inside=still", "[OTHER]", "X=1",
    "[BASIC]",     "PASS=p",
};

TEST(SelectSection, EveryOccurrenceInAnyCaseAndSpacingStaysBehindTheNamesOwnHeader) {
    const SectionList basic = {"[BASIC]", "NAME=a", "[BASIC]", "NAME=lower", "[BASIC]", "inside=still",
                               "[BASIC]", "PASS=p"};
    EXPECT_EQ(tarn::SelectSection(kFile, "BASIC"), basic);
    EXPECT_EQ(tarn::SelectSection(kFile, "basic"), (SectionList{"[basic]", "NAME=a", "[basic]", "NAME=lower",
                                                                "[basic]", "inside=still", "[basic]", "PASS=p"}));
    EXPECT_TRUE(tarn::SelectSection(kFile, "BAS").empty());
}

TEST(SelectSection, BlankLinesStayAndLinesBeforeTheFirstHeaderAreDropped) {
    EXPECT_EQ(tarn::SelectSection(kFile, "DIALOG"), (SectionList{"[DIALOG]", "URL=1", ""}));
    EXPECT_TRUE(tarn::SelectSection({"a=1", "b=2"}, "BASIC").empty());
}

class ReadSectionTest : public ::testing::Test {
protected:
    TempFolder dir;
};

TEST_F(ReadSectionTest, ReadsTheNamedSectionOfAFile) {
    WriteBytes(dir.Fs("tarn_BBS.ini"), "x=0\r\n[DIALOG]\r\nURL=1\r\n[BASIC]\r\nNAME=n\r\n\r\n");
    EXPECT_EQ(tarn::ReadSection(dir.Path("tarn_BBS.ini"), "BASIC"), (SectionList{"[BASIC]", "NAME=n", ""}));
    EXPECT_EQ(tarn::ReadSection(dir.Path("tarn_BBS.ini"), "DIALOG"), (SectionList{"[DIALOG]", "URL=1"}));
}

TEST_F(ReadSectionTest, LfOnlyAndCrOnlyFilesReadLikeCrLfFiles) {
    const SectionList expected = {"[BASIC]", "A=1", "", "B=2"};
    for (const char* bytes : {"[BASIC]\r\nA=1\r\n\r\nB=2\r\n", "[BASIC]\nA=1\n\nB=2\n", "[BASIC]\rA=1\r\rB=2\r"}) {
        WriteBytes(dir.Fs("tarn_BBS.ini"), bytes);
        EXPECT_EQ(tarn::ReadSection(dir.Path("tarn_BBS.ini"), "BASIC"), expected) << bytes;
    }
}

TEST_F(ReadSectionTest, LowerCaseHeaderIsTheSection) {
    WriteBytes(dir.Fs("tarn_BBS.ini"), "[basic]\r\nNAME=n\r\n");
    EXPECT_EQ(tarn::ReadSection(dir.Path("tarn_BBS.ini"), "BASIC"), (SectionList{"[BASIC]", "NAME=n"}));
}

TEST_F(ReadSectionTest, MissingFileAndFolderReadAsEmpty) {
    EXPECT_TRUE(tarn::ReadSection(dir.Path("missing.ini"), "BASIC").empty());
    EXPECT_TRUE(tarn::ReadSection(dir.Path("no/such/folder.ini"), "BASIC").empty());
    dir.MakeFolder("folder.ini");
    EXPECT_TRUE(tarn::ReadSection(dir.Path("folder.ini"), "BASIC").empty());
}

TEST_F(ReadSectionTest, ShiftJisFileNameAndContent) {
    dir.MakeFolder(u8"ソ表");
    WriteBytes(dir.Fs(u8"ソ表/tarn_BBS.ini"), "[BASIC]\r\nNAME=名前ソ\r\n");
    EXPECT_EQ(tarn::ReadSection(dir.Path("ソ表/tarn_BBS.ini"), "BASIC"),
              (SectionList{"[BASIC]", "NAME=\x96\xBC\x91\x4F\x83\x5C"}));
}

TEST_F(ReadSectionTest, UnreadableFileRaisesTheOpenErrorWithThePath) {
    UnreadableFile file(dir, "locked.ini");
    if (!file.ready()) GTEST_SKIP() << "cannot make an unreadable file here";
    ExpectFileError([&] { tarn::ReadSection(file.path(), "BASIC"); }, platform::FileError::kOpen, file.path());
}

// ---- key lookup, as Windows reads a key ---------------------------------------------

TEST(GetValue, ValueAsWindowsHandsItOut) {
    const SectionList list = {"[BASIC]",   "URL=http://x/?a=b", "NAME= spaced \t", "EMPTY=", "Q=\"quoted\"",
                              "S='single'", "HALF=\"open",       "MIXED=\"a'",      "BARE"};
    const std::vector<std::pair<const char*, const char*>> values = {
        {"URL", "http://x/?a=b"}, {"NAME", "spaced"}, {"EMPTY", ""},        {"Q", "quoted"}, {"S", "single"},
        {"HALF", "\"open"},       {"MIXED", "\"a'"},  {"BARE", ""},          {"MISSING", ""}};
    for (const auto& [key, value] : values) EXPECT_EQ(tarn::GetValue(list, key), value) << key;
    EXPECT_EQ(tarn::FindValue(list, "BARE"), std::string());  // a key with no value is there
    EXPECT_EQ(tarn::FindValue(list, "MISSING"), std::nullopt);
}

TEST(GetValue, NamesMatchWithoutRegardToCaseAndSurroundingWhiteSpaceTheFirstWins) {
    const SectionList list = {"name=first", "NAME=second", "Pass=p", " \tUSER \t= u"};
    EXPECT_EQ(tarn::GetValue(list, "NAME"), "first");
    EXPECT_EQ(tarn::GetValue(list, "pAsS"), "p");
    EXPECT_EQ(tarn::GetValue(list, "USER"), "u");
    // A line that holds only the name is the key, with no value: it hides later lines.
    EXPECT_EQ(tarn::FindValue({"[BASIC]", " NAME ", "NAME=later"}, "NAME"), std::string());
}

TEST(GetValue, NameMustMatchWhollyAndCommentsAreOtherNames) {
    const SectionList list = {"NAMEX=1", "XNAME=2", "N AME=3", ";NAME=4", "\x81\x40NAME=5"};
    EXPECT_EQ(tarn::FindValue(list, "NAME"), std::nullopt);
}

TEST(GetValue, OnlyTheFirstOccurrenceOfTheSectionIsRead) {
    const SectionList list = {"[BASIC]", "URL=u", "[BASIC]", "NAME=later", "URL=v"};
    EXPECT_EQ(tarn::FindValue(list, "NAME"), std::nullopt);
    EXPECT_EQ(tarn::GetValue(list, "URL"), "u");
    EXPECT_EQ(tarn::FindValue(list, "[BASIC]"), std::nullopt);
}

TEST(GetValue, ShiftJisNamesAndFullWidthLettersFoldToo) {
    // ｎａｍｅ / ＮＡＭＥ: full-width letters differ only in case.
    const SectionList list = {"名前=n", "\x82\x8E\x82\x81\x82\x8D\x82\x85=w"};
    EXPECT_EQ(tarn::GetValue(list, "名前"), "n");
    EXPECT_EQ(tarn::GetValue(list, "ＮＡＭＥ"), "w");
    EXPECT_EQ(tarn::GetValue(list, "NAME"), "");  // full width is not half width
    EXPECT_EQ(tarn::GetValue(list, "ゾ"), "");
}

// ---- key update ---------------------------------------------------------------------------

TEST(SetValue, ReplacesTheLineWindowsReadsInTheCallersCase) {
    SectionList list = {"[BASIC]", " NAME = old ", "name=second", "\tURL", "URL=later"};
    tarn::SetValue(list, "name", "new");
    tarn::SetValue(list, "URL", "u");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "name=new", "name=second", "URL=u", "URL=later"}));
}

TEST(SetValue, AppendsAMissingKeyAtTheEndOfTheFirstOccurrence) {
    SectionList list = {"[BASIC]", "A=1", ""};
    tarn::SetValue(list, "B", "2");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "A=1", "", "B=2"}));
    list = {"[BASIC]", "A=1", "[BASIC]", "C=3"};
    tarn::SetValue(list, "C", "new");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "A=1", "C=new", "[BASIC]", "C=3"}));
}

TEST(SetValue, EmptyValueDeletesOnlyTheFirstMatch) {
    SectionList list = {"[BASIC]", "A=1", "a=2", "B=3"};
    tarn::SetValue(list, "A", "");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "a=2", "B=3"}));
    tarn::SetValue(list, "MISSING", "");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "a=2", "B=3"}));
}

// ---- trimming -------------------------------------------------------------------------------

TEST(Trim, RemovesEveryControlCharacterAndSpaceAtBothEnds) {
    EXPECT_EQ(tarn::Trim(" \t\x01NAME = a b\r\n\x1F "), "NAME = a b");
    EXPECT_EQ(tarn::Trim(" \t "), "");
    EXPECT_EQ(tarn::TrimRight(" \tx \t\r\n"), " \tx");
    // Bytes of 0x80 and above are characters, never white space.
    EXPECT_EQ(tarn::Trim("\x81\x40"), "\x81\x40");
}

}  // namespace
