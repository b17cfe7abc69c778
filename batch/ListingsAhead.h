// Folder listings made ahead of a depth-first walk, on a thread of their own:
// while the walk reads and writes one board, the next boards' folders are
// listed. Under Wine a listing is several round trips to the wineserver, and
// they overlap with the walk's own.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace tarn {

// What one listing of a folder found, "." and ".." aside.
struct Listing {
    bool listed = false;  // false: the folder could not be listed
    std::vector<platform::FolderEntry> entries;
};

class ListingsAhead {
public:
    // At most this many listings of one folder's subfolders are made ahead
    // of the walk, so that each is at most a few boards old when it is used.
    static constexpr std::size_t kAhead = 8;

    ListingsAhead() = default;
    ~ListingsAhead();
    ListingsAhead(const ListingsAhead&) = delete;
    ListingsAhead& operator=(const ListingsAhead&) = delete;

    // The walk is about to enter these subfolders (by name) of `folder`, in
    // this order (it may pass some by): they are listed ahead, before any
    // folders expected earlier.
    void Expect(const std::string& folder, std::vector<std::string> names);
    // The walk has left the folder whose subfolders were expected last.
    void Leave();
    // The listing of `folder`: the one made ahead, waited for when it is
    // being made, or made now. Folders expected before it are passed by.
    Listing Take(const std::string& folder);

private:
    struct Level;
    void Work();

    std::mutex mutex_;
    std::condition_variable work_, made_;  // the thread waits for work, the walk for a listing
    std::vector<std::shared_ptr<Level>> levels_;  // the innermost last
    bool ending_ = false, workerSleeping_ = false, walkWaiting_ = false;
    std::thread worker_;
};

}  // namespace tarn
