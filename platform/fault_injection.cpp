#include "platform/fault_injection.h"

#include <atomic>

namespace platform::faults {
namespace {

constexpr int kPoints = static_cast<int>(Point::Count);

// Per point -1: not armed; otherwise the number of hits still to let through.
struct Remaining {
    std::atomic<int> left[kPoints];
    Remaining() {
        for (auto& l : left) l = -1;
    }
} remaining;
std::atomic<bool> anyArmed{false};

}  // namespace

void Arm(Point point, int skip) {
    remaining.left[static_cast<int>(point)] = skip;
    anyArmed = true;
}

void DisarmAll() {
    for (auto& r : remaining.left) r = -1;
    anyArmed = false;
}

bool Fire(Point point) {
    if (!anyArmed.load(std::memory_order_relaxed)) return false;
    auto& r = remaining.left[static_cast<int>(point)];
    int left = r.load();
    if (left < 0) return false;
    if (left > 0) {
        r = left - 1;
        return false;
    }
    r = -1;
    return true;
}

}  // namespace platform::faults
