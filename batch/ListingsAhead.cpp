#include "batch/ListingsAhead.h"

#include <optional>
#include <system_error>
#include <utility>

#include "platform/paths.h"

namespace tarn {
namespace {

// Lists `folder` now.
Listing ListNow(const std::string& folder) {
    Listing listing;
    listing.listed = platform::ListFolder(folder, "*.*", [&listing](const platform::FolderEntry& entry) {
        if (entry.name != "." && entry.name != "..") listing.entries.push_back(entry);
    });
    return listing;
}

}  // namespace

// The subfolders of one folder on the walk's way down.
struct ListingsAhead::Level {
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::string parent;
    std::vector<std::string> names;                // of the subfolders
    std::vector<std::optional<Listing>> listings;  // made ahead, not yet taken
    std::size_t next = 0;      // the next one to list ahead
    std::size_t taken = 0;     // the ones before it are taken or passed by
    std::size_t busy = kNone;  // the one being listed now

    bool HasWork() const { return next < names.size() && next < taken + kAhead; }
    std::string Folder(std::size_t i) const { return platform::JoinPath(parent, names[i]); }
};

ListingsAhead::~ListingsAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    work_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void ListingsAhead::Expect(const std::string& folder, std::vector<std::string> names) {
    const bool any = !names.empty();
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto level = std::make_shared<Level>();
        level->parent = folder;
        level->listings.resize(names.size());
        level->names = std::move(names);
        levels_.push_back(std::move(level));
        wake = any && workerSleeping_;
    }
    if (any && !worker_.joinable()) {
        try {
            worker_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            // No thread: every folder is listed when the walk comes to it.
        }
    }
    if (wake) work_.notify_one();
}

void ListingsAhead::Leave() {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!levels_.empty()) levels_.pop_back();
        wake = workerSleeping_ && !levels_.empty() && levels_.back()->HasWork();
    }
    if (wake) work_.notify_one();
}

Listing ListingsAhead::Take(const std::string& folder) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!levels_.empty()) {
            const std::shared_ptr<Level> level = levels_.back();
            const std::string name = platform::FilePart(folder);
            for (std::size_t i = level->taken; i < level->names.size(); ++i) {
                if (level->names[i] != name || level->Folder(i) != folder) continue;
                for (std::size_t passed = level->taken; passed < i; ++passed) level->listings[passed].reset();
                level->taken = i + 1;
                // The thread is woken when it can list half a window ahead
                // again, not for every folder (under Wine each wake-up is a
                // round trip to the wineserver).
                if (workerSleeping_ && level->HasWork() && level->taken + kAhead >= level->next + kAhead / 2)
                    work_.notify_one();
                if (i >= level->next) {
                    level->next = i + 1;  // not begun: listed here, not twice
                    break;
                }
                walkWaiting_ = true;
                made_.wait(lock, [&] { return level->busy != i; });
                walkWaiting_ = false;
                std::optional<Listing> made = std::move(level->listings[i]);
                level->listings[i].reset();
                if (made) return std::move(*made);
                break;
            }
        }
    }
    return ListNow(folder);
}

void ListingsAhead::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        workerSleeping_ = true;
        work_.wait(lock, [this] { return ending_ || (!levels_.empty() && levels_.back()->HasWork()); });
        workerSleeping_ = false;
        if (ending_) return;
        const std::shared_ptr<Level> level = levels_.back();
        const std::size_t i = level->next++;
        level->busy = i;
        const std::string folder = level->Folder(i);
        lock.unlock();
        std::optional<Listing> made;
        try {
            made = ListNow(folder);
        } catch (...) {
            // Not kept: the walk lists the folder itself and meets the error.
        }
        lock.lock();
        level->busy = Level::kNone;
        level->listings[i] = std::move(made);
        if (walkWaiting_) made_.notify_all();
    }
}

}  // namespace tarn
