#include "batch/tuUndo.h"

#include <map>

#include "batch/tuJournal.h"

namespace tarn {
namespace {

enum class Found { Written, AsBefore, ChangedSince };

// Counts what the undo did and tells the caller's observer, turning "left as
// it was" into "left alone" for a file that someone else changed since.
class UndoCounter : public BatchObserver {
public:
    UndoCounter(BatchObserver* inner, UndoResult& result) : inner_(inner), result_(result) {}

    void FileStored(const std::string& path, WriteOutcome outcome) override {
        if (outcome != WriteOutcome::Unchanged) {
            ++result_.restored;
        } else if (found[path] == Found::ChangedSince) {
            ++result_.leftAlone;
            if (inner_) inner_->FileLeftAlone(path);
            return;
        } else {
            ++result_.alreadyBack;
        }
        if (inner_) inner_->FileStored(path, outcome);
    }

    std::map<std::string, Found> found;

private:
    BatchObserver* inner_;
    UndoResult& result_;
};

bool Holds(const std::optional<std::string>& current, const JournalRecord& record) {
    if (!record.newSize) return !current;  // the batch removed the file
    return current && current->size() == *record.newSize && ContentHash(*current) == record.newHash;
}

}  // namespace

UndoResult UndoJournal(const std::string& journalFolder, const BatchOptions& options) {
    const JournalContents contents = ReadJournal(journalFolder);
    UndoResult result;
    UndoCounter counter(options.observer, result);
    BatchOptions undoOptions = options;
    undoOptions.observer = &counter;
    JournaledWriter writer(undoOptions);
    writer.RunThenCommit([&] {
        for (auto record = contents.records.rbegin(); record != contents.records.rend(); ++record) {
            if (options.cancel && options.cancel->load()) {
                result.cancelled = true;
                return;
            }
            Found& found = counter.found[record->path];
            const JournalRecord& r = *record;
            writer.Rewrite(r.path, [&r, &found](const std::optional<std::string>& current) {
                if (Holds(current, r)) {
                    found = Found::Written;
                    return r.old;  // nothing: the batch made the file, which goes again
                }
                found = current == r.old ? Found::AsBefore : Found::ChangedSince;
                return current;
            });
        }
    });
    return result;
}

}  // namespace tarn
