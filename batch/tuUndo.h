// Taking a batch back from its journal.
#pragma once

#include <cstddef>
#include <string>

#include "batch/tuConfAll.h"

namespace tarn {

struct UndoResult {
    std::size_t restored = 0;     // given their old bytes back (or removed, when the batch made them)
    std::size_t alreadyBack = 0;  // held their old bytes already (a killed batch never got to them)
    std::size_t leftAlone = 0;    // changed since by someone else: left as they are
    bool cancelled = false;       // stopped by `options.cancel`: the files before it are back
};

// Takes back the changes recorded in the journal folder `journalFolder`, the
// last first: every file that still holds the bytes the batch wrote gets its
// old bytes back, crash-safely and with other writers kept out; a file the
// batch created is removed. A file changed since is left alone and reported
// to the observer (FileLeftAlone). The undo itself is recorded in
// `options.journal`, so that it can be taken back too. When `options.cancel`
// is set it stops after the file being written. Throws FileError.
UndoResult UndoJournal(const std::string& journalFolder, const BatchOptions& options);

}  // namespace tarn
