// Board values as a table a spreadsheet opens and saves: CSV as RFC 4180
// gives it (fields separated by commas, a field holding a comma, a quote or
// a line break enclosed in quotes with its quotes doubled, records ended by
// CR LF). The bytes of a field are kept as they are: commas, quotes, CR and
// LF are never the second byte of a Shift-JIS character, so the same rules
// read Shift-JIS and UTF-8 text.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tarn {

using CsvRecord = std::vector<std::string>;

// One record, ended by CR LF.
std::string FormatCsvRecord(const CsvRecord& fields);

// A CSV text that does not read; `row` (1: the first record) and `column`
// (1: the first field) say where.
class CsvError : public std::runtime_error {
public:
    enum Kind { kStrayQuote, kTextAfterQuote, kUnclosedQuote };
    CsvError(Kind kind, std::size_t row, std::size_t column)
        : std::runtime_error("malformed CSV"), kind(kind), row(row), column(column) {}
    Kind kind;
    std::size_t row, column;
};

// The records of a CSV text. Records end at CR LF, LF or CR (outside quotes);
// a line break at the very end adds no record; blank lines are records with
// one empty field. Throws CsvError.
std::vector<CsvRecord> ParseCsv(const std::string& text);

}  // namespace tarn
