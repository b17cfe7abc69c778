// The part of reading and guarded rewriting that is the same on every system.
#include <chrono>
#include <thread>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/rewrite_state.h"

namespace platform {

namespace {

// A writer usually holds a file for milliseconds: about five seconds of
// attempts in all.
constexpr int kBusyAttempts = 60;

const std::optional<std::string> kNothing;
const std::string kNoPath;

}  // namespace

PreparedRewrite::PreparedRewrite() = default;
PreparedRewrite::PreparedRewrite(std::unique_ptr<State> state) : state_(std::move(state)) {}
PreparedRewrite::PreparedRewrite(PreparedRewrite&&) noexcept = default;
PreparedRewrite& PreparedRewrite::operator=(PreparedRewrite&&) noexcept = default;
PreparedRewrite::~PreparedRewrite() = default;

const std::string& PreparedRewrite::Path() const { return state_ ? state_->path : kNoPath; }
const std::optional<std::string>& PreparedRewrite::Old() const { return state_ ? state_->old : kNothing; }
const std::optional<std::string>& PreparedRewrite::New() const { return state_ ? state_->next : kNothing; }
bool PreparedRewrite::Changed() const { return state_ && state_->changed; }

bool PreparedRewrite::Flush() {
    if (!state_ || !state_->changed || state_->dryRun || !state_->next) return true;
    if (!state_->flushed) state_->flushed = !faults::Fire(faults::Point::FlushTemporary) && state_->FlushTemporary();
    return *state_->flushed;
}

bool PreparedRewrite::Commit() {
    if (!state_ || !state_->changed || state_->dryRun) return true;
    if (!Flush()) throw FileError(FileError::kCreate, state_->path);
    const bool done = state_->Commit();
    if (done) state_->changed = false;  // a second Commit does nothing
    return done;
}

std::string ReadWholeFile(const std::string& path) {
    auto bytes = ReadFileIfExists(path);
    if (!bytes) throw FileError(FileError::kOpen, path);
    return *std::move(bytes);
}

std::optional<std::string> ReadToEnd(std::size_t expectedSize, const ReadSome& readSome) {
    std::string bytes(expectedSize + 1, '\0');
    std::size_t done = 0;
    for (bool first = true;; first = false) {
        if (done == bytes.size()) bytes.resize(bytes.size() * 2);
        const long long n = readSome(&bytes[done], bytes.size() - done);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
        if (first && done == expectedSize) break;  // one byte short of what was asked: the end
    }
    bytes.resize(done);
    return bytes;
}

void WaitForBusyFile(int attempt, const std::string& path) {
    if (attempt > kBusyAttempts) throw FileError(FileError::kBusy, path);
    std::this_thread::sleep_for(std::chrono::milliseconds(attempt < 10 ? 10 : 100));
}

WriteOutcome UpdateFile(const std::string& path, const ComposeFile& compose, bool dryRun) {
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0) WaitForBusyFile(attempt, path);
        PreparedRewrite rewrite = PrepareRewrite(path, compose, dryRun);
        if (!rewrite.Changed()) return WriteOutcome::Unchanged;
        if (dryRun) return WriteOutcome::WouldWrite;
        if (rewrite.Commit()) return WriteOutcome::Written;
    }
}

}  // namespace platform
