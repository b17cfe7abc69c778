#include "batch/BoardTable.h"

#include <algorithm>

#include "platform/ascii.h"
#include "platform/paths.h"
#include "platform/platform.h"

namespace tarn {

std::string FormatCsvRecord(const CsvRecord& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        const std::string& field = fields[i];
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            line += field;
            continue;
        }
        line += '"';
        for (const char c : field) {
            if (c == '"') line += '"';
            line += c;
        }
        line += '"';
    }
    return line + "\r\n";
}

std::vector<CsvRecord> ParseCsv(const std::string& text) {
    std::vector<CsvRecord> records;
    CsvRecord record;
    std::string field;
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto endRecord = [&] {
        record.push_back(std::move(field));
        field.clear();
        records.push_back(std::move(record));
        record.clear();
    };
    while (i < n) {
        const std::size_t row = records.size() + 1, column = record.size() + 1;
        if (text[i] == '"' && field.empty()) {
            // A quoted field: up to the quote that is not doubled.
            for (++i;; ++i) {
                if (i >= n) throw CsvError(CsvError::kUnclosedQuote, row, column);
                if (text[i] == '"' && (i + 1 >= n || text[i + 1] != '"')) break;
                field += text[i];
                if (text[i] == '"') ++i;  // a doubled quote stands for one
            }
            ++i;
            if (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
                throw CsvError(CsvError::kTextAfterQuote, row, column);
            if (i >= n) break;  // otherwise the comma or the line break is taken below
        }
        const char c = text[i];
        if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
            ++i;
        } else if (c == '\r' || c == '\n') {
            endRecord();
            i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
        } else if (c == '"') {
            throw CsvError(CsvError::kStrayQuote, row, column);
        } else {
            field += c;
            ++i;
        }
    }
    if (!field.empty() || !record.empty() || (n > 0 && text[n - 1] == '"')) endRecord();
    return records;
}

// ---- the board table: one row per board, the folder then its values ------------

namespace {

const char kUtf8Mark[] = "\xEF\xBB\xBF";

bool HasUtf8Mark(const std::string& bytes) { return bytes.compare(0, 3, kUtf8Mark) == 0; }

// True when the bytes read as UTF-8 and hold more than ASCII: a spreadsheet
// that saved without a byte-order mark. Shift-JIS text of any length almost
// never reads as UTF-8.
bool LooksLikeUtf8(const std::string& bytes) {
    bool beyondAscii = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > bytes.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        beyondAscii = beyondAscii || length > 1;
        i += length;
    }
    return beyondAscii;
}

// A table names its folders with '/' or '\\', whatever system reads it.
bool IsTableSeparator(char c) { return c == '/' || c == '\\'; }

bool IsColon(char c) { return c == ':'; }

// A folder of the table as a path below the start folder, each separator
// the system's own; false when it is absolute (it starts at a root, or holds
// a drive's ':', as a character) or climbs out.
bool RelativeFolder(const std::string& cell, std::string& relative) {
    relative.clear();
    if ((!cell.empty() && IsTableSeparator(cell[0])) || platform::FolderPartLength(cell, IsColon) > 0) return false;
    for (const std::string& name : platform::PathNames(cell, IsTableSeparator)) {
        if (name == "..") return false;
        if (name != ".") relative = relative.empty() ? name : platform::JoinPath(relative, name);
    }
    return true;
}

bool EarlierIdentity(const platform::FileIdentity& a, const platform::FileIdentity& b) {
    return a.volume != b.volume ? a.volume < b.volume : a.index < b.index;
}

// A cell of the table (at `row`, `column`) in the code page.
std::string CellText(const std::string& cell, bool utf8, std::size_t row, std::size_t column) {
    if (!utf8) return cell;
    std::string text, missing;
    if (!platform::Utf8ToSystemText(cell, text, missing))
        throw ImportError(ImportError::kNoShiftJisForm, row, column, missing);
    return text;
}

// The header: which column is the folder, which key each other column is.
struct Header {
    std::size_t folder = 0;
    std::vector<std::pair<std::size_t, Field>> keys;
};

Header ReadHeader(const CsvRecord& cells, bool utf8) {
    Header header;
    bool folderSeen = false;
    std::vector<bool> keySeen(kFieldCount, false);
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const std::string name = Trim(CellText(cells[c], utf8, 1, c + 1));
        if (platform::SameAsciiTextIgnoringCase(name, kFolderColumn)) {
            if (folderSeen) throw ImportError(ImportError::kColumnTwice, 1, c + 1, name);
            folderSeen = true;
            header.folder = c;
            continue;
        }
        const FieldInfo* info = FindFieldByKey(name);
        if (!info) throw ImportError(ImportError::kUnknownColumn, 1, c + 1, name);
        if (keySeen[static_cast<std::size_t>(info->field)]) throw ImportError(ImportError::kColumnTwice, 1, c + 1, name);
        keySeen[static_cast<std::size_t>(info->field)] = true;
        header.keys.emplace_back(c, info->field);
    }
    if (!folderSeen) throw ImportError(ImportError::kNoFolderColumn, 1, 1);
    return header;
}

}  // namespace

std::vector<Field> DefaultListColumns() { return FieldsBut({Field::KEY, Field::PASS}); }

TableRow TableRowOf(const std::string& folder, const SectionList& basic, const std::vector<Field>& columns) {
    TableRow row{folder, {}};
    for (const Field field : columns) row.values.push_back(GetValue(basic, InfoOf(field).key));
    return row;
}

std::string FormatBoardTable(const std::vector<Field>& columns, const std::vector<TableRow>& rows,
                             CsvEncoding encoding) {
    CsvRecord header = {kFolderColumn};
    for (const Field field : columns) header.push_back(InfoOf(field).key);
    std::string text = FormatCsvRecord(header);
    for (const TableRow& row : rows) {
        CsvRecord record = {row.folder};
        record.insert(record.end(), row.values.begin(), row.values.end());
        text += FormatCsvRecord(record);
    }
    return encoding == CsvEncoding::ShiftJis ? text : kUtf8Mark + platform::SystemTextToUtf8(text);
}

std::vector<BoardInput> ReadBoardTable(const std::string& bytes, const std::string& startFolder) {
    const bool marked = HasUtf8Mark(bytes);
    const std::string text = marked ? bytes.substr(3) : bytes;
    const bool utf8 = marked || LooksLikeUtf8(text);
    std::vector<CsvRecord> records;
    try {
        records = ParseCsv(text);
    } catch (const CsvError& e) {
        throw ImportError(ImportError::kMalformed, e.row, e.column);
    }
    if (records.empty()) throw ImportError(ImportError::kEmpty, 1, 1);
    const Header header = ReadHeader(records.front(), utf8);

    const auto root = platform::ResolvedFolder(startFolder);
    std::vector<BoardInput> boards;
    std::vector<std::pair<platform::FileIdentity, std::size_t>> seen;  // identity, row
    for (std::size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& cells = records[r];
        const std::size_t row = r + 1;
        if (cells.size() == 1 && cells[0].empty()) continue;  // a blank line
        if (cells.size() != records.front().size())
            throw ImportError(ImportError::kWrongCellCount, row, std::min(cells.size(), records.front().size()) + 1);
        const std::size_t folderColumn = header.folder + 1;
        std::string relative;
        if (!RelativeFolder(CellText(cells[header.folder], utf8, row, folderColumn), relative))
            throw ImportError(ImportError::kOutsideStart, row, folderColumn, cells[header.folder]);
        BoardInput board;
        board.input.onlyChangedValues = true;
        board.folder = relative.empty() ? startFolder : platform::JoinPath(startFolder, relative);
        const auto identity = platform::FolderIdentity(board.folder);  // nothing for a file
        if (!identity) throw ImportError(ImportError::kNoSuchFolder, row, folderColumn, relative);
        const auto resolved = platform::ResolvedFolder(board.folder);
        if (!resolved || !root || !platform::IsSameOrBeneath(*resolved, *root))
            throw ImportError(ImportError::kOutsideStart, row, folderColumn, relative);
        seen.emplace_back(*identity, row);
        for (const auto& [column, field] : header.keys) {
            const std::string value = CellText(cells[column], utf8, row, column + 1);
            board.input[field] = {true, value};
            if (field == Field::BBSFOLDER) {
                if (!value.empty() && value != "1") throw ImportError(ImportError::kBadBbsFolder, row, column + 1, value);
                board.input.bbsFolderChecked = value == "1";
            }
        }
        boards.push_back(std::move(board));
    }
    // A folder listed twice would get one of its two rows without a word.
    std::stable_sort(seen.begin(), seen.end(), [](const auto& a, const auto& b) { return EarlierIdentity(a.first, b.first); });
    for (std::size_t i = 1; i < seen.size(); ++i)
        if (seen[i - 1].first == seen[i].first)
            throw ImportError(ImportError::kFolderTwice, std::max(seen[i - 1].second, seen[i].second), header.folder + 1);
    return boards;
}

std::string DescribeImportError(const ImportError& error, Language language) {
    static const char* const kWhy[][2] = {
        {"the CSV does not read here", "CSV として読めません"},
        {"the file holds no header row", "見出しの行がありません"},
        {"no FOLDER column", "FOLDER の列がありません"},
        {"unknown column", "知らない列です"},
        {"column given twice", "列が二度あります"},
        {"no such folder under the start folder", "開始フォルダの下にそのフォルダはありません"},
        {"the folder lies outside the start folder", "フォルダが開始フォルダの外にあります"},
        {"the folder is listed twice", "フォルダが二度あります"},
        {"a character with no Shift-JIS form", "Shift-JIS で表せない文字があります"},
        {"BBSFOLDER is 1 or empty", "BBSFOLDER は 1 か空です"},
        {"the row has another number of cells than the header", "行のセルの数が見出しと違います"},
    };
    const auto& why = kWhy[error.kind];
    std::string text = InLanguage(language, "row " + std::to_string(error.row) + ", column " +
                                                std::to_string(error.column) + ": " + why[0],
                                  std::to_string(error.row) + " 行 " + std::to_string(error.column) + " 列: " + why[1]);
    if (!error.detail.empty()) text += " (" + error.detail + ")";
    return text;
}

}  // namespace tarn
