#include "utility/tuWindowKit.h"

#include "platform/platform.h"
#include "platform/win32_text.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include <commctrl.h>
#include <commdlg.h>

#include "utility/tuErrorReport.h"

namespace tarn::ui {

namespace {

constexpr char kTabSheetClass[] = "TTabSheet";
constexpr char kGroupBoxClass[] = "TGroupBox";

// A container passes what its children tell their parent on to the top-level
// window, which owns the logic and the colours.
constexpr UINT kForwardedMessages[] = {WM_COMMAND,        WM_NOTIFY,      WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX,
                                       WM_CTLCOLORSTATIC, WM_CTLCOLORBTN, WM_DRAWITEM,     WM_MEASUREITEM};

int TextHeight(HDC dc) {
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    return metrics.tmHeight;
}

int TextWidth(HDC dc, const std::string& text) {
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &extent);
    return extent.cx;
}

// The whole text of a window through WM_GETTEXT, in the A or the W form.
template <class Char, LRESULT(WINAPI* Send)(HWND, UINT, WPARAM, LPARAM)>
std::basic_string<Char> TextOf(HWND window) {
    const LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
    std::basic_string<Char> text(static_cast<std::size_t>(length) + 1, Char());
    const LRESULT copied = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

HFONT FontOf(HWND window) { return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)); }

void PaintGroup(HWND group) {
    const auto painting = platform::Painting(group);
    const HDC dc = painting.get().second.hdc;
    RECT client;
    GetClientRect(group, &client);
    const std::string caption = WindowText(group);
    const auto font = platform::Select(dc, FontOf(group));
    const int textHeight = TextHeight(dc);
    RECT frame = client;
    frame.top += textHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (caption.empty()) return;
    const int gap = MulDiv(textHeight, 1, 3);
    RECT textRect{client.left + 2 * gap, client.top, client.left + 2 * gap + TextWidth(dc, caption) + 2 * gap,
                  client.top + textHeight};
    FillRect(dc, &textRect, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(IsWindowEnabled(group) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    TextOutA(dc, textRect.left + gap, textRect.top, caption.data(), static_cast<int>(caption.size()));
}

LRESULT ContainerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (std::count(std::begin(kForwardedMessages), std::end(kForwardedMessages), message) > 0)
        return SendMessageA(GetAncestor(window, GA_ROOT), message, wParam, lParam);
    switch (message) {
    case WM_SETFONT:
        SetPropA(window, "TarnFont", reinterpret_cast<HANDLE>(wParam));
        if (LOWORD(lParam)) InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(GetPropA(window, "TarnFont"));
    case WM_NCDESTROY:
        RemovePropA(window, "TarnFont");
        break;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_PAINT: {
        char className[16] = {};
        GetClassNameA(window, className, sizeof className);
        if (lstrcmpA(className, kGroupBoxClass) == 0) {
            PaintGroup(window);
            return 0;
        }
        break;
    }
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    LRESULT result = 0;
    RunReportingErrors(GetAncestor(window, GA_ROOT),
                       [&] { result = ContainerMessage(window, message, wParam, lParam); });
    return result;
}

// The window class and styles of one kind of control; every control is also
// a visible child.
struct WindowClassOf {
    ControlKind kind;
    const char* className;
    DWORD style;
    DWORD exStyle;
};

constexpr WindowClassOf kControlClasses[] = {
    {ControlKind::TabControl, WC_TABCONTROLA, WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT},
    {ControlKind::TabPage, kTabSheetClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT},
    {ControlKind::Group, kGroupBoxClass, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT},
    {ControlKind::Label, "STATIC", SS_LEFT | SS_NOPREFIX, 0},
    {ControlKind::LabeledEdit, "EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {ControlKind::PasswordEdit, "EDIT", WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE},
    {ControlKind::Memo, "EDIT", WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
     WS_EX_CLIENTEDGE},
    {ControlKind::DropDown, "COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL, 0},
    {ControlKind::TickBox, "BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0},
    {ControlKind::CheckBox, "BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0},
    {ControlKind::Button, "BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0},
    {ControlKind::DefaultButton, "BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
    {ControlKind::FolderList, "LISTBOX",
     WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
     WS_EX_CLIENTEDGE},
    {ControlKind::Bevel, "STATIC", SS_SUNKEN | WS_CLIPSIBLINGS, 0},
    {ControlKind::Edit, "EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {ControlKind::AccessLabel, "STATIC", SS_LEFT, 0},
    {ControlKind::ChoiceList, "COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0},
    {ControlKind::ReportList, WC_LISTVIEWA,
     WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_CLIPSIBLINGS, WS_EX_CLIENTEDGE},
    {ControlKind::ProgressBar, PROGRESS_CLASSA, 0, 0},
};

// Row i is kind i, and every kind has its row: the table is read by index.
constexpr bool EveryKindInOrder() {
    for (std::size_t i = 0; i < std::size(kControlClasses); ++i)
        if (kControlClasses[i].kind != static_cast<ControlKind>(i)) return false;
    return kControlClasses[std::size(kControlClasses) - 1].kind == ControlKind::ProgressBar;
}
static_assert(EveryKindInOrder(), "a kind of control without its row of kControlClasses, or out of order");

WindowClassOf ClassOf(ControlKind kind) {
    WindowClassOf row = kControlClasses[static_cast<std::size_t>(kind)];
    row.style |= WS_CHILD | WS_VISIBLE;
    return row;
}

HWND CreateChild(const WindowClassOf& kind, int id, const char* text, HWND parent, const RECT& r, HFONT font) {
    HWND control = CreateWindowExA(kind.exStyle, kind.className, text, kind.style, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
    if (control) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

// The caption label of a labelled edit field stands above the field.
void CreateEditLabel(const ControlLayout& layout, HWND parent, HFONT font, const Scaler& scale, const RECT& edit) {
    RECT r{edit.left, edit.top, edit.left, edit.top};
    HWND caption = CreateChild(ClassOf(ControlKind::Label), ids::EditLabelOf(layout.id), "", parent, r, font);
    EnableWindow(caption, layout.enabled);
    const auto dc = platform::WindowDc(caption);
    const auto selected = platform::Select(dc.get().first, font);
    const int height = TextHeight(dc.get().first);
    SetWindowPos(caption, nullptr, edit.left, edit.top - scale(kLabelGap) - height, 0, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Moves a control left as far as it must to end `margin` inside its parent.
void KeepInsideParent(HWND control, int margin) {
    HWND parent = GetParent(control);
    RECT own{}, area{};
    GetWindowRect(control, &own);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&own), 2);
    GetClientRect(parent, &area);
    const int left = FittedLabelLeft(own.left, own.right - own.left, area.right, margin);
    if (left != own.left)
        SetWindowPos(control, nullptr, left, own.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Creates one control of a layout table inside `parent` (a labelled edit field
// with its caption label). The tab control fills its parent's client area, a
// tab page the tab control's display area.
HWND CreateLayoutControl(const ControlLayout& layout, HWND parent, HFONT font, const Scaler& scale) {
    RECT r{scale(layout.left), scale(layout.top), scale(layout.left) + scale(layout.width),
           scale(layout.top) + scale(layout.height)};
    if (layout.kind == ControlKind::TabControl) GetClientRect(parent, &r);
    if (layout.kind == ControlKind::TabPage) {
        // The page's tab comes first: the display area the page fills depends on it.
        TCITEMA tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = const_cast<char*>(layout.text);
        SendMessageA(parent, TCM_INSERTITEMA, SendMessageA(parent, TCM_GETITEMCOUNT, 0, 0),
                     reinterpret_cast<LPARAM>(&tab));
        GetClientRect(parent, &r);
        SendMessageA(parent, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    }
    if (layout.kind == ControlKind::DropDown || layout.kind == ControlKind::ChoiceList)
        r.bottom = r.top + scale(200);  // with the dropped list
    // A tab page's window text is its tab's caption, so that it can be read back.
    HWND control = CreateChild(ClassOf(layout.kind), layout.id, layout.text, parent, r, font);
    if (!control) return nullptr;
    if (!layout.enabled) EnableWindow(control, FALSE);
    switch (layout.kind) {
    case ControlKind::AccessLabel:
    case ControlKind::Label:
        SetLabelText(control, layout.text);
        // The version label's text is fixed, but its width is that of the
        // font at hand (a stand-in under Wine, another DPI): it stays inside
        // the page. The status labels show folder names of any length.
        if (layout.id == ids::Label1) KeepInsideParent(control, scale(kPageMargin));
        break;
    case ControlKind::LabeledEdit:
        CreateEditLabel(layout, parent, font, scale, r);
        break;
    case ControlKind::PasswordEdit:
        SendMessageA(control, EM_SETPASSWORDCHAR, '*', 0);
        break;
    case ControlKind::Bevel:
        SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        break;
    default:
        break;
    }
    return control;
}

// Registers a window class of the utility: arrow cursor, button-face background.
void RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, HICON icon = nullptr) {
    WNDCLASSEXA cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = procedure;
    cls.hInstance = instance;
    cls.hIcon = icon;
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    cls.lpszClassName = name;
    RegisterClassExA(&cls);
}

}  // namespace

Scaler::Scaler() {
    const auto screen = platform::WindowDc(nullptr);
    dpi_ = GetDeviceCaps(screen.get().first, LOGPIXELSY);
    if (dpi_ <= 0) dpi_ = 96;
}

Font CreateUtilityFont(const Scaler& scale) {
    LOGFONTA font{};
    font.lfHeight = -scale(kFontHeight);
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynA(font.lfFaceName, kFontFace, LF_FACESIZE);
    return Font(CreateFontIndirectA(&font));
}

void RegisterContainerClasses(HINSTANCE instance) {
    for (const char* name : {kTabSheetClass, kGroupBoxClass}) RegisterWindowClass(instance, name, ContainerProc);
}

RECT CentredFrame(HWND owner, int width, int height, DWORD style, DWORD exStyle) {
    RECT frame{0, 0, width, height}, over{};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    GetWindowRect(owner, &over);
    const int outerWidth = frame.right - frame.left, outerHeight = frame.bottom - frame.top;
    const int left = over.left + (over.right - over.left - outerWidth) / 2;
    const int top = over.top + (over.bottom - over.top - outerHeight) / 2;
    return {left, top, left + outerWidth, top + outerHeight};
}

void SetLabelText(HWND label, const std::string& text) {
    SetWindowTextA(label, text.c_str());
    const auto dc = platform::WindowDc(label);
    const auto selected = platform::Select(dc.get().first, FontOf(label));
    SetWindowPos(label, nullptr, 0, 0, TextWidth(dc.get().first, text), TextHeight(dc.get().first),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(label, nullptr, TRUE);
}

std::string TailFittingWidth(HWND label, const std::string& text, int width) {
    const auto dc = platform::WindowDc(label);
    const auto selected = platform::Select(dc.get().first, FontOf(label));
    if (TextWidth(dc.get().first, text) <= width) return text;
    // Whole characters are dropped from the front until "…" and the rest fit.
    for (std::size_t start = platform::NextCharacter(text, 0); start < text.size();
         start = platform::NextCharacter(text, start)) {
        const std::string candidate = "…" + text.substr(start);
        if (TextWidth(dc.get().first, candidate) <= width) return candidate;
    }
    return "…";
}

std::string WindowText(HWND window) { return TextOf<char, SendMessageA>(window); }

std::string ExactText(HWND control, const std::string& before, const std::string& after) {
    std::string missing;
    // Read through the wide functions, so that what the user typed is not yet
    // converted to the code page.
    if (auto exact = platform::ExactSystemText(TextOf<wchar_t, SendMessageW>(control), missing)) return *exact;
    throw std::runtime_error(before + missing + after);
}

std::optional<std::string> ChooseFile(HWND owner, const FileDialogSetting& setting, bool save,
                                      DWORD* filterChosen) {
    std::string file(32 * 1024, '\0');
    if (setting.defaultName) lstrcpynA(&file[0], setting.defaultName, static_cast<int>(file.size()));
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = setting.filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = &file[0];
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = setting.initialFolder;
    dialog.lpstrDefExt = setting.defaultExtension;
    dialog.Flags = OFN_EXPLORER | setting.flags;
    if (!(save ? GetSaveFileNameA : GetOpenFileNameA)(&dialog)) return std::nullopt;
    if (filterChosen) *filterChosen = dialog.nFilterIndex;
    return std::string(file.c_str());
}

void ShowErrorReport(HWND owner, const char* message) noexcept {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string text, caption;
    try {
        text = ErrorReportText(message);
        caption = ErrorReportCaption(program);
    } catch (...) {
        // Not even room for the report's texts: the message as it came.
        text.clear();
    }
    MessageBoxA(owner, text.empty() ? message : text.c_str(), caption.empty() ? nullptr : caption.c_str(),
                MB_OK | MB_ICONSTOP);
}

// ---- the window base ----------------------------------------------------------

void Window::RegisterClassOfWindows(HINSTANCE instance, const char* name, HICON icon) {
    RegisterWindowClass(instance, name, Procedure<false>, icon);
}

Window::~Window() {
    // The derived object is gone: the window's last messages go to the default handling.
    if (HWND window = window_.get()) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
}

HWND Window::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

template <bool IsDialog>
LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == (IsDialog ? WM_INITDIALOG : WM_NCCREATE)) {
        auto* owner = reinterpret_cast<Window*>(
            IsDialog ? lParam : reinterpret_cast<LPARAM>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        owner->window_.reset(window);
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    std::optional<LRESULT> result;
    if (self && message == WM_NCDESTROY) {
        // The window is gone; the object no longer owns it.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_.release();
    } else if (self) {
        // Every error of a command ends here, reported; the window stays
        // usable with whatever the command did before the error.
        if (!RunReportingErrors(window, [&] { result = self->OnMessage(message, wParam, lParam); }))
            result = IsDialog ? TRUE : 0;
    }
    if (result) return *result;
    if constexpr (IsDialog)
        return FALSE;
    else
        return DefWindowProcA(window, message, wParam, lParam);
}

bool Window::CreateTopLevel(HINSTANCE instance, const char* className, const char* title, DWORD style,
                            DWORD exStyle, int left, int top, int width, int height, HWND owner) {
    CreateWindowExA(exStyle, className, title, style, left, top, width, height, owner, nullptr, instance, this);
    return Handle() != nullptr;
}

INT_PTR Window::ShowModalDialog(HWND owner) {
    // A template without controls: they are made from a layout table in
    // pixels, so that they scale like the main window's.
    struct alignas(DWORD) EmptyDialogTemplate {
        DLGTEMPLATE header;
        WORD menu = 0, windowClass = 0, title = 0;
    } dialog{};
    dialog.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    dialog.header.cx = 100;
    dialog.header.cy = 100;
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    return DialogBoxIndirectParamA(instance, &dialog.header, owner, Procedure<true>, reinterpret_cast<LPARAM>(this));
}

void Window::CreateControls(const std::vector<ControlLayout>& layout, HFONT font, const Scaler& scale) {
    SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (const ControlLayout& control : layout) {
        HWND parent = control.parent == 0 ? Handle() : Control(control.parent);
        controls_[control.id] = CreateLayoutControl(control, parent, font, scale);
        if (control.kind == ControlKind::LabeledEdit)
            controls_[ids::EditLabelOf(control.id)] = GetDlgItem(parent, ids::EditLabelOf(control.id));
    }
}

}  // namespace tarn::ui
