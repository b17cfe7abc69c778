// Writing the two sections back as one file: the exact bytes, when a file is
// left alone, and that a failure at any step leaves the old file intact.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "settings/tuCommon.h"
#include "temp_folder.h"

namespace {

using platform::faults::Point;
using tarn::SectionList;
using tarn::WriteOutcome;
using namespace tarn_test;

// WriteSections with a first list of its own, for the calls that do not look
// at that list afterwards.
WriteOutcome Write(const SectionList& second, const std::string& path, tarn::WriteMode mode = tarn::WriteMode::Write) {
    SectionList first;
    return tarn::WriteSections(first, second, path, mode);
}

class WriteSectionsTest : public ::testing::Test {
protected:
    // Writes the sections to a new file and returns its bytes.
    std::string Written(SectionList first, const SectionList& second) {
        const std::string path = dir.Path("tarn_BBS.ini");
        EXPECT_EQ(tarn::WriteSections(first, second, path), WriteOutcome::Written);
        const std::string bytes = ReadBytes(dir.Fs("tarn_BBS.ini"));
        std::filesystem::remove(dir.Fs("tarn_BBS.ini"));
        return bytes;
    }

    TempFolder dir;
    FaultGuard faults;
};

// ---- the bytes written --------------------------------------------------------------

TEST_F(WriteSectionsTest, FirstSectionThenSecondEveryLineEndedByCrLf) {
    EXPECT_EQ(Written({"[DIALOG]", "URL=1", "_NAME=名前:"}, {"[BASIC]", "NAME=n"}),
              "[DIALOG]\r\nURL=1\r\n_NAME=\x96\xBC\x91\x4F:\r\n[BASIC]\r\nNAME=n\r\n");
}

TEST_F(WriteSectionsTest, TrailingBlankLinesAndWhiteSpaceGoOnlyAtTheVeryEnd) {
    EXPECT_EQ(Written({"[DIALOG] ", "", "  X=1 \t"}, {"[BASIC]", "A= b \t", "", " ", "\t", ""}),
              "[DIALOG] \r\n\r\n  X=1 \t\r\n[BASIC]\r\nA= b\r\n");
}

TEST_F(WriteSectionsTest, BlankEndOfTheFirstListStaysWhenTheSecondFollows) {
    EXPECT_EQ(Written({"[DIALOG]", "URL=1", "", " "}, {"[BASIC]"}), "[DIALOG]\r\nURL=1\r\n\r\n \r\n[BASIC]\r\n");
}

TEST_F(WriteSectionsTest, BothListsEmptyGiveAnEmptyFile) {
    EXPECT_EQ(Written({}, {}), "");
    EXPECT_EQ(Written({"", " "}, {"", "\t"}), "");
}

TEST_F(WriteSectionsTest, OnlyOneListGivesItsLines) {
    EXPECT_EQ(Written({"[DIALOG]", "URL=1", ""}, {}), "[DIALOG]\r\nURL=1\r\n");
    EXPECT_EQ(Written({}, {"[BASIC]", "NAME=n", ""}), "[BASIC]\r\nNAME=n\r\n");
}

TEST_F(WriteSectionsTest, FirstListAfterwardsHoldsTheWrittenLinesSecondStays) {
    SectionList first = {"[DIALOG]", "URL=1"};
    const SectionList second = {"[BASIC]", "NAME=n ", "", ""};
    const SectionList secondBefore = second;
    tarn::WriteSections(first, second, dir.Path("tarn_BBS.ini"));
    EXPECT_EQ(first, (SectionList{"[DIALOG]", "URL=1", "[BASIC]", "NAME=n"}));
    EXPECT_EQ(second, secondBefore);
}

TEST_F(WriteSectionsTest, LfOnlyAndCrOnlyFilesComeOutCrLf) {
    for (const char* text : {"[DIALOG]\nURL=1\n\n[BASIC]\nA=1\n", "[DIALOG]\rURL=1\r\r[BASIC]\rA=1\r"}) {
        WriteBytes(dir.Fs("in.ini"), text);
        SectionList dialog = tarn::ReadSection(dir.Path("in.ini"), "DIALOG");
        const SectionList basic = tarn::ReadSection(dir.Path("in.ini"), "BASIC");
        tarn::WriteSections(dialog, basic, dir.Path("in.ini"));
        EXPECT_EQ(ReadBytes(dir.Fs("in.ini")), "[DIALOG]\r\nURL=1\r\n\r\n[BASIC]\r\nA=1\r\n") << text;
    }
}

TEST_F(WriteSectionsTest, OverwritesALongerFileCompletely) {
    WriteBytes(dir.Fs("tarn_BBS.ini"), std::string(5000, 'x'));
    Write({"[BASIC]"}, dir.Path("tarn_BBS.ini"));
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), "[BASIC]\r\n");
}

TEST_F(WriteSectionsTest, BareFileNameIsResolvedInTheCurrentFolder) {
    // The console companion rewrites "tarn_BBS.ini" of its current folder.
    WriteBytes(dir.Fs("tarn_BBS.ini"), "[BASIC]\r\nNAME=old\r\n");
    {
        InCurrentFolder inside(dir.fs());
        SectionList first = {"[DIALOG]"};
        EXPECT_EQ(tarn::WriteSections(first, {"[BASIC]", "NAME=new"}, "tarn_BBS.ini"), WriteOutcome::Written);
    }
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), "[DIALOG]\r\n[BASIC]\r\nNAME=new\r\n");
    EXPECT_EQ(EntryNames(dir.fs()), std::vector<std::string>{"tarn_BBS.ini"});
}

// ---- when nothing is written ------------------------------------------------------------

TEST_F(WriteSectionsTest, UnchangedBytesLeaveTheFileAndItsTimeAlone) {
    WriteBytes(dir.Fs("tarn_BBS.ini"), "[BASIC]\r\nNAME=n\r\n");
    const auto old = MakeOld(dir.Fs("tarn_BBS.ini"));
    EXPECT_EQ(Write({"[BASIC]", "NAME=n", ""}, dir.Path("tarn_BBS.ini")), WriteOutcome::Unchanged);
    EXPECT_EQ(std::filesystem::last_write_time(dir.Fs("tarn_BBS.ini")), old);

    EXPECT_EQ(Write({"[BASIC]", "NAME=m"}, dir.Path("tarn_BBS.ini")), WriteOutcome::Written);
    EXPECT_GT(std::filesystem::last_write_time(dir.Fs("tarn_BBS.ini")), old);
}

TEST_F(WriteSectionsTest, DryRunWritesNothing) {
    WriteBytes(dir.Fs("old.ini"), "[BASIC]\r\nNAME=old\r\n");
    const auto dryRun = tarn::WriteMode::DryRun;
    EXPECT_EQ(Write({"[BASIC]", "NAME=new"}, dir.Path("old.ini"), dryRun), WriteOutcome::WouldWrite);
    EXPECT_EQ(ReadBytes(dir.Fs("old.ini")), "[BASIC]\r\nNAME=old\r\n");
    EXPECT_EQ(Write({"[BASIC]"}, dir.Path("new.ini"), dryRun), WriteOutcome::WouldWrite);
    EXPECT_EQ(Write({"[BASIC]", "NAME=old"}, dir.Path("old.ini"), dryRun), WriteOutcome::Unchanged);
    EXPECT_EQ(EntryNames(dir.fs()), std::vector<std::string>{"old.ini"});
}

// ---- failures -------------------------------------------------------------------------------

// Writing `second` to `path` raises the create error for it.
void ExpectCreateError(const SectionList& second, const std::string& path) {
    ExpectFileError([&] { Write(second, path); }, platform::FileError::kCreate, path);
}

TEST_F(WriteSectionsTest, MissingFolderRaisesTheCreateError) {
    ExpectCreateError({"[BASIC]"}, dir.Path("missing/tarn_BBS.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir.Fs("missing")));
}

TEST_F(WriteSectionsTest, FolderInPlaceOfTheFileRaisesTheCreateError) {
    dir.MakeFolder("tarn_BBS.ini");
    ExpectCreateError({"[BASIC]"}, dir.Path("tarn_BBS.ini"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Fs("tarn_BBS.ini")));
}

// The snapshot and the signature are written past the same guard as a
// batch: a file another program keeps open for writing (the host in the
// middle of its write) is not replaced under it, and the error is the one
// these writes always gave.
TEST_F(WriteSectionsTest, FileAnotherProgramKeepsWritingIsNotReplaced) {
    const std::string old = "[BASIC]\r\nNAME=host\r\n";
    WriteBytes(dir.Fs("tarn_BBS.ini"), old);
    {
        std::ofstream writer(dir.Fs("tarn_BBS.ini"), std::ios::binary | std::ios::app);
        ASSERT_TRUE(writer.is_open());
        ExpectCreateError({"[BASIC]", "NAME=batch"}, dir.Path("tarn_BBS.ini"));
    }
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), old);
    EXPECT_EQ(EntryNames(dir.fs()), std::vector<std::string>{"tarn_BBS.ini"});
}

TEST_F(WriteSectionsTest, UnwritableFileKeepsItsBytes) {
    const std::string old = "[BASIC]\r\nNAME=old\r\n";
    WriteBytes(dir.Fs("tarn_BBS.ini"), old);
    const std::string path = dir.Path("tarn_BBS.ini");
#ifdef _WIN32
    // A read-only file is not replaced.
    std::filesystem::permissions(dir.Fs("tarn_BBS.ini"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    struct Restore {
        std::filesystem::path p;
        ~Restore() {
            std::filesystem::permissions(p, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
        }
    } restore{dir.Fs("tarn_BBS.ini")};
#else
    // Root writes any file whatever its mode: make it immutable instead.
    const std::string quoted = "'" + path + "'";
    if (std::system(("chattr +i " + quoted + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "chattr is not available here";
    struct Restore {
        std::string quoted;
        ~Restore() { (void)std::system(("chattr -i " + quoted).c_str()); }
    } restore{quoted};
#endif
    ExpectCreateError({"[BASIC]", "NAME=new"}, path);
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), old);
    EXPECT_EQ(EntryNames(dir.fs()), std::vector<std::string>{"tarn_BBS.ini"});
}

// Every step of the replacement made to fail in turn, on an existing file and
// on a new one: the target keeps its old state and no temporary file stays.
struct FaultCase {
    Point point;
    bool targetExists;
};

class WriteSectionsFault : public WriteSectionsTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(WriteSectionsFault, FailedStepLeavesTheTargetAsItWasAndNoTemporaryFile) {
    const std::string old = "[DIALOG]\r\nURL=1\r\n[BASIC]\r\nNAME=old\r\n";
    if (GetParam().targetExists) WriteBytes(dir.Fs("tarn_BBS.ini"), old);
    const std::string path = dir.Path("tarn_BBS.ini");

    platform::faults::Arm(GetParam().point);
    SectionList first = {"[DIALOG]", "URL=1"};
    ExpectFileError([&] { tarn::WriteSections(first, {"[BASIC]", "NAME=" + std::string(3000, 'n')}, path); },
                    platform::FileError::kCreate, path);

    if (GetParam().targetExists) {
        EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), old);
        EXPECT_EQ(EntryNames(dir.fs()), std::vector<std::string>{"tarn_BBS.ini"});
    } else {
        EXPECT_TRUE(EntryNames(dir.fs()).empty());
    }

    // The fault was one-shot: the next write goes through.
    EXPECT_EQ(Write({"[BASIC]", "NAME=new"}, path), WriteOutcome::Written);
    EXPECT_EQ(ReadBytes(dir.Fs("tarn_BBS.ini")), "[BASIC]\r\nNAME=new\r\n");
    EXPECT_EQ(EntryNames(dir.fs()), std::vector<std::string>{"tarn_BBS.ini"});
}

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << "point " << static_cast<int>(c.point) << (c.targetExists ? ", existing target" : ", new target");
}

std::string FaultCaseName(const ::testing::TestParamInfo<FaultCase>& info) {
    static const char* const names[] = {"CreateTemporary", "WriteTemporary", "FlushTemporary", "Replace"};
    return std::string(names[static_cast<int>(info.param.point)]) + (info.param.targetExists ? "_Existing" : "_New");
}

INSTANTIATE_TEST_SUITE_P(EveryStep, WriteSectionsFault,
                         ::testing::Values(FaultCase{Point::CreateTemporary, true}, FaultCase{Point::CreateTemporary, false},
                                           FaultCase{Point::WriteTemporary, true}, FaultCase{Point::WriteTemporary, false},
                                           FaultCase{Point::FlushTemporary, true}, FaultCase{Point::FlushTemporary, false},
                                           FaultCase{Point::Replace, true}, FaultCase{Point::Replace, false}),
                         FaultCaseName);

}  // namespace
