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

#include "batch/RunReport.h"
#include "batch/tuConfAll.h"

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

// ---- the board table: one row per board, the folder then its values ------------

// What spreadsheets open without asking: UTF-8 with a byte-order mark. Some
// users' tools want Shift-JIS.
enum class CsvEncoding { Utf8WithBom, ShiftJis };

// The header of the folder column.
inline constexpr const char kFolderColumn[] = "FOLDER";

// The columns a list shows when none are named: every key but the secrets
// (KEY, PASS), in catalogue order.
std::vector<Field> DefaultListColumns();

struct TableRow {
    std::string folder;               // below the start folder ("." for itself)
    std::vector<std::string> values;  // one per column, in the code page
};

// A board's row: its folder and its values (as the host reads them) of `columns`.
TableRow TableRowOf(const std::string& folder, const SectionList& basic, const std::vector<Field>& columns);

// The table as a CSV file's bytes: the header (FOLDER and the keys), then a
// record per row, CR LF after each, in `encoding`.
std::string FormatBoardTable(const std::vector<Field>& columns, const std::vector<TableRow>& rows,
                             CsvEncoding encoding);

// Why an imported table is refused, and where (row 1: the header; column 1:
// the first).
class ImportError : public std::runtime_error {
public:
    enum Kind {
        kMalformed,      // the CSV does not read
        kEmpty,          // no header
        kNoFolderColumn, // no FOLDER column
        kUnknownColumn,  // a header that names no key
        kColumnTwice,    // a key or FOLDER given twice
        kNoSuchFolder,   // the folder does not exist
        kOutsideStart,   // the folder is absolute or climbs out of the start folder
        kFolderTwice,    // the folder is listed twice
        kNoShiftJisForm, // a cell holds a character with no Shift-JIS form (`detail`: "U+00E9")
        kBadBbsFolder,   // BBSFOLDER other than "1" or empty
        kWrongCellCount, // a row with more cells than the header
    };
    ImportError(Kind kind, std::size_t row, std::size_t column, std::string detail = std::string())
        : std::runtime_error("refused import"), kind(kind), row(row), column(column), detail(std::move(detail)) {}
    Kind kind;
    std::size_t row, column;
    std::string detail;
};

// Reads an imported table (UTF-8 with or without a byte-order mark, or
// Shift-JIS) for the boards under `startFolder`: each listed folder with
// its own values for the columns present (an empty cell empties the key);
// only the values that differ from what the board holds are written.
// Throws ImportError for anything it would not write as the user meant.
std::vector<BoardInput> ReadBoardTable(const std::string& bytes, const std::string& startFolder);

// The refusal in the user's language, naming row and column.
std::string DescribeImportError(const ImportError& error, Language language);

}  // namespace tarn
