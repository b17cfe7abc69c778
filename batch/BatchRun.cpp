#include "batch/BatchRun.h"

#include <exception>

#include "platform/paths.h"
#include "platform/platform.h"

namespace tarn {
namespace {

// The journal folder an undo means: the last one, one of the journals' folder
// by name, or a folder given by its path; empty when there is none.
std::string JournalToUndo(const std::string& journals, const std::string& given) {
    if (given.empty()) {
        const auto all = ListJournals(journals);
        return all.empty() ? std::string() : all.back();
    }
    const std::string named = platform::JoinPath(journals, given);
    if (platform::FilePart(given) == given && platform::DirectoryExists(named)) return named;
    return platform::DirectoryExists(given) ? given : std::string();
}

// Runs the batch or the undo proper; false when it was cancelled.
bool RunWork(const RunRequest& request, const BatchOptions& options, RunResult& result) {
    if (request.kind == RunRequest::Kind::Undo) {
        result.undoCounts = UndoJournal(result.undone, options);
        return !result.undoCounts.cancelled;
    }
    if (request.boards) return ApplyToBoards(*request.boards, options);
    return ApplyToTree(request.startFolder, request.input, options);
}

}  // namespace

RunResult RunEngine(const RunRequest& request, RunProgress& progress, const std::atomic<bool>* stop) {
    RunResult result;
    // One batch at a time: two over the same tree would undo each other's
    // writes. The lock comes before the undo picks its journal, so that it
    // takes back the batch that ran last, not one still running.
    platform::BatchLock lock;
    if (!request.dryRun && !lock.Acquire(kBatchLockWaitMs)) {
        result.status = RunResult::Status::Busy;
        return result;
    }
    const bool undo = request.kind == RunRequest::Kind::Undo;
    if (undo) {
        result.undone = JournalToUndo(request.journalsFolder, request.undoJournal);
        if (result.undone.empty()) {
            result.status = RunResult::Status::NothingToUndo;
            return result;
        }
    }
    // What a killed run left: its temporary files, which its journal names.
    if (!request.dryRun) {
        if (undo)
            RemoveKilledRunsTemporaries(result.undone);
        else
            RemoveKilledRunsTemporariesIn(request.journalsFolder, request.startFolder);
    }
    Journal journal(request.journalsFolder, undo ? "undo" : "batch", undo ? result.undone : request.startFolder);
    BatchOptions options;
    options.mode = request.dryRun ? WriteMode::DryRun : WriteMode::Write;
    options.observer = &progress;
    options.excludedFolder = request.journalsFolder;
    options.cancel = stop;
    if (!request.dryRun && request.journaled) options.journal = &journal;
    try {
        result.outcome = RunWork(request, options, result) ? RunOutcome::Finished : RunOutcome::Cancelled;
    } catch (const std::exception& e) {  // a file error, or anything else that stops the run
        result.outcome = RunOutcome::Stopped;
        result.error = e.what();
    }
    journal.Finish(result.outcome);
    return result;
}

}  // namespace tarn
