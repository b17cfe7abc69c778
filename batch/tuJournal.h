// The journal of a batch: before a file is replaced, created or removed, its
// old bytes (or its absence) are recorded durably, so that the batch can be
// taken back, also after it stopped on an error, was cancelled or killed.
//
// A journal is a folder of its own under the journals' folder, named by the
// time it began in UTC ("20261208-093015-1"), holding two plain files:
//   journal.txt  Shift-JIS text, CR LF: "TarnUtil journal 1", then
//                "batch<TAB>START_FOLDER" or "undo<TAB>JOURNAL", then one line
//                per file before it is changed:
//                KIND<TAB>OFFSET<TAB>LENGTH<TAB>NEW_LENGTH<TAB>NEW_HASH<TAB>PATH
//                KIND is "replaced" (the old bytes are LENGTH bytes at OFFSET
//                of old.bin), "created" (there was no file) or "removed" (the
//                file was removed; its old bytes are in old.bin); NEW_LENGTH
//                and NEW_HASH (FNV-1a, 64 bits, hex) tell the bytes written,
//                "-" when the file was removed. KIND "temporary" (the other
//                fields "-") names a temporary file before it is made, so
//                that one a kill leaves behind can be removed. At the end
//                "end<TAB>HOW<TAB>N".
//   old.bin      the old bytes, one file after another.
// Only the last line of a path counts: it holds the state just before the
// change that was made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tarn {

inline constexpr std::size_t kJournalsKept = 10;

// How a run that was journaled ended, as the journal's end line says:
// "finished", "stopped" (an error) or "cancelled".
enum class RunOutcome { Finished, Stopped, Cancelled };

// FNV-1a of the bytes, as the journal records what a batch wrote.
std::uint64_t ContentHash(const std::string& bytes);

class Journal {
public:
    // A journal of one batch (`kind` "batch" or "undo", `subject` the start
    // folder or the journal undone) in `journalsFolder`; nothing is created
    // on disk until the first record.
    Journal(std::string journalsFolder, std::string kind, std::string subject);
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Adds the old state of a prepared rewrite; written and made durable,
    // with the records before it, by Flush.
    void Record(const platform::PreparedRewrite& rewrite);
    // Names a temporary file about to be made beside a file it rewrites. The
    // line reaches the system before the file is made (a killed program's
    // writes survive it) and is durable after Flush.
    void RecordTemporary(const std::string& path);
    // Makes every record durable. Throws FileError(kCreate) naming the
    // journal's file when it cannot: then no file may be changed.
    void Flush();
    // Closes the journal with how the run ended; a journal without records
    // (also one whose first record failed) is removed again, so that the last
    // journal is the last batch that changed something. Older journals beyond
    // the last ten are removed.
    void Finish(RunOutcome how);

    const std::string& Folder() const { return folder_; }  // empty until the first record

private:
    void Open();

    std::string journalsFolder_, kind_, subject_, folder_;
    std::optional<platform::AppendFile> index_, oldBytes_;
    std::size_t records_ = 0;  // written and flushed
    // A group's records, written by Flush in one append to each file.
    std::string pendingIndex_, pendingOldBytes_;
    std::size_t pendingRecords_ = 0;
    bool folderSynced_ = false;  // the journal's own entries made durable
};

// One recorded change, as read back from a journal.
struct JournalRecord {
    enum Kind { Replaced, Created, Removed } kind = Replaced;
    std::string path;
    std::optional<std::string> old;       // nothing for Created
    std::optional<std::uint64_t> newSize;  // nothing for Removed
    std::uint64_t newHash = 0;
};

struct JournalContents {
    std::string kind, subject;
    std::vector<JournalRecord> records;  // one per path, the last one, in file order
    std::vector<std::string> temporaries;  // the temporary files it made (named "~TU...")
    bool ended = false;                    // its end line is there: the run was not killed
};

// Reads a journal folder; a line cut short by a crash is left out. Throws
// FileError(kOpen) when the journal cannot be read.
JournalContents ReadJournal(const std::string& journalFolder);

// The journal folders in `journalsFolder`, oldest first.
std::vector<std::string> ListJournals(const std::string& journalsFolder);

// Removes the temporary files a run killed before its end left in the full
// path `tree` (everywhere when empty): exactly those its journal names there,
// nothing else. Nothing when the run ended or the journal does not read.
void RemoveKilledRunsTemporaries(const std::string& journalFolder, const std::string& tree = "");

// The same for every journal in `journalsFolder`, in the tree of `folder`.
void RemoveKilledRunsTemporariesIn(const std::string& journalsFolder, const std::string& folder);

}  // namespace tarn
