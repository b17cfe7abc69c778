// The batch run over a folder tree: which folders get which files, in which
// order, and what a failure part way leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "batch/ListingsAhead.h"
#include "batch/RunReport.h"
#include "batch/tuConfAll.h"
#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "temp_folder.h"

namespace {

using namespace tarn_test;
using tarn::BatchInput;
using tarn::Field;
using tarn::WriteOutcome;

// Records the walk as "enter <folder>" and "store <file>" events, and stops
// a walk that would not end (a link cycle followed) after 50 folders.
class Recorder : public tarn::BatchObserver {
public:
    void FolderEntered(const std::string& folder) override {
        if (folders.size() == 50) throw std::runtime_error("the walk does not end");
        events.push_back("enter " + folder);
        folders.push_back(folder);
    }
    void FileStored(const std::string& path, WriteOutcome outcome) override {
        events.push_back("store " + path);
        outcomes.push_back(outcome);
    }
    std::vector<std::string> events, folders;
    std::vector<WriteOutcome> outcomes;
};

class TreeWalk : public ::testing::Test {
protected:
    void Walk(const BatchInput& input, tarn::WriteMode mode = tarn::WriteMode::Write) {
        tarn::BatchOptions options;
        options.mode = mode;
        options.observer = &recorder;
        tarn::ApplyToTree(dir.path(), input, options);
    }
    static BatchInput NameOnly() {
        BatchInput input;
        input[Field::NAME] = {true, "n"};
        return input;
    }
    static BatchInput NameAndSignature() {
        BatchInput input = NameOnly();
        input.signatureChecked = true;
        input.signatureText = "sig\r\nline";
        return input;
    }

    TempFolder dir;
    Recorder recorder;
    FaultGuard faults;
};

TEST_F(TreeWalk, FolderWithoutSubfoldersGetsExactlyOneSettingsFile) {
    Walk(NameOnly());
    EXPECT_EQ(EntryNames(dir.fs()), std::vector<std::string>{"tarn_BBS.ini"});
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), "[BASIC]\r\nNAME=n\r\n");
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"enter " + dir.path(), "store " + dir.Path("tarn_BBS.ini")}));
}

TEST_F(TreeWalk, CheckedSignatureAddsSignIniWrittenFirst) {
    Walk(NameAndSignature());
    EXPECT_EQ(EntryNames(dir.fs()), (std::vector<std::string>{"sign.ini", "tarn_BBS.ini"}));
    EXPECT_EQ(ReadBytes(dir.Fs("sign.ini")), "sig\r\nline");
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"enter " + dir.path(), "store " + dir.Path("sign.ini"),
                                                         "store " + dir.Path("tarn_BBS.ini")}));
}

TEST_F(TreeWalk, EveryFolderOfTheTreeGetsItsFiles) {
    dir.MakeFolders({"a/a1/a11", "b"});
    dir.MakeFolder(".hidden");  // an ordinary folder on POSIX, visited all the same
    WriteBytes(dir.Fs("a/tarn_BBS.ini"), "[DIALOG]\r\nURL=1\r\n[BASIC]\r\nNAME=old\r\nPASS=p\r\n");
    WriteBytes(dir.Fs("b/readme.txt"), "not a folder");
    Walk(NameAndSignature());
    for (const char* folder : {"", "a", "a/a1", "a/a1/a11", "b", ".hidden"}) {
        const std::string prefix = *folder ? std::string(folder) + "/" : "";
        EXPECT_EQ(ReadBytes(dir.Fs(prefix + "sign.ini")), "sig\r\nline") << folder;
        if (std::string(folder) != "a") {
            EXPECT_EQ(ReadBytes(dir.Fs(prefix + "tarn_BBS.ini")), "[BASIC]\r\nNAME=n\r\n") << folder;
        }
    }
    EXPECT_EQ(ReadBytes(dir.Fs("a/tarn_BBS.ini")), "[DIALOG]\r\nURL=1\r\n[BASIC]\r\nNAME=n\r\nPASS=p\r\n");
    EXPECT_EQ(ReadBytes(dir.Fs("b/readme.txt")), "not a folder");
    EXPECT_EQ(recorder.folders.size(), 6u);
}

TEST_F(TreeWalk, DepthFirstEachFolderBeforeItsSubfolders) {
    dir.MakeFolders({"a/a1", "a/a2", "b/b1"});
    Walk(BatchInput{});
    const auto& f = recorder.folders;
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(f[0], dir.path());
    auto at = [&](const std::string& rel) {
        return std::find(f.begin(), f.end(), dir.Path(rel)) - f.begin();
    };
    // a's subtree and b's subtree each form one unbroken run after their root.
    EXPECT_LT(at("a"), at("a/a1"));
    EXPECT_LT(at("a"), at("a/a2"));
    EXPECT_EQ(std::max(at("a/a1"), at("a/a2")) - at("a"), 2);
    EXPECT_EQ(at("b/b1"), at("b") + 1);
    // Each folder's file is stored before the next folder is entered.
    for (std::size_t i = 0; i + 1 < recorder.events.size(); i += 2) {
        EXPECT_EQ(recorder.events[i].rfind("enter ", 0), 0u) << i;
        EXPECT_EQ(recorder.events[i + 1], "store " + platform::JoinPath(recorder.events[i].substr(6), "tarn_BBS.ini"));
    }
}

TEST_F(TreeWalk, ShiftJisFolderNamesEndingInTheSeparatorByte) {
    // ソ and 表 end in 0x5C, the code of '\\' on Windows.
    dir.MakeFolder(u8"ソ/表");
    Walk(BatchInput{});
    EXPECT_EQ(ReadBytes(dir.Fs(u8"ソ/tarn_BBS.ini")), "[BASIC]\r\n");
    EXPECT_EQ(ReadBytes(dir.Fs(u8"ソ/表/tarn_BBS.ini")), "[BASIC]\r\n");
    EXPECT_EQ(EntryNames(dir.fs()), (std::vector<std::string>{"tarn_BBS.ini", u8"ソ"}));
    EXPECT_EQ(EntryNames(dir.Fs(u8"ソ")), (std::vector<std::string>{"tarn_BBS.ini", u8"表"}));
    EXPECT_NE(std::find(recorder.folders.begin(), recorder.folders.end(), dir.Path("ソ/表")),
              recorder.folders.end());
}

TEST_F(TreeWalk, StartFolderWithATrailingDelimiter) {
    dir.MakeFolder("a");
    tarn::ApplyToTree(dir.path() + platform::kPathDelimiter, BatchInput{});
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), "[BASIC]\r\n");
    EXPECT_EQ(ReadBytes(dir.Fs("a/tarn_BBS.ini")), "[BASIC]\r\n");
}

TEST_F(TreeWalk, FilesAlreadyInShapeAreReportedUnchanged) {
    dir.MakeFolder("a");
    WriteBytes(dir.Fs("tarn_BBS.ini"), "[BASIC]\r\nNAME=n\r\n");
    WriteBytes(dir.Fs("a/tarn_BBS.ini"), "[BASIC]\r\nNAME=old\r\n");
    Walk(NameOnly());
    EXPECT_EQ(recorder.outcomes, (std::vector<WriteOutcome>{WriteOutcome::Unchanged, WriteOutcome::Written}));
}

// The counts the progress window and tarnbatch show, as a run tells them.
TEST_F(TreeWalk, RunProgressCountsWhatTheRunDid) {
    dir.MakeFolders({"a", "a/b"});
    WriteBytes(dir.Fs("a/tarn_BBS.ini"), "[BASIC]\r\nNAME=n\r\n");
    tarn::RunProgress progress;
    tarn::BatchOptions options;
    options.observer = &progress;
    tarn::ApplyToTree(dir.path(), NameOnly(), options);
    EXPECT_EQ(progress.folders, 3);
    EXPECT_EQ(progress.written, 2);  // created in the start folder and in a/b
    EXPECT_EQ(progress.unchanged, 1);
    EXPECT_EQ(progress.CurrentFolder(), platform::JoinPath(platform::JoinPath(dir.path(), "a"), "b"));
    progress.FolderSkipped("caf<U+00E9>");
    progress.FileLeftAlone("x/tarn_BBS.ini");
    EXPECT_EQ(progress.skipped, 1);
    EXPECT_EQ(progress.Skipped(), std::vector<std::string>{"caf<U+00E9>"});
    EXPECT_EQ(progress.LeftAlone(), std::vector<std::string>{"x/tarn_BBS.ini"});
    EXPECT_EQ(tarn::RunReport(tarn::Language::Japanese, tarn::FrontEnd::Window).Counts(progress),
              "\x83\x74\x83\x48\x83\x8B\x83\x5F: 3\x81\x41\x8F\x91\x82\xAB\x8D\x9E\x82\xDD: 2"
              "\x81\x41\x95\xCF\x8D\x58\x95\x73\x97\x76: 1\x81\x41\x94\xF2\x82\xCE\x82\xB5\x82\xBD: 1");
}

TEST_F(TreeWalk, DryRunWritesNothingAnywhere) {
    dir.MakeFolder("a/b");
    Walk(NameAndSignature(), tarn::WriteMode::DryRun);
    EXPECT_EQ(recorder.folders.size(), 3u);
    EXPECT_EQ(recorder.outcomes, std::vector<WriteOutcome>(6, WriteOutcome::WouldWrite));
    EXPECT_EQ(EntryNames(dir.fs()), std::vector<std::string>{"a"});
    EXPECT_EQ(EntryNames(dir.Fs("a")), std::vector<std::string>{"b"});
    EXPECT_TRUE(EntryNames(dir.Fs("a/b")).empty());
}

TEST_F(TreeWalk, FileErrorStopsTheWalkAndEarlierFoldersStayWritten) {
    // One subfolder per level, so the order is fixed: root, a, b, c.
    dir.MakeFolder("a/b/c");
    WriteBytes(dir.Fs("a/b/tarn_BBS.ini"), "[BASIC]\r\nNAME=old\r\n");
    platform::faults::Arm(platform::faults::Point::Replace, 2);  // root and a go through
    ExpectFileError([&] { Walk(NameOnly()); }, platform::FileError::kCreate, dir.Path("a/b/tarn_BBS.ini"));
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), "[BASIC]\r\nNAME=n\r\n");
    EXPECT_EQ(ReadBytes(dir.Fs("a/tarn_BBS.ini")), "[BASIC]\r\nNAME=n\r\n");
    EXPECT_EQ(ReadBytes(dir.Fs("a/b/tarn_BBS.ini")), "[BASIC]\r\nNAME=old\r\n");
    EXPECT_EQ(EntryNames(dir.Fs("a/b")), (std::vector<std::string>{"c", "tarn_BBS.ini"}));
    EXPECT_TRUE(EntryNames(dir.Fs("a/b/c")).empty());
    EXPECT_EQ(recorder.folders.size(), 3u);
}

TEST_F(TreeWalk, SignatureErrorStopsBeforeTheSettingsFile) {
    platform::faults::Arm(platform::faults::Point::CreateTemporary);
    EXPECT_THROW(Walk(NameAndSignature()), platform::FileError);
    EXPECT_TRUE(EntryNames(dir.fs()).empty());
}

#ifdef _WIN32
TEST_F(TreeWalk, HiddenAndSystemFoldersAreVisited) {
    dir.MakeFolder("hidden");
    constexpr unsigned long kHidden = 0x2, kSystem = 0x4, kNormal = 0x80;
    ASSERT_NE(SetFileAttributesA(dir.Path("hidden").c_str(), kHidden | kSystem), 0);
    Walk(BatchInput{});
    EXPECT_EQ(ReadBytes(dir.Fs("hidden/tarn_BBS.ini")), "[BASIC]\r\n");
    SetFileAttributesA(dir.Path("hidden").c_str(), kNormal);
}
#else
// Symbolic links, made here as POSIX links (links made from inside Wine are
// not what a Windows user's junctions are, so these stay native).
TEST_F(TreeWalk, LinkBackToAFolderOnTheWayDownIsNotEnteredAgain) {
    dir.MakeFolder("a/b");
    fs::create_directory_symlink(dir.fs(), dir.Fs("a/b/to_root"));
    fs::create_directory_symlink(dir.Fs("a"), dir.Fs("a/b/to_a"));
    Walk(BatchInput{});
    EXPECT_EQ(recorder.folders, (std::vector<std::string>{dir.path(), dir.Path("a"), dir.Path("a/b")}));
}

TEST_F(TreeWalk, DanglingLinkIsSkipped) {
    fs::create_directory_symlink(dir.Fs("gone"), dir.Fs("dangling"));
    Walk(BatchInput{});
    EXPECT_EQ(recorder.folders, std::vector<std::string>{dir.path()});
    EXPECT_TRUE(fs::is_symlink(dir.Fs("dangling")));
    EXPECT_FALSE(fs::exists(dir.Fs("gone")));
}

// Nothing is written outside the start folder, through links neither: a link
// leading out of the tree is reported with its target and not entered; one
// leading to another folder of the tree is followed.
TEST_F(TreeWalk, LinksInsideTheTreeAreFollowedLinksOutOfItAreSkipped) {
    TempFolder outside;
    fs::create_directories(outside.Fs("inner"));
    dir.MakeFolder("a");
    dir.MakeFolder("b");
    fs::create_directory_symlink(outside.fs(), dir.Fs("ext"));
    fs::create_directory_symlink(outside.Fs("inner"), dir.Fs("b/ext_inner"));
    fs::create_directory_symlink(dir.Fs("a"), dir.Fs("to_sibling"));  // a is no ancestor of it
    // Beside the start folder, sharing the start of its name.
    fs::create_directory(fs::path(dir.fs().u8string() + "x"));
    fs::create_directory_symlink(fs::path(dir.fs().u8string() + "x"), dir.Fs("to_lookalike"));
    struct : Recorder {
        void LinkSkipped(const std::string& link, const std::string& target) override {
            links.insert(link + " -> " + target);
        }
        std::set<std::string> links;
    } linkRecorder;
    tarn::BatchOptions options;
    options.observer = &linkRecorder;
    tarn::ApplyToTree(dir.path(), BatchInput{}, options);
    std::error_code ignored;
    fs::remove_all(fs::path(dir.fs().u8string() + "x"), ignored);
    EXPECT_EQ(EntryNames(outside.fs()), std::vector<std::string>{"inner"});
    EXPECT_EQ(EntryNames(outside.Fs("inner")), std::vector<std::string>{});
    EXPECT_EQ(linkRecorder.links,
              (std::set<std::string>{dir.Path("ext") + " -> " + outside.path(),
                                     dir.Path("b/ext_inner") + " -> " + outside.Path("inner"),
                                     dir.Path("to_lookalike") + " -> " + dir.path() + "x"}));
    EXPECT_EQ(ReadBytes(dir.Fs("to_sibling/tarn_BBS.ini")), "[BASIC]\r\n");
    EXPECT_EQ(linkRecorder.folders.size(), 4u);  // root, a, b, to_sibling
}
#endif

// The listing of a board folder tells whether it holds a settings file: a
// board is read only when it does, under its name in any letter case; a
// folder of that name is no settings file, and a folder without one is no
// board of the listing, while its subfolders still are. A batch chooses such
// a folder by its empty values.
TEST_F(TreeWalk, BoardsAreTheFoldersWhoseListingShowsASettingsFile) {
    dir.MakeFolder("plain/inner");
    dir.MakeFolder("upper");
    dir.MakeFolder("odd/tarn_BBS.ini");
    WriteBytes(dir.Fs("plain/inner/tarn_BBS.ini"), "[BASIC]\r\nURL=http://a/\r\n");
    WriteBytes(dir.Fs("upper/TARN_BBS.INI"), "[basic]\r\nURL=http://b/\r\n");
    std::vector<std::string> listed;
    tarn::ListBoards(dir.path(), {}, [&](const tarn::BoardRow& row) {
        listed.push_back(row.relative + " " + tarn::GetValue(row.basic, "URL"));
    });
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{platform::JoinPath("plain", "inner") + " http://a/", "upper http://b/"}));

    fs::remove_all(dir.Fs("odd"));  // a batch refuses to write over a folder
    BatchInput input = NameOnly();
    input.where = {{Field::URL, ""}};  // only boards without an address
    Walk(input);
    EXPECT_EQ(ReadBytes(dir.Fs("plain/tarn_BBS.ini")), "[BASIC]\r\nNAME=n\r\n");
    EXPECT_EQ(ReadBytes(dir.Fs("upper/TARN_BBS.INI")), "[basic]\r\nURL=http://b/\r\n");
    EXPECT_EQ(ReadBytes(dir.Fs("plain/inner/tarn_BBS.ini")), "[BASIC]\r\nURL=http://a/\r\n");
}

// Listings made ahead of a walk on their own thread are the folders' own,
// whichever folders the walk passes by, takes out of turn or never announced.
TEST(ListingsAhead, EachFolderGetsItsOwnListingWhateverTheWalkPassesBy) {
    TempFolder dir;
    std::vector<std::string> names, boards;
    for (int i = 0; i < 40; ++i) {
        names.push_back("board" + std::to_string(i));
        dir.MakeFolder(names.back() + "/sub" + std::to_string(i));
        WriteBytes(dir.Fs(names.back() + "/file" + std::to_string(i)), "x");
        boards.push_back(dir.Path(names.back()));
    }
    const auto shown = [](const tarn::Listing& listing) {
        std::set<std::string> found;
        for (const auto& entry : listing.entries) found.insert(entry.name + (entry.isFolder ? "/" : ""));
        return found;
    };
    tarn::ListingsAhead ahead;
    EXPECT_EQ(shown(ahead.Take(dir.path())).size(), 40u);
    ahead.Expect(dir.path(), names);
    for (int i = 0; i < 40; ++i) {
        if (i % 7 == 3) continue;  // passed by
        const tarn::Listing listing = ahead.Take(boards[i]);
        EXPECT_TRUE(listing.listed);
        EXPECT_EQ(shown(listing), (std::set<std::string>{"file" + std::to_string(i), "sub" + std::to_string(i) + "/"}));
        // A folder that was not announced (a link's) is listed then and there.
        if (i == 20) {
            EXPECT_EQ(shown(ahead.Take(dir.Path("board3"))).count("file3"), 1u);
        }
        // One level down and back up.
        ahead.Expect(boards[i], {"sub" + std::to_string(i)});
        EXPECT_TRUE(shown(ahead.Take(platform::JoinPath(boards[i], "sub" + std::to_string(i)))).empty());
        ahead.Leave();
    }
    ahead.Leave();
    const tarn::Listing missing = ahead.Take(dir.Path("gone"));
    EXPECT_FALSE(missing.listed);
}

}  // namespace
