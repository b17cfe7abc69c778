// The part of file reading that is the same on every system.
#include "platform/file_error.h"
#include "platform/platform.h"

namespace platform {

std::string ReadWholeFile(const std::string& path) {
    auto bytes = ReadFileIfExists(path);
    if (!bytes) throw FileError(FileError::kOpen, path);
    return *std::move(bytes);
}

}  // namespace platform
