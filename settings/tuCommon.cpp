#include "settings/tuCommon.h"

#include "platform/file_error.h"
#include "platform/platform.h"

namespace tarn {

WriteOutcome StoreFile(const std::string& path, const std::string& bytes, WriteMode mode) {
    try {
        return platform::UpdateFile(path, [&bytes](const auto&) { return bytes; }, mode == WriteMode::DryRun);
    } catch (const platform::FileError&) {
        // The whole content is replaced, so the caller only hears that the
        // file could not be written, also when it could not be read for the
        // guard or another program kept it.
        throw platform::FileError(platform::FileError::kCreate, path);
    }
}

std::string ComposeSections(SectionList& first, const SectionList& second) {
    first.push_back(TextForm(second));
    first = SplitLines(TrimRight(TextForm(first)));
    return TextForm(first);
}

WriteOutcome WriteSections(SectionList& first, const SectionList& second, const std::string& path,
                           WriteMode mode) {
    return StoreFile(path, ComposeSections(first, second), mode);
}

}  // namespace tarn
