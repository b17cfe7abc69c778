// Hostile trees for the batch engine itself (ApplyToTree, ApplyToFolder):
// malformed and huge settings files, deep trees, link loops, files that are
// folders, folders that cannot be listed or written. Each case checks the
// exact bytes left behind, the error and the path it names, and that no
// temporary file stays. Expected bytes are spelled out in hex where
// Shift-JIS matters (ソ is 0x83 0x5C, 表 is 0x95 0x5C).
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "batch/tuConfAll.h"
#include "platform/file_error.h"
#include "temp_folder.h"

namespace {

using namespace tarn_test;
using platform::FileError;
using tarn::BatchInput;
using tarn::Field;

// NAME set to "v", EMAIL enabled with an empty text.
BatchInput NameAndEmptyEmail() {
    BatchInput input;
    input[Field::NAME] = {true, "v"};
    input[Field::EMAIL] = {true, ""};
    return input;
}

class Counter : public tarn::BatchObserver {
public:
    void FolderEntered(const std::string& folder) override {
        if (folders.size() > 10000) throw std::runtime_error("the walk does not end");
        folders.push_back(folder);
    }
    std::vector<std::string> folders;
};

// The folders a batch over the tree below `root` enters, in order.
std::vector<std::string> FoldersWalked(const std::string& root) {
    Counter counter;
    tarn::BatchOptions options;
    options.observer = &counter;
    tarn::ApplyToTree(root, NameAndEmptyEmail(), options);
    return counter.folders;
}

// Every name below `root` that marks a temporary file of the replacement.
std::vector<std::string> Temporaries(const fs::path& root) {
    std::vector<std::string> found;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        if (it->path().filename().string().rfind(platform::kTemporaryMark, 0) == 0) found.push_back(it->path().string());
    return found;
}

// Runs `body` as an ordinary account (root ignores mode bits) and returns
// what it returns: as root, in a child process that gives up root for good,
// the tree below `root` handed to that account first.
std::string AsOrdinaryUser(const fs::path& root, const std::function<std::string()>& body) {
    if (::geteuid() != 0) return body();
    constexpr uid_t kNobody = 65534;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        if (::lchown(it->path().c_str(), kNobody, kNobody) != 0) return "lchown failed";
    if (::lchown(root.c_str(), kNobody, kNobody) != 0) return "lchown failed";
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string result = "cannot leave root";
        if (::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, kNobody) == 0 &&
            ::setresuid(kNobody, kNobody, kNobody) == 0) {
            try {
                result = body();
            } catch (const std::exception& e) {
                result = std::string("unexpected error: ") + e.what();
            }
        }
        const ssize_t written = ::write(pipeFds[1], result.data(), result.size());
        ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) result.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

// ---- malformed files ------------------------------------------------------------

struct ContentCase {
    const char* what;
    std::string old;
    std::string expected;
};

TEST(HostileContent, MalformedFilesAreReadByTheLineRulesAndRewrittenWhole) {
    const std::string tail = "NAME=v\r\nEMAIL=\r\n";
    const std::vector<ContentCase> cases = {
        {"NUL first", std::string("\0[BASIC]\r\nNAME=x\r\n", 18), "[BASIC]\r\n" + tail},
        {"NUL inside a line", std::string("[BASIC]\r\nKEY=a\0b\r\nNAME=lost\r\n", 28), "[BASIC]\r\nKEY=a\r\n" + tail},
        {"lead byte at the end of lines", "[BASIC]\r\nKEY=\x83\r\nHP=\x81\nname=\x9f",
         "[BASIC]\r\nKEY=\x83\r\nHP=\x81\r\nNAME=v\r\nEMAIL=\r\n"},
        {"lead byte at the end of the file", "[DIALOG]\r\n_NAME=\x83", "[DIALOG]\r\n_NAME=\x83\r\n[BASIC]\r\n" + tail},
        {"lead byte before ']'", "[BASIC\x81]\r\nNAME=a\r\n[BASIC]\r\nHP=h\r\n", "[BASIC]\r\nHP=h\r\n" + tail},
        {"invalid Shift-JIS", "[BASIC]\r\nKEY=\x80\xa0\xfd\xfe\xff\r\nHP=\x81 \x81\x0d\x81\r\n",
         "[BASIC]\r\nKEY=\x80\xa0\xfd\xfe\xff\r\nHP=\x81 \x81\r\n\x81\r\n" + tail},
        // Control bytes around a line are trimmed: "\x01[BASIC]" is the first
        // [BASIC], where the keys are set; the second keeps its lines.
        {"control bytes", "\x01[BASIC]\r\n[BASIC]\r\n\x1bNAME=\x1b\x7f\r\n\x0c\r\n\x1a\r\n\x0c",
         "[BASIC]\r\n" + tail + "[BASIC]\r\nNAME=\x1b\x7f\r\n"},
        {"0x5C trail bytes", "[BASIC]\r\nNAME=\x83\x5c\x95\x5c\r\nHP=\x83\x5c\r\n",
         "[BASIC]\r\nNAME=v\r\nHP=\x83\x5c\r\nEMAIL=\r\n"},
    };
    TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = dir.fs() / "tarn_BBS.ini";
        WriteBytes(file, c.old);
        EXPECT_EQ(tarn::ApplyToFolder(dir.Path("tarn_BBS.ini"), NameAndEmptyEmail()), tarn::WriteOutcome::Written);
        EXPECT_EQ(ReadBytes(file), c.expected);
        EXPECT_EQ(EntryNames(dir.fs()), std::vector<std::string>{"tarn_BBS.ini"});
    }
}

TEST(HostileContent, TenMegabyteLinesAreKeptOrReplacedWhole) {
    std::string long_value;
    for (int i = 0; i < 10 * 1024 * 1024 / 4; ++i) long_value += "\x83\x5c\x95\x5c";
    TempFolder dir;
    const fs::path file = dir.fs() / "tarn_BBS.ini";
    WriteBytes(file, "[DIALOG]\r\n_HP=" + long_value + "\r\n[BASIC]\r\nKEY=" + long_value + "\r\nname=" + long_value);
    tarn::ApplyToFolder(dir.Path("tarn_BBS.ini"), NameAndEmptyEmail());
    EXPECT_TRUE(ReadBytes(file) == "[DIALOG]\r\n_HP=" + long_value + "\r\n[BASIC]\r\nKEY=" + long_value +
                                       "\r\nNAME=v\r\nEMAIL=\r\n");

    // A value of 10 MB written into a file that had no such key.
    BatchInput input;
    input[Field::PARAM1] = {true, long_value + " \t"};
    const std::string previous = ReadBytes(file);
    tarn::ApplyToFolder(dir.Path("tarn_BBS.ini"), input);
    EXPECT_TRUE(ReadBytes(file) == previous + "PARAM1=" + long_value + "\r\n");
}

// ---- trees ----------------------------------------------------------------------

TEST(HostileTree, TwoHundredFoldersDeep) {
    TempFolder dir;
    std::string rel;
    for (int depth = 1; depth <= 200; ++depth) rel += (rel.empty() ? "" : "/") + std::string(u8"層ソ") + std::to_string(depth);
    fs::create_directories(dir.Fs(rel));
    const std::vector<std::string> folders = FoldersWalked(dir.path());
    ASSERT_EQ(folders.size(), 201u);
    EXPECT_EQ(ReadBytes(dir.Fs(rel) / "tarn_BBS.ini"), "[BASIC]\r\nNAME=v\r\nEMAIL=\r\n");
    // The deepest folder's path, as the engine sees it: 層ソ200 in Shift-JIS.
    EXPECT_EQ(folders.back().substr(folders.back().size() - 7), "\x91\x77\x83\x5c" "200");
}

TEST(HostileTree, LinkLoopsAreNotFollowedAndALoopingSettingsFileStopsTheRun) {
    TempFolder dir;
    dir.MakeFolders({"a/b", "c"});
    fs::create_symlink("loop2", dir.Fs("a/loop1"));
    fs::create_symlink("loop1", dir.Fs("a/loop2"));
    fs::create_symlink("../..", dir.Fs("a/b/up"));
    EXPECT_EQ(FoldersWalked(dir.path()).size(), 4u);

    // A settings file that is a link to itself cannot be opened.
    fs::remove(dir.Fs("c/tarn_BBS.ini"));
    fs::create_symlink("tarn_BBS.ini", dir.Fs("c/tarn_BBS.ini"));
    ExpectFileError([&] { tarn::ApplyToTree(dir.path(), NameAndEmptyEmail()); }, FileError::kOpen,
                    dir.Path("c/tarn_BBS.ini"));
    EXPECT_TRUE(fs::is_symlink(dir.Fs("c/tarn_BBS.ini")));
    EXPECT_EQ(Temporaries(dir.fs()), std::vector<std::string>{});
}

TEST(HostileTree, SettingsFileThatIsAFolder) {
    TempFolder dir;
    dir.MakeFolder("x/tarn_BBS.ini");
    WriteBytes(dir.Fs("x/tarn_BBS.ini/tarn_BBS.ini"), "[BASIC]\r\nNAME=inside\r\n");
    ExpectFileError([&] { tarn::ApplyToTree(dir.path(), NameAndEmptyEmail()); }, FileError::kCreate,
                    dir.Path("x/tarn_BBS.ini"));
    EXPECT_EQ(ReadBytes(dir.fs() / "tarn_BBS.ini"), "[BASIC]\r\nNAME=v\r\nEMAIL=\r\n");
    EXPECT_EQ(ReadBytes(dir.Fs("x/tarn_BBS.ini/tarn_BBS.ini")), "[BASIC]\r\nNAME=inside\r\n");
    EXPECT_EQ(Temporaries(dir.fs()), std::vector<std::string>{});
}

TEST(HostileTree, FolderThatCannotBeListedHasNoSubfolders) {
    TempFolder dir;
    dir.MakeFolder("closed/below");
    WriteBytes(dir.Fs("closed/below/tarn_BBS.ini"), "[BASIC]\r\nNAME=below\r\n");
    const std::string visited = AsOrdinaryUser(dir.fs(), [&] {
        fs::permissions(dir.Fs("closed"), fs::perms::owner_write | fs::perms::owner_exec);
        const std::string walked = Joined(FoldersWalked(dir.path()));
        fs::permissions(dir.Fs("closed"), fs::perms::owner_all);
        return walked;
    });
    EXPECT_EQ(visited, Joined({dir.path(), dir.Path("closed")}));
    EXPECT_EQ(ReadBytes(dir.Fs("closed/tarn_BBS.ini")), "[BASIC]\r\nNAME=v\r\nEMAIL=\r\n");
    EXPECT_EQ(ReadBytes(dir.Fs("closed/below/tarn_BBS.ini")), "[BASIC]\r\nNAME=below\r\n");
}

TEST(HostileTree, ReadOnlyFileInTheMiddleStopsTheRunAndKeepsItsBytes) {
    TempFolder dir;
    dir.MakeFolder("a/locked/below");
    const std::string old = "[BASIC]\r\nNAME=locked\r\n";
    WriteBytes(dir.Fs("a/locked/tarn_BBS.ini"), old);
    fs::permissions(dir.Fs("a/locked/tarn_BBS.ini"), fs::perms::owner_read | fs::perms::group_read);
    const std::string error = AsOrdinaryUser(dir.fs(), [&] {
        try {
            tarn::ApplyToTree(dir.path(), NameAndEmptyEmail());
        } catch (const FileError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    });
    EXPECT_EQ(error, FileErrorText(FileError::kCreate, dir.Path("a/locked/tarn_BBS.ini")));
    EXPECT_EQ(ReadBytes(dir.Fs("a/locked/tarn_BBS.ini")), old);
    EXPECT_EQ(ReadBytes(dir.Fs("a/tarn_BBS.ini")), "[BASIC]\r\nNAME=v\r\nEMAIL=\r\n");
    EXPECT_FALSE(fs::exists(dir.Fs("a/locked/below/tarn_BBS.ini")));
    EXPECT_EQ(EntryNames(dir.Fs("a/locked")), (std::vector<std::string>{"below", "tarn_BBS.ini"}));
}

}  // namespace
