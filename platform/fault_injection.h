// Test hooks that make one step of the crash-safe file replacement fail, so
// tests can prove that a failure part way never harms the target file.
// Nothing is armed in normal runs; each check is then one relaxed load.
#pragma once

#include <string>

namespace platform::faults {

enum class Point {
    CreateTemporary,  // the temporary file cannot be created
    WriteTemporary,   // the write stops after half of the bytes
    FlushTemporary,   // flushing to disk fails
    Replace,          // moving the temporary file over the target fails
    TradeBack,        // POSIX: a writer came while the files traded places, and trading back fails
    JournalRecord,    // the journal cannot take a record (a full disk)
    Count,            // not a point: how many there are
};

// Makes the next hit of `point` fail, after `skip` hits that succeed.
void Arm(Point point, int skip = 0);
void DisarmAll();

// Called by the platform implementations at each point: true means "fail now".
bool Fire(Point point);

// Writes `bytes` to a new temporary file with the system's `writeAll`,
// failing where a test armed WriteTemporary.
template <class Handle, class WriteAll>
bool FillTemporary(Handle file, const std::string& bytes, WriteAll writeAll) {
    if (Fire(Point::WriteTemporary)) {
        writeAll(file, bytes.data(), bytes.size() / 2);
        return false;
    }
    return writeAll(file, bytes.data(), bytes.size());
}

}  // namespace platform::faults
