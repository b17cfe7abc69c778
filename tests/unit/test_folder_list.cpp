// The start-folder dialog's folder list: its rows and how it moves the
// process's current working folder.
#include <gtest/gtest.h>

#include "platform/file_error.h"
#include "platform/platform.h"
#include "temp_folder.h"
#include "utility/tuDirList.h"

namespace {

using tarn::BuildFolderRows;
using tarn::FolderList;
using tarn::FolderRowKind;
using tarn::SplitFolderPath;
using namespace tarn_test;

const std::string kSep(1, platform::kPathDelimiter);

// "C:" + names joined with the platform's delimiter.
std::string DrivePath(const std::vector<std::string>& names) {
    std::string path = "C:" + kSep;
    for (std::size_t i = 0; i < names.size(); ++i) path += (i ? kSep : "") + names[i];
    return path;
}

TEST(FolderPaths, DriveRootAndNames) {
    auto split = SplitFolderPath(DrivePath({"host", "data"}));
    EXPECT_EQ(split.root, "C:" + kSep);
    EXPECT_EQ(split.names, (std::vector<std::string>{"host", "data"}));
    split = SplitFolderPath(DrivePath({}));
    EXPECT_EQ(split.root, "C:" + kSep);
    EXPECT_TRUE(split.names.empty());
}

TEST(FolderPaths, TrailBytesThatLookLikeASeparatorDoNotSplit) {
    // 表ソ is 0x95 0x5C 0x83 0x5C: both trail bytes are the value of '\'.
    const auto split = SplitFolderPath(DrivePath({"\x95\x5C\x83\x5C", "x"}));
    EXPECT_EQ(split.names, (std::vector<std::string>{"\x95\x5C\x83\x5C", "x"}));
}

TEST(FolderPaths, NetworkShareIsTheRoot) {
    const auto split = SplitFolderPath(kSep + kSep + "server" + kSep + "share" + kSep + "boards");
    EXPECT_EQ(split.root, kSep + kSep + "server" + kSep + "share" + kSep);
    EXPECT_EQ(split.names, (std::vector<std::string>{"boards"}));
}

TEST(FolderRows, RootAncestorsCurrentThenSortedSubfolders) {
    const auto rows = BuildFolderRows(DrivePath({"host", "data"}), {"zeta", "Abc", "board1", "abd"});
    ASSERT_EQ(rows.size(), 7u);
    const std::vector<std::string> names = {"C:" + kSep, "host", "data", "Abc", "abd", "board1", "zeta"};
    const std::vector<FolderRowKind> kinds = {FolderRowKind::Root,      FolderRowKind::Ancestor,  FolderRowKind::Current,
                                              FolderRowKind::Subfolder, FolderRowKind::Subfolder, FolderRowKind::Subfolder,
                                              FolderRowKind::Subfolder};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].name, names[i]) << i;
        EXPECT_EQ(rows[i].kind, kinds[i]) << i;
    }
    EXPECT_EQ(rows[0].path, "C:" + kSep);
    EXPECT_EQ(rows[1].path, DrivePath({"host"}));
    EXPECT_EQ(rows[2].path, DrivePath({"host", "data"}));
    EXPECT_EQ(rows[5].path, DrivePath({"host", "data", "board1"}));
    EXPECT_EQ(rows[0].depth, 0);
    EXPECT_EQ(rows[2].depth, 2);
    EXPECT_EQ(rows[3].depth, 3);
}

TEST(FolderRows, AtTheRootTheRootIsCurrent) {
    const auto rows = BuildFolderRows(DrivePath({}), {"data"});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].kind, FolderRowKind::Current);
    EXPECT_EQ(rows[1].path, DrivePath({"data"}));  // no doubled separator after the root
}

// The names of the list's subfolder rows, in their order.
std::vector<std::string> Subfolders(const FolderList& list) {
    std::vector<std::string> names;
    for (const auto& row : list.Rows())
        if (row.kind == FolderRowKind::Subfolder) names.push_back(row.name);
    return names;
}

// Puts the process's working folder back after each test.
class FolderListTest : public ::testing::Test {
protected:
    void TearDown() override { platform::ChangeCurrentDirectory(saved_); }
    std::string saved_ = platform::CurrentDirectory();
    TempFolder folder_;
};

TEST_F(FolderListTest, SettingAFolderMovesTheWorkingFolderAndListsOnlyFolders) {
    folder_.MakeFolders({"b", "A", u8"表ソ"});
    WriteBytes(folder_.Fs("tarn_BBS.ini"), "x");
    FolderList list;
    list.SetDirectory(folder_.path());
    EXPECT_EQ(platform::CurrentDirectory(), list.Directory());
    EXPECT_TRUE(platform::SameTextIgnoringCase(list.Directory(), folder_.path())) << list.Directory();
    EXPECT_EQ(Subfolders(list), (std::vector<std::string>{"A", "b", "\x95\x5C\x83\x5C"}));
    EXPECT_EQ(list.Rows()[list.CurrentRowIndex()].kind, FolderRowKind::Current);
}

TEST_F(FolderListTest, OpeningRowsGoesDownAndUp) {
    folder_.MakeFolder("board1/inner");
    FolderList list;
    list.SetDirectory(folder_.path());
    const std::size_t current = list.CurrentRowIndex();
    ASSERT_EQ(list.Rows().size(), current + 2);
    list.OpenRow(current + 1);  // board1
    EXPECT_EQ(list.Directory(), folder_.Path("board1"));
    EXPECT_EQ(platform::CurrentDirectory(), folder_.Path("board1"));
    list.OpenRow(list.CurrentRowIndex() - 1);  // back up to the temporary folder
    EXPECT_EQ(list.Directory(), folder_.path());
    list.OpenRow(0);  // the root
    EXPECT_GE(list.Rows().size(), 1u);
    EXPECT_EQ(list.CurrentRowIndex(), 0u);
    EXPECT_EQ(platform::CurrentDirectory(), list.Directory());
}

TEST_F(FolderListTest, AFolderThatCannotBeEnteredRaisesAndChangesNothing) {
    FolderList list;
    list.SetDirectory(folder_.path());
    const auto rowsBefore = list.Rows().size();
    WriteBytes(folder_.Fs("plain.txt"), "x");
    for (const std::string& bad : {folder_.Path("missing"), folder_.Path("plain.txt")}) {
        try {
            list.SetDirectory(bad);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const platform::FolderError& e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
            EXPECT_EQ(e.path(), bad);
        }
        EXPECT_EQ(list.Directory(), folder_.path());
        EXPECT_EQ(list.Rows().size(), rowsBefore);
        EXPECT_EQ(platform::CurrentDirectory(), folder_.path());
    }
}

TEST_F(FolderListTest, SettingTheCurrentFolderAgainDoesNothing) {
    folder_.MakeFolder("Board");
    FolderList list;
    list.SetDirectory(folder_.Path("Board"));
    platform::ChangeCurrentDirectory(folder_.path());
    // The same folder (letter case aside on Windows) neither moves the working
    // folder nor rebuilds the rows.
    list.SetDirectory(folder_.Path("Board"));
    EXPECT_EQ(platform::CurrentDirectory(), folder_.path());
}

#ifdef _WIN32
TEST_F(FolderListTest, HiddenAndSystemFoldersAreNotListed) {
    folder_.MakeFolders({"shown", "hidden", "system"});
    ASSERT_NE(SetFileAttributesA(folder_.Path("hidden").c_str(), 0x2 /* hidden */), 0);
    ASSERT_NE(SetFileAttributesA(folder_.Path("system").c_str(), 0x4 /* system */), 0);
    FolderList list;
    list.SetDirectory(folder_.path());
    EXPECT_EQ(Subfolders(list), (std::vector<std::string>{"shown"}));
    list.SetDirectory(folder_.Path("HIDDEN"));  // hidden folders can still be set directly
    EXPECT_TRUE(platform::SameTextIgnoringCase(list.Directory(), folder_.Path("hidden")));
}
#endif

}  // namespace
