// tarnprobe: drives the utility's windows from another process in the same
// Wine session, for the GUI tests (tests/gui/harness.py), the release test and
// the demo run (scripts/run.sh).
//
// It reads one command per line on standard input and answers each with one
// JSON object on one line of standard output: {"ok":true,...} or
// {"ok":false,"error":"..."}; it ends at "quit" or at the end of its input.
// Texts travel as hex of their Shift-JIS bytes, both ways, so that every byte
// arrives exactly as the window holds it.
//
// A window argument ("ref") is either a control name of the main window
// ("Button_ConfAll", "LabeledEdit2_3.EditLabel"), "main" for the main window
// itself, or a window handle in decimal. Handles of other windows (dialogs,
// message boxes) come from the find commands.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "utility/tuControlIds.h"

namespace {

const char kMainClass[] = "TForm1";
const char kMainTitle[] = "TarnUtil";
const UINT kSendTimeout = 5000;  // ms for every message sent to the utility

// ---- output -----------------------------------------------------------------

void WriteOut(const std::string& line) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    std::string data = line + "\n";
    DWORD done = 0;
    WriteFile(out, data.data(), static_cast<DWORD>(data.size()), &done, nullptr);
    FlushFileBuffers(out);
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool Unhex(const std::string& hex, std::string& out) {
    if (hex == "-") {  // an empty text
        out.clear();
        return true;
    }
    if (hex.size() % 2) return false;
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        char* end = nullptr;
        std::string pair = hex.substr(i, 2);
        long v = std::strtol(pair.c_str(), &end, 16);
        if (*end) return false;
        out += static_cast<char>(v);
    }
    return true;
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A JSON object built field by field.
class Reply {
public:
    Reply& Str(const char* key, const std::string& value) { return Raw(key, Quote(value)); }
    Reply& Text(const char* key, const std::string& bytes) { return Raw(key, Quote(Hex(bytes))); }
    Reply& Int(const char* key, long long value) { return Raw(key, std::to_string(value)); }
    Reply& Bool(const char* key, bool value) { return Raw(key, value ? "true" : "false"); }
    Reply& Raw(const char* key, const std::string& json) {
        body_ += ",\"";
        body_ += key;
        body_ += "\":";
        body_ += json;
        return *this;
    }
    std::string Json() const { return "{\"ok\":true" + body_ + "}"; }

private:
    std::string body_;
};

std::string List(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
    return out + "]";
}

struct Failure {
    std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw Failure{message}; }

// ---- windows ----------------------------------------------------------------

HWND MainWindow() { return FindWindowA(kMainClass, kMainTitle); }

struct NamedId {
    const char* name;
    int id;
};
#define TARN_PROBE_ENTRY(n, id) {#n, id},
const NamedId kMainControls[] = {TARN_MAIN_WINDOW_CONTROLS(TARN_PROBE_ENTRY)};
const NamedId kDirControls[] = {TARN_DIR_SELECT_CONTROLS(TARN_PROBE_ENTRY)};
#undef TARN_PROBE_ENTRY

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindChildById(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    if (GetDlgCtrlID(hwnd) == search->id) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A descendant of parent with the given identifier, at any depth.
HWND Descendant(HWND parent, int id) {
    ChildSearch search{id, nullptr};
    EnumChildWindows(parent, FindChildById, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The name of a main-window control from its identifier ("" if none).
std::string NameOfId(int id) {
    for (const NamedId& c : kMainControls)
        if (c.id == id) return c.name;
    for (int row = 1; row <= 9; ++row)
        if (id == tarn::ids::EditLabelOf(tarn::ids::LabeledEdit2_1 + row - 1))
            return "LabeledEdit2_" + std::to_string(row) + ".EditLabel";
    return "";
}

// A name for any window the tests meet: the main window "main", a control of
// the main window its name, a dialog's control "#id", anything else "".
std::string NameOf(HWND hwnd) {
    HWND main = MainWindow();
    if (hwnd && hwnd == main) return "main";
    if (main && IsChild(main, hwnd)) return NameOfId(GetDlgCtrlID(hwnd));
    if (hwnd && (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD)) return "#" + std::to_string(GetDlgCtrlID(hwnd));
    return "";
}

HWND Resolve(const std::string& ref) {
    if (ref.empty()) Fail("missing window");
    if (ref.find_first_not_of("0123456789") == std::string::npos)
        return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(ref.c_str(), nullptr, 10)));
    HWND main = MainWindow();
    if (!main) Fail("no main window");
    if (ref == "main") return main;
    // The progress window of a batch and the board list, and their controls.
    HWND progress = FindWindowA("TTarnProgress", nullptr);
    if (ref == "progress") {
        if (!progress) Fail("no progress window");
        return progress;
    }
    HWND list = FindWindowA("TTarnBoardList", nullptr);
    if (ref == "list") {
        if (!list) Fail("no board list window");
        return list;
    }
    int id = tarn::ids::FindByName(ref.c_str());
    if (!id) Fail("unknown control name " + ref);
    HWND hwnd = Descendant(main, id);
    if (!hwnd && progress) hwnd = Descendant(progress, id);
    if (!hwnd && list) hwnd = Descendant(list, id);
    if (!hwnd) Fail("no control " + ref);
    return hwnd;
}

long long HandleValue(HWND hwnd) { return static_cast<long long>(reinterpret_cast<INT_PTR>(hwnd)); }

// A message sent with a time limit, as ANSI or as wide (UTF-16) text.
LRESULT Send(HWND hwnd, UINT msg, WPARAM w, LPARAM l, bool wide = false) {
    DWORD_PTR result = 0;
    SetLastError(0);
    if (!(wide ? SendMessageTimeoutW : SendMessageTimeoutA)(hwnd, msg, w, l, SMTO_NORMAL, kSendTimeout, &result))
        Fail("message " + std::to_string(msg) + " failed, error " + std::to_string(GetLastError()));
    return static_cast<LRESULT>(result);
}

// Polls ready() every 20 ms for up to limit ms; whether it came true.
template <class Ready>
bool Poll(DWORD limit, Ready ready) {
    for (DWORD start = GetTickCount(); !ready(); Sleep(20))
        if (GetTickCount() - start >= limit) return false;
    return true;
}

std::string GetText(HWND hwnd) {
    // The text may change between the two messages (a label set by the
    // window meanwhile): a buffer that came back full is read again, larger.
    for (std::size_t extra = 16;; extra *= 4) {
        LRESULT length = Send(hwnd, WM_GETTEXTLENGTH, 0, 0);
        std::vector<char> buffer(static_cast<std::size_t>(length) * 2 + extra, '\0');
        LRESULT got = Send(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
        if (static_cast<std::size_t>(got) + 2 < buffer.size() || extra > 4096)
            return std::string(buffer.data(), static_cast<std::size_t>(got));
    }
}

std::string WideTo932(const std::wstring& wide) {
    if (wide.empty()) return "";
    int n = WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// Row texts of a list box or combo box, read as wide text (the ANSI form of
// these messages comes back garbled across processes under Wine).
std::vector<std::string> Rows(HWND hwnd, UINT countMsg, UINT lengthMsg, UINT textMsg) {
    std::vector<std::string> rows;
    LRESULT count = Send(hwnd, countMsg, 0, 0, true);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = Send(hwnd, lengthMsg, i, 0, true);
        if (length < 0) Fail("row length");
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        LRESULT got = Send(hwnd, textMsg, i, reinterpret_cast<LPARAM>(&text[0]), true);
        if (got < 0) Fail("row text");
        text.resize(static_cast<std::size_t>(got));
        rows.push_back(Quote(Hex(WideTo932(text))));
    }
    return rows;
}

std::string ClassOf(HWND hwnd) {
    char name[256] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// The rectangle of a window relative to its parent's client area (the
// screen for a top-level window).
RECT RectInParent(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    HWND parent = (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr;
    if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string RectJson(const RECT& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right - r.left) +
           "," + std::to_string(r.bottom - r.top) + "]";
}

// ---- commands -----------------------------------------------------------------

using Args = std::vector<std::string>;

const std::string& Arg(const Args& a, std::size_t i) {
    if (i >= a.size()) Fail("missing argument " + std::to_string(i));
    return a[i];
}

long ArgInt(const Args& a, std::size_t i) { return std::strtol(Arg(a, i).c_str(), nullptr, 0); }

std::string ArgText(const Args& a, std::size_t i) {
    std::string out;
    if (!Unhex(Arg(a, i), out)) Fail("bad hex text");
    return out;
}

// Whether every control of the main window exists and the window is visible.
bool MainComplete(HWND main) {
    if (!main || !IsWindowVisible(main)) return false;
    for (const NamedId& c : kMainControls)
        if (!Descendant(main, c.id)) return false;
    return true;
}

std::string CmdWaitMain(const Args& a) {
    HWND main = nullptr;
    if (!Poll(static_cast<DWORD>(ArgInt(a, 1)), [&] { return MainComplete(main = MainWindow()); }))
        Fail("timeout waiting for the main window");
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    return Reply().Int("hwnd", HandleValue(main)).Int("pid", pid).Json();
}

// Waits until no window of the main window's class and title exists.
std::string CmdWaitNoMain(const Args& a) {
    if (!Poll(static_cast<DWORD>(ArgInt(a, 1)), [] { return !MainWindow(); }))
        Fail("timeout: the main window stays");
    return Reply().Json();
}

// wait_no_instance LIMIT: waits until no instance of the utility holds its
// instance marker. Wine ends the Windows side of a process a moment after the
// Unix process has gone, and a start before that counts as a second start.
std::string CmdWaitNoInstance(const Args& a) {
    bool gone = Poll(static_cast<DWORD>(ArgInt(a, 1)), [] {
        HANDLE marker = OpenMutexA(SYNCHRONIZE, FALSE, "KolvexTarnUtil");
        if (marker) CloseHandle(marker);
        return !marker;
    });
    if (!gone) Fail("timeout: the instance marker stays");
    return Reply().Json();
}

BOOL CALLBACK CountMain(HWND hwnd, LPARAM count) {
    char title[64] = "";
    GetWindowTextA(hwnd, title, sizeof title);
    if (ClassOf(hwnd) == kMainClass && std::strcmp(title, kMainTitle) == 0) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

std::string CmdCountMain(const Args&) {
    int count = 0;
    EnumWindows(CountMain, reinterpret_cast<LPARAM>(&count));
    return Reply().Int("count", count).Json();
}

std::string CmdFind(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    return Reply().Int("hwnd", HandleValue(hwnd)).Json();
}

// A control of a dialog (or of any window) by identifier.
std::string CmdChild(const Args& a) {
    HWND parent = Resolve(Arg(a, 1));
    HWND hwnd = Descendant(parent, static_cast<int>(ArgInt(a, 2)));
    if (!hwnd) Fail("no such control");
    return Reply().Int("hwnd", HandleValue(hwnd)).Json();
}

// The text of one window and nothing else: cheap enough to poll without
// slowing down what is measured (info asks a dozen things of the window).
std::string CmdText(const Args& a) { return Reply().Text("text", GetText(Resolve(Arg(a, 1)))).Json(); }

std::string CmdInfo(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    if (!IsWindow(hwnd)) Fail("not a window");
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    LONG exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
    HWND parent = (style & WS_CHILD) ? GetParent(hwnd) : nullptr;
    RECT client;
    GetClientRect(hwnd, &client);
    Reply reply;
    reply.Int("hwnd", HandleValue(hwnd))
        .Str("class", ClassOf(hwnd))
        .Text("text", GetText(hwnd))
        .Bool("enabled", IsWindowEnabled(hwnd) != FALSE)
        .Bool("visible", IsWindowVisible(hwnd) != FALSE)
        .Int("style", static_cast<unsigned long>(style))
        .Int("exstyle", static_cast<unsigned long>(exStyle))
        .Int("id", GetDlgCtrlID(hwnd))
        .Str("parent", parent ? NameOf(parent) : "")
        .Int("parent_hwnd", HandleValue(parent))
        .Raw("rect", RectJson(RectInParent(hwnd)))
        .Raw("client", RectJson(client));
    HWND owner = GetWindow(hwnd, GW_OWNER);
    reply.Int("owner", HandleValue(owner));
    return reply.Json();
}

// Under Wine a control's font cannot be read across processes (WM_GETFONT
// answers 0, and a font handle means nothing outside its process), so the
// tests measure fonts with the two commands below.

// The edit control that shows a control's text: the control itself, or the
// edit field inside a drop-down box.
HWND EditOf(HWND hwnd) {
    if (ClassOf(hwnd) == "ComboBox") {
        HWND edit = FindWindowExA(hwnd, nullptr, "Edit", nullptr);
        if (!edit) Fail("the drop-down box has no edit field");
        return edit;
    }
    return hwnd;
}

// The byte offsets at which the characters of a Shift-JIS text start.
std::vector<std::size_t> CharStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        starts.push_back(i);
        if (IsDBCSLeadByteEx(932, static_cast<BYTE>(text[i])) && i + 1 < text.size()) ++i;
    }
    return starts;
}

// edit_extents REF TEXT: puts TEXT into an edit control, reads the
// left edge of every character and of the end (EM_POSFROMCHAR), and puts the
// old text back. The steps between the edges are the character widths of
// the control's font as the control draws them.
std::string CmdEditExtents(const Args& a) {
    HWND edit = EditOf(Resolve(Arg(a, 1)));
    std::string sample = ArgText(a, 2);
    std::string old = GetText(edit);
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(sample.c_str()));
    std::vector<std::string> edges;
    std::vector<std::size_t> starts = CharStarts(sample);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        LRESULT at = Send(edit, EM_POSFROMCHAR, i, 0);
        edges.push_back(std::to_string(static_cast<short>(LOWORD(at))));
    }
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(old.c_str()));
    return Reply().Raw("edges", List(edges)).Json();
}

// font_extents FACE HEIGHT CHARSET TEXT: the same edges for a font made here,
// in this process of the same session: prefix widths of TEXT.
std::string CmdFontExtents(const Args& a) {
    std::string face = ArgText(a, 1);
    HFONT font = CreateFontA(static_cast<int>(ArgInt(a, 2)), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             static_cast<BYTE>(ArgInt(a, 3)), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    if (!font) Fail("CreateFontA failed");
    std::string sample = ArgText(a, 4);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    std::vector<std::string> edges;
    for (std::size_t start : CharStarts(sample)) {
        SIZE size{};
        GetTextExtentPoint32A(dc, sample.data(), static_cast<int>(start), &size);
        edges.push_back(std::to_string(size.cx));
    }
    char realFace[LF_FACESIZE] = "";
    GetTextFaceA(dc, sizeof realFace, realFace);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    return Reply()
        .Raw("edges", List(edges))
        .Text("real_face", realFace)
        .Int("tm_height", tm.tmHeight)
        .Int("tm_charset", tm.tmCharSet)
        .Json();
}

// Row heights of a drop-down box: its selection field (-1) and its list rows.
std::string CmdItemHeight(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    return Reply()
        .Int("field", Send(hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0))
        .Int("row", Send(hwnd, CB_GETITEMHEIGHT, 0, 0))
        .Json();
}

// Memory in the utility's process, for messages whose pointers the system
// does not carry across processes (those of the tab control).
class RemoteBuffer {
public:
    RemoteBuffer(HWND owner, std::size_t size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(owner, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!process_) Fail("OpenProcess failed");
        address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!address_) Fail("VirtualAllocEx failed");
    }
    ~RemoteBuffer() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    char* At(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
    void Write(std::size_t offset, const void* data, std::size_t n) const {
        if (offset + n > size_ || !WriteProcessMemory(process_, At(offset), data, n, nullptr))
            Fail("WriteProcessMemory failed");
    }
    void Read(std::size_t offset, void* data, std::size_t n) const {
        if (offset + n > size_ || !ReadProcessMemory(process_, At(offset), data, n, nullptr))
            Fail("ReadProcessMemory failed");
    }

private:
    std::size_t size_;
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

// Sends `message` with `item` (a structure with pszText and cchTextMax) whose
// text buffer lies in `remote` at `textOffset`; the text the window put
// there, and whether the message succeeded.
template <class Item>
std::string RemoteItemText(HWND window, const RemoteBuffer& remote, UINT message, WPARAM index, Item item,
                           std::size_t textOffset, std::size_t textSize, bool* succeeded = nullptr) {
    item.pszText = remote.At(textOffset);
    item.cchTextMax = static_cast<int>(textSize);
    char empty = 0;
    remote.Write(textOffset, &empty, 1);
    remote.Write(0, &item, sizeof item);
    const LRESULT result = Send(window, message, index, reinterpret_cast<LPARAM>(remote.At(0)));
    if (succeeded) *succeeded = result != 0;
    std::vector<char> text(textSize, '\0');
    remote.Read(textOffset, text.data(), textSize - 1);
    return text.data();
}

// The tabs of a tab control (their texts) and its display area, the part of
// its client area that the pages cover.
std::string CmdTabs(const Args& a) {
    HWND tab = Resolve(Arg(a, 1));
    const std::size_t textOffset = 256, textSize = 512;
    RemoteBuffer remote(tab, textOffset + textSize);
    std::vector<std::string> items;
    LRESULT count = Send(tab, TCM_GETITEMCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        bool got = false;
        const std::string text =
            RemoteItemText(tab, remote, TCM_GETITEMA, static_cast<WPARAM>(i), item, textOffset, textSize, &got);
        if (!got) Fail("TCM_GETITEM failed");
        items.push_back(Quote(Hex(text)));
    }
    RECT display;
    GetClientRect(tab, &display);
    remote.Write(0, &display, sizeof display);
    Send(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(remote.At(0)));
    remote.Read(0, &display, sizeof display);
    return Reply()
        .Raw("items", List(items))
        .Int("selected", Send(tab, TCM_GETCURSEL, 0, 0))
        .Raw("display", RectJson(display))
        .Json();
}

std::string CmdWorkArea(const Args&) {
    RECT r{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return Reply()
        .Raw("work_area", "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                              std::to_string(r.right) + "," + std::to_string(r.bottom) + "]")
        .Json();
}

std::string CmdPasswordChar(const Args& a) {
    return Reply().Int("char", Send(Resolve(Arg(a, 1)), EM_GETPASSWORDCHAR, 0, 0)).Json();
}

std::string CmdCombo(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    std::vector<std::string> rows = Rows(hwnd, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
    return Reply()
        .Raw("items", List(rows))
        .Int("selected", Send(hwnd, CB_GETCURSEL, 0, 0))
        .Text("text", GetText(hwnd))
        .Json();
}

std::string CmdListBox(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    std::vector<std::string> rows = Rows(hwnd, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
    return Reply()
        .Raw("rows", List(rows))
        .Int("selected", Send(hwnd, LB_GETCURSEL, 0, 0))
        .Int("caret", Send(hwnd, LB_GETCARETINDEX, 0, 0))
        .Int("item_height", Send(hwnd, LB_GETITEMHEIGHT, 0, 0))
        .Json();
}

// report_list WINDOW [ROWS]: a report-view list's row count and the texts of
// its first ROWS rows (all by default), every column, as the list shows them;
// the column headings; and the selected row.
std::string CmdReportList(const Args& a) {
    HWND list = Resolve(Arg(a, 1));
    const LRESULT count = Send(list, LVM_GETITEMCOUNT, 0, 0);
    const LRESULT wanted = a.size() > 2 ? std::min<LRESULT>(ArgInt(a, 2), count) : count;
    HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    const std::size_t textOffset = 256, textSize = 1024;
    RemoteBuffer remote(list, textOffset + textSize);
    std::vector<std::string> headings, rows;
    for (int column = 0; column < columns; ++column) {
        LVCOLUMNA entry{};
        entry.mask = LVCF_TEXT;
        headings.push_back(Quote(Hex(RemoteItemText(list, remote, LVM_GETCOLUMNA, static_cast<WPARAM>(column), entry,
                                                    textOffset, textSize))));
    }
    for (LRESULT row = 0; row < wanted; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < columns; ++column) {
            LVITEMA item{};
            item.iSubItem = column;
            cells.push_back(Quote(Hex(RemoteItemText(list, remote, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), item,
                                                     textOffset, textSize))));
        }
        rows.push_back(List(cells));
    }
    return Reply()
        .Int("count", count)
        .Raw("headings", List(headings))
        .Raw("rows", List(rows))
        .Int("selected", Send(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED))
        .Json();
}

// header_click WINDOW COLUMN: a mouse click on a report-view list's column
// heading, in the middle of it.
std::string CmdHeaderClick(const Args& a) {
    HWND list = Resolve(Arg(a, 1));
    const int column = static_cast<int>(ArgInt(a, 2));
    HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
    if (!header) Fail("no header");
    int left = 0;
    for (int c = 0; c < column; ++c) left += static_cast<int>(Send(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0));
    const int width = static_cast<int>(Send(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    RECT r{};
    GetClientRect(header, &r);
    const LPARAM at = MAKELPARAM(left + width / 2, (r.top + r.bottom) / 2);
    PostMessageA(header, WM_MOUSEMOVE, 0, at);
    PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(header, WM_LBUTTONUP, 0, at);
    return Reply().Json();
}

// progress_bar WINDOW: a progress bar's position and range, and whether it
// shows a marquee (no known end).
std::string CmdProgressBar(const Args& a) {
    HWND bar = Resolve(Arg(a, 1));
    return Reply()
        .Int("pos", Send(bar, PBM_GETPOS, 0, 0))
        .Int("low", Send(bar, PBM_GETRANGE, TRUE, 0))
        .Int("high", Send(bar, PBM_GETRANGE, FALSE, 0))
        .Bool("marquee", (GetWindowLongA(bar, GWL_STYLE) & PBS_MARQUEE) != 0)
        .Json();
}

std::string CmdChecked(const Args& a) {
    return Reply().Int("checked", Send(Resolve(Arg(a, 1)), BM_GETCHECK, 0, 0)).Json();
}

// The tab cycle of the window that holds ref (the main window by default),
// starting at its first tab stop and following GetNextDlgTabItem once round.
std::string CmdTabCycle(const Args& a) {
    HWND dialog = Resolve(a.size() > 1 ? a[1] : std::string("main"));
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    std::vector<std::string> names;
    HWND item = first;
    for (int guard = 0; item && guard < 200; ++guard) {
        names.push_back(Quote(NameOf(item)));
        item = GetNextDlgTabItem(dialog, item, FALSE);
        if (item == first) break;
    }
    return Reply().Raw("cycle", List(names)).Json();
}

std::string CmdForeground(const Args&) {
    HWND fg = GetForegroundWindow();
    char title[256] = "";
    if (fg) GetWindowTextA(fg, title, sizeof title);
    return Reply()
        .Int("hwnd", HandleValue(fg))
        .Str("class", fg ? ClassOf(fg) : "")
        .Text("title", title)
        .Bool("is_main", fg && fg == MainWindow())
        .Json();
}

std::string CmdVersion(const Args& a) {
    std::string path = ArgText(a, 1);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (!size) return Reply().Bool("present", false).Json();
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) Fail("GetFileVersionInfoA");
    Reply reply;
    reply.Bool("present", true);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        auto quad = [](DWORD ms, DWORD ls) {
            return "[" + std::to_string(HIWORD(ms)) + "," + std::to_string(LOWORD(ms)) + "," +
                   std::to_string(HIWORD(ls)) + "," + std::to_string(LOWORD(ls)) + "]";
        };
        reply.Raw("file_version", quad(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
        reply.Raw("product_version", quad(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    }
    struct Translation {
        WORD language, codepage;
    }* translations = nullptr;
    std::vector<std::string> tables;
    if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                       &length)) {
        for (UINT i = 0; i < length / sizeof(Translation); ++i) {
            char block[64];
            std::snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", translations[i].language,
                          translations[i].codepage);
            std::string fields = "{\"translation\":" + Quote(block + 16);
            static const char* kNames[] = {"CompanyName", "FileDescription", "FileVersion", "InternalName",
                                           "LegalCopyright", "OriginalFilename", "ProductName",
                                           "ProductVersion", "Comments"};
            for (const char* name : kNames) {
                char* value = nullptr;
                UINT valueLength = 0;
                std::string key = std::string(block) + name;
                if (VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &valueLength) &&
                    value) {
                    fields += ",";
                    fields += Quote(name) + ":" + Quote(Hex(std::string(value, std::strlen(value))));
                }
            }
            tables.push_back(fields + "}");
        }
    }
    reply.Raw("strings", List(tables));
    return reply.Json();
}

std::string CmdClick(const Args& a) {
    Send(Resolve(Arg(a, 1)), BM_CLICK, 0, 0);
    return Reply().Json();
}

// A message posted, so that the command returns at once.
std::string PostTo(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (!PostMessageW(hwnd, msg, w, l)) Fail("PostMessage failed");
    return Reply().Json();
}

// A click for buttons that open modal windows.
std::string CmdPostClick(const Args& a) { return PostTo(Resolve(Arg(a, 1)), BM_CLICK, 0, 0); }

std::string CmdSetText(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    std::string text = ArgText(a, 2);
    if (!Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()))) Fail("WM_SETTEXT refused");
    return Reply().Json();
}

// set_text_utf16 WINDOW HEX: WM_SETTEXT with UTF-16LE text, as typed text
// that may hold characters the code page does not have.
std::string CmdSetTextUtf16(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    std::string bytes = ArgText(a, 2);
    std::wstring text(bytes.size() / 2, L'\0');
    std::memcpy(&text[0], bytes.data(), text.size() * 2);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                             &result) || !result)
        Fail("WM_SETTEXT refused");
    return Reply().Json();
}

// post WINDOW MESSAGE WPARAM LPARAM: a message posted as the system would
// (WM_SYSCOMMAND of a system-menu entry, say).
std::string CmdPost(const Args& a) {
    return PostTo(Resolve(Arg(a, 1)), static_cast<UINT>(ArgInt(a, 2)), static_cast<WPARAM>(ArgInt(a, 3)),
                  static_cast<LPARAM>(ArgInt(a, 4)));
}

// responsive WINDOW: whether the window's thread answers a message within a
// second, how long it took, and whether the system takes it for hung.
std::string CmdResponsive(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    const DWORD started = GetTickCount();
    DWORD_PTR result = 0;
    const bool answered =
        SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &result) != 0;
    return Reply()
        .Bool("answered", answered)
        .Int("ms", static_cast<long long>(GetTickCount() - started))
        .Bool("hung", IsHungAppWindow(hwnd) != FALSE)
        .Json();
}

std::string CmdKey(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    WPARAM vk = static_cast<WPARAM>(ArgInt(a, 2));
    UINT scan = MapVirtualKeyA(static_cast<UINT>(vk), 0);
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1 | (scan << 16));
    if (vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_SPACE) PostMessageA(hwnd, WM_CHAR, vk, 1 | (scan << 16));
    PostMessageA(hwnd, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
    return Reply().Json();
}

// Mouse on a list box row: "select" clicks it, "open" double-clicks it.
std::string MouseOnRow(HWND list, long row, bool twice) {
    RECT r{};
    if (Send(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r)) == LB_ERR)
        Fail("no such row");
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
    if (twice) {
        PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageA(list, WM_LBUTTONUP, 0, at);
    }
    return Reply().Json();
}

std::string CmdClickRow(const Args& a) { return MouseOnRow(Resolve(Arg(a, 1)), ArgInt(a, 2), false); }
std::string CmdDoubleClickRow(const Args& a) { return MouseOnRow(Resolve(Arg(a, 1)), ArgInt(a, 2), true); }

struct DialogSearch {
    bool anyCaption;
    std::string caption;
    HWND owner;  // nullptr: any owner
    HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    if (ClassOf(hwnd) != "#32770" || !IsWindowVisible(hwnd)) return TRUE;
    if (search->owner && GetWindow(hwnd, GW_OWNER) != search->owner) return TRUE;
    char title[512] = "";
    GetWindowTextA(hwnd, title, sizeof title);
    if (search->anyCaption || search->caption == title) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// find_dialog CAPTION|* OWNER|* TIMEOUT: a visible top-level "#32770" window.
std::string CmdFindDialog(const Args& a) {
    DialogSearch search{Arg(a, 1) == "*", "", nullptr, nullptr};
    if (!search.anyCaption) search.caption = ArgText(a, 1);
    bool found = Poll(a.size() > 3 ? static_cast<DWORD>(ArgInt(a, 3)) : 0, [&] {
        search.owner = Arg(a, 2) == "*" ? nullptr : Resolve(Arg(a, 2));
        search.found = nullptr;
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    if (!found) return Reply().Int("hwnd", 0).Json();
    char title[512] = "";
    GetWindowTextA(search.found, title, sizeof title);
    HWND owner = GetWindow(search.found, GW_OWNER);
    return Reply()
        .Int("hwnd", HandleValue(search.found))
        .Text("caption", title)
        .Int("owner", HandleValue(owner))
        .Bool("owned_by_main", owner && owner == MainWindow())
        .Json();
}

std::string CmdMessageBox(const Args& a) {
    HWND box = Resolve(Arg(a, 1));
    HWND text = GetDlgItem(box, 0xFFFF);
    char caption[512] = "";
    GetWindowTextA(box, caption, sizeof caption);
    char body[2048] = "";
    GetDlgItemTextA(box, 0xFFFF, body, sizeof body);
    std::vector<std::string> buttons;
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO})
        if (GetDlgItem(box, id)) buttons.push_back(std::to_string(id));
    // The text also as UTF-16LE: a box written through the wide functions
    // under another code page.
    wchar_t wide[2048] = L"";
    GetDlgItemTextW(box, 0xFFFF, wide, 2048);
    return Reply()
        .Text("caption", caption)
        .Text("text", text ? std::string(body) : std::string())
        .Text("text_utf16", std::string(reinterpret_cast<const char*>(wide), wcslen(wide) * 2))
        .Raw("buttons", List(buttons))
        .Json();
}

// The dialog's command, as its button would give it; the WM_NULL after it
// wakes a modal loop that sleeps in GetMessage (and finds no window when the
// command has closed it already).
std::string PostCommand(HWND dialog, int id) {
    PostTo(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    PostMessageA(dialog, WM_NULL, 0, 0);
    return Reply().Json();
}

// press WINDOW ID
std::string CmdPress(const Args& a) { return PostCommand(Resolve(Arg(a, 1)), static_cast<int>(ArgInt(a, 2))); }

// file_open DIALOG PATH: types a path into the file-open dialog's name box
// and accepts it.
std::string CmdFileOpen(const Args& a) {
    HWND dialog = Resolve(Arg(a, 1));
    std::string path = ArgText(a, 2);
    HWND name = GetDlgItem(dialog, 0x47C);
    if (!name) Fail("no file-name box");
    Send(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    return PostCommand(dialog, IDOK);
}

std::string CmdMove(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    if (!SetWindowPos(hwnd, nullptr, static_cast<int>(ArgInt(a, 2)), static_cast<int>(ArgInt(a, 3)), 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
        Fail("SetWindowPos failed");
    return Reply().Json();
}

std::string CmdScreenRect(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    RECT r;
    GetWindowRect(hwnd, &r);
    return Reply().Raw("rect", RectJson(r)).Json();
}

// Posts WM_CLOSE to the main window and waits for its process to end.
std::string CmdCloseMain(const Args& a) {
    DWORD limit = a.size() > 1 ? static_cast<DWORD>(ArgInt(a, 1)) : 10000;
    HWND main = MainWindow();
    if (!main) Fail("no main window");
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) Fail("OpenProcess failed");
    PostMessageA(main, WM_CLOSE, 0, 0);
    DWORD waited = WaitForSingleObject(process, limit);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0) Fail("the utility did not end");
    return Reply().Int("exit_code", code).Json();
}

// end_session: tells the main window that the user's session ends, as
// Windows does at log-off (WM_QUERYENDSESSION, then WM_ENDSESSION).
std::string CmdEndSession(const Args&) {
    HWND main = MainWindow();
    if (!main) Fail("no main window");
    DWORD_PTR agreed = 0;
    SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &agreed);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &ignored);
    return Reply().Bool("agreed", agreed != 0).Json();
}

std::string CmdDpi(const Args&) {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return Reply().Int("dpi", dpi).Json();
}

// A window of the probe's own, on a thread with a message loop, that the
// tests can bring to the foreground to see whether the utility takes it back.
HWND g_decoy = nullptr;

LRESULT CALLBACK DecoyProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    return DefWindowProcA(hwnd, msg, w, l);
}

DWORD WINAPI DecoyThread(LPVOID ready) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DecoyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TarnProbeDecoy";
    RegisterClassA(&wc);
    g_decoy = CreateWindowExA(0, wc.lpszClassName, "decoy", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                              nullptr, nullptr, wc.hInstance, nullptr);
    SetEvent(static_cast<HANDLE>(ready));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

std::string CmdDecoy(const Args&) {
    if (!g_decoy) {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        CloseHandle(CreateThread(nullptr, 0, DecoyThread, ready, 0, nullptr));
        WaitForSingleObject(ready, 10000);
        CloseHandle(ready);
        if (!g_decoy) Fail("no decoy window");
    }
    SetForegroundWindow(g_decoy);
    return Reply().Int("hwnd", HandleValue(g_decoy)).Bool("foreground", GetForegroundWindow() == g_decoy).Json();
}

// Returns once the window's thread has handled everything sent or posted to
// it before (a sent message is handled after the earlier posted ones only
// when the thread is idle; the tests poll for states on top of this).
std::string CmdSync(const Args& a) {
    HWND hwnd = Resolve(a.size() > 1 ? a[1] : std::string("main"));
    Send(hwnd, WM_NULL, 0, 0);
    return Reply().Json();
}

// Whether a window handle still names a window.
std::string CmdAlive(const Args& a) {
    HWND hwnd = Resolve(Arg(a, 1));
    return Reply().Bool("alive", IsWindow(hwnd) && IsWindowVisible(hwnd)).Json();
}

// hold PATH: opens a file (creating it if missing) and shares it with no one,
// so that the utility can neither read nor replace it; release PATH ends that.
std::vector<std::pair<std::string, HANDLE>> g_held;

std::string CmdHold(const Args& a) {
    std::string path = ArgText(a, 1);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("CreateFileA failed, error " + std::to_string(GetLastError()));
    g_held.emplace_back(path, file);
    return Reply().Json();
}

std::string CmdRelease(const Args& a) {
    std::string path = ArgText(a, 1);
    for (auto it = g_held.begin(); it != g_held.end(); ++it) {
        if (it->first == path) {
            CloseHandle(it->second);
            g_held.erase(it);
            return Reply().Json();
        }
    }
    Fail("not held");
}

// Asks the main window to close and returns at once.
std::string CmdPostClose(const Args&) {
    HWND main = MainWindow();
    if (!main) Fail("no main window");
    return PostTo(main, WM_CLOSE, 0, 0);
}

std::string CmdSleep(const Args& a) {
    Sleep(static_cast<DWORD>(ArgInt(a, 1)));
    return Reply().Json();
}

Args Split(const std::string& line) {
    Args args;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) args.push_back(line.substr(start, i - start));
    }
    return args;
}

struct Command {
    const char* name;
    std::string (*run)(const Args&);
};

const Command kCommands[] = {
    {"wait_main", CmdWaitMain},              {"wait_no_main", CmdWaitNoMain},         {"wait_no_instance", CmdWaitNoInstance},
    {"count_main", CmdCountMain},            {"find", CmdFind},                       {"child", CmdChild},
    {"info", CmdInfo},                       {"text", CmdText},                       {"edit_extents", CmdEditExtents},        {"font_extents", CmdFontExtents},
    {"item_height", CmdItemHeight},          {"tabs", CmdTabs},                       {"work_area", CmdWorkArea},
    {"password_char", CmdPasswordChar},      {"combo", CmdCombo},                     {"listbox", CmdListBox},
    {"checked", CmdChecked},                 {"tab_cycle", CmdTabCycle},              {"foreground", CmdForeground},
    {"version", CmdVersion},                 {"click", CmdClick},                     {"post_click", CmdPostClick},
    {"set_text", CmdSetText},                {"set_text_utf16", CmdSetTextUtf16},     {"post", CmdPost},
    {"responsive", CmdResponsive},           {"key", CmdKey},                         {"click_row", CmdClickRow},
    {"double_click_row", CmdDoubleClickRow}, {"find_dialog", CmdFindDialog},          {"message_box", CmdMessageBox},
    {"press", CmdPress},                     {"file_open", CmdFileOpen},              {"move", CmdMove},
    {"screen_rect", CmdScreenRect},          {"hold", CmdHold},                       {"release", CmdRelease},
    {"post_close", CmdPostClose},            {"decoy", CmdDecoy},                     {"sync", CmdSync},
    {"alive", CmdAlive},                     {"close_main", CmdCloseMain},            {"end_session", CmdEndSession},
    {"dpi", CmdDpi},                         {"sleep", CmdSleep},                     {"report_list", CmdReportList},
    {"header_click", CmdHeaderClick},        {"progress_bar", CmdProgressBar},
};

}  // namespace

int main() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[4096];
    for (;;) {
        std::size_t newline = pending.find('\n');
        if (newline == std::string::npos) {
            DWORD got = 0;
            if (!ReadFile(in, buffer, sizeof buffer, &got, nullptr) || got == 0) return 0;
            pending.append(buffer, got);
            continue;
        }
        std::string line = pending.substr(0, newline);
        pending.erase(0, newline + 1);
        Args args = Split(line);
        if (args.empty()) continue;
        if (args[0] == "quit") {
            WriteOut(Reply().Json());
            return 0;
        }
        std::string reply;
        try {
            const Command* command = nullptr;
            for (const Command& c : kCommands)
                if (args[0] == c.name) command = &c;
            if (!command) Fail("unknown command " + args[0]);
            reply = command->run(args);
        } catch (const Failure& f) {
            reply = "{\"ok\":false,\"error\":" + Quote(f.message) + "}";
        }
        WriteOut(reply);
    }
}
