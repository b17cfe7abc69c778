// What every system's prepared rewrite holds (internal to the platform layer).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace platform {

struct PreparedRewrite::State {
    virtual ~State() = default;  // ends the guard, removes an unused temporary file
    // Moves the new content into place; false when another writer came in
    // between. Throws FileError(kCreate).
    virtual bool Commit() = 0;
    // Flushes the temporary file that holds the new content to disk.
    virtual bool FlushTemporary() = 0;

    std::string path;
    std::optional<std::string> old, next;
    bool changed = false;
    bool dryRun = false;
    std::optional<bool> flushed;  // the outcome of the one flush
};

// Reads a file to its end through `readSome` (bytes read into the buffer
// given, 0 at the end, negative on failure), expecting `expectedSize` bytes:
// one read asks for a byte more, and when it returns exactly the expected
// size the end is reached without a second read. Any other count reads on
// until the end. Nothing when a read fails.
using ReadSome = std::function<long long(char* buffer, std::size_t size)>;
std::optional<std::string> ReadToEnd(std::size_t expectedSize, const ReadSome& readSome);

}  // namespace platform
