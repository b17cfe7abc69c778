#include "utility/tuMain.h"

#include <commctrl.h>
#include <cstdlib>
#include <commdlg.h>

#include "batch/BatchRun.h"
#include "batch/RunReport.h"
#include "platform/ascii.h"
#include "platform/file_error.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "settings/BoardSettings.h"
#include "support/StrTokLib.h"
#include "utility/tuControlIds.h"
#include "utility/tuDirSelect.h"
#include "utility/tuFormRules.h"

namespace tarn {

namespace {

const char kPluginFolder[] = "plugins";
const char kDataFolder[] = "data";
const char kPluginMasks[] = "qv_*.exe;qv_*.pl;qv_*.rb;qv_*.vbs;qv_*.js";
const char kPageCaption[] = "巡回パラメータ一括設定";
const char kBatchFinished[] = "一括設定が終了しました";
// One filter entry: its description, then the names it shows.
const char kReferenceFilter[] = "巡回設定(tarn_BBS)/署名(sign)\0tarn_BBS.ini;sign.ini\0";

std::string ProgramPath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The batch's view of the window's controls.
class WindowControls : public ControlReader {
public:
    explicit WindowControls(const ui::Window& window) : window_(window) {}
    bool IsEnabled(int id) const override { return IsWindowEnabled(Find(id)) != FALSE; }
    bool IsChecked(int id) const override { return SendMessageA(Find(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

    // A value the batch writes must have an exact Shift-JIS form, or the
    // batch is refused, naming the field.
    std::string Text(int id) const override {
        const bool written = id == ids::Ref_Sign ? IsChecked(ids::CheckBox3_1) : IsEnabled(id);
        if (!written) return ui::WindowText(Find(id));
        return ui::ExactText(Find(id), "「" + ui::WindowText(Find(CaptionOf(id))) + "」の値に Shift-JIS で書けない文字 ",
                         " があります。一括設定は行いませんでした");
    }

private:
    HWND Find(int id) const { return window_.Control(id); }
    const ui::Window& window_;
};

bool IsTickBox(int id) {
    const ControlLayout* layout = FindLayout(id);
    return layout && layout->kind == ControlKind::TickBox;
}

// Where the window keeps its journals: beside the snapshot.
const char kJournalFolderName[] = "TarnUtil-journal";

// The progress window's title and last headline for each way a run ends.
struct WindowRunTexts {
    const char* title;
    const char* finished;
    const char* stopped;
    const char* cancelled;
};

constexpr WindowRunTexts kBatchTexts = {"一括設定", kBatchFinished, "一括設定は途中で止まりました",
                                        "一括設定を中止しました"};
constexpr WindowRunTexts kUndoTexts = {"前回の一括設定を元に戻す", "前回の一括設定を元に戻しました",
                                       "元に戻す途中で止まりました", "元に戻すのを中止しました"};

const WindowRunTexts& TextsOf(const RunRequest& request) {
    return request.kind == RunRequest::Kind::Undo ? kUndoTexts : kBatchTexts;
}

}  // namespace

void TForm1::RegisterWindowClass(HINSTANCE instance) {
    RegisterClassOfWindows(instance, kWindowClass, LoadIcon(nullptr, IDI_APPLICATION));
    // The windows it owns: the progress window and the board list.
    for (const char* name : {kProgressClass, kBoardListClass}) RegisterClassOfWindows(instance, name, nullptr);
    ui::RegisterContainerClasses(instance);
}

TForm1::TForm1(HINSTANCE instance) : instance_(instance), font_(ui::CreateUtilityFont(scale_)) {
    values_.StartupDir = platform::CurrentDirectory();
}

TForm1::~TForm1() {
    if (Handle() && !saved_) ui::RunReportingErrors(Handle(), [this] { FormDestroy(); });
    DestroyWindowNow();
}

bool TForm1::Create(int showCommand) {
    if (!CreateTopLevel(instance_, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                        WS_EX_CONTROLPARENT, kWindowLeft, kWindowTop, scale_(kWindowWidth), scale_(kWindowHeight)))
        return false;
    CreateControls(MainWindowLayout(), font_.get(), scale_);
    // Undo goes into the system menu, so that the designed layout stays as it is.
    HMENU system = GetSystemMenu(Handle(), FALSE);
    AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(system, MF_STRING, kUndoCommand, "前回の一括設定を元に戻す(&U)");
    AppendMenuA(system, MF_STRING, kBoardListCommand, "板の一覧(&L)...");
    ui::RunReportingErrors(Handle(), [this] { FormCreate(); });
    ShowWindow(Handle(), showCommand);
    UpdateWindow(Handle());
    return true;
}

std::optional<LRESULT> TForm1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SIZE:
        LayOutPage();
        return 0;
    case WM_CLOSE:
        // During a run the close waits for its end: every file whole, the
        // completion seen.
        if (running_) {
            closePending_ = true;
            return 0;
        }
        // Ends the message loop; the window is saved and destroyed afterwards.
        PostQuitMessage(0);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == kUndoCommand) {
            if (!running_) UndoLastBatch();
            return 0;
        }
        if ((wParam & 0xFFF0) == kBoardListCommand) {
            if (!boardList_)
                boardList_ = std::make_unique<TBoardList>(static_cast<BoardListOwner&>(*this), instance_, scale_, font_.get(), JournalsFolder());
            boardList_->Open(Handle(), values_.StartDir);
            return 0;
        }
        return std::nullopt;
    case WM_ENDSESSION:
        // At log-off the process ends without its message loop ending: save
        // now, as at an exit.
        if (wParam && !saved_) {
            saved_ = true;
            FormDestroy();
        }
        return 0;
    }
    return std::nullopt;
}

void TForm1::OnCommand(int id, int notification) {
    if (notification != BN_CLICKED) return;
    if (IsTickBox(id)) {
        CheckBoxsClick();
        return;
    }
    static const std::pair<int, void (TForm1::*)()> kButtons[] = {
        {ids::Button_StartDir, &TForm1::Button_StartDirClick},
        {ids::Button_Ref, &TForm1::Button_RefClick},
        {ids::Button_ConfAll, &TForm1::Button_ConfAllClick},
        {ids::Button_Cancel, &TForm1::Button_CancelClick},
    };
    for (const auto& [button, click] : kButtons)
        if (button == id) (this->*click)();
}

LRESULT TForm1::OnControlColour(HDC dc, HWND control) {
    int id = GetDlgCtrlID(control);
    // The drop-down box's edit field and list speak for the box.
    HWND combo = Control(ids::ComboBox1_1);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (combo && (GetParent(control) == combo ||
                  (GetComboBoxInfo(combo, &info) && (control == info.hwndList || control == info.hwndItem))))
        id = ids::ComboBox1_1;
    // A value control shows whether its tick box is on; the others the face colour.
    const auto painted = painted_.find(id);
    const bool value = painted != painted_.end();
    const int colour = !value ? COLOR_BTNFACE : painted->second ? COLOR_WINDOW : COLOR_3DLIGHT;
    SetBkColor(dc, GetSysColor(colour));
    if (value) SetTextColor(dc, GetSysColor(IsWindowEnabled(control) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(colour));
}

void TForm1::LayOutPage() {
    HWND tabs = Control(ids::PageControl1), page = Control(ids::TabSheet1);
    if (!tabs || !page) return;
    RECT r;
    GetClientRect(Handle(), &r);
    MoveWindow(tabs, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    GetClientRect(tabs, &r);
    SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    MoveWindow(page, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void TForm1::EnableControl(int id, bool enabled) {
    EnableWindow(Control(id), enabled);
    // A field's caption follows its field.
    const ControlLayout* layout = FindLayout(id);
    if (layout && layout->kind == ControlKind::LabeledEdit) EnableWindow(Control(ids::EditLabelOf(id)), enabled);
}

bool TForm1::IsTicked(int id) const { return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TForm1::SetText(int id, const std::string& text) {
    const ControlLayout* layout = FindLayout(id);
    HWND control = Control(id);
    if (!layout || layout->kind == ControlKind::Label)
        ui::SetLabelText(control, text);  // labels and captions are sized to their text
    else
        SetWindowTextA(control, text.c_str());
}

void TForm1::FormCreate() {
    // Inside the work area.
    RECT window{}, work{};
    GetWindowRect(Handle(), &window);
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        const WindowOrigin origin =
            PlaceInWorkArea({window.left, window.top}, {work.left, work.top, work.right, work.bottom});
        SetWindowPos(Handle(), nullptr, origin.left, origin.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    const std::string programFolder = platform::FolderPart(ProgramPath());
    values_.DataDir = programFolder + kDataFolder;
    values_.StartDir = values_.DataDir;

    // The board-handling plug-ins beside the host; the box sorts them itself.
    HWND plugins = Control(ids::ComboBox1_1);
    SendMessageA(plugins, CB_RESETCONTENT, 0, 0);
    TStrArray names;
    FindFilesByMasks(programFolder + kPluginFolder, kPluginMasks, names);
    for (const std::string& entry : PluginEntries(names))
        SendMessageA(plugins, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    if (SendMessageA(plugins, CB_GETCOUNT, 0, 0) > 0) SendMessageA(plugins, CB_SETCURSEL, 0, 0);

    TCITEMA tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = const_cast<char*>(kPageCaption);
    SendMessageA(Control(ids::PageControl1), TCM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tab));
    SetWindowTextA(Control(ids::TabSheet1), kPageCaption);

    for (const ReferenceField& field : ReferenceFields())
        SetText(field.binding->captionControl, field.info->defaultLabel);

    for (int id : {ids::Label_StartDir, ids::Label_Ref, ids::Label_ConfAll}) SetText(id, "");

    CheckBoxsClick();
    LoadReference(kSnapshotFileName);
    if (platform::FileExists(kSignatureFileName)) LoadSignature(kSignatureFileName);
}

void TForm1::FormDestroy() {
    // The snapshot and the signature belong to the folder the utility was
    // started in; the dialogs may have moved the current folder into a board
    // folder, whose own sign.ini must not be overwritten.
    if (!platform::ChangeCurrentDirectory(values_.StartupDir)) throw platform::FolderError(values_.StartupDir);
    WriteSections(values_.DialogList, values_.BasicList, kSnapshotFileName);
    // The memo is saved as typed or not at all, as a batch refuses it.
    WriteSignature(kSignatureFileName, ui::ExactText(Control(ids::Ref_Sign), "署名に Shift-JIS で書けない文字 ",
                                                 std::string(" があります。") + kSignatureFileName +
                                                     " は保存しませんでした"));
    values_.DialogList.clear();
    values_.BasicList.clear();
}

void TForm1::CheckBoxsClick() {
    SetText(ids::Label_ConfAll, "");
    EnableControl(ids::Button_ConfAll, false);
    const ControlStates states =
        ComputeControlStates([this](int id) { return IsTicked(id); }, ui::WindowText(Control(ids::Label_StartDir)));
    for (const auto& [id, enabled] : states.enabled) EnableControl(id, enabled);
    for (const auto& [id, enabled] : states.painted) {
        painted_[id] = enabled;
        InvalidateRect(Control(id), nullptr, TRUE);
    }
    EnableControl(ids::Button_ConfAll, states.batchEnabled);
}

void TForm1::Button_StartDirClick() {
    // Cancel, or a data folder the dialog cannot show, keeps the start folder
    // chosen before: an empty one would send the batch to the drive's root.
    std::string chosen;
    TDirSelectDlg dialog(Handle(), chosen, scale_, font_.get());
    dialog.DirectoryListBox1().SetDirectory(values_.DataDir);
    dialog.ShowModal();
    if (chosen.empty()) return;
    values_.StartDir = chosen;
    SetText(ids::Label_StartDir, platform::WindowsFilePart(values_.StartDir));
    if (boardList_) boardList_->Reload(values_.StartDir);
    CheckBoxsClick();
}

void TForm1::Button_RefClick() {
    const auto chosen = ui::ChooseFile(
        Handle(), {kReferenceFilter, OFN_HIDEREADONLY | OFN_ENABLESIZING, values_.StartDir.c_str()}, false);
    if (!chosen) return;
    const std::string& path = *chosen;
    const std::string name = platform::WindowsFilePart(path);
    if (platform::SameAsciiTextIgnoringCase(name, kSignatureFileName)) LoadSignature(path);
    if (platform::SameAsciiTextIgnoringCase(name, kSettingsFileName)) {
        SetText(ids::Label_Ref, ContainingFolderName(path));
        LoadReference(path);
    }
}

std::string TForm1::JournalsFolder() const { return platform::JoinPath(values_.StartupDir, kJournalFolderName); }

void TForm1::RunInWindow(RunRequest request) {
    request.journalsFolder = JournalsFolder();
    progress_.reset();  // the last run's window
    WindowRun run(Handle(), instance_, scale_, font_.get());
    std::optional<RunResult> result;
    running_ = true;
    // The board list waits too; it shows the boards as the run left them.
    HWND list = boardList_ ? boardList_->Handle() : nullptr;
    if (list) EnableWindow(list, FALSE);
    ui::RunReportingErrors(Handle(), [&] {
        // A run over listed boards knows how many there are; a tree's are not counted first.
        const long total = request.boards ? static_cast<long>(request.boards->size()) : 0;
        result = run.Run(TextsOf(request).title, total,
                         [&request](RunProgress& progress, const std::atomic<bool>& stop) {
                             return RunEngine(request, progress, &stop);
                         });
    });
    running_ = false;
    if (list) EnableWindow(list, TRUE);
    if (result) ShowRunEnd(request, *result, run);
    if (boardList_) boardList_->Reload(values_.StartDir);
    // A close asked for during the run is carried out now that it ended and
    // its report was read.
    if (closePending_) PostMessageW(Handle(), WM_CLOSE, 0, 0);
    closePending_ = false;
}

void TForm1::ShowRunEnd(const RunRequest& request, const RunResult& result, WindowRun& run) {
    const RunReport report(Language::Japanese, FrontEnd::Window);
    if (result.status == RunResult::Status::Busy) {
        ui::ShowErrorReport(Handle(), report.Busy().c_str());
        return;
    }
    if (result.status == RunResult::Status::NothingToUndo) {
        MessageBoxA(Handle(), report.NothingToUndo(std::string()).c_str(), kWindowTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    const WindowRunTexts& texts = TextsOf(request);
    const bool undo = request.kind == RunRequest::Kind::Undo;
    const long written = run.Progress().written;
    if (result.outcome == RunOutcome::Stopped) {
        progress_ = run.Finish(texts.stopped, false);
        std::string text = result.error;
        if (written > 0) text += "\r\n\r\n" + report.WrittenBeforeStop(written);
        ui::ShowErrorReport(Handle(), text.c_str());
        return;
    }
    const bool finished = result.outcome == RunOutcome::Finished;
    if (finished && !undo) SetText(ids::Label_ConfAll, kBatchFinished);
    progress_ = run.Finish(finished ? texts.finished : texts.cancelled, finished);
    const auto leftAlone = run.Progress().LeftAlone();
    const std::string text = undo       ? report.UndoSummary(result.undoCounts, false, leftAlone)
                             : finished ? report.Skipped(run.Progress())
                                        : report.Cancelled(written);
    // A run that went through but left files alone or skipped folders warns.
    const bool warns = finished && (undo ? !leftAlone.empty() : !text.empty());
    if (!text.empty())
        MessageBoxA(Handle(), text.c_str(), kWindowTitle, MB_OK | (warns ? MB_ICONWARNING : MB_ICONINFORMATION));
}

void TForm1::Button_ConfAllClick() {
    RunRequest request;
    request.input = BatchInputFromControls(WindowControls(*this));
    request.startFolder = values_.StartDir;
    // TARNUTIL_JOURNAL=off is the benchmark's switch, to measure what the
    // journal costs; the window offers none.
    const char* journalSetting = std::getenv("TARNUTIL_JOURNAL");
    request.journaled = !journalSetting || std::string(journalSetting) != "off";
    RunInWindow(request);
}

BatchInput TForm1::InputOfTickedFields() { return BatchInputFromControls(WindowControls(*this)); }

void TForm1::RunOverBoards(std::vector<BoardInput> boards) {
    if (running_ || boards.empty()) return;
    RunRequest request;
    request.boards = std::move(boards);
    request.startFolder = values_.StartDir;
    RunInWindow(request);
}

void TForm1::UndoLastBatch() {
    RunRequest request;
    request.kind = RunRequest::Kind::Undo;
    RunInWindow(request);
}

void TForm1::Button_CancelClick() { SendMessageA(Handle(), WM_CLOSE, 0, 0); }

void TForm1::LoadReference(const std::string& path) {
    ReferenceContent content = ReadReference(path);
    values_.DialogList = std::move(content.dialog);
    values_.BasicList = std::move(content.basic);
    const auto& fields = ReferenceFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (content.captions) SetText(fields[i].binding->captionControl, (*content.captions)[i]);
        if (content.values) SetText(fields[i].binding->valueControl, (*content.values)[i]);
    }
}

void TForm1::LoadSignature(const std::string& path) { SetText(ids::Ref_Sign, ReadSignature(path)); }

}  // namespace tarn
