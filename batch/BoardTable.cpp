#include "batch/BoardTable.h"

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
                if (text[i] != '"') {
                    field += text[i];
                } else if (i + 1 < n && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            if (i < n && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
                throw CsvError(CsvError::kTextAfterQuote, row, column);
            if (i < n && text[i] != ',') continue;  // the line break ends the record below
            if (i >= n) break;
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

}  // namespace tarn
