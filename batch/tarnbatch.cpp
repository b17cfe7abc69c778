// tarnbatch: the batch settings run of TarnUtil from the command line.
#include <algorithm>
#include <chrono>
#include <string>

#include "batch/BatchCommandLine.h"
#include "batch/BatchReport.h"
#include "batch/BatchRun.h"
#include "batch/RunReport.h"
#include "platform/paths.h"
#include "platform/file_error.h"
#include "platform/platform.h"

namespace {

using tarn::InLanguage;
using tarn::Language;

constexpr auto kOut = platform::StandardStream::Output;
constexpr auto kErr = platform::StandardStream::Error;

void Print(platform::StandardStream stream, const std::string& systemText) {
    platform::WriteText(stream, systemText);
}

// One line of the driver's own, on standard error.
void Say(const std::string& line) {
    if (!line.empty()) Print(kErr, "tarnbatch: " + line + "\n");
}

// Tells what the run does as it goes: the folders skipped, the files an undo
// left alone, the files the user asked to see (on a dry run each file that
// would change, with its changed values) and, on a terminal, a progress line.
class ConsoleProgress : public tarn::RunProgress {
public:
    ConsoleProgress(const tarn::RunReport& report, const tarn::BatchCommand& command, bool showProgress)
        : report_(report), command_(command), showProgress_(showProgress) {}

    void FolderEntered(const std::string& folder) override {
        RunProgress::FolderEntered(folder);
        ShowProgress();
    }

    void FileLeftAlone(const std::string& path) override {
        RunProgress::FileLeftAlone(path);
        Say(report_.LeftAloneFile(path));
    }

    void FolderSkipped(const std::string& shownPath) override {
        RunProgress::FolderSkipped(shownPath);
        Say(report_.SkippedFolder(shownPath));
    }

    void LinkSkipped(const std::string& link, const std::string& shownTarget) override {
        RunProgress::LinkSkipped(link, shownTarget);
        Say(report_.SkippedLink(link, shownTarget));
    }

    bool WantsContent() const override { return command_.dryRun; }

    void FileChanged(const std::string& path, const std::optional<std::string>& before,
                     const std::string& after) override {
        Print(kOut, tarn::DescribeChange(path, before, after, command_.language));
    }

    void FileStored(const std::string& path, tarn::WriteOutcome outcome) override {
        RunProgress::FileStored(path, outcome);
        if (outcome != tarn::WriteOutcome::Unchanged && command_.verbose && !command_.dryRun) Print(kOut, path + "\n");
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
        Print(kErr, "\r" + report_.Counts(*this) + (last ? "\n" : ""));
    }

private:
    const tarn::RunReport& report_;
    const tarn::BatchCommand& command_;
    bool showProgress_;
    bool progressShown_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now(), shown_;
};

// Every path and text is handled in code page 932; under another ANSI code
// page Japanese names and values would turn into '?', so nothing is done.
bool RefuseOtherCodePage() {
    if (platform::AnsiCodePage() == 932) return false;
    platform::WriteErrorUnicode(platform::CodePageRefusal("tarnbatch"));
    return true;
}

// Where journals are kept: --journal's folder, or the user's own.
std::string JournalsFolderOf(const tarn::BatchCommand& command) {
    if (!command.journalFolder.empty()) return command.journalFolder;
    const char* program = platform::kNamesAreUtf8 ? "tarnutil" : "TarnUtil";
    return platform::JoinPath(platform::JoinPath(platform::UserStateFolder(), program), "journal");
}

tarn::RunRequest RequestOf(const tarn::BatchCommand& command) {
    tarn::RunRequest request;
    request.kind = command.undo ? tarn::RunRequest::Kind::Undo : tarn::RunRequest::Kind::Batch;
    request.journalsFolder = JournalsFolderOf(command);
    request.dryRun = command.dryRun;
    request.journaled = !command.noJournal || command.undo;
    request.startFolder = command.startFolder;
    request.input = command.input;
    request.boards = command.importedBoards;
    request.undoJournal = command.undoJournal;
    return request;
}

// --list: the board table of the tree, on standard output or in a file
// (written like any file of the batch). Exit status as a run's.
int ListBoards(const tarn::BatchCommand& command, const tarn::RunReport& report, ConsoleProgress& progress) {
    std::vector<tarn::TableRow> rows;
    tarn::BatchOptions options;
    options.observer = &progress;
    options.excludedFolder = JournalsFolderOf(command);
    try {
        tarn::ListBoards(command.startFolder, options, [&](const tarn::BoardRow& board) {
            if (!tarn::IsChosen(command.input.where, board.basic)) {
                progress.BoardNotChosen(board.folder);
                return;
            }
            rows.push_back(tarn::TableRowOf(board.relative, board.basic, command.listColumns));
        });
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.folder < b.folder; });
        const std::string table = tarn::FormatBoardTable(command.listColumns, rows, command.encoding);
        if (command.output.empty())
            platform::WriteBytes(kOut, table);
        else
            tarn::StoreFile(command.output, table, tarn::WriteMode::Write);
    } catch (const platform::FileError& e) {
        Say(e.what());
        return 1;
    }
    progress.ShowProgress(true);
    if (!command.quiet && !command.output.empty()) Print(kOut, report.Summary(progress, false) + "\n");
    return 0;
}

// Shows the end of a run and gives the exit status: 0 done, 1 stopped by an
// error (or no journal to undo), 3 another batch runs.
int ShowEnd(const tarn::BatchCommand& command, const tarn::RunRequest& request, const tarn::RunResult& result,
            const tarn::RunReport& report, ConsoleProgress& progress) {
    using Status = tarn::RunResult::Status;
    if (result.status == Status::Busy) {
        Say(report.Busy());
        return 3;
    }
    if (result.status == Status::NothingToUndo) {
        Say(report.NothingToUndo(command.undoJournal.empty() ? request.journalsFolder : command.undoJournal));
        return 1;
    }
    const bool stopped = result.outcome == tarn::RunOutcome::Stopped;
    if (stopped) Say(result.error);
    progress.ShowProgress(true);
    const std::string writtenBeforeStop = stopped ? report.WrittenBeforeStop(progress.written) : std::string();
    if (command.undo) {
        if (!command.quiet && !stopped) Print(kOut, report.UndoSummary(result.undoCounts, command.dryRun, {}) + "\n");
        Say(writtenBeforeStop);
    } else {
        Say(writtenBeforeStop);
        if (!command.quiet) Print(kOut, report.Summary(progress, command.dryRun) + "\n");
    }
    return stopped ? 1 : 0;
}

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
    if (command.help) {
        Print(kOut, tarn::BatchUsage(command.language));
        return 0;
    }
    if (command.version) {
        Print(kOut, "tarnbatch (TarnUtil) " TARN_VERSION "\n");
        return 0;
    }

    const tarn::RunReport report(command.language, tarn::FrontEnd::Console);
    ConsoleProgress progress(report, command, !command.quiet && platform::IsTerminal(platform::StandardStream::Error));
    if (command.list) return ListBoards(command, report, progress);
    const tarn::RunRequest request = RequestOf(command);
    const tarn::RunResult result = tarn::RunEngine(request, progress);
    return ShowEnd(command, request, result, report, progress);
}
