#include "utility/tuBoardRows.h"

#include <algorithm>
#include <array>

#include "settings/qvComFunctions.h"

namespace tarn {

namespace {

// The captions of LIB and BBSFOLDER are those of their controls in the main
// window; the other fields' are their default labels without the colon.
const std::array<const char*, kListColumnCount> kColumnCaptions = {
    "フォルダ", "掲示板処理プラグイン", "通常巡回対象", "掲示板のアドレス(URL)", "書き込み先アドレス(URL)",
    "名前", "e-mailアドレス", "ホームページ", "削除キー", "パラメータ", "未読ポインタ", "ユーザ名", "パスワード",
};

}  // namespace

const char* ListColumnCaption(int column) { return kColumnCaptions[static_cast<std::size_t>(column)]; }

bool IsSecretField(Field field) { return field == Field::KEY || field == Field::PASS; }

void BoardRows::Append(std::vector<ListedBoard> boards) {
    for (ListedBoard& board : boards) boards_.push_back(std::move(board));
    Refilter();
}

void BoardRows::Clear() {
    boards_.clear();
    shown_.clear();
    chosenCount_ = 0;
    preview_.reset();
}

void BoardRows::SetFilter(std::vector<ValueCondition> conditions) {
    filter_ = std::move(conditions);
    preview_.reset();
    Refilter();
}

std::vector<Field> BoardRows::ExportColumns() const { return secretsShown_ ? FieldsBut({}) : DefaultListColumns(); }

std::vector<TableRow> BoardRows::ShownTable(const std::vector<Field>& columns) const {
    std::vector<TableRow> table;
    for (std::size_t i = 0; i < shown_.size(); ++i) table.push_back(TableRowOf(Shown(i).relative, Shown(i).basic, columns));
    return table;
}

void BoardRows::PreviewReplacement(ValueReplacement replacement) {
    preview_ = std::move(replacement);
    Refilter();
}

void BoardRows::EndPreview() {
    if (!preview_) return;
    preview_.reset();
    Refilter();
}

std::vector<BoardInput> BoardRows::PreviewedBoards() const {
    std::vector<BoardInput> boards;
    if (!preview_) return boards;
    BatchInput input;
    input.replacements.push_back(*preview_);
    for (std::size_t i = 0; i < shown_.size(); ++i) boards.push_back({Shown(i).folder, input});
    return boards;
}

bool BoardRows::ChangedByPreview(const ListedBoard& board) const {
    if (!preview_) return true;
    std::string changed;
    for (const Field field : preview_->fields)
        if (ReplaceAll(GetValue(board.basic, InfoOf(field).key), preview_->from, preview_->to, changed)) return true;
    return false;
}

void BoardRows::SortBy(int column) {
    descending_ = column == sortColumn_ && !descending_;
    sortColumn_ = column;
    Sort();
}

void BoardRows::ShowSecrets(bool shown) {
    secretsShown_ = shown;
    Sort();  // hidden secrets sort as equal texts
}

std::string BoardRows::CellText(std::size_t index, int column) const { return TextOf(Shown(index), column); }

std::string BoardRows::CountText() const {
    if (preview_)
        return "置換で変わる板: " + std::to_string(shown_.size()) + " / " + std::to_string(chosenCount_) + " 板";
    return std::to_string(shown_.size()) + " / " + std::to_string(boards_.size()) + " 板";
}

std::string BoardRows::ValueText(Field field, const std::string& value) const {
    return IsSecretField(field) && !secretsShown_ && !value.empty() ? std::string(kHiddenSecret) : value;
}

std::string BoardRows::TextOf(const ListedBoard& board, int column) const {
    if (column == kFolderListColumn) return board.relative;
    const Field field = FieldOfColumn(column);
    const std::string value = GetValue(board.basic, InfoOf(field).key);
    std::string changed;
    if (preview_ && std::find(preview_->fields.begin(), preview_->fields.end(), field) != preview_->fields.end() &&
        ReplaceAll(value, preview_->from, preview_->to, changed))
        return ValueText(field, value) + " → " + ValueText(field, changed);
    return ValueText(field, value);
}

void BoardRows::Refilter() {
    shown_.clear();
    chosenCount_ = 0;
    for (std::size_t i = 0; i < boards_.size(); ++i) {
        if (!IsChosen(filter_, boards_[i].basic)) continue;
        ++chosenCount_;
        if (ChangedByPreview(boards_[i])) shown_.push_back(i);
    }
    Sort();
}

void BoardRows::Sort() {
    if (sortColumn_ < 0) {
        std::sort(shown_.begin(), shown_.end());
        return;
    }
    std::vector<std::pair<std::string, std::size_t>> keyed;
    keyed.reserve(shown_.size());
    for (std::size_t i : shown_) keyed.emplace_back(TextOf(boards_[i], sortColumn_), i);
    // The listing's order breaks ties, in either direction.
    std::sort(keyed.begin(), keyed.end(), [this](const auto& a, const auto& b) {
        if (a.first != b.first) return descending_ ? b.first < a.first : a.first < b.first;
        return a.second < b.second;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i) shown_[i] = keyed[i].second;
}

}  // namespace tarn
