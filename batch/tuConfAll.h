// The batch engine: writes the enabled fields, and optionally the signature,
// into the settings file of a folder and of every folder beneath it.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "settings/BoardSettings.h"

namespace tarn {

// One field as the window holds it: whether its value control is enabled, and
// the control's text.
struct FieldValue {
    bool enabled = false;
    std::string text;
};

// Everything the batch writes, as the window's controls give it.
struct BatchInput {
    // Per catalogue row. For BBSFOLDER only `enabled` counts; its value comes
    // from `bbsFolderChecked`.
    std::array<FieldValue, kFieldCount> fields;
    bool bbsFolderChecked = false;
    bool signatureChecked = false;
    std::string signatureText;  // the memo's text, lines separated by CR LF

    FieldValue& operator[](Field f) { return fields[static_cast<std::size_t>(f)]; }
    const FieldValue& operator[](Field f) const { return fields[static_cast<std::size_t>(f)]; }
};

// Told about the walk as it goes, for progress and summaries.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    virtual void FolderEntered(const std::string& /*folder*/) {}
    virtual void FileStored(const std::string& /*path*/, WriteOutcome /*outcome*/) {}
    // An observer that returns true here is also told, before FileStored,
    // what a file held (nothing when it was missing) and what it holds after
    // the run, for every file whose bytes change. Keeping both costs a copy
    // of each file, so by default nobody asks.
    virtual bool WantsContent() const { return false; }
    virtual void FileChanged(const std::string& /*path*/, const std::optional<std::string>& /*before*/,
                             const std::string& /*after*/) {}
    // A folder whose name has no exact form in the code page: never entered,
    // nothing written in it. `shownPath` writes the missing characters as
    // "<U+XXXX>".
    virtual void FolderSkipped(const std::string& /*shownPath*/) {}
};

struct BatchOptions {
    WriteMode mode = WriteMode::Write;
    BatchObserver* observer = nullptr;
};

// Sets one key of a [BASIC] list when `enabled`: to `value`, or to a single
// space when the value is empty, so that the key survives until the lines are
// trimmed.
void SetIfEnabled(SectionList& basic, const std::string& key, bool enabled, const std::string& value);

// The [BASIC] lines after the batch's changes: the header added to an empty
// list, the enabled keys set in catalogue order, every line trimmed.
SectionList ApplyFields(SectionList basic, const BatchInput& input);

// Rewrites one folder's settings file (full path of its "tarn_BBS.ini"),
// creating it when it is missing. [DIALOG] is copied unchanged.
WriteOutcome ApplyToFolder(const std::string& settingsPath, const BatchInput& input,
                           WriteMode mode = WriteMode::Write);

// Visits `folder` and then every folder beneath it, depth first, each before
// its subfolders: writes the signature when it is checked, then the settings
// file. Hidden and system folders are visited too; a link that leads back to
// a folder on the way down is not entered again. The first file error stops
// the walk and is thrown; folders written before it stay written.
void ApplyToTree(const std::string& folder, const BatchInput& input, const BatchOptions& options = {});

}  // namespace tarn
