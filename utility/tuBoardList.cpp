#include "utility/tuBoardList.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <tuple>

#include "batch/BoardTable.h"
#include "platform/platform.h"
#include "settings/tuCommon.h"

#include "utility/tuControlIds.h"
#include "utility/tuLayout.h"

namespace tarn {

namespace {

const UINT_PTR kLoadTimer = 1;
const UINT kLoadTimerMs = 100;
const char kListTitle[] = "板の一覧";
const char kLoading[] = "（読み込み中）";
const char kNothingShown[] = "表示中の板がありません。";
const char kStillLoading[] = "板を読み込んでいます。読み込みが終わってから、もう一度押してください。";
const char kNothingTicked[] =
    "書き込む項目が選ばれていません。メイン ウィンドウで書き込む項目にチェックを付けてください。";
const char kAllFields[] = "すべての項目";
const char kNoTextToReplace[] = "置換前の文字列を入力してください。";
const char kNothingChanges[] = "置換で変わる板はありません。";
// The fields a replacement may change: every one but BBSFOLDER, which holds
// only "1" or nothing.
std::vector<Field> ReplaceableFields() { return FieldsBut({Field::BBSFOLDER}); }
const char kEmptyTable[] = "読み込んだ表に板がありません。何も書き込んでいません。";
// Each filter entry: its description, then the names it shows. An export's
// encoding is the entry chosen.
const char kExportFilter[] = "CSV (UTF-8)\0*.csv\0CSV (Shift-JIS)\0*.csv\0";
const char kImportFilter[] = "CSV\0*.csv\0すべてのファイル\0*.*\0";
// Design widths of the folder column and of each value column.
const int kFolderColumnWidth = 170, kValueColumnWidth = 120;

void CopyCell(const std::string& text, char* target, int size) {
    if (target && size > 0) lstrcpynA(target, text.c_str(), size);
}

void CopyCell(const std::string& text, wchar_t* target, int size) {
    if (!target || size <= 0) return;
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), target, size - 1);
    target[length > 0 ? length : 0] = L'\0';
}

// Hands the list the text of the cell it asks for, in the A or the W form.
template <class DisplayInfo>
void GiveCellText(const BoardRows& rows, LPARAM lParam) {
    auto& item = reinterpret_cast<DisplayInfo*>(lParam)->item;
    if ((item.mask & LVIF_TEXT) && static_cast<std::size_t>(item.iItem) < rows.ShownCount())
        CopyCell(rows.CellText(static_cast<std::size_t>(item.iItem), item.iSubItem), item.pszText, item.cchTextMax);
}

}  // namespace

TBoardList::TBoardList(BoardListOwner& owner, HINSTANCE instance, const ui::Scaler& scale, HFONT font,
                       std::string excludedFolder)
    : owner_(owner), instance_(instance), scale_(scale), font_(font), excludedFolder_(std::move(excludedFolder)) {}

TBoardList::~TBoardList() { StopLoading(); }

bool TBoardList::Open(HWND main, const std::string& startFolder) {
    if (Handle()) {
        ShowWindow(Handle(), SW_RESTORE);
        SetActiveWindow(Handle());
        return true;
    }
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const RECT r = ui::CentredFrame(main, scale_(kBoardListWidth), scale_(kBoardListHeight), style, 0);
    if (!CreateTopLevel(instance_, kBoardListClass, kListTitle, style, WS_EX_CONTROLPARENT, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, main))
        return false;
    CreateControls(BoardListLayout(), font_, scale_);
    HWND fields = Control(ids::Combo_FilterField);
    for (int column = 1; column < kListColumnCount; ++column)
        SendMessageA(fields, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ListColumnCaption(column)));
    SendMessageA(fields, CB_SETCURSEL, static_cast<WPARAM>(Field::URL), 0);
    HWND replaced = Control(ids::Combo_ReplaceField);
    SendMessageA(replaced, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kAllFields));
    for (const Field field : ReplaceableFields())
        SendMessageA(replaced, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(ListColumnCaption(1 + static_cast<int>(field))));
    SendMessageA(replaced, CB_SETCURSEL, 0, 0);
    SendMessageA(Control(ids::List_Boards), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                 LVS_EX_FULLROWSELECT);
    AddColumns();
    LayOut();
    ShowWindow(Handle(), SW_SHOWNORMAL);
    Reload(startFolder);
    return true;
}

void TBoardList::Reload(const std::string& startFolder) {
    if (!Handle()) return;
    startFolder_ = startFolder;
    SetWindowTextA(Handle(), (std::string(kListTitle) + " - " + startFolder_).c_str());
    StartLoading();
}

std::optional<LRESULT> TBoardList::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
    case WM_SIZE:
        LayOut();
        return 0;
    case WM_TIMER:
        if (wParam == kLoadTimer) TakeLoadedRows();
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    }
    return std::nullopt;
}

void TBoardList::OnCommand(int id, int notification) {
    // What each control's notification does. Enter (IDOK) previews the
    // replacement from its texts; Esc (IDCANCEL) closes.
    static const std::tuple<int, int, void (TBoardList::*)()> kCommands[] = {
        {ids::Combo_FilterField, CBN_SELCHANGE, &TBoardList::ApplyFilter},
        {ids::Edit_FilterPattern, EN_CHANGE, &TBoardList::ApplyFilter},
        {ids::Check_FilterNegated, BN_CLICKED, &TBoardList::ApplyFilter},
        {ids::Check_ShowSecrets, BN_CLICKED, &TBoardList::ShowSecretsAsTicked},
        {ids::Button_ApplyShown, BN_CLICKED, &TBoardList::ApplyToShown},
        {ids::Combo_ReplaceField, CBN_SELCHANGE, &TBoardList::EndPreview},
        {ids::Edit_ReplaceFrom, EN_CHANGE, &TBoardList::EndPreview},
        {ids::Edit_ReplaceTo, EN_CHANGE, &TBoardList::EndPreview},
        {ids::Button_Preview, BN_CLICKED, &TBoardList::PreviewReplacement},
        {ids::Button_Replace, BN_CLICKED, &TBoardList::RunReplacement},
        {ids::Button_Export, BN_CLICKED, &TBoardList::ExportTable},
        {ids::Button_Import, BN_CLICKED, &TBoardList::ImportTable},
        {IDOK, BN_CLICKED, &TBoardList::PreviewFromReplacementTexts},
        {ids::Button_CloseList, BN_CLICKED, &TBoardList::Close},
        {IDCANCEL, BN_CLICKED, &TBoardList::Close},
    };
    for (const auto& [control, code, handler] : kCommands)
        if (control == id && code == notification) (this->*handler)();
}

void TBoardList::ShowSecretsAsTicked() {
    rows_.ShowSecrets(SendMessageA(Control(ids::Check_ShowSecrets), BM_GETCHECK, 0, 0) == BST_CHECKED);
    ShowRows();
}

void TBoardList::PreviewFromReplacementTexts() {
    if (GetFocus() == Control(ids::Edit_ReplaceFrom) || GetFocus() == Control(ids::Edit_ReplaceTo))
        PreviewReplacement();
}

std::optional<LRESULT> TBoardList::OnNotify(const NMHDR& header, LPARAM lParam) {
    if (header.idFrom != static_cast<UINT_PTR>(ids::List_Boards)) return std::nullopt;
    switch (header.code) {
    case LVN_GETDISPINFOA:
        GiveCellText<NMLVDISPINFOA>(rows_, lParam);
        return 0;
    case LVN_GETDISPINFOW:
        GiveCellText<NMLVDISPINFOW>(rows_, lParam);
        return 0;
    case LVN_COLUMNCLICK:
        rows_.SortBy(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem);
        MarkSortColumn();
        ShowRows();
        return 0;
    }
    return std::nullopt;
}

void TBoardList::LayOut() {
    HWND list = Control(ids::List_Boards);
    if (!list) return;
    RECT client;
    GetClientRect(Handle(), &client);
    const int margin = scale_(8), top = scale_(kBoardListTop);
    MoveWindow(list, margin, top, std::max(0L, client.right - 2 * margin), std::max(0L, client.bottom - top - margin),
               TRUE);
}

void TBoardList::AddColumns() {
    HWND list = Control(ids::List_Boards);
    for (int column = 0; column < kListColumnCount; ++column) {
        LVCOLUMNA entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        entry.cx = scale_(column == kFolderListColumn ? kFolderColumnWidth : kValueColumnWidth);
        entry.pszText = const_cast<char*>(ListColumnCaption(column));
        entry.iSubItem = column;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&entry));
    }
}

// The arrow in the header of the column the rows are sorted by.
void TBoardList::MarkSortColumn() {
    HWND header = reinterpret_cast<HWND>(SendMessageA(Control(ids::List_Boards), LVM_GETHEADER, 0, 0));
    for (int column = 0; column < kListColumnCount; ++column) {
        HDITEMA item{};
        item.mask = HDI_FORMAT;
        SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == rows_.SortColumn()) item.fmt |= rows_.SortDescending() ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageA(header, HDM_SETITEMA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    }
}

void TBoardList::StartLoading() {
    StopLoading();
    rows_.Clear();  // ends a preview
    readError_.clear();
    loaded_.clear();
    stopReading_ = false;
    readingDone_ = false;
    loading_ = true;
    reader_ = std::thread([this, folder = startFolder_] {
        try {
            BatchOptions options;
            options.cancel = &stopReading_;
            options.excludedFolder = excludedFolder_;
            ListBoards(folder, options, [this](const BoardRow& row) {
                const std::lock_guard<std::mutex> lock(loadedMutex_);
                loaded_.push_back(row);
            });
        } catch (const std::exception& e) {
            const std::lock_guard<std::mutex> lock(loadedMutex_);
            readError_ = e.what();
        }
        readingDone_ = true;
    });
    SetTimer(Handle(), kLoadTimer, kLoadTimerMs, nullptr);
    ShowRows();
}

void TBoardList::StopLoading() {
    stopReading_ = true;
    if (reader_.joinable()) reader_.join();
    loading_ = false;
}

// Moves what the reading thread found into the list; at its end the timer
// stops and a file that could not be read is reported.
void TBoardList::TakeLoadedRows() {
    const bool done = readingDone_;
    std::vector<ListedBoard> taken;
    std::string error;
    {
        const std::lock_guard<std::mutex> lock(loadedMutex_);
        taken.swap(loaded_);
        error.swap(readError_);
    }
    if (!taken.empty()) rows_.Append(std::move(taken));
    if (done) {
        KillTimer(Handle(), kLoadTimer);
        StopLoading();
    }
    if (!taken.empty() || done) ShowRows();
    if (!error.empty()) ui::ShowErrorReport(Handle(), error.c_str());
}

void TBoardList::ApplyFilter() {
    const std::string pattern = ui::WindowText(Control(ids::Edit_FilterPattern));
    const LRESULT field = SendMessageA(Control(ids::Combo_FilterField), CB_GETCURSEL, 0, 0);
    std::vector<ValueCondition> conditions;
    if (!pattern.empty() && field >= 0)
        conditions.push_back({static_cast<Field>(field), pattern,
                              SendMessageA(Control(ids::Check_FilterNegated), BM_GETCHECK, 0, 0) == BST_CHECKED});
    rows_.SetFilter(std::move(conditions));  // ends a preview
    ShowRows();
}

// Shows the rows as they are now; 置換を実行 only while a preview shows boards.
void TBoardList::ShowRows() {
    EnableWindow(Control(ids::Button_Replace), rows_.InPreview() && rows_.ShownCount() > 0);
    HWND list = Control(ids::List_Boards);
    SendMessageA(list, LVM_SETITEMCOUNT, rows_.ShownCount(), LVSICF_NOSCROLL);
    InvalidateRect(list, nullptr, FALSE);
    ui::SetLabelText(Control(ids::Label_BoardCount), rows_.CountText() + (loading_ ? kLoading : ""));
}

// Whether the list is read whole and shows a board; otherwise says why not.
bool TBoardList::ReadyToRun() {
    const char* refusal = loading_ ? kStillLoading : rows_.ShownCount() == 0 ? kNothingShown : nullptr;
    if (refusal) MessageBoxA(Handle(), refusal, kWindowTitle, MB_OK | MB_ICONINFORMATION);
    return !refusal;
}

void TBoardList::ApplyToShown() {
    if (!ReadyToRun()) return;
    const BatchInput input = owner_.InputOfTickedFields();
    if (!input.WritesAnything()) {
        MessageBoxA(Handle(), kNothingTicked, kWindowTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    std::vector<BoardInput> boards;
    boards.reserve(rows_.ShownCount());
    for (std::size_t i = 0; i < rows_.ShownCount(); ++i) boards.push_back({rows_.Shown(i).folder, input});
    owner_.RunOverBoards(std::move(boards));
}

// The boards the replacement would change, each changed value old and new,
// and their number; 置換を実行 then runs it.
void TBoardList::PreviewReplacement() {
    EndPreview();
    if (!ReadyToRun()) return;
    const std::string from = ui::ExactText(Control(ids::Edit_ReplaceFrom), "置換前に Shift-JIS で書けない文字 ",
                                           " があります。");
    const std::string to = ui::ExactText(Control(ids::Edit_ReplaceTo), "置換後に Shift-JIS で書けない文字 ",
                                         " があります。");
    if (from.empty()) {
        MessageBoxA(Handle(), kNoTextToReplace, kWindowTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    // The first choice is every field; CB_ERR (no choice) reads as past the last.
    std::vector<Field> fields = ReplaceableFields();
    const auto choice = static_cast<std::size_t>(SendMessageA(Control(ids::Combo_ReplaceField), CB_GETCURSEL, 0, 0));
    if (choice > 0 && choice <= fields.size()) fields = {fields[choice - 1]};
    rows_.PreviewReplacement({fields, from, to});
    ShowRows();
    if (rows_.ShownCount() == 0) MessageBoxA(Handle(), kNothingChanges, kWindowTitle, MB_OK | MB_ICONINFORMATION);
}

void TBoardList::RunReplacement() {
    if (!rows_.InPreview() || rows_.ShownCount() == 0) return;
    owner_.RunOverBoards(rows_.PreviewedBoards());
}

void TBoardList::EndPreview() {
    if (!rows_.InPreview()) return;
    rows_.EndPreview();
    ShowRows();
}

// The rows and columns shown as a CSV file chosen in the save dialog, in the
// encoding its type names; written like every file of the utility.
void TBoardList::ExportTable() {
    DWORD type = 1;
    const auto path = ui::ChooseFile(
        Handle(),
        {kExportFilter, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_ENABLESIZING, nullptr,
         "boards.csv", "csv"},
        true, &type);
    if (!path) return;
    const CsvEncoding encoding = type == 2 ? CsvEncoding::ShiftJis : CsvEncoding::Utf8WithBom;
    const std::vector<Field> columns = rows_.ExportColumns();
    StoreFile(*path, FormatBoardTable(columns, rows_.ShownTable(columns), encoding), WriteMode::Write);
}

// A CSV file's boards, each with its own values, as one batch; a table
// that is refused is named in a message box and nothing is written.
void TBoardList::ImportTable() {
    const auto path = ui::ChooseFile(
        Handle(), {kImportFilter, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_ENABLESIZING}, false);
    if (!path) return;
    const std::string bytes = platform::ReadWholeFile(*path);
    std::vector<BoardInput> boards;
    try {
        boards = ReadBoardTable(bytes, startFolder_);
    } catch (const ImportError& refusal) {
        ui::ShowErrorReport(Handle(), DescribeImportError(refusal, Language::Japanese).c_str());
        return;
    }
    if (boards.empty()) {
        MessageBoxA(Handle(), kEmptyTable, kWindowTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    owner_.RunOverBoards(std::move(boards));
}

void TBoardList::Close() {
    StopLoading();
    KillTimer(Handle(), kLoadTimer);
    DestroyWindowNow();
}

}  // namespace tarn
