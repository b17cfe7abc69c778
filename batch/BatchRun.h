// One run of the engine, a batch or an undo, for any front end: it takes the
// one batch lock, opens the run's journal, runs with the front end's observer
// and stop flag, and closes the journal with how the run ended. tarnbatch and
// the window only gather their input, run, and show the report (RunReport).
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "batch/tuConfAll.h"
#include "batch/tuJournal.h"
#include "batch/tuUndo.h"

namespace tarn {

// How long a run waits for another batch (TarnUtil's or tarnbatch's) to end.
inline constexpr unsigned kBatchLockWaitMs = 5000;

struct RunRequest {
    enum class Kind { Batch, Undo } kind = Kind::Batch;
    std::string journalsFolder;  // where the journals are kept, never walked
    bool dryRun = false;         // nothing written, no journal, no lock
    bool journaled = true;       // false: no journal (the run cannot be undone)
    // A batch: the folder it starts in and what it writes.
    std::string startFolder;
    BatchInput input;
    // A batch over listed boards (under startFolder), each with its own
    // input, instead of the whole tree: an import, the boards a list shows.
    // An empty list writes nothing.
    std::optional<std::vector<BoardInput>> boards;
    // An undo: the journal to take back, by its name in the journals' folder
    // or by its path; empty: the last one.
    std::string undoJournal;
};

struct RunResult {
    enum class Status {
        Ran,            // the run ran; `outcome` says how it ended
        Busy,           // another batch held the lock: nothing was done
        NothingToUndo,  // an undo found no journal to take back
    } status = Status::Ran;
    RunOutcome outcome = RunOutcome::Finished;
    std::string error;       // Stopped: what stopped it
    std::string undone;      // an undo: the journal it took back
    UndoResult undoCounts;   // an undo: what it did (as far as it got)
};

// Runs `request`, telling `progress` as it goes and stopping after the file
// being written once `stop` is set (from any thread). Never throws for what
// the run meets: an error ends it as RunOutcome::Stopped.
RunResult RunEngine(const RunRequest& request, RunProgress& progress, const std::atomic<bool>* stop = nullptr);

}  // namespace tarn
