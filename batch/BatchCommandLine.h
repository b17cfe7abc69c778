// The command line of the batch driver, turned into the engine's input.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "batch/tuConfAll.h"
#include "platform/platform.h"

namespace tarn {

struct BatchCommand {
    BatchInput input;
    std::string startFolder;
    bool dryRun = false;
    bool verbose = false;
    bool help = false;
};

// Thrown for a command line that cannot be carried out; the message says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses the arguments (without the program's name, in the system code page).
// Reads the reference and signature files it names; a file that cannot be
// read throws platform::FileError.
BatchCommand ParseBatchCommand(const std::vector<std::string>& args);

// The same for arguments as the platform delivers them: a value (or, where the
// system could not use it, a path) holding a character with no Shift-JIS form
// is refused, naming the option and the character.
BatchCommand ParseBatchArguments(const std::vector<platform::CommandArgument>& args);

extern const char kBatchUsage[];

}  // namespace tarn
