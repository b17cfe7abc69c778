#include "batch/tuConfAll.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "batch/ListingsAhead.h"
#include "batch/tuJournal.h"

namespace tarn {
namespace {

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

// Thrown inside the walk when it is cancelled.
struct Cancelled {};

// What the listing of a board's folder, made shortly before the board is
// visited (at most a few boards ahead of the walk), showed; nothing known when
// it could not be listed (or the board was named, not found by a walk).
struct FolderListing {
    bool listed = false;
    bool hasSettingsFile = false;
    std::vector<std::string> names;  // of every entry, "." and ".." aside
};

// The settings file's content, not looked for when the listing showed none.
std::optional<std::string> SettingsIn(const std::string& folder, const FolderListing& listing) {
    if (listing.listed && !listing.hasSettingsFile) return std::nullopt;
    return platform::ReadFileIfExists(platform::JoinPath(folder, kSettingsFileName));
}

// Tells a rewrite that a file name in the folder is free by the listing, so
// that the system is not asked about a missing name (under Wine that lookup
// reads the whole folder to rule out the name in another letter case).
platform::KnownMissing MissingByListing(const std::string& folder, const FolderListing& listing) {
    if (!listing.listed) return {};
    return [&folder, &listing](const std::string& path) {
        const std::string name = platform::FilePart(path);
        return platform::JoinPath(folder, name) == path &&
               std::none_of(listing.names.begin(), listing.names.end(),
                            [&name](const std::string& listed) { return platform::SameTextIgnoringCase(listed, name); });
    };
}

// The [BASIC] lines of a settings file's content (none: no file).
SectionList BasicOf(const std::optional<std::string>& content) {
    return content ? SelectSectionOfText(*content, kBasicSection) : SectionList();
}

// The input for one board: each replacement made in its own values (a field
// whose value holds the text is set to the changed value, one that does not
// is left as it is) and, where asked, the fields it already holds dropped.
BatchInput ForBoard(const BatchInput& input, const SectionList& basic) {
    BatchInput board = input;
    for (const ValueReplacement& replacement : input.replacements) {
        for (const Field field : replacement.fields) {
            FieldValue& value = board[field];
            const std::string current = value.enabled ? value.text : GetValue(basic, InfoOf(field).key);
            std::string changed;
            if (ReplaceAll(current, replacement.from, replacement.to, changed)) value = {true, changed};
        }
    }
    if (input.onlyChangedValues) {
        for (const FieldInfo& info : kFieldCatalogue) {
            FieldValue& value = board[info.field];
            const std::string written =
                info.field == Field::BBSFOLDER ? (board.bbsFolderChecked ? "1" : "") : value.text;
            if (value.enabled && GetValue(basic, info.key) == written) value.enabled = false;
        }
    }
    return board;
}

// The settings file's new content from its current one; the current one
// when the board's values no longer meet the batch's conditions, or when
// only its own changed values are written and none changes (a folder
// without a settings file then gets none).
std::optional<std::string> RewrittenSettings(const std::optional<std::string>& current, const BatchInput& input) {
    const SectionList lines = current ? SplitLines(*current) : SectionList();
    SectionList dialog = SelectSection(lines, kDialogSection);
    SectionList basic = SelectSection(lines, kBasicSection);
    if (!IsChosen(input.where, basic)) return current;
    if (input.replacements.empty() && !input.onlyChangedValues) {
        basic = ApplyFields(std::move(basic), input);
    } else {
        const BatchInput board = ForBoard(input, basic);
        if (!board.signatureChecked && !std::any_of(board.fields.begin(), board.fields.end(),
                                                    [](const FieldValue& field) { return field.enabled; }))
            return current;
        basic = ApplyFields(basic, board);
    }
    return ComposeSections(dialog, basic);
}

// Whether the batch writes this board: its values as the settings file holds
// them now meet the conditions. A file that cannot be read here is decided
// when it is rewritten, with other writers kept out.
bool IsChosenNow(const std::string& folder, const FolderListing& listing, const BatchInput& input) {
    if (input.where.empty()) return true;
    try {
        return IsChosen(input.where, BasicOf(SettingsIn(folder, listing)));
    } catch (const platform::FileError&) {
        return true;
    }
}

// Writes one board's folder: the signature when it is checked, then the
// settings file; neither when the board is not chosen.
void WriteBoard(JournaledWriter& writer, const std::string& folder, const FolderListing& listing,
                const BatchInput& input, BatchObserver* observer) {
    if (!IsChosenNow(folder, listing, input)) {
        if (observer) observer->BoardNotChosen(folder);
        return;
    }
    if (input.signatureChecked) {
        // Written like the settings file, never in the middle of a write of
        // the host's.
        const std::string text = input.signatureText;
        writer.Rewrite(platform::JoinPath(folder, kSignatureFileName), [text](const auto&) { return text; },
                       MissingByListing(folder, listing));
    }
    writer.Rewrite(
        platform::JoinPath(folder, kSettingsFileName),
        [&input](const std::optional<std::string>& current) { return RewrittenSettings(current, input); },
        MissingByListing(folder, listing));
}

// The folders a batch visits: the start folder and every folder beneath it,
// depth first, each before its subfolders, hidden and system ones too. A
// folder whose name has no exact form in the code page, a link leading back
// up the way or out of the start folder's tree, and the journals' folder are
// not entered; the first two are reported to the observer.
class FolderWalk {
public:
    using Visit = std::function<void(const std::string& folder, const FolderListing& listing)>;

    // `beforeLink` runs before the walk goes through a link.
    FolderWalk(const BatchOptions& options, Visit visit, std::function<void()> beforeLink = {})
        : options_(options), visit_(std::move(visit)), beforeLink_(std::move(beforeLink)) {
        if (!options.excludedFolder.empty()) excludedName_ = platform::FilePart(options.excludedFolder);
    }

    // False when cancelled.
    bool Run(const std::string& folder) {
        root_ = platform::ResolvedFolder(folder);
        try {
            Enter(folder);
        } catch (const Cancelled&) {
            return false;
        }
        return true;
    }

private:
    void Enter(const std::string& folder) {
        if (options_.observer) options_.observer->FolderEntered(folder);
        // The folder is listed before its board is visited: the listing says
        // whether a settings file is there, so a read can be spared, and
        // which subfolders follow.
        std::vector<platform::FolderEntry> subfolders;
        FolderListing listing;
        {
            Listing listed = ahead_.Take(folder);
            listing.listed = listed.listed;
            for (platform::FolderEntry& entry : listed.entries) {
                if (entry.exactName) listing.names.push_back(entry.name);
                if (entry.isFolder)
                    subfolders.push_back(std::move(entry));
                else if (entry.exactName && platform::SameTextIgnoringCase(entry.name, kSettingsFileName))
                    listing.hasSettingsFile = true;
            }
        }
        // A folder that cannot be listed counts as having no subfolders; its
        // settings file is looked for all the same.
        visit_(folder, listing);
        if (options_.cancel && options_.cancel->load()) throw Cancelled{};

        // The subfolders a link does not lead to are listed ahead while this
        // board and the ones before them are written.
        std::vector<std::string> expected;
        for (const platform::FolderEntry& entry : subfolders)
            if (entry.exactName && !entry.isLink) expected.push_back(entry.name);
        ahead_.Expect(folder, std::move(expected));

        ancestors_.push_back({folder, std::nullopt, false});
        for (const platform::FolderEntry& entry : subfolders) {
            // A name the programs cannot write as it is would lead to another
            // folder (café read as cafe), or out of this one (¥.. read as
            // \..): it is left alone and reported.
            if (!entry.exactName) {
                if (options_.observer) options_.observer->FolderSkipped(platform::JoinPath(folder, entry.shownName));
                continue;
            }
            const std::string child = platform::JoinPath(folder, entry.name);
            if (entry.isLink && (!LeadsSomewhereNew(child) || LeadsOutOfTheTree(child))) continue;
            if (IsExcluded(entry.name, child)) continue;
            if (entry.isLink && beforeLink_) beforeLink_();
            Enter(child);
        }
        ancestors_.pop_back();
        ahead_.Leave();
    }

    // The journals' folder, when it lies in the tree, is no board. It is
    // looked up when a folder of its name is met: the journal may have made
    // it only since the walk began.
    bool IsExcluded(const std::string& name, const std::string& child) const {
        if (excludedName_.empty() || !platform::SameTextIgnoringCase(name, excludedName_)) return false;
        const auto excluded = platform::FolderIdentity(options_.excludedFolder);
        return excluded && platform::FolderIdentity(child) == excluded;
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

    // Nothing is written outside the start folder, through links neither: a
    // link whose target lies elsewhere (a Wine prefix's Desktop leads into
    // the home folder) is left alone and reported with its target.
    bool LeadsOutOfTheTree(const std::string& link) {
        if (!root_) return false;
        const auto target = platform::ResolvedFolder(link);
        if (target && platform::IsSameOrBeneath(*target, *root_)) return false;
        if (options_.observer) options_.observer->LinkSkipped(link, target.value_or("?"));
        return true;
    }

    const BatchOptions& options_;
    Visit visit_;
    std::function<void()> beforeLink_;
    std::optional<std::string> root_;  // the start folder, links resolved
    std::vector<Ancestor> ancestors_;
    std::string excludedName_;
    ListingsAhead ahead_;
};

// The part of a path below the start folder; "." for the start folder.
std::string RelativeTo(const std::string& start, const std::string& folder) {
    std::size_t from = start.size();
    while (from < folder.size() && (folder[from] == '/' || folder[from] == '\\')) ++from;
    return from >= folder.size() ? std::string(".") : folder.substr(from);
}

// Prepared rewrites are grouped up to this many files or bytes before their
// old bytes are flushed to the journal at once.
constexpr std::size_t kGroupFiles = 64;
constexpr std::size_t kGroupBytes = 8u << 20;

}  // namespace

struct JournaledWriter::Pending {
    platform::PreparedRewrite rewrite;
    platform::ComposeFile compose;
};

// Flushes prepared rewrites' new content to disk on a few threads while the
// walk prepares the next files. A flush mostly waits for the disk: the waits
// of several flushes overlap with each other and with the walk's own work.
// A sleeping thread is woken only once a few files wait (under Wine each
// wake-up is a round trip to the wineserver), or when the group must end.
class JournaledWriter::Flushes {
public:
    ~Flushes() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ending_ = true;
        }
        wake_.notify_all();
        for (std::thread& thread : threads_) thread.join();  // each ends when nothing is left to flush
    }

    // Where no thread could be started, the rewrite is flushed when it is
    // committed.
    void Add(platform::PreparedRewrite& rewrite) {
        if (threads_.size() < kThreads) {
            try {
                threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                if (threads_.empty()) return;
            }
        }
        bool wake = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(&rewrite);
            wake = sleeping_ > 0 && queue_.size() >= kWakeAt;
        }
        if (wake) wake_.notify_one();
    }

    // Returns when every rewrite added has been flushed, or has failed to be.
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!queue_.empty() && sleeping_ > 0) wake_.notify_all();
        waiting_ = true;
        idle_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
        waiting_ = false;
    }

private:
    static constexpr std::size_t kThreads = 4;
    static constexpr std::size_t kWakeAt = 4;  // files waiting that wake a sleeping thread

    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ++sleeping_;
            wake_.wait(lock, [this] { return ending_ || (!queue_.empty() && (waiting_ || queue_.size() >= kWakeAt)); });
            --sleeping_;
            while (!queue_.empty()) {  // once awake, a thread flushes all it finds
                platform::PreparedRewrite* rewrite = queue_.front();
                queue_.pop_front();
                ++busy_;
                lock.unlock();
                rewrite->Flush();  // its outcome stays with the rewrite
                lock.lock();
                if (--busy_ == 0 && queue_.empty() && waiting_) idle_.notify_all();
            }
            if (ending_) return;
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<platform::PreparedRewrite*> queue_;
    std::size_t busy_ = 0, sleeping_ = 0;
    bool ending_ = false, waiting_ = false;
    std::vector<std::thread> threads_;
};

JournaledWriter::JournaledWriter(const BatchOptions& options) : options_(options) {}
JournaledWriter::~JournaledWriter() = default;

void JournaledWriter::Report(const std::string& path, WriteOutcome outcome) {
    if (options_.observer) options_.observer->FileStored(path, outcome);
}

void JournaledWriter::Report(const platform::PreparedRewrite& rewrite, WriteOutcome outcome) {
    BatchObserver* observer = options_.observer;
    if (observer && observer->WantsContent() && rewrite.New())
        observer->FileChanged(rewrite.Path(), rewrite.Old(), *rewrite.New());
    Report(rewrite.Path(), outcome);
}

void JournaledWriter::Rewrite(const std::string& path, const platform::ComposeFile& compose,
                              const platform::KnownMissing& knownMissing) {
    const bool dryRun = options_.mode == WriteMode::DryRun;
    if (dryRun || !options_.journal) {
        // The old and new content as the last attempt of the update saw
        // them, kept only when the observer asks for them.
        const bool keep = options_.observer && options_.observer->WantsContent();
        std::optional<std::string> before, after;
        const WriteOutcome outcome = platform::UpdateFile(
            path,
            [&](const std::optional<std::string>& current) {
                std::optional<std::string> bytes = compose(current);
                if (keep) before = current, after = bytes;
                return bytes;
            },
            dryRun);
        if (keep && outcome != WriteOutcome::Unchanged && after) options_.observer->FileChanged(path, before, *after);
        Report(path, outcome);
        return;
    }
    platform::PreparedRewrite rewrite = platform::PrepareRewrite(path, compose, false, NameTemporary(), knownMissing);
    if (!rewrite.Changed()) {
        Report(path, WriteOutcome::Unchanged);
        return;
    }
    pendingBytes_ += rewrite.Old().value_or("").size() + rewrite.New().value_or("").size();
    pending_.push_back(std::make_unique<Pending>(Pending{std::move(rewrite), compose}));
    if (!flushes_) flushes_ = std::make_unique<Flushes>();
    flushes_->Add(pending_.back()->rewrite);
    if (pending_.size() >= kGroupFiles || pendingBytes_ >= kGroupBytes) Commit();
}

platform::TemporaryNotice JournaledWriter::NameTemporary() const {
    Journal* journal = options_.journal;
    return [journal](const std::string& temporary) { journal->RecordTemporary(temporary); };
}

void JournaledWriter::Commit() {
    if (pending_.empty()) return;
    if (flushes_) flushes_->Wait();
    std::vector<std::unique_ptr<Pending>> group;
    group.swap(pending_);
    pendingBytes_ = 0;
    // A file whose new content could not be flushed fails as its write
    // would have: the files prepared before it are written, none after it.
    const auto failed = std::find_if(group.begin(), group.end(), [](const auto& p) { return !p->rewrite.Flush(); });
    for (auto p = group.begin(); p != failed; ++p) options_.journal->Record((*p)->rewrite);
    options_.journal->Flush();
    for (auto p = group.begin(); p != failed; ++p) {
        if ((*p)->rewrite.Commit())
            Report((*p)->rewrite, WriteOutcome::Written);
        else
            RewriteAlone((*p)->rewrite.Path(), (*p)->compose);  // another writer came in between
    }
    if (failed != group.end()) throw platform::FileError(platform::FileError::kCreate, (*failed)->rewrite.Path());
}

void JournaledWriter::RewriteAlone(const std::string& path, const platform::ComposeFile& compose) {
    for (int attempt = 1;; ++attempt) {
        platform::WaitForBusyFile(attempt, path);
        platform::PreparedRewrite rewrite = platform::PrepareRewrite(path, compose, false, NameTemporary());
        if (!rewrite.Changed()) {
            Report(path, WriteOutcome::Unchanged);
            return;
        }
        options_.journal->Record(rewrite);
        options_.journal->Flush();
        if (rewrite.Commit()) {
            Report(rewrite, WriteOutcome::Written);
            return;
        }
    }
}

void RunProgress::FolderEntered(const std::string& folder) {
    ++folders;
    std::lock_guard<std::mutex> lock(mutex_);
    folder_ = folder;
}

void RunProgress::FileStored(const std::string&, WriteOutcome outcome) {
    if (outcome == WriteOutcome::Unchanged)
        ++unchanged;
    else
        ++written;
}

void RunProgress::FolderSkipped(const std::string& shownPath) {
    ++skipped;
    std::lock_guard<std::mutex> lock(mutex_);
    skippedPaths_.push_back(shownPath);
}

void RunProgress::LinkSkipped(const std::string& link, const std::string& shownTarget) {
    ++skipped;
    std::lock_guard<std::mutex> lock(mutex_);
    skippedLinks_.emplace_back(link, shownTarget);
}

std::vector<std::pair<std::string, std::string>> RunProgress::SkippedLinks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return skippedLinks_;
}

void RunProgress::BoardNotChosen(const std::string&) { ++notChosen; }

void RunProgress::FileLeftAlone(const std::string& path) {
    ++leftAlone;
    std::lock_guard<std::mutex> lock(mutex_);
    leftAlonePaths_.push_back(path);
}

std::string RunProgress::CurrentFolder() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return folder_;
}

std::vector<std::string> RunProgress::Skipped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return skippedPaths_;
}

std::vector<std::string> RunProgress::LeftAlone() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return leftAlonePaths_;
}

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
    return platform::UpdateFile(
        settingsPath, [&](const std::optional<std::string>& current) { return RewrittenSettings(current, input); },
        mode == WriteMode::DryRun);
}

bool ApplyToTree(const std::string& folder, const BatchInput& input, const BatchOptions& options) {
    JournaledWriter writer(options);
    bool finished = true;
    writer.RunThenCommit([&] {
        // Through a link the walk may meet a file it has prepared but not yet
        // written: what is prepared is written first, so that the file is
        // read with this batch's change in it.
        FolderWalk walk(
            options,
            [&](const std::string& board, const FolderListing& listing) {
                WriteBoard(writer, board, listing, input, options.observer);
            },
            [&] { writer.Commit(); });
        finished = walk.Run(folder);
    });
    return finished;
}

bool ApplyToBoards(const std::vector<BoardInput>& boards, const BatchOptions& options) {
    JournaledWriter writer(options);
    bool finished = true;
    writer.RunThenCommit([&] {
        for (const BoardInput& board : boards) {
            if (options.observer) options.observer->FolderEntered(board.folder);
            WriteBoard(writer, board.folder, FolderListing{}, board.input, options.observer);
            if (options.cancel && options.cancel->load()) {
                finished = false;
                return;
            }
        }
    });
    return finished;
}

bool ListBoards(const std::string& folder, const BatchOptions& options, const std::function<void(const BoardRow&)>& row) {
    FolderWalk walk(options, [&](const std::string& board, const FolderListing& listing) {
        const auto content = SettingsIn(board, listing);
        if (content) row({board, RelativeTo(folder, board), BasicOf(content)});
    });
    return walk.Run(folder);
}

}  // namespace tarn
