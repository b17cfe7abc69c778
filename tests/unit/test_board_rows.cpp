// The board list's rows: what the filter lets through, the order a column
// header gives, and secrets hidden until asked for.
#include <gtest/gtest.h>

#include "utility/tuBoardRows.h"

namespace {

using tarn::Field;

tarn::ListedBoard Board(const std::string& relative, tarn::SectionList basic) {
    return {"C:\\host\\data\\" + relative, relative, std::move(basic)};
}

const int kName = 1 + static_cast<int>(Field::NAME), kPass = 1 + static_cast<int>(Field::PASS);

std::vector<std::string> Column(const tarn::BoardRows& rows, int column) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < rows.ShownCount(); ++i) texts.push_back(rows.CellText(i, column));
    return texts;
}

tarn::BoardRows ThreeBoards() {
    tarn::BoardRows rows;
    rows.Append({Board("b", {"[BASIC]", " name = 花子 ", "PASS=secret"}), Board("a", {"[BASIC]", "NAME=太郎"})});
    rows.Append({Board("c", {})});  // no settings file: every value empty
    return rows;
}

TEST(BoardRows, CellsShowTheValuesTheHostReadsAndHideSecrets) {
    tarn::BoardRows rows = ThreeBoards();
    EXPECT_EQ(Column(rows, tarn::kFolderListColumn), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(Column(rows, kName), (std::vector<std::string>{"花子", "太郎", ""}));
    EXPECT_EQ(Column(rows, kPass), (std::vector<std::string>{tarn::kHiddenSecret, "", ""}));
    rows.ShowSecrets(true);
    EXPECT_EQ(Column(rows, kPass), (std::vector<std::string>{"secret", "", ""}));
    EXPECT_EQ(std::string(tarn::ListColumnCaption(kName)), "名前");
}

TEST(BoardRows, FilterAndItsNegationAlsoOverRowsLoadedLater) {
    tarn::BoardRows rows = ThreeBoards();
    rows.SetFilter({{Field::NAME, "?*"}});
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(rows.CountText(), "2 / 3 板");
    rows.SetFilter({{Field::NAME, "?*", true}});
    rows.Append({Board("d", {"[BASIC]", "NAME=x"}), Board("e", {"[BASIC]"})});
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"c", "e"}));
    EXPECT_EQ(rows.CountText(), "2 / 5 板");
    rows.SetFilter({});
    EXPECT_EQ(rows.ShownCount(), 5u);
}

TEST(BoardRows, SortByAColumnThenReversedTiesInListingOrder) {
    tarn::BoardRows rows = ThreeBoards();
    rows.Append({Board("d", {"[BASIC]", "NAME=太郎"})});
    rows.SortBy(kName);
    // By the Shift-JIS bytes: 花 is 0x89D4, 太 0x91BE.
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"c", "b", "a", "d"}));
    rows.SortBy(kName);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"a", "d", "b", "c"}));
    rows.Append({Board("0", {})});  // a row loaded later takes its place
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"a", "d", "b", "c", "0"}));
    rows.SortBy(tarn::kFolderListColumn);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"0", "a", "b", "c", "d"}));
}

}  // namespace

namespace {

TEST(BoardRows, ReplacementPreviewShowsTheChangingBoardsAndTheirNewValues) {
    tarn::BoardRows rows;
    rows.Append({Board("a", {"[BASIC]", "URL=http://old.example/a/", "PASS=old"}),
                 Board("b", {"[BASIC]", "URL=http://new.example/b/"}), Board("c", {"[BASIC]", "UPURL=http://old.example/"}),
                 Board("d", {"[BASIC]", "URL=http://old.example/d/"})});
    rows.SetFilter({{Field::URL, "*/d/", true}});
    rows.PreviewReplacement({{Field::URL, Field::UPURL, Field::PASS}, "old", "new"});
    EXPECT_TRUE(rows.InPreview());
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"a", "c"}));  // d is filtered out, b unchanged
    EXPECT_EQ(rows.CountText(), "置換で変わる板: 2 / 3 板");
    const int url = 1 + static_cast<int>(Field::URL);
    EXPECT_EQ(Column(rows, url), (std::vector<std::string>{"http://old.example/a/ → http://new.example/a/", ""}));
    EXPECT_EQ(rows.CellText(0, kPass), std::string(tarn::kHiddenSecret) + " → " + tarn::kHiddenSecret);
    const std::vector<tarn::BoardInput> boards = rows.PreviewedBoards();
    ASSERT_EQ(boards.size(), 2u);
    EXPECT_EQ(boards[1].folder, "C:\\host\\data\\c");
    EXPECT_FALSE(boards[1].input[Field::UPURL].enabled);  // the replacement alone, each board's own value
    ASSERT_EQ(boards[1].input.replacements.size(), 1u);
    EXPECT_EQ(boards[1].input.replacements[0].to, "new");
    rows.SetFilter({});  // a new filter ends the preview
    EXPECT_FALSE(rows.InPreview());
    EXPECT_EQ(rows.ShownCount(), 4u);
}

}  // namespace

namespace {

TEST(BoardRows, ExportHoldsTheShownRowsAndTheSecretsOnlyWhileShown) {
    tarn::BoardRows rows = ThreeBoards();
    rows.SortBy(tarn::kFolderListColumn);
    rows.SetFilter({{Field::NAME, "?*"}});
    const std::vector<Field> hidden = rows.ExportColumns();
    EXPECT_EQ(hidden, tarn::DefaultListColumns());
    const std::vector<tarn::TableRow> table = rows.ShownTable({Field::NAME, Field::PASS});
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].folder, "a");
    EXPECT_EQ(table[1].values, (std::vector<std::string>{"花子", "secret"}));  // the values, not what the cells show
    rows.ShowSecrets(true);
    EXPECT_EQ(rows.ExportColumns().size(), tarn::kFieldCount);
    EXPECT_EQ(rows.ExportColumns().back(), Field::PASS);
}

}  // namespace
