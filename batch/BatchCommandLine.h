// The command line of the batch driver, turned into the engine's input.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/RunReport.h"
#include "batch/BoardTable.h"
#include "batch/tuConfAll.h"
#include "platform/platform.h"

namespace tarn {

struct BatchCommand {
    BatchInput input;
    std::string startFolder;
    bool dryRun = false;
    bool verbose = false;
    bool help = false;
    bool quiet = false;          // no summary, no progress
    bool undo = false;           // take back a batch instead of running one
    std::string undoJournal;     // the journal to take back (name or folder); empty: the last
    std::string journalFolder;   // where journals are kept; empty: the user's default
    bool noJournal = false;      // keep none (the run cannot be undone)
    bool version = false;        // only print the program's version
    // --list: write the board table instead of a batch.
    bool list = false;
    std::vector<Field> listColumns;  // the keys shown (default: all but the secrets)
    std::string output;              // the table's file; empty: standard output
    CsvEncoding encoding = CsvEncoding::Utf8WithBom;
    // --import: the boards of the table, each with its own values.
    std::string importPath;
    std::optional<std::vector<BoardInput>> importedBoards;
    Language language = Language::English;
};

// Thrown for a command line that cannot be carried out; the message says why,
// in the language the command line chose, which the caller's hint follows.
class UsageError : public std::runtime_error {
public:
    UsageError(const std::string& message, Language language) : std::runtime_error(message), language_(language) {}
    Language language() const { return language_; }

private:
    Language language_;
};

// The language the arguments ask for with --lang (the last one counts), or
// `fallback` when they do not, or name no language this program speaks.
Language ChosenLanguage(const std::vector<std::string>& args, Language fallback);

// Parses the arguments (without the program's name, in the system code page);
// messages are in `language` unless --lang says otherwise. Reads the
// reference and signature files it names; a file that cannot be read throws
// platform::FileError.
BatchCommand ParseBatchCommand(const std::vector<std::string>& args, Language language = Language::English);

// The same for arguments as the platform delivers them: a value (or, where the
// system could not use it, a path) holding a character with no Shift-JIS form
// is refused, naming the option and the character.
BatchCommand ParseBatchArguments(const std::vector<platform::CommandArgument>& args,
                                 Language language = Language::English);

// The help text, in the code page.
const char* BatchUsage(Language language);

}  // namespace tarn
