// Writing settings and signature files back, shared by both programs.
#pragma once

#include <string>

#include "platform/platform.h"
#include "settings/qvComFunctions.h"

namespace tarn {

enum class WriteMode {
    Write,   // replace the file when its bytes change
    DryRun,  // only tell what would happen
};

using platform::WriteOutcome;

// Stores `bytes` as the whole content of the file at `path` through the
// guarded rewrite (platform::UpdateFile), so that another program's write in
// the middle is never cut: the file is read with other writers kept out and
// replaced crash-safely. A file that already holds exactly these bytes is not
// touched (its time stamps stay). Throws platform::FileError (kCreate).
WriteOutcome StoreFile(const std::string& path, const std::string& bytes, WriteMode mode);

// The file text for two sections: the lines of `first`, then those of
// `second`, with all trailing white space and blank lines at the very end cut,
// every line ended by CR LF. Afterwards `first` holds the lines written.
std::string ComposeSections(SectionList& first, const SectionList& second);

// Writes the two sections as one file (ComposeSections, then StoreFile).
WriteOutcome WriteSections(SectionList& first, const SectionList& second, const std::string& path,
                           WriteMode mode = WriteMode::Write);

}  // namespace tarn
