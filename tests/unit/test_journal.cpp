// The journal of a batch and undo: what a batch changed is recorded before it
// changes, and taking it back restores every file it wrote, leaves alone what
// someone changed since, and can itself be taken back.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <map>
#include <optional>

#include "batch/BatchRun.h"
#include "batch/tuConfAll.h"
#include "batch/tuJournal.h"
#include "batch/tuUndo.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "temp_folder.h"

namespace {

using namespace tarn_test;
using tarn::BatchInput;
using tarn::Field;

using Tree = std::map<std::string, std::string>;  // relative path -> bytes

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.MakeFolders({"data", "data/a", "data/a/deep", "data/b", "data/new"});
        WriteBytes(dir.Fs("data/tarn_BBS.ini"), "[BASIC]\r\nNAME=root\r\n");
        WriteBytes(dir.Fs("data/a/tarn_BBS.ini"), "[DIALOG]\r\n_NAME=x\r\n[BASIC]\r\nNAME=a\r\nPARAM2=7\r\n");
        WriteBytes(dir.Fs("data/a/deep/tarn_BBS.ini"), "[BASIC]\nname=lf\n");
        WriteBytes(dir.Fs("data/b/tarn_BBS.ini"), "[BASIC]\r\nNAME=b\r\n");
        WriteBytes(dir.Fs("data/b/sign.ini"), "old signature\r\n");
    }

    Tree Files() const {
        Tree files;
        for (auto it = fs::recursive_directory_iterator(dir.Fs("data")); it != fs::recursive_directory_iterator(); ++it)
            if (it->is_regular_file()) files[fs::relative(it->path(), dir.Fs("data")).generic_u8string()] = ReadBytes(it->path());
        return files;
    }

    BatchInput Input(const std::string& name) const {
        BatchInput input;
        input[Field::NAME] = {true, name};
        input.signatureChecked = true;
        input.signatureText = "署名\r\n";
        return input;
    }

    // A batch with its journal, leaving out `excludedFolder`; returns the
    // journal's folder.
    std::string Batch(const std::string& name, const std::string& excludedFolder = "") {
        tarn::Journal journal(journals, "batch", dir.Path("data"));
        tarn::BatchOptions options;
        options.journal = &journal;
        options.excludedFolder = excludedFolder;
        tarn::ApplyToTree(dir.Path("data"), Input(name), options);
        journal.Finish(tarn::RunOutcome::Finished);
        return journal.Folder();
    }

    tarn::UndoResult Undo(const std::string& journalFolder, tarn::BatchObserver* observer = nullptr,
                          std::string* undoFolder = nullptr) {
        tarn::Journal journal(journals, "undo", journalFolder);
        tarn::BatchOptions options;
        options.journal = &journal;
        options.observer = observer;
        const tarn::UndoResult result = tarn::UndoJournal(journalFolder, options);
        journal.Finish(tarn::RunOutcome::Finished);
        if (undoFolder) *undoFolder = journal.Folder();
        return result;
    }

    TempFolder dir;
    std::string journals = dir.Path("journals");
};

class LeftAlone : public tarn::BatchObserver {
public:
    void FileLeftAlone(const std::string& path) override { paths.push_back(path); }
    std::vector<std::string> paths;
};

TEST_F(JournalTest, UndoRestoresEveryFileAndRemovesTheOnesTheBatchCreated) {
    const Tree before = Files();
    const std::string journal = Batch("新");
    const Tree after = Files();
    ASSERT_NE(after, before);
    ASSERT_EQ(after.count("new/tarn_BBS.ini"), 1u);
    // Ten files changed: five settings files and five signatures, one of
    // them replaced, four created; the first one created is the root's sign.ini.
    EXPECT_EQ(tarn::ReadJournal(journal).records.size(), 10u);

    const tarn::UndoResult result = Undo(journal);
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(result.restored, 10u);
    EXPECT_EQ(result.leftAlone, 0u);
}

TEST_F(JournalTest, AFileChangedSinceIsLeftAloneAndReported) {
    const Tree before = Files();
    const std::string journal = Batch("新");
    WriteBytes(dir.Fs("data/a/tarn_BBS.ini"), "[BASIC]\r\nNAME=host wrote this\r\n");
    fs::remove(dir.Fs("data/b/sign.ini"));
    LeftAlone observer;
    const tarn::UndoResult result = Undo(journal, &observer);
    EXPECT_EQ(result.leftAlone, 2u);
    EXPECT_EQ(result.restored, 8u);
    std::sort(observer.paths.begin(), observer.paths.end());
    EXPECT_EQ(observer.paths, (std::vector<std::string>{dir.Path("data/a/tarn_BBS.ini"), dir.Path("data/b/sign.ini")}));
    Tree expected = before;
    expected["a/tarn_BBS.ini"] = "[BASIC]\r\nNAME=host wrote this\r\n";
    expected.erase("b/sign.ini");
    EXPECT_EQ(Files(), expected);
}

TEST_F(JournalTest, AnUndoCanBeUndoneAndASecondUndoChangesNothing) {
    const std::string journal = Batch("新");
    const Tree afterBatch = Files();
    std::string undoJournal;
    Undo(journal, nullptr, &undoJournal);
    ASSERT_FALSE(undoJournal.empty());
    EXPECT_EQ(tarn::ReadJournal(undoJournal).kind, "undo");
    // Undoing the same batch again finds every file as before it.
    std::string nothing;
    const tarn::UndoResult again = Undo(journal, nullptr, &nothing);
    EXPECT_EQ(again.alreadyBack, 10u);
    EXPECT_TRUE(nothing.empty()) << "a run that changed nothing leaves no journal";
    Undo(undoJournal);
    EXPECT_EQ(Files(), afterBatch);
}

TEST_F(JournalTest, TheLastTenJournalsAreKept) {
    std::vector<std::string> made;
    for (int i = 0; i < 12; ++i) made.push_back(Batch("name" + std::to_string(i)));
    const auto kept = tarn::ListJournals(journals);
    EXPECT_EQ(kept, std::vector<std::string>(made.end() - 10, made.end()));
    EXPECT_FALSE(fs::exists(dir.Fs("journals") / fs::path(made[0]).filename()));
}

TEST_F(JournalTest, ABatchStoppedByAnErrorIsTakenBackWhole) {
    Tree expected = Files();
    expected.erase("b/tarn_BBS.ini");
    fs::remove(dir.Fs("data/b/tarn_BBS.ini"));
    tarn::Journal journal(journals, "batch", dir.Path("data"));
    {
        // A settings file that cannot be read stops the walk part way.
        UnreadableFile unreadable(dir, "data/b/tarn_BBS.ini");
        if (!unreadable.ready()) GTEST_SKIP() << "cannot make an unreadable file here";
        tarn::BatchOptions options;
        options.journal = &journal;
        EXPECT_THROW(tarn::ApplyToTree(dir.Path("data"), Input("新"), options), platform::FileError);
        journal.Finish(tarn::RunOutcome::Stopped);
    }
    ASSERT_FALSE(journal.Folder().empty());
    Undo(journal.Folder());
    Tree now = Files();
    now.erase("b/tarn_BBS.ini");  // what is left of the blocker, where it is a file
    EXPECT_EQ(now, expected);
}

TEST_F(JournalTest, ACancelledBatchStopsAfterTheFileBeingWrittenAndIsTakenBack) {
    const Tree before = Files();
    std::atomic<bool> cancel{true};
    tarn::Journal journal(journals, "batch", dir.Path("data"));
    tarn::BatchOptions options;
    options.journal = &journal;
    options.cancel = &cancel;
    EXPECT_FALSE(tarn::ApplyToTree(dir.Path("data"), Input("新"), options));
    journal.Finish(tarn::RunOutcome::Cancelled);
    // Only the start folder was written: its signature and settings file.
    EXPECT_EQ(tarn::ReadJournal(journal.Folder()).records.size(), 2u);
    EXPECT_EQ(ReadBytes(dir.Fs("data/a/tarn_BBS.ini")), before.at("a/tarn_BBS.ini"));
    Undo(journal.Folder());
    EXPECT_EQ(Files(), before);
}

TEST_F(JournalTest, TheJournalsFolderInsideTheTreeIsNoBoard) {
    journals = dir.Path("data/journals");
    const std::string journal = Batch("新", journals);
    EXPECT_FALSE(fs::exists(dir.Fs("data/journals/tarn_BBS.ini")));
    EXPECT_FALSE(fs::exists(fs::path(dir.Fs("data/journals")) / fs::path(journal).filename() / "tarn_BBS.ini"));
}

TEST_F(JournalTest, ALineCutShortByACrashIsLeftOut) {
    const std::string journal = Batch("新");
    const fs::path index = fs::path(dir.Fs("journals")) / fs::path(journal).filename() / "journal.txt";
    std::string text = ReadBytes(index);
    text = text.substr(0, text.rfind("end\t"));  // killed before the end line
    WriteBytes(index, text + "replaced\t0\t5\t3\t00");
    EXPECT_EQ(tarn::ReadJournal(journal).records.size(), 10u);
}

// A journal damaged on disk is refused as a whole, never half taken back, and
// the program does not end over it; a record whose bytes lie beyond old.bin
// (even by an offset that would overflow) is one never made durable.
TEST_F(JournalTest, ADamagedJournalIsRefusedAsUnreadable) {
    const std::string journal = Batch("新");
    const fs::path index = fs::path(dir.Fs("journals")) / fs::path(journal).filename() / "journal.txt";
    const std::string text = ReadBytes(index);
    const std::string beyond = "replaced\t18446744073709551615\t2\t3\t00\t" + dir.Path("data/x") + "\r\n";
    WriteBytes(index, text + beyond);
    EXPECT_EQ(tarn::ReadJournal(journal).records.size(), 10u);
    for (const char* damaged : {"replaced\tx\t5\t3\t00\tp\r\n", "created\t-\t-\t3\tzz\tp\r\n",
                                "replaced\t0\t99999999999999999999999\t3\t00\tp\r\n"}) {
        WriteBytes(index, text + damaged);
        ExpectFileError([&] { tarn::ReadJournal(journal); }, platform::FileError::kOpen,
                        platform::JoinPath(journal, "journal.txt"));
    }
}

TEST_F(JournalTest, OnlyFoldersNamedAsJournalsAreJournals) {
    const std::string journal = Batch("新");
    for (const char* other : {"20261208-101010--1", "20261208-101010-", "20261208-101010-1234567890",
                              "2026120a-101010-1", "notes"})
        fs::create_directory(dir.Fs("journals") / other);
    EXPECT_EQ(tarn::ListJournals(journals), std::vector<std::string>{journal});
}

#ifndef _WIN32
// Linux allows line breaks in names. A folder whose name holds CR LF, which
// would end its line in the journal early, is skipped and reported with them
// shown; a start folder named so is not written. A lone LF or a tab ends no
// line: such a board is written.
TEST_F(JournalTest, NamesWithCrLfAreNeitherWalkedNorJournaled) {
    dir.MakeFolders({"data/x\r\ny", "data/tab\tname"});
    tarn::Journal journal(journals, "batch", dir.Path("data"));
    tarn::RunProgress progress;
    tarn::BatchOptions options;
    options.journal = &journal;
    options.observer = &progress;
    tarn::ApplyToTree(dir.Path("data"), Input("新"), options);
    journal.Finish(tarn::RunOutcome::Finished);
    EXPECT_EQ(progress.Skipped(), std::vector<std::string>{dir.Path("data/x<U+000D><U+000A>y")});
    EXPECT_FALSE(fs::exists(dir.Fs("data/x\r\ny/tarn_BBS.ini")));
    EXPECT_TRUE(fs::exists(dir.Fs("data/tab\tname/tarn_BBS.ini")));
    EXPECT_EQ(tarn::ReadJournal(journal.Folder()).records.size(), 12u);  // the tab's board whole

    tarn::Journal second(journals, "batch", dir.Path("data/x\r\ny"));
    options.journal = &second;
    ExpectFileError([&] { tarn::ApplyToTree(dir.Path("data/x\r\ny"), Input("新"), options); },
                    platform::FileError::kCreate, dir.Path("data/x\r\ny/sign.ini"));
    EXPECT_TRUE(fs::is_empty(dir.Fs("data/x\r\ny")));
}
#endif

}  // namespace

// ---- one run through RunEngine, as tarnbatch and the window start it --------

class RunEngineTest : public JournalTest {
protected:
#ifndef _WIN32
    // The batch lock of these runs lies in the test's own folder, so that a
    // batch another test program runs meanwhile does not hold it.
    void SetUp() override {
        JournalTest::SetUp();
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        savedRuntime_ = runtime ? std::optional<std::string>(runtime) : std::nullopt;
        ::setenv("XDG_RUNTIME_DIR", dir.Fs("").c_str(), 1);
    }
    void TearDown() override {
        if (savedRuntime_) ::setenv("XDG_RUNTIME_DIR", savedRuntime_->c_str(), 1); else ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::optional<std::string> savedRuntime_;
#endif

    tarn::RunRequest BatchRequest(const std::string& startFolder, const std::string& name) const {
        tarn::RunRequest request;
        request.journalsFolder = journals;
        request.startFolder = startFolder;
        request.input = Input(name);
        return request;
    }

    tarn::RunRequest UndoRequest() const {
        tarn::RunRequest request;
        request.kind = tarn::RunRequest::Kind::Undo;
        request.journalsFolder = journals;
        return request;
    }

    std::string LastLineOf(const std::string& journalFolder) const {
        const std::string text = ReadBytes(fs::u8path(journalFolder) / "journal.txt");
        const std::size_t end = text.rfind("\r\n");
        return text.substr(text.rfind("\r\n", end - 1) + 2, end - text.rfind("\r\n", end - 1) - 2);
    }

    FaultGuard faults;
};

// Sets the stop flag once the run has stored `after` files.
class StopAfter : public tarn::RunProgress {
public:
    StopAfter(std::atomic<bool>& stop, long after) : stop_(stop), after_(after) {}
    void FileStored(const std::string& path, tarn::WriteOutcome outcome) override {
        RunProgress::FileStored(path, outcome);
        if (written + unchanged >= after_) stop_ = true;
    }

private:
    std::atomic<bool>& stop_;
    long after_;
};

TEST_F(RunEngineTest, ABatchAndItsUndoEndTheirJournalsWithTheirOutcome) {
    const Tree before = Files();
    tarn::RunProgress progress;
    const tarn::RunResult batch = tarn::RunEngine(BatchRequest(dir.Path("data"), "新"), progress);
    ASSERT_EQ(batch.status, tarn::RunResult::Status::Ran);
    EXPECT_EQ(batch.outcome, tarn::RunOutcome::Finished);
    const std::string batchJournal = tarn::ListJournals(journals).back();
    EXPECT_EQ(LastLineOf(batchJournal), "end\tfinished\t10");

    tarn::RunProgress undoProgress;
    const tarn::RunResult undo = tarn::RunEngine(UndoRequest(), undoProgress);
    EXPECT_EQ(undo.outcome, tarn::RunOutcome::Finished);
    EXPECT_EQ(undo.undone, batchJournal);
    EXPECT_EQ(undo.undoCounts.restored, 10u);
    EXPECT_EQ(Files(), before);
}

// The window's 中止 during an undo: it stops after the file being written,
// says so, and its own journal covers exactly what it took back. (The undo
// prepares its files in groups; the stop comes while the first one is
// written, so the second is never begun.)
TEST_F(RunEngineTest, AnUndoStopsWhenAskedAndItsJournalSaysCancelled) {
    for (int i = 0; i < 40; ++i) dir.MakeFolder("data/more" + std::to_string(i));
    tarn::RunProgress progress;
    tarn::RunEngine(BatchRequest(dir.Path("data"), "新"), progress);
    ASSERT_EQ(progress.written, 90);
    const Tree afterBatch = Files();
    std::atomic<bool> stop{false};
    StopAfter stopper(stop, 1);
    const tarn::RunResult undo = tarn::RunEngine(UndoRequest(), stopper, &stop);
    EXPECT_EQ(undo.outcome, tarn::RunOutcome::Cancelled);
    EXPECT_TRUE(undo.undoCounts.cancelled);
    const std::size_t restored = undo.undoCounts.restored;
    EXPECT_GT(restored, 0u);
    EXPECT_LT(restored, 90u);
    const std::string undoJournal = tarn::ListJournals(journals).back();
    EXPECT_EQ(LastLineOf(undoJournal), "end\tcancelled\t" + std::to_string(restored));
    // Taking the stopped undo back gives the batch's files again.
    tarn::RunProgress again;
    EXPECT_EQ(tarn::RunEngine(UndoRequest(), again).undone, undoJournal);
    EXPECT_EQ(Files(), afterBatch);
}

TEST_F(RunEngineTest, AnUndoWithNoJournalDoesNothing) {
    tarn::RunProgress progress;
    EXPECT_EQ(tarn::RunEngine(UndoRequest(), progress).status, tarn::RunResult::Status::NothingToUndo);
}

// A journal whose first record could not be written holds no change: it is
// removed, so that the last journal is still the last batch that changed
// something, and the undo takes that one back.
TEST_F(RunEngineTest, AJournalWhoseFirstRecordFailedIsRemoved) {
    const Tree before = Files();
    tarn::RunProgress progress;
    tarn::RunEngine(BatchRequest(dir.Path("data"), "一"), progress);
    const auto first = tarn::ListJournals(journals);
    ASSERT_EQ(first.size(), 1u);
    const Tree afterFirst = Files();

    platform::faults::Arm(platform::faults::Point::JournalRecord);
    tarn::RunProgress failed;
    const tarn::RunResult second = tarn::RunEngine(BatchRequest(dir.Path("data"), "二"), failed);
    EXPECT_EQ(second.outcome, tarn::RunOutcome::Stopped);
    EXPECT_EQ(Files(), afterFirst) << "nothing changes without its record";
    EXPECT_EQ(tarn::ListJournals(journals), first);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Fs("journals")), fs::directory_iterator()), 1);

    tarn::RunProgress undo;
    EXPECT_EQ(tarn::RunEngine(UndoRequest(), undo).undone, first.back());
    EXPECT_EQ(Files(), before);
}

// Records the files a run stores, in order, relative to `start` ('/'
// between names).
class StoredFiles : public tarn::RunProgress {
public:
    explicit StoredFiles(std::string start) : start_(std::move(start)) {}
    void FileStored(const std::string& path, tarn::WriteOutcome outcome) override {
        RunProgress::FileStored(path, outcome);
        std::string relative = path.substr(start_.size() + 1);
        std::replace(relative.begin(), relative.end(), '\\', '/');
        paths.push_back(relative);
    }
    std::vector<std::string> paths;

private:
    std::string start_;
};

// New content is flushed on other threads while the walk goes on; a flush
// that fails stops the run as a failed write did: the files before it in the
// walk's order are written and journaled, the rest stay as they were, and no
// temporary file is left.
TEST_F(RunEngineTest, AFailedFlushStopsTheRunAfterTheFilesBeforeIt) {
    const Tree before = Files();
    platform::faults::Arm(platform::faults::Point::FlushTemporary, 3);
    StoredFiles partial(dir.Path("data"));
    const tarn::RunResult stopped = tarn::RunEngine(BatchRequest(dir.Path("data"), "新"), partial);
    EXPECT_EQ(stopped.outcome, tarn::RunOutcome::Stopped);
    EXPECT_NE(stopped.error, "");
    const Tree afterStop = Files();

    tarn::RunProgress undo;
    tarn::RunEngine(UndoRequest(), undo);
    EXPECT_EQ(Files(), before) << "the journal holds every file written";

    StoredFiles whole(dir.Path("data"));
    ASSERT_EQ(tarn::RunEngine(BatchRequest(dir.Path("data"), "新"), whole).outcome, tarn::RunOutcome::Finished);
    const Tree after = Files();
    ASSERT_EQ(whole.paths.size(), 10u);
    ASSERT_LT(partial.paths.size(), whole.paths.size());
    EXPECT_EQ(partial.paths, std::vector<std::string>(whole.paths.begin(), whole.paths.begin() + partial.paths.size()));
    const auto written = [&](const std::string& path) {
        return std::find(partial.paths.begin(), partial.paths.end(), path) != partial.paths.end();
    };
    for (const auto& [path, bytes] : afterStop) {
        if (written(path) || before.count(path) > 0) {
            EXPECT_EQ(bytes, written(path) ? after.at(path) : before.at(path)) << path;
        }
    }
    for (const auto& [path, bytes] : before) EXPECT_EQ(afterStop.count(path), 1u) << path;
    for (const auto& [path, bytes] : afterStop)
        EXPECT_TRUE(before.count(path) > 0 || written(path)) << path << ": no temporary file is left";
}

// A batch started with a relative start folder is taken back from any working
// folder: the journal holds full paths.
TEST_F(RunEngineTest, AnUndoFromAnotherWorkingFolderFindsTheBatchsFiles) {
    const Tree before = Files();
    dir.MakeFolders({"elsewhere", "elsewhere/data"});
    {
        InCurrentFolder inside(dir.Fs(""));
        tarn::RunProgress progress;
        tarn::RunEngine(BatchRequest("data", "新"), progress);
    }
    const tarn::JournalContents contents = tarn::ReadJournal(tarn::ListJournals(journals).back());
    EXPECT_EQ(contents.subject, dir.Path("data"));
    InCurrentFolder elsewhere(dir.Fs("elsewhere"));
    tarn::RunProgress undo;
    EXPECT_EQ(tarn::RunEngine(UndoRequest(), undo).undoCounts.restored, 10u);
    EXPECT_EQ(Files(), before);
    EXPECT_TRUE(fs::is_empty(dir.Fs("elsewhere/data")));
}

#ifndef _WIN32
// Journal names sort in the order batches ran, also when the local clock goes
// back an hour at the end of summer time: they are written in UTC.
TEST_F(RunEngineTest, JournalNamesGiveTheTimeInUtc) {
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    ::setenv("TZ", "JST-9", 1);
    ::tzset();
    char before[32], after[32];
    std::time_t now = std::time(nullptr);
    std::strftime(before, sizeof before, "%Y%m%d-%H%M%S", std::gmtime(&now));
    tarn::RunProgress progress;
    tarn::RunEngine(BatchRequest(dir.Path("data"), "新"), progress);
    now = std::time(nullptr);
    std::strftime(after, sizeof after, "%Y%m%d-%H%M%S", std::gmtime(&now));
    if (previous) ::setenv("TZ", saved.c_str(), 1); else ::unsetenv("TZ");
    ::tzset();
    const std::string stamp = fs::u8path(tarn::ListJournals(journals).back()).filename().u8string().substr(0, 15);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
}
#endif

// ---- temporary files a kill leaves ---------------------------------------------

class TemporaryFilesTest : public RunEngineTest {
protected:
    // A journal as a run killed part way leaves it (no end line, unless
    // `ended`), naming `temporaries` (relative to the test's folder).
    void KilledJournal(const std::string& name, const std::vector<std::string>& temporaries, bool ended = false) {
        std::string text = "TarnUtil journal 1\r\nbatch\t" + dir.Path("data") + "\r\n";
        for (const std::string& temporary : temporaries) text += "temporary\t-\t-\t-\t-\t" + dir.Path(temporary) + "\r\n";
        if (ended) text += "end\tfinished\t0\r\n";
        dir.MakeFolder("journals/" + name);
        WriteBytes(dir.Fs("journals/" + name + "/journal.txt"), text);
        WriteBytes(dir.Fs("journals/" + name + "/old.bin"), "");
    }

    void MakeFiles(const std::vector<std::string>& names) {
        for (const std::string& name : names) WriteBytes(dir.Fs(name), "left by a kill");
    }
};

TEST_F(TemporaryFilesTest, TheJournalNamesEachTemporaryFileBeforeItIsMade) {
    tarn::RunProgress progress;
    tarn::RunEngine(BatchRequest(dir.Path("data"), "新"), progress);
    const auto contents = tarn::ReadJournal(tarn::ListJournals(journals).back());
    ASSERT_EQ(contents.temporaries.size(), 10u);  // one for each file written
    for (const std::string& temporary : contents.temporaries) {
        EXPECT_EQ(platform::FilePart(temporary).substr(0, 3), "~TU");
        EXPECT_FALSE(platform::FileExists(temporary)) << temporary;
    }
}

// The next batch over the tree removes exactly the temporary files that the
// journals of killed runs name there: not those of a run that ended, not
// those outside the tree, not a file the journal does not name, and not a
// named file that is no temporary file.
TEST_F(TemporaryFilesTest, TheNextBatchRemovesWhatKilledRunsNamedInItsTree) {
    dir.MakeFolder("outside");
    MakeFiles({"data/a/~TUkill1", "data/a/deep/~TUkill2", "outside/~TUkill3", "data/b/~TUstray", "data/b/keep.txt",
               "data/~TUended"});
    KilledJournal("20000101-000000-1", {"data/a/~TUkill1", "outside/~TUkill3", "data/b/keep.txt"});
    KilledJournal("20000101-000000-2", {"data/a/deep/~TUkill2"});
    KilledJournal("20000101-000000-3", {"data/~TUended"}, true);
    tarn::RunProgress progress;
    tarn::RunEngine(BatchRequest(dir.Path("data"), "新"), progress);
    EXPECT_FALSE(fs::exists(dir.Fs("data/a/~TUkill1")));
    EXPECT_FALSE(fs::exists(dir.Fs("data/a/deep/~TUkill2")));
    for (const char* kept : {"outside/~TUkill3", "data/b/~TUstray", "data/b/keep.txt", "data/~TUended"})
        EXPECT_TRUE(fs::exists(dir.Fs(kept))) << kept;
}

// An undo removes the temporary files of the journal it takes back, wherever
// they are; a dry run removes nothing.
TEST_F(TemporaryFilesTest, TheUndoRemovesTheTemporaryFilesOfItsJournal) {
    dir.MakeFolder("outside");
    MakeFiles({"outside/~TUkill", "data/~TUother"});
    KilledJournal("20000101-000000-1", {"data/~TUother"});
    KilledJournal("29991231-235959-1", {"outside/~TUkill"});
    tarn::RunRequest dryRun = UndoRequest();
    dryRun.dryRun = true;
    tarn::RunProgress looked;
    tarn::RunEngine(dryRun, looked);
    EXPECT_TRUE(fs::exists(dir.Fs("outside/~TUkill")));
    tarn::RunProgress progress;
    const tarn::RunResult undo = tarn::RunEngine(UndoRequest(), progress);
    EXPECT_EQ(fs::u8path(undo.undone).filename(), "29991231-235959-1");
    EXPECT_FALSE(fs::exists(dir.Fs("outside/~TUkill")));
    EXPECT_TRUE(fs::exists(dir.Fs("data/~TUother")));
}

// The journal of a killed run is the only record of its temporary files: when
// it is removed as one of more than ten, they are removed with it.
TEST_F(TemporaryFilesTest, AKilledRunsJournalTakesItsTemporaryFilesAlongWhenItIsRemoved) {
    dir.MakeFolder("outside");
    MakeFiles({"outside/~TUold"});
    KilledJournal("20000101-000000-1", {"outside/~TUold"});
    for (int i = 0; i < 9; ++i) {
        tarn::RunProgress progress;
        tarn::RunEngine(BatchRequest(dir.Path("data"), "name" + std::to_string(i)), progress);
    }
    EXPECT_TRUE(fs::exists(dir.Fs("outside/~TUold"))) << "ten journals, the killed one among them";
    tarn::RunProgress progress;
    tarn::RunEngine(BatchRequest(dir.Path("data"), "last"), progress);
    EXPECT_FALSE(fs::exists(dir.Fs("journals/20000101-000000-1")));
    EXPECT_FALSE(fs::exists(dir.Fs("outside/~TUold")));
}
