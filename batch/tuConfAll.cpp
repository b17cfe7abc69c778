#include "batch/tuConfAll.h"

#include <optional>
#include <vector>

#include "platform/paths.h"
#include "platform/platform.h"

namespace tarn {
namespace {

// A folder's settings file after the batch, from what it holds now (nothing
// when it is missing).
std::string ComposeSettings(const std::optional<std::string>& current, const BatchInput& input) {
    const SectionList lines = current ? SplitLines(*current) : SectionList();
    SectionList dialog = SelectSection(lines, kDialogSection);
    const SectionList basic = ApplyFields(SelectSection(lines, kBasicSection), input);
    return ComposeSections(dialog, basic);
}

// A folder on the current way down, with its identity worked out only when a
// link makes it needed.
struct Ancestor {
    std::string path;
    std::optional<platform::FileIdentity> identity;
    bool identityKnown = false;

    const std::optional<platform::FileIdentity>& Identity() {
        if (!identityKnown) {
            identity = platform::FolderIdentity(path);
            identityKnown = true;
        }
        return identity;
    }
};

class TreeWalk {
public:
    TreeWalk(const BatchInput& input, const BatchOptions& options) : input_(input), options_(options) {}

    void Visit(const std::string& folder) {
        if (options_.observer) options_.observer->FolderEntered(folder);
        if (input_.signatureChecked) {
            const std::string signPath = platform::JoinPath(folder, kSignatureFileName);
            // Written like the settings file, never in the middle of a write
            // of the host's.
            Store(signPath, [&](const std::optional<std::string>&) { return input_.signatureText; });
        }
        const std::string settingsPath = platform::JoinPath(folder, kSettingsFileName);
        Store(settingsPath, [&](const std::optional<std::string>& current) { return ComposeSettings(current, input_); });

        ancestors_.push_back({folder, std::nullopt, false});
        // A folder that cannot be listed counts as having no subfolders.
        platform::ListFolder(folder, "*.*", [&](const platform::FolderEntry& entry) {
            if (!entry.isFolder || entry.name == "." || entry.name == "..") return;
            // A name the programs cannot write as it is would lead to another
            // folder (café read as cafe), or out of this one (¥.. read as
            // \..): it is left alone and reported.
            if (!entry.exactName) {
                if (options_.observer) options_.observer->FolderSkipped(platform::JoinPath(folder, entry.shownName));
                return;
            }
            const std::string child = platform::JoinPath(folder, entry.name);
            if (entry.isLink && !LeadsSomewhereNew(child)) return;
            Visit(child);
        });
        ancestors_.pop_back();
    }

private:
    // Rewrites one file and tells the observer, with the old and new content
    // when it asks for them (as the last attempt of the update saw them).
    void Store(const std::string& path, const platform::ComposeFile& compose) {
        BatchObserver* observer = options_.observer;
        const bool keep = observer && observer->WantsContent();
        std::optional<std::string> before;
        std::string after;
        const WriteOutcome outcome = FromUpdate(platform::UpdateFile(
            path,
            [&](const std::optional<std::string>& current) {
                std::string bytes = compose(current);
                if (keep) {
                    before = current;
                    after = bytes;
                }
                return bytes;
            },
            options_.mode == WriteMode::DryRun));
        if (!observer) return;
        if (keep && outcome != WriteOutcome::Unchanged) observer->FileChanged(path, before, after);
        observer->FileStored(path, outcome);
    }

    // False for a dangling link and for one that leads back to a folder on
    // the way down (which would make the walk endless).
    bool LeadsSomewhereNew(const std::string& link) {
        const auto target = platform::FolderIdentity(link);
        if (!target) return false;
        for (auto& ancestor : ancestors_)
            if (ancestor.Identity() == target) return false;
        return true;
    }

    const BatchInput& input_;
    const BatchOptions& options_;
    std::vector<Ancestor> ancestors_;
};

}  // namespace

void SetIfEnabled(SectionList& basic, const std::string& key, bool enabled, const std::string& value) {
    if (!enabled) return;
    SetValue(basic, key, value.empty() ? std::string(" ") : value);
}

SectionList ApplyFields(SectionList basic, const BatchInput& input) {
    if (basic.empty()) basic.push_back("[BASIC]");
    for (const auto& info : kFieldCatalogue) {
        const FieldValue& field = input[info.field];
        // BBSFOLDER is written whenever its box is enabled: "1" when checked,
        // an empty value otherwise.
        const std::string value = info.field == Field::BBSFOLDER ? (input.bbsFolderChecked ? "1" : "")
                                                                 : field.text;
        SetIfEnabled(basic, info.key, field.enabled, value);
    }
    for (auto& line : basic) line = Trim(line);
    return basic;
}

WriteOutcome ApplyToFolder(const std::string& settingsPath, const BatchInput& input, WriteMode mode) {
    // The new content is made from what the file holds at the moment it is
    // replaced, so that a write of the host's in between is never undone.
    return FromUpdate(platform::UpdateFile(
        settingsPath, [&](const std::optional<std::string>& current) { return ComposeSettings(current, input); },
        mode == WriteMode::DryRun));
}

void ApplyToTree(const std::string& folder, const BatchInput& input, const BatchOptions& options) {
    TreeWalk(input, options).Visit(folder);
}

}  // namespace tarn
