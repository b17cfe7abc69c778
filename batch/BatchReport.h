// What the batch driver tells about a run that only looks (--dry-run).
#pragma once

#include <optional>
#include <string>

#include "batch/BatchCommandLine.h"

namespace tarn {

// The lines a dry run shows for one file whose bytes would change, in the
// code page: "created: PATH" or "rewritten: PATH", and for a settings file
// one line per [BASIC] key whose value (as the host reads it: the first line
// of that name) would change, "  KEY: "old" -> "new"", a missing key shown as
// "(none)". A rewrite that changes no value says so.
std::string DescribeChange(const std::string& path, const std::optional<std::string>& before,
                           const std::string& after, Language language);

}  // namespace tarn
