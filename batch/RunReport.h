// What a run tells its user, in the user's language: the counts while it
// goes, the summary at its end, the undo's counts, the folders skipped for
// their names, the files an undo left alone and how to take a stopped batch
// back. Every text comes from one table; the console and the window differ
// only where they speak of themselves (how to undo) or lay a report out.
#pragma once

#include <string>
#include <vector>

#include "batch/tuConfAll.h"
#include "batch/tuUndo.h"

namespace tarn {

// The language of the messages.
enum class Language { English, Japanese };

// The English or the Japanese (Shift-JIS) text, as `language` asks.
inline std::string InLanguage(Language language, const std::string& english, const std::string& japanese) {
    return language == Language::Japanese ? japanese : english;
}

// The front end a report is for: tarnbatch's console lines, or the window's
// message boxes.
enum class FrontEnd { Console, Window };

class RunReport {
public:
    RunReport(Language language, FrontEnd frontEnd) : language_(language), frontEnd_(frontEnd) {}

    // The counts so far: "folders: N, written: N, unchanged: N, skipped: N".
    std::string Counts(const RunProgress& progress) const;
    // The batch's closing line, the same after a dry run (with a note).
    std::string Summary(const RunProgress& progress, bool dryRun) const;
    // What an undo took back, left as it was and left alone: one line on the
    // console; in the window a headline, a line each and the paths left alone.
    std::string UndoSummary(const UndoResult& result, bool dryRun, const std::vector<std::string>& leftAlone) const;
    // After a stop: how many files were written and how to take them back;
    // empty when none was.
    std::string WrittenBeforeStop(long written) const;
    // The window's report of a cancelled batch.
    std::string Cancelled(long written) const;
    // The window's report of the folders skipped for their names and the
    // links leading out of the start folder; empty when there were none.
    std::string Skipped(const RunProgress& progress) const;
    // The console's line for one folder skipped, one link not followed, one
    // file left alone.
    std::string SkippedFolder(const std::string& path) const;
    std::string SkippedLink(const std::string& link, const std::string& target) const;
    std::string LeftAloneFile(const std::string& path) const;
    // Another batch holds the lock.
    std::string Busy() const;
    // No journal to take back (in `where`, on the console).
    std::string NothingToUndo(const std::string& where) const;

private:
    std::string Text(int id) const;
    std::string PathList(const std::vector<std::string>& paths) const;

    Language language_;
    FrontEnd frontEnd_;
};

}  // namespace tarn
