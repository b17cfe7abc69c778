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
    for (const auto& [text, lines] : cases) EXPECT_EQ(tarn::SplitLines(text), lines) << text;
}

TEST(TextForm, EndsEveryLineWithCrLfTheLastIncluded) {
    EXPECT_EQ(tarn::TextForm({"a", "", "b "}), "a\r\n\r\nb \r\n");
    EXPECT_EQ(tarn::TextForm({}), "");
    EXPECT_EQ(tarn::TextForm({""}), "\r\n");
}

// ---- section headers -------------------------------------------------------------

TEST(IsHeaderLine, NeedsBracketsAsFirstAndLastCharacter) {
    for (const char* line : {"[BASIC]", "[]", "[名前]", "[ゾ]"}) EXPECT_TRUE(tarn::IsHeaderLine(line)) << line;
    for (const char* line : {"", "[", "BASIC]", " [BASIC]", "[BASIC] ", "[BASIC"})
        EXPECT_FALSE(tarn::IsHeaderLine(line)) << line;
    // ゾ is 0x83 0x5D; its second byte is the code of ']' but ends no header.
    for (const char* line : {"[ゾ", "[\x83\x5D"}) EXPECT_FALSE(tarn::IsHeaderLine(line)) << line;
}

// ---- one section out of a file ------------------------------------------------------

const SectionList kFile = {
    "stray line",  "[DIALOG]",    "URL=1",  "",      "[BASIC]", "NAME=a",
    "[basic]",     "NAME=lower",  "[BASIC] ", "inside=still", "[OTHER]", "X=1",
    "[BASIC]",     "PASS=p",
};

TEST(SelectSection, KeepsEveryOccurrenceBehindItsOwnHeader) {
    // "[BASIC] " (with a space) is no header, so its line belongs to the
    // section before it, which is [basic] here: not ours.
    EXPECT_EQ(tarn::SelectSection(kFile, "BASIC"), (SectionList{"[BASIC]", "NAME=a", "[BASIC]", "PASS=p"}));
}

TEST(SelectSection, HeaderMatchingIsCaseSensitive) {
    EXPECT_EQ(tarn::SelectSection(kFile, "basic"),
              (SectionList{"[basic]", "NAME=lower", "[BASIC] ", "inside=still"}));
    EXPECT_TRUE(tarn::SelectSection(kFile, "Dialog").empty());
}

TEST(SelectSection, BlankLinesStayAndLinesBeforeTheFirstHeaderAreDropped) {
    EXPECT_EQ(tarn::SelectSection(kFile, "DIALOG"), (SectionList{"[DIALOG]", "URL=1", ""}));
    EXPECT_TRUE(tarn::SelectSection({"a=1", "b=2"}, "BASIC").empty());
}

TEST(SelectSection, NameDoesNotMatchWithSurroundingSpaces) {
    EXPECT_TRUE(tarn::SelectSection({"[ BASIC ]", "A=1"}, "BASIC").empty());
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

TEST_F(ReadSectionTest, LowerCaseHeaderGivesAnEmptySection) {
    WriteBytes(dir.Fs("tarn_BBS.ini"), "[basic]\r\nNAME=n\r\n");
    EXPECT_TRUE(tarn::ReadSection(dir.Path("tarn_BBS.ini"), "BASIC").empty());
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

// ---- name=value lookup ---------------------------------------------------------------

TEST(GetValue, ReturnsEverythingAfterTheFirstEqualsSign) {
    const SectionList list = {"[BASIC]", "URL=http://x/?a=b", "NAME= spaced ", "EMPTY="};
    EXPECT_EQ(tarn::GetValue(list, "URL"), "http://x/?a=b");
    EXPECT_EQ(tarn::GetValue(list, "NAME"), " spaced ");
    EXPECT_EQ(tarn::GetValue(list, "EMPTY"), "");
    EXPECT_EQ(tarn::GetValue(list, "MISSING"), "");
}

TEST(GetValue, NamesMatchWithoutRegardToCaseAndTheFirstMatchWins) {
    const SectionList list = {"name=first", "NAME=second", "Pass=p"};
    EXPECT_EQ(tarn::GetValue(list, "NAME"), "first");
    EXPECT_EQ(tarn::GetValue(list, "pAsS"), "p");
}

TEST(GetValue, NameMustMatchWholly) {
    const SectionList list = {"NAMEX=1", "XNAME=2", "NAME =3", " NAME=4"};
    EXPECT_EQ(tarn::GetValue(list, "NAME"), "");
}

TEST(GetValue, HeaderAndLinesWithoutEqualsAreNoNameValueLines) {
    const SectionList list = {"[NAME]", "NAME", "NAME=v"};
    EXPECT_EQ(tarn::GetValue(list, "NAME"), "v");
    EXPECT_EQ(tarn::GetValue(list, "[NAME]"), "");
}

TEST(GetValue, ShiftJisNamesAndFullWidthLettersFoldToo) {
    // ｎａｍｅ / ＮＡＭＥ: full-width letters differ only in case.
    const SectionList list = {"名前=n", "\x82\x8E\x82\x81\x82\x8D\x82\x85=w"};
    EXPECT_EQ(tarn::GetValue(list, "名前"), "n");
    EXPECT_EQ(tarn::GetValue(list, "ＮＡＭＥ"), "w");
    EXPECT_EQ(tarn::GetValue(list, "NAME"), "");  // full width is not half width
    EXPECT_EQ(tarn::GetValue(list, "ゾ"), "");
}

// ---- name=value update ------------------------------------------------------------------

TEST(SetValue, ReplacesTheFirstMatchInTheCallersCase) {
    SectionList list = {"[BASIC]", "NAME=old", "name=second"};
    tarn::SetValue(list, "name", "new");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "name=new", "name=second"}));
    tarn::SetValue(list, "NAME", "up");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "NAME=up", "name=second"}));
}

TEST(SetValue, AppendsAMissingKeyAsLastLine) {
    SectionList list = {"[BASIC]", "A=1", ""};
    tarn::SetValue(list, "B", "2");
    EXPECT_EQ(list, (SectionList{"[BASIC]", "A=1", "", "B=2"}));
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
