// The board table's CSV reader on arbitrary bytes. Checked: it reads the text
// or refuses it with CsvError naming a row and a column that exist; what it
// reads, written out again record by record, reads back the same.
#include <cstdint>
#include <string>

#include "batch/BoardTable.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<tarn::CsvRecord> records;
    try {
        records = tarn::ParseCsv(text);
    } catch (const tarn::CsvError& e) {
        std::size_t breaks = 1;
        for (const char c : text) breaks += c == '\r' || c == '\n';
        FUZZ_CHECK(e.row >= 1 && e.row <= breaks && e.column >= 1 && e.column <= size + 1,
                   fuzz::Shown(text) + "\n refused at row " + std::to_string(e.row) + ", column " +
                       std::to_string(e.column));
        return 0;
    }
    std::string again;
    for (const auto& record : records) {
        FUZZ_CHECK(!record.empty(), fuzz::Shown(text) + "\n a record without fields");
        again += tarn::FormatCsvRecord(record);
    }
    FUZZ_CHECK(tarn::ParseCsv(again) == records, fuzz::Shown(text) + "\n written again: " + fuzz::Shown(again));
    return 0;
}
