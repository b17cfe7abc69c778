// The platform's file services: probes, whole-file reads, the crash-safe
// replacement of a file's contents, folder listings and folder identities.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/rewrite_state.h"
#include "temp_folder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

// A file opened for reading, closed at the end of the scope.
struct FileDescriptorForTest {
    explicit FileDescriptorForTest(const std::filesystem::path& path) : fd(::open(path.c_str(), O_RDONLY)) {}
    ~FileDescriptorForTest() { if (fd >= 0) ::close(fd); }
    int fd;
};
#endif

namespace {

using namespace tarn_test;

class PlatformFiles : public ::testing::Test {
protected:
    TempFolder dir;
    FaultGuard faults;
};

// Bytes a text-mode write would change: CR LF, a lone LF, NUL and Ctrl-Z.
const std::string kBinary("a\nb\r\n\0c\x1A\xFF\x83\x5C", 11);

TEST_F(PlatformFiles, ProbesTellFilesFromFolders) {
    WriteBytes(dir.Fs("file"), "x");
    dir.MakeFolder(u8"ソ");
    EXPECT_TRUE(platform::FileExists(dir.Path("file")));
    EXPECT_FALSE(platform::DirectoryExists(dir.Path("file")));
    EXPECT_TRUE(platform::DirectoryExists(dir.Path("ソ")));
    EXPECT_FALSE(platform::FileExists(dir.Path("ソ")));
    EXPECT_FALSE(platform::FileExists(dir.Path("missing")));
    EXPECT_FALSE(platform::DirectoryExists(dir.Path("missing")));
}

TEST_F(PlatformFiles, ReadWholeFileGivesEveryByte) {
    WriteBytes(dir.Fs("bin"), kBinary);
    EXPECT_EQ(platform::ReadWholeFile(dir.Path("bin")), kBinary);
    WriteBytes(dir.Fs("empty"), "");
    EXPECT_EQ(platform::ReadWholeFile(dir.Path("empty")), "");
}

// A file is read in one read when it holds what its size said; a short read
// (a network file system may give one) or a file that grew reads on to the
// end, so no byte is ever lost to the shortcut.
TEST(ReadToEnd, OneReadOnlyWhenItGivesExactlyTheExpectedSize) {
    const std::string content(100000, 'x');
    const auto reader = [&content](std::size_t chunk, int& calls) {
        return [&content, chunk, &calls, at = std::size_t{0}](char* buffer, std::size_t size) mutable {
            ++calls;
            const std::size_t n = std::min({size, chunk, content.size() - at});
            content.copy(buffer, n, at);
            at += n;
            return static_cast<long long>(n);
        };
    };
    for (const auto& [expected, chunk, calls] : std::vector<std::tuple<std::size_t, std::size_t, int>>{
             {content.size(), content.size() + 1, 1},  // the common case
             {content.size(), 4096, 26},               // short reads: on to the end
             {1000, content.size() + 1, 9},            // grown since its size was asked: a buffer doubled
             {content.size() + 5, content.size(), 2},  // shrunk
         }) {
        int made = 0;
        EXPECT_EQ(platform::ReadToEnd(expected, reader(chunk, made)), content) << chunk;
        EXPECT_EQ(made, calls) << chunk;
    }
    EXPECT_FALSE(platform::ReadToEnd(10, [](char*, std::size_t) { return -1LL; }));
}

TEST_F(PlatformFiles, ReadWholeFileOfAFolderOrMissingFileRaisesTheOpenError) {
    for (const std::string& path : {dir.path(), dir.Path("missing")})
        ExpectFileError([&] { platform::ReadWholeFile(path); }, platform::FileError::kOpen, path);
}

// Every program replaces a file's whole content through the guarded rewrite.
void Replace(const std::string& path, const std::string& bytes) {
    EXPECT_EQ(platform::UpdateFile(path, [&bytes](const auto&) { return bytes; }, false), platform::WriteOutcome::Written);
}

TEST_F(PlatformFiles, ReplaceCreatesOrOverwritesWithTheExactBytes) {
    Replace(dir.Path("new"), kBinary);
    EXPECT_EQ(ReadBytes(dir.Fs("new")), kBinary);
    WriteBytes(dir.Fs("long"), std::string(100000, 'z'));
    Replace(dir.Path("long"), "short");
    EXPECT_EQ(ReadBytes(dir.Fs("long")), "short");
    Replace(dir.Path("long"), "");
    EXPECT_EQ(ReadBytes(dir.Fs("long")), "");
    EXPECT_EQ(EntryNames(dir.fs()), (std::vector<std::string>{"long", "new"}));
}

TEST_F(PlatformFiles, ReplaceWorksInAShiftJisFolder) {
    dir.MakeFolder(u8"表ソ");
    Replace(dir.Path("表ソ/名前.ini"), "x");
    EXPECT_EQ(ReadBytes(dir.Fs(u8"表ソ/名前.ini")), "x");
    EXPECT_EQ(EntryNames(dir.Fs(u8"表ソ")), std::vector<std::string>{u8"名前.ini"});
}

TEST_F(PlatformFiles, ReplaceKeepsTheFilesAttributes) {
    WriteBytes(dir.Fs("f"), "old");
#ifdef _WIN32
    constexpr unsigned long kHidden = 0x2, kSystem = 0x4;
    ASSERT_NE(SetFileAttributesA(dir.Path("f").c_str(), kHidden | kSystem), 0);
    Replace(dir.Path("f"), "new");
    EXPECT_EQ(GetFileAttributesA(dir.Path("f").c_str()) & (kHidden | kSystem), kHidden | kSystem);
#else
    fs::permissions(dir.Fs("f"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    Replace(dir.Path("f"), "new");
    EXPECT_EQ(fs::status(dir.Fs("f")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
    EXPECT_EQ(ReadBytes(dir.Fs("f")), "new");
}

// A prepared rewrite holds its file and its temporary file open until it is
// committed or dropped, and nothing at all afterwards: the next rewrite of the
// same file (a batch's undo, a write of the host's) must not find it busy, and
// a dropped one leaves no temporary file. A file that was missing is not put
// in place over one that appeared meanwhile.
TEST_F(PlatformFiles, APreparedRewriteHoldsNothingOnceCommittedOrDropped) {
    WriteBytes(dir.Fs("kept"), "old");
    std::vector<std::string> temporaries;
    const platform::TemporaryNotice note = [&](const std::string& path) { temporaries.push_back(path); };
    const auto bytes = [](const std::string& text) {
        return [text](const std::optional<std::string>&) { return std::optional<std::string>(text); };
    };
    auto replaced = platform::PrepareRewrite(dir.Path("kept"), bytes("new"), false, note);
    auto created = platform::PrepareRewrite(dir.Path("made"), bytes("made"), false, note);
    ASSERT_EQ(temporaries.size(), 2u);
    EXPECT_EQ(EntryNames(dir.fs()).size(), 3u);  // the file and two temporary files
    EXPECT_TRUE(replaced.Commit());
    EXPECT_TRUE(created.Commit());
    EXPECT_EQ(EntryNames(dir.fs()), (std::vector<std::string>{"kept", "made"}));
    Replace(dir.Path("kept"), "again");  // busy for five seconds, then an error, while anything holds it
    Replace(dir.Path("made"), "again");
    EXPECT_TRUE(platform::RemoveFile(dir.Path("made")));

    {
        auto dropped = platform::PrepareRewrite(dir.Path("kept"), bytes("lost"), false, note);
        EXPECT_EQ(EntryNames(dir.fs()).size(), 2u);
    }
    EXPECT_EQ(EntryNames(dir.fs()), std::vector<std::string>{"kept"});
    EXPECT_EQ(ReadBytes(dir.Fs("kept")), "again");

    auto late = platform::PrepareRewrite(dir.Path("late"), bytes("ours"), false, note);
    WriteBytes(dir.Fs("late"), "theirs");
    EXPECT_FALSE(late.Commit());
    late = platform::PreparedRewrite();
    EXPECT_EQ(ReadBytes(dir.Fs("late")), "theirs");
    EXPECT_EQ(EntryNames(dir.fs()), (std::vector<std::string>{"kept", "late"}));
    EXPECT_TRUE(platform::RemoveFile(dir.Path("kept")));
}

// A temporary file's name is told to the journal only when it is free: the
// system is asked unless the caller's listing shows the name missing, and a
// file of that name (a stale one, or anyone's) is neither named nor touched.
TEST_F(PlatformFiles, ATemporaryNameIsNamedOnlyWhenNoFileHasIt) {
    std::vector<std::string> asked, named;
    const platform::KnownMissing notListed = [&](const std::string& path) {
        asked.push_back(path);
        if (asked.size() == 1) WriteBytes(dir.Fs(platform::FilePart(path)), "theirs");  // not in the listing
        return false;
    };
    auto rewrite = platform::PrepareRewrite(
        dir.Path("made"), [](const auto&) { return std::optional<std::string>("ours"); }, false,
        [&](const std::string& path) { named.push_back(path); }, notListed);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(named, std::vector<std::string>{asked[1]});
    EXPECT_TRUE(rewrite.Commit());
    EXPECT_EQ(ReadBytes(dir.Fs(platform::FilePart(asked[0]))), "theirs");
    EXPECT_EQ(ReadBytes(dir.Fs("made")), "ours");
}

#ifndef _WIN32
TEST_F(PlatformFiles, ReplaceWritesThroughASymbolicLink) {
    WriteBytes(dir.Fs("real.ini"), "old");
    fs::create_symlink("real.ini", dir.Fs("link.ini"));
    Replace(dir.Path("link.ini"), "new");
    EXPECT_TRUE(fs::is_symlink(dir.Fs("link.ini")));
    EXPECT_EQ(ReadBytes(dir.Fs("real.ini")), "new");
    EXPECT_EQ(EntryNames(dir.fs()), (std::vector<std::string>{"link.ini", "real.ini"}));
}

// Natively a leased file trades places with its replacement, and trades back
// when a writer came in between. Should the trade back fail, that writer is
// writing into the old file, now under the temporary name: it is kept, and
// the rewrite is reported failed, not done.
TEST_F(PlatformFiles, AFailedTradeBackKeepsTheWritersFileAndFailsTheRewrite) {
    WriteBytes(dir.Fs("f.ini"), "old");
    {
        FileDescriptorForTest probe(dir.Fs("f.ini"));
        if (::fcntl(probe.fd, F_SETLEASE, F_RDLCK) != 0) GTEST_SKIP() << "no read lease on this file system";
    }
    const std::string path = dir.Path("f.ini");
    auto rewrite = platform::PrepareRewrite(path, [](const auto&) { return std::string("new"); }, false);
    platform::faults::Arm(platform::faults::Point::TradeBack);
    ExpectFileError([&] { rewrite.Commit(); }, platform::FileError::kCreate, path);
    rewrite = platform::PreparedRewrite();  // dropped: the old file must stay
    const auto names = EntryNames(dir.fs());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(ReadBytes(dir.Fs("f.ini")), "new");
    EXPECT_EQ(names[1].rfind(platform::kTemporaryMark, 0), 0u) << names[1];
    EXPECT_EQ(ReadBytes(dir.Fs(names[1])), "old");
}
#endif

// ---- listings ---------------------------------------------------------------------------

std::map<std::string, platform::FolderEntry> List(const std::string& folder, const std::string& mask) {
    std::map<std::string, platform::FolderEntry> entries;
    const bool listed = platform::ListFolder(folder, mask, [&](const platform::FolderEntry& e) {
        EXPECT_TRUE(entries.emplace(e.name, e).second) << "listed twice: " << e.name;
    });
    EXPECT_TRUE(listed) << folder;
    return entries;
}

TEST_F(PlatformFiles, ListFolderGivesBareNamesAndTellsFolders) {
    WriteBytes(dir.Fs("a.ini"), "");
    WriteBytes(dir.Fs(u8"表.txt"), "");
    dir.MakeFolder("sub");
    const auto entries = List(dir.path(), "*.*");
    std::set<std::string> names;
    for (const auto& e : entries)
        if (e.first != "." && e.first != "..") names.insert(e.first);
    EXPECT_EQ(names, (std::set<std::string>{"a.ini", "sub", "\x95\x5C.txt"}));
    EXPECT_TRUE(entries.at("sub").isFolder);
    EXPECT_FALSE(entries.at("a.ini").isFolder);
    EXPECT_FALSE(entries.at("sub").isLink);
}

TEST_F(PlatformFiles, ListFolderFiltersByMaskIgnoringCase) {
    WriteBytes(dir.Fs("A.INI"), "");
    WriteBytes(dir.Fs("b.ini"), "");
    WriteBytes(dir.Fs("c.txt"), "");
    const auto entries = List(dir.path(), "*.ini");
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.count("A.INI") + entries.count("b.ini"), 2u);
}

TEST_F(PlatformFiles, ListFolderOfAMissingFolderFails) {
    EXPECT_FALSE(platform::ListFolder(dir.Path("missing"), "*.*", [](const platform::FolderEntry&) {
        ADD_FAILURE() << "an entry of a missing folder";
    }));
}

TEST_F(PlatformFiles, FolderIdentityFollowsTheFolderNotThePath) {
    dir.MakeFolders({"a", "b"});
    WriteBytes(dir.Fs("file"), "");
    const auto a = platform::FolderIdentity(dir.Path("a"));
    ASSERT_TRUE(a.has_value());
    EXPECT_TRUE(platform::FolderIdentity(dir.Path("a") + platform::kPathDelimiter) == a);
    EXPECT_FALSE(platform::FolderIdentity(dir.Path("b")) == a);
    EXPECT_FALSE(platform::FolderIdentity(dir.Path("missing")).has_value());
    EXPECT_FALSE(platform::FolderIdentity(dir.Path("file")).has_value());
#ifndef _WIN32
    fs::create_directory_symlink(dir.Fs("a"), dir.Fs("link"));
    EXPECT_TRUE(platform::FolderIdentity(dir.Path("link")) == a);
#endif
}

}  // namespace
