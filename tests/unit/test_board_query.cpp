// Choosing boards by value, replacing part of a value, and the CSV form of
// the board table.
#include <gtest/gtest.h>

#include "batch/BoardQuery.h"
#include "batch/BoardTable.h"
#include "platform/paths.h"
#include "platform/wildcard.h"
#include "temp_folder.h"

namespace {

using tarn::Field;
using tarn::SectionList;

TEST(MatchesPattern, WildcardsOverCharactersWithoutTheExtensionRule) {
    const std::vector<std::tuple<const char*, const char*, bool>> cases = {
        {"http://old.example/test/", "http://old.example/*", true},
        {"HTTP://OLD.EXAMPLE/x", "http://old.example/*", true},
        {"http://old.example", "http://old.example/*", false},
        {"abc", "a?c", true},
        {"a表c", "a?c", true},  // a double-byte character is one
        {"名前", "名*", true},
        {"ﾅﾏｴ", "ﾅ??", true},
        {"", "*", true},
        {"", "?", false},
        {"noext", "noext.*", false},  // no extension rule for values
        // ソ is 0x83 0x5C: its second byte is never a character of its own.
        {"\x83\x5C", "*\\", false},
        {"\x83\x5C", "?", true},
    };
    for (const auto& [text, pattern, matches] : cases)
        EXPECT_EQ(platform::MatchesPattern(text, pattern), matches) << text << " ~ " << pattern;
}

TEST(IsChosen, EveryConditionHoldsOnTheValueTheHostReads) {
    const SectionList basic = {"[BASIC]", " url = http://old.example/b/ ", "LIB=2ch", "URL=http://later/", "NAME="};
    const tarn::ValueCondition site{Field::URL, "http://old.example/*"}, lib{Field::LIB, "2CH"},
        notLib{Field::LIB, "2ch", true}, noHp{Field::HP, ""}, someName{Field::NAME, "?*"};
    EXPECT_TRUE(tarn::IsChosen({}, basic));
    EXPECT_TRUE(tarn::IsChosen({site, lib, noHp}, basic));
    EXPECT_FALSE(tarn::IsChosen({site, notLib}, basic));
    EXPECT_FALSE(tarn::IsChosen({someName}, basic));
    // A board without a settings file has every value empty.
    EXPECT_TRUE(tarn::IsChosen({noHp, {Field::URL, "*"}}, {}));
    EXPECT_FALSE(tarn::IsChosen({site}, {}));
}

TEST(ReplaceAll, EveryOccurrenceOnCharacterBoundariesOnly) {
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases = {
        {"http://old.example/b/", "http://old.example/", "https://new.example/", "https://new.example/b/"},
        {"a=b a=b", "a=b", "x: y", "x: y x: y"},
        {"aaa", "aa", "b", "ba"},
        // ソ表 is 83 5C 95 5C: "\x5C\x95" spans two characters and is no occurrence.
        {"\x83\x5C\x95\x5C", "\x5C\x95", "X", "\x83\x5C\x95\x5C"},
        {"\x83\x5C\x95\x5C", "\x95\x5C", "X", "\x83\x5CX"},
        // "\x83" would end inside ソ.
        {"\x83\x5C", "\x83", "X", "\x83\x5C"},
    };
    for (const auto& [text, from, to, want] : cases) {
        std::string got;
        EXPECT_EQ(tarn::ReplaceAll(text, from, to, got), want != text) << text;
        EXPECT_EQ(got, want) << text;
    }
}

TEST(Csv, RecordsRoundTripWithQuotesCommasAndLineBreaks) {
    const std::vector<tarn::CsvRecord> records = {
        {"folder", "NAME", "URL"}, {"板/a", "名無し, さん", "http://x/?a=\"b\""}, {"b", "", "two\r\nlines"}, {""}};
    std::string text;
    for (const auto& record : records) text += tarn::FormatCsvRecord(record);
    EXPECT_EQ(text,
              "folder,NAME,URL\r\n\x94\xC2/a,\"\x96\xBC\x96\xB3\x82\xB5, \x82\xB3\x82\xF1\",\"http://x/?a=\"\"b\"\"\"\r\n"
              "b,,\"two\r\nlines\"\r\n\r\n");
    EXPECT_EQ(tarn::ParseCsv(text), records);
    // LF or CR line ends, no end at the end, an empty quoted field last.
    EXPECT_EQ(tarn::ParseCsv("a,b\nc,\"\""), (std::vector<tarn::CsvRecord>{{"a", "b"}, {"c", ""}}));
    EXPECT_EQ(tarn::ParseCsv("a\rb,"), (std::vector<tarn::CsvRecord>{{"a"}, {"b", ""}}));
    EXPECT_TRUE(tarn::ParseCsv("").empty());
}

TEST(Csv, MalformedTextNamesRowAndColumn) {
    const std::vector<std::tuple<const char*, tarn::CsvError::Kind, std::size_t, std::size_t>> cases = {
        {"a,b\r\nc,d\"e\r\n", tarn::CsvError::kStrayQuote, 2, 2},
        {"a,\"b\"c\r\n", tarn::CsvError::kTextAfterQuote, 1, 2},
        {"a\r\nb\r\n\"open,\r\n", tarn::CsvError::kUnclosedQuote, 3, 1},
    };
    for (const auto& [text, kind, row, column] : cases) {
        try {
            tarn::ParseCsv(text);
            ADD_FAILURE() << "read: " << text;
        } catch (const tarn::CsvError& e) {
            EXPECT_EQ(e.kind, kind) << text;
            EXPECT_EQ(e.row, row) << text;
            EXPECT_EQ(e.column, column) << text;
        }
    }
}

// A table's folder is a path below the start folder, with '/' or '\\'; one
// that starts at a root, names a drive or climbs out is refused.
TEST(BoardTable, FolderCellsReadBelowTheStartFolderOnly) {
    tarn_test::TempFolder dir;
    dir.MakeFolder("a/b");
    const std::string start = dir.path(), ab = platform::JoinPath(platform::JoinPath(start, "a"), "b");
    const auto folderOf = [&](const std::string& cell) {
        return tarn::ReadBoardTable("FOLDER\r\n" + cell + "\r\n", start).at(0).folder;
    };
    EXPECT_EQ(folderOf("a/b"), ab);
    EXPECT_EQ(folderOf(".\\a\\\\b/"), ab);
    EXPECT_EQ(folderOf("."), start);
    for (const std::string cell : {"/a", "\\a", "C:a", "a:", "a/../a", ".."}) {
        try {
            folderOf(cell);
            ADD_FAILURE() << "read: " << cell;
        } catch (const tarn::ImportError& e) {
            EXPECT_EQ(e.kind, tarn::ImportError::kOutsideStart) << cell;
        }
    }
}

}  // namespace
