// What every system's prepared rewrite holds (internal to the platform layer).
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace platform {

struct PreparedRewrite::State {
    virtual ~State() = default;  // ends the guard, removes an unused temporary file
    // Moves the new content into place; false when another writer came in
    // between. Throws FileError(kCreate).
    virtual bool Commit() = 0;

    std::string path;
    std::optional<std::string> old, next;
    bool changed = false;
    bool dryRun = false;
};

}  // namespace platform
