// The batch engine: writes the enabled fields, and optionally the signature,
// into the settings file of a folder and of every folder beneath it.
#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <vector>
#include <optional>
#include <string>
#include <utility>

#include <functional>
#include <memory>

#include "batch/BoardQuery.h"
#include "platform/platform.h"
#include "settings/BoardSettings.h"

namespace tarn {

// One field as the window holds it: whether its value control is enabled, and
// the control's text.
struct FieldValue {
    bool enabled = false;
    std::string text;
};

// Everything the batch writes, as the window's controls give it.
struct BatchInput {
    // Per catalogue row. For BBSFOLDER only `enabled` counts; its value comes
    // from `bbsFolderChecked`.
    std::array<FieldValue, kFieldCount> fields;
    bool bbsFolderChecked = false;
    bool signatureChecked = false;
    std::string signatureText;  // the memo's text, lines separated by CR LF
    // Only the boards whose values meet every condition are written (their
    // settings file and signature); empty: every board.
    std::vector<ValueCondition> where;
    // Parts of values changed, each board's own value.
    std::vector<ValueReplacement> replacements;
    // Write a field only where the board's value (as the host reads it, a
    // missing key empty) differs, and leave a board where none does as it
    // is: an imported table writes what was edited in it, nothing else.
    bool onlyChangedValues = false;

    FieldValue& operator[](Field f) { return fields[static_cast<std::size_t>(f)]; }
    const FieldValue& operator[](Field f) const { return fields[static_cast<std::size_t>(f)]; }
    // True when a run would write something: a field, a replacement or the signature.
    bool WritesAnything() const {
        bool any = signatureChecked || !replacements.empty();
        for (const auto& field : fields) any = any || field.enabled;
        return any;
    }
};

// One board with what is written into it: a batch over listed boards (an
// import, the boards a list shows) instead of a whole tree.
struct BoardInput {
    std::string folder;
    BatchInput input;
};

// Told about the walk as it goes, for progress and summaries.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    virtual void FolderEntered(const std::string& /*folder*/) {}
    virtual void FileStored(const std::string& /*path*/, WriteOutcome /*outcome*/) {}
    // An observer that returns true here is also told, before FileStored,
    // what each changed file held (nothing: missing) and holds after the run.
    // That costs a copy of each file, so by default nobody asks.
    virtual bool WantsContent() const { return false; }
    virtual void FileChanged(const std::string& /*path*/, const std::optional<std::string>& /*before*/,
                             const std::string& /*after*/) {}
    // A folder whose name has no exact form in the code page, never entered;
    // `shownPath` writes the missing characters as "<U+XXXX>".
    virtual void FolderSkipped(const std::string& /*shownPath*/) {}
    // A folder link whose target (`shownTarget`, its full path) lies outside
    // the start folder's tree, never entered.
    virtual void LinkSkipped(const std::string& /*link*/, const std::string& /*shownTarget*/) {}
    // Undo: a file changed since the batch by someone else, left as it is.
    virtual void FileLeftAlone(const std::string& /*path*/) {}
    // A board whose values do not meet the batch's conditions, not written.
    virtual void BoardNotChosen(const std::string& /*folder*/) {}
};

// The observer that counts what a run did, for the window's progress window
// and tarnbatch's progress line and summary. Told on the engine's thread,
// read from any thread.
class RunProgress : public BatchObserver {
public:
    void FolderEntered(const std::string& folder) override;
    void FileStored(const std::string& path, WriteOutcome outcome) override;
    void FolderSkipped(const std::string& shownPath) override;
    void LinkSkipped(const std::string& link, const std::string& shownTarget) override;
    void FileLeftAlone(const std::string& path) override;
    void BoardNotChosen(const std::string& folder) override;

    std::string CurrentFolder() const;
    std::vector<std::string> Skipped() const;
    std::vector<std::pair<std::string, std::string>> SkippedLinks() const;  // link, target
    std::vector<std::string> LeftAlone() const;

    std::atomic<long> folders{0}, written{0}, unchanged{0}, skipped{0}, leftAlone{0}, notChosen{0};

private:
    mutable std::mutex mutex_;
    std::string folder_;
    std::vector<std::string> skippedPaths_, leftAlonePaths_;
    std::vector<std::pair<std::string, std::string>> skippedLinks_;
};

class Journal;

struct BatchOptions {
    WriteMode mode = WriteMode::Write;
    BatchObserver* observer = nullptr;
    // Where the old bytes of every file are recorded before it changes.
    Journal* journal = nullptr;
    // A folder never entered (the journals' own, when it lies in the tree).
    std::string excludedFolder;
    // Set from another thread to stop after the file being written: every
    // file whole, the journal covering what was done.
    const std::atomic<bool>* cancel = nullptr;
};

// Rewrites files with their old bytes recorded first: a group of rewrites is
// prepared (each file read with other writers kept out, its new content in a
// temporary file, flushed to disk on threads of its own while the next files
// are prepared), their old bytes recorded and flushed once, then the group is
// moved into place, each file reported to the observer.
class JournaledWriter {
public:
    JournaledWriter(const BatchOptions& options);
    ~JournaledWriter();
    JournaledWriter(const JournaledWriter&) = delete;
    JournaledWriter& operator=(const JournaledWriter&) = delete;

    // `knownMissing` may spare the check that a temporary file's name is free.
    void Rewrite(const std::string& path, const platform::ComposeFile& compose,
                 const platform::KnownMissing& knownMissing = {});
    // Moves what is prepared into place, at the end of a run or a stop.
    void Commit();

    // Runs `body`, then commits what it prepared, also when it throws: what
    // was prepared before an error is written, as the files before it are.
    template <class Body>
    void RunThenCommit(Body&& body) {
        try {
            body();
        } catch (...) {
            try {
                Commit();
            } catch (...) {  // the first error is the one to report
            }
            throw;
        }
        Commit();
    }

private:
    struct Pending;
    class Flushes;
    void RewriteAlone(const std::string& path, const platform::ComposeFile& compose);
    // Names each temporary file in the journal before it is made.
    platform::TemporaryNotice NameTemporary() const;
    void Report(const std::string& path, WriteOutcome outcome);
    void Report(const platform::PreparedRewrite& rewrite, WriteOutcome outcome);

    const BatchOptions& options_;
    std::vector<std::unique_ptr<Pending>> pending_;
    std::size_t pendingBytes_ = 0;
    std::unique_ptr<Flushes> flushes_;  // after pending_: it ends before them
};

// Sets one key of a [BASIC] list when `enabled`: to `value`, or to a single
// space when the value is empty, so that the key survives until the lines are
// trimmed.
void SetIfEnabled(SectionList& basic, const std::string& key, bool enabled, const std::string& value);

// The [BASIC] lines after the batch's changes: the header added to an empty
// list, the enabled keys set in catalogue order, every line trimmed.
SectionList ApplyFields(SectionList basic, const BatchInput& input);

// Rewrites one folder's settings file (full path of its "tarn_BBS.ini"),
// creating it when it is missing. [DIALOG] is copied unchanged.
WriteOutcome ApplyToFolder(const std::string& settingsPath, const BatchInput& input,
                           WriteMode mode = WriteMode::Write);

// Visits `folder` and then every folder beneath it, depth first, each before
// its subfolders: writes the signature when it is checked, then the settings
// file. Hidden and system folders are visited too; a link that leads back to
// a folder on the way down is not entered again, nor one that leads out of the
// start folder's tree (reported to the observer). The first file error stops
// the walk and is thrown; folders written before it stay written. False when
// the walk was cancelled.
bool ApplyToTree(const std::string& folder, const BatchInput& input, const BatchOptions& options = {});

// Writes each listed board's folder as ApplyToTree writes a folder of the
// tree, each with its own input, in the order listed; no folder beneath them.
bool ApplyToBoards(const std::vector<BoardInput>& boards, const BatchOptions& options = {});

// One board as a listing finds it.
struct BoardRow {
    std::string folder;    // its path
    std::string relative;  // below the start folder ("." for the start folder itself)
    SectionList basic;     // its [BASIC] lines
};

// Reads the boards of the tree a batch over `folder` would write (the same
// folders, in the same order, odd names and links out of the tree skipped
// and reported to the observer), writing nothing; `row` is told each folder
// that holds a settings file (a folder of folders is no board).
// A settings file that cannot be read throws its FileError. False when
// cancelled.
bool ListBoards(const std::string& folder, const BatchOptions& options, const std::function<void(const BoardRow&)>& row);

}  // namespace tarn
