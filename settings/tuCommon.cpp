#include "settings/tuCommon.h"

#include "platform/platform.h"

namespace tarn {

WriteOutcome StoreFile(const std::string& path, const std::string& bytes, WriteMode mode) {
    if (platform::FileHoldsExactly(path, bytes)) return WriteOutcome::Unchanged;
    if (mode == WriteMode::DryRun) return WriteOutcome::WouldWrite;
    platform::ReplaceFileContents(path, bytes);
    return WriteOutcome::Written;
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
