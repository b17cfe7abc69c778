// ReadJournal on an arbitrary journal.txt beside a fixed old.bin. The first
// input byte chooses whether the file starts with a proper header; the rest
// is the file. Checked: it returns or refuses with the open error naming
// journal.txt, never anything else; what it returns holds one record a path,
// with old bytes (taken from old.bin) for exactly the kinds that have them,
// and only temporary files named as the batch names them ("~TU..."), which
// are all that a later run may remove.
#include <cstdint>
#include <set>
#include <string>

#include "batch/tuJournal.h"
#include "fuzz_support.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string folder = fuzz::ScratchFolder();
    const std::string oldBytes = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string index(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) index = "TarnUtil journal 1\r\nbatch\t/data\r\n" + index;
    fuzz::WriteFileBytes(folder + "/journal.txt", index);
    fuzz::WriteFileBytes(folder + "/old.bin", oldBytes);

    const std::string detail = "journal " + fuzz::Shown(index);
    tarn::JournalContents contents;
    try {
        contents = tarn::ReadJournal(folder);
    } catch (const platform::FileError& e) {
        FUZZ_CHECK(e.kind() == platform::FileError::kOpen && e.path() == folder + "/journal.txt", detail);
        return 0;
    }
    std::set<std::string> paths;
    for (const auto& record : contents.records) {
        FUZZ_CHECK(paths.insert(record.path).second, detail + "\n a path twice: " + fuzz::Shown(record.path));
        FUZZ_CHECK(record.path.find("\r\n") == std::string::npos, detail);
        FUZZ_CHECK(record.old.has_value() == (record.kind != tarn::JournalRecord::Created), detail);
        FUZZ_CHECK(record.newSize.has_value() == (record.kind != tarn::JournalRecord::Removed), detail);
        if (record.old) FUZZ_CHECK(oldBytes.find(*record.old) != std::string::npos, detail);
    }
    for (const auto& temporary : contents.temporaries) {
        FUZZ_CHECK(platform::FilePart(temporary).rfind(platform::kTemporaryMark, 0) == 0,
                   detail + "\n not a temporary file: " + fuzz::Shown(temporary));
        FUZZ_CHECK(temporary.find("\r\n") == std::string::npos, detail);
    }
    return 0;
}
