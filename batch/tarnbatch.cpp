// tarnbatch: the batch settings run of TarnUtil from the command line.
#include <chrono>
#include <string>

#include "batch/BatchCommandLine.h"
#include "batch/BatchReport.h"
#include "batch/tuConfAll.h"
#include "batch/tuJournal.h"
#include "batch/tuUndo.h"
#include "platform/paths.h"
#include "platform/file_error.h"
#include "platform/platform.h"

namespace {

using tarn::InLanguage;
using tarn::Language;

void Print(platform::StandardStream stream, const std::string& systemText) {
    platform::WriteText(stream, systemText);
}

constexpr auto kOut = platform::StandardStream::Output;
constexpr auto kErr = platform::StandardStream::Error;

// Counts what the walk does and lists the files the user asked to see: on a
// dry run each file that would change, with its changed values.
class RunReport : public tarn::RunProgress {
public:
    RunReport(bool dryRun, bool listFiles, Language language, bool showProgress)
        : dryRun_(dryRun), listFiles_(listFiles), showProgress_(showProgress), language_(language) {}

    void FolderEntered(const std::string& folder) override {
        RunProgress::FolderEntered(folder);
        ShowProgress();
    }

    void FileLeftAlone(const std::string& path) override {
        RunProgress::FileLeftAlone(path);
        Print(kErr, InLanguage(language_, "tarnbatch: left alone (changed since the batch): ",
                               "tarnbatch: 一括設定の後に変更されたため、そのままにしました: ") +
                        path + "\n");
    }

    // A long run on a terminal shows how far it got, on one line of
    // standard error that is rewritten every tenth of a second.
    void ShowProgress(bool last = false) {
        if (!showProgress_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!last && (now - started_ < std::chrono::milliseconds(500) || now - shown_ < std::chrono::milliseconds(100)))
            return;
        if (last && !progressShown_) return;
        shown_ = now;
        progressShown_ = true;
        const std::string line = language_ == Language::Japanese
                                     ? Counts()
                                     : "folders: " + std::to_string(folders) + ", written: " + std::to_string(written) +
                                           ", unchanged: " + std::to_string(unchanged) +
                                           ", skipped: " + std::to_string(skipped);
        Print(kErr, "\r" + line + (last ? "\n" : ""));
    }

    // After a run that stopped (status other than 0) having written files:
    // how many, and that an undo takes them back.
    void TellWrittenBeforeStop(int status) const {
        if (status == 0 || written == 0) return;
        Print(kErr, InLanguage(language_,
                               "tarnbatch: " + std::to_string(written) +
                                   " files were written before the stop; tarnbatch --undo takes them back\n",
                               "tarnbatch: 停止までに " + std::to_string(written) +
                                   " 個のファイルを書き込みました。tarnbatch --undo で元に戻せます\n"));
    }

    // After an undo: what came back, what already was, what was left alone.
    std::string UndoSummary(const tarn::UndoResult& result) const {
        if (language_ == Language::Japanese)
            return "元に戻したファイル: " + std::to_string(result.restored) + "、元のままのファイル: " +
                   std::to_string(result.alreadyBack) + "、変更されていたためそのままのファイル: " +
                   std::to_string(result.leftAlone) + (dryRun_ ? "（試行: 何も書き込んでいません）" : "") + "\n";
        return "files restored: " + std::to_string(result.restored) + ", already as before: " +
               std::to_string(result.alreadyBack) + ", changed since (left alone): " +
               std::to_string(result.leftAlone) + (dryRun_ ? " (dry run: nothing was written)" : "") + "\n";
    }

    void FolderSkipped(const std::string& shownPath) override {
        RunProgress::FolderSkipped(shownPath);
        Print(kErr, InLanguage(language_, "tarnbatch: skipped (its name has no Shift-JIS form): ",
                               "tarnbatch: 名前を Shift-JIS で表せないため飛ばしました: ") +
                        shownPath + "\n");
    }

    void LinkSkipped(const std::string& link, const std::string& shownTarget) override {
        RunProgress::LinkSkipped(link, shownTarget);
        Print(kErr, InLanguage(language_, "tarnbatch: skipped (a link leading out of the start folder, to ",
                               "tarnbatch: 開始フォルダの外を指すリンクのため飛ばしました (リンク先 ") +
                        shownTarget + "): " + link + "\n");
    }

    bool WantsContent() const override { return dryRun_; }

    void FileChanged(const std::string& path, const std::optional<std::string>& before,
                     const std::string& after) override {
        Print(kOut, tarn::DescribeChange(path, before, after, language_));
    }

    void FileStored(const std::string& path, tarn::WriteOutcome outcome) override {
        RunProgress::FileStored(path, outcome);
        if (outcome != tarn::WriteOutcome::Unchanged && listFiles_ && !dryRun_) Print(kOut, path + "\n");
    }

    // The same line after a dry run as after a real one, which scripts
    // read, with a note that nothing was written.
    std::string Summary() const {
        const std::string skippedCount = std::to_string(skipped);
        if (language_ == Language::Japanese)
            return "訪れたフォルダ: " + std::to_string(folders) + "、書き込んだファイル: " + std::to_string(written) +
                   "、変更不要のファイル: " + std::to_string(unchanged) +
                   (skipped ? "、飛ばしたフォルダ: " + skippedCount : std::string()) +
                   (dryRun_ ? "（試行: 何も書き込んでいません）" : "") + "\n";
        return "folders visited: " + std::to_string(folders) + ", files written: " + std::to_string(written) +
               ", files already up to date: " + std::to_string(unchanged) +
               (skipped ? ", skipped: " + skippedCount : std::string()) +
               (dryRun_ ? " (dry run: nothing was written)" : "") + "\n";
    }

private:
    bool dryRun_, listFiles_, showProgress_;
    bool progressShown_ = false;
    Language language_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now(), shown_;
};

// Every path and text is handled in code page 932; under another ANSI code
// page Japanese names and values would turn into '?', so nothing is done.
bool RefuseOtherCodePage() {
    if (platform::AnsiCodePage() == 932) return false;
    platform::WriteErrorUnicode(platform::CodePageRefusal("tarnbatch"));
    return true;
}

// Where journals are kept unless --journal says otherwise.
std::string DefaultJournalsFolder() {
    const char* program = platform::kNamesAreUtf8 ? "tarnutil" : "TarnUtil";
    return platform::JoinPath(platform::JoinPath(platform::UserStateFolder(), program), "journal");
}

// The journal folder --undo means: the last one, one of the journals' folder
// by name, or a folder given by its path; empty when there is none.
std::string JournalToUndo(const std::string& journals, const std::string& given) {
    if (given.empty()) {
        const auto all = tarn::ListJournals(journals);
        return all.empty() ? std::string() : all.back();
    }
    const std::string named = platform::JoinPath(journals, given);
    if (platform::FilePart(given) == given && platform::DirectoryExists(named)) return named;
    return platform::DirectoryExists(given) ? given : std::string();
}

// Runs a batch or an undo: an error stops it (status 1); its journal then
// says how it ended.
template <class Work>
int RunRecorded(tarn::Journal& journal, RunReport& report, Work&& work) {
    int status = 0;
    try {
        work();
    } catch (const std::exception& e) {  // a file error, or anything else that stops the run
        Print(kErr, std::string("tarnbatch: ") + e.what() + "\n");
        status = 1;
    }
    journal.Finish(status == 0 ? "finished" : "stopped");
    report.ShowProgress(true);
    return status;
}

// How long a second batch waits for a running one before it gives up.
constexpr unsigned kBatchLockWait = 5000;

}  // namespace

int main(int argc, char** argv) {
    if (RefuseOtherCodePage()) return 3;
    const auto args = platform::CommandLineArguments(argc, argv);
    const Language userLanguage = platform::UserLanguageIsJapanese() ? Language::Japanese : Language::English;
    tarn::BatchCommand command;
    try {
        command = tarn::ParseBatchArguments(args, userLanguage);
    } catch (const tarn::UsageError& e) {
        Print(kErr, std::string("tarnbatch: ") + e.what() + "\n" +
                        InLanguage(e.language(), "Try 'tarnbatch --help'.\n",
                                   "使い方は 'tarnbatch --help' で表示されます。\n"));
        return 2;
    } catch (const platform::FileError& e) {
        Print(kErr, std::string("tarnbatch: ") + e.what() + "\n");
        return 2;
    }
    const Language language = command.language;
    if (command.help) {
        Print(kOut, tarn::BatchUsage(language));
        return 0;
    }

    // One batch at a time: two over the same tree would undo each other's
    // writes.
    platform::BatchLock lock;
    if (!command.dryRun && !lock.Acquire(kBatchLockWait)) {
        Print(kErr, InLanguage(language,
                               "tarnbatch: another batch (TarnUtil or tarnbatch) is still running; nothing was written\n",
                               "tarnbatch: 別の一括設定 (TarnUtil か tarnbatch) が実行中のため、何も書き込みませんでした\n"));
        return 3;
    }

    const std::string journals = command.journalFolder.empty() ? DefaultJournalsFolder() : command.journalFolder;
    RunReport report(command.dryRun, command.verbose, language,
                     !command.quiet && platform::IsTerminal(platform::StandardStream::Error));
    tarn::BatchOptions options;
    options.mode = command.dryRun ? tarn::WriteMode::DryRun : tarn::WriteMode::Write;
    options.observer = &report;
    options.excludedFolder = journals;
    if (command.undo) {
        const std::string undone = JournalToUndo(journals, command.undoJournal);
        if (undone.empty()) {
            Print(kErr, InLanguage(language, "tarnbatch: no journal to take back in ", "tarnbatch: 元に戻す記録がありません: ") +
                            (command.undoJournal.empty() ? journals : command.undoJournal) + "\n");
            return 1;
        }
        tarn::Journal journal(journals, "undo", undone);
        if (!command.dryRun) options.journal = &journal;
        // The counts of a finished undo; one that stopped tells what it wrote.
        std::optional<tarn::UndoResult> result;
        const int status = RunRecorded(journal, report, [&] { result = tarn::UndoJournal(undone, options); });
        if (!command.quiet && result) Print(kOut, report.UndoSummary(*result));
        report.TellWrittenBeforeStop(status);
        return status;
    }

    tarn::Journal journal(journals, "batch", command.startFolder);
    if (!command.dryRun && !command.noJournal) options.journal = &journal;
    const int status =
        RunRecorded(journal, report, [&] { tarn::ApplyToTree(command.startFolder, command.input, options); });
    report.TellWrittenBeforeStop(status);
    if (!command.quiet) Print(kOut, report.Summary());
    return status;
}
