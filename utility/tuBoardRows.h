// The board list's rows as the window shows them, without any window code:
// every board a listing found, the ones the filter lets through, their order
// and the text of each cell (secrets hidden until asked for).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "batch/BoardQuery.h"
#include "batch/BoardTable.h"
#include "batch/tuConfAll.h"
#include "settings/BoardSettings.h"

namespace tarn {

// One board of the list: where it is and its [BASIC] lines.
using ListedBoard = BoardRow;

// Column 0 is the folder; column 1 + i is catalogue field i.
inline constexpr int kFolderListColumn = 0;
inline constexpr int kListColumnCount = 1 + static_cast<int>(kFieldCount);
inline Field FieldOfColumn(int column) { return static_cast<Field>(column - 1); }

// The column's heading, Shift-JIS: the field's caption as the main window
// shows it by default.
const char* ListColumnCaption(int column);

// A field whose values stay hidden until the user asks for them.
bool IsSecretField(Field field);

// What a hidden secret shows instead of its value.
inline constexpr char kHiddenSecret[] = "●●●";

class BoardRows {
public:
    // Boards found by the listing, in the order found.
    void Append(std::vector<ListedBoard> boards);
    void Clear();

    // Only the boards meeting every condition are shown (none: every board).
    void SetFilter(std::vector<ValueCondition> conditions);
    // Sorts the shown boards by a column's text; the same column again
    // reverses the order. Boards with equal texts keep the listing's order.
    void SortBy(int column);
    void ShowSecrets(bool shown);

    std::size_t ShownCount() const { return shown_.size(); }
    const ListedBoard& Shown(std::size_t index) const { return boards_[shown_[index]]; }
    std::string CellText(std::size_t index, int column) const;
    int SortColumn() const { return sortColumn_; }
    bool SortDescending() const { return descending_; }

    // "N / M 板": the boards shown and the boards listed; in a preview, how
    // many of the boards the filter lets through the replacement changes.
    std::string CountText() const;

    // What an export writes: the columns shown (the secrets only while they
    // are shown) and the rows shown, in their order, with their values.
    std::vector<Field> ExportColumns() const;
    std::vector<TableRow> ShownTable(const std::vector<Field>& columns) const;

    // A replacement's preview: only the boards (of those the filter lets
    // through) whose values it changes are shown, each changed value as
    // "old → new". Ends with EndPreview, a new filter or Clear.
    void PreviewReplacement(ValueReplacement replacement);
    void EndPreview();
    bool InPreview() const { return preview_.has_value(); }
    // The previewed boards with what the batch writes into them: the
    // replacement alone, no field.
    std::vector<BoardInput> PreviewedBoards() const;

private:
    std::string TextOf(const ListedBoard& board, int column) const;
    std::string ValueText(Field field, const std::string& value) const;
    bool ChangedByPreview(const ListedBoard& board) const;
    void Refilter();
    void Sort();

    std::vector<ListedBoard> boards_;
    std::vector<std::size_t> shown_;  // indices into boards_, in the shown order
    std::vector<ValueCondition> filter_;
    std::optional<ValueReplacement> preview_;
    std::size_t chosenCount_ = 0;  // boards the filter lets through
    int sortColumn_ = -1;  // -1: the listing's order
    bool descending_ = false;
    bool secretsShown_ = false;
};

}  // namespace tarn
