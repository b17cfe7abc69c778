// Small pieces the utility's windows are built from: owners of GDI objects,
// pixel scaling for the screen's DPI, controls created from the layout table,
// containers that pass their children's messages on, and the error report.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "utility/tuLayout.h"

namespace tarn::ui {

// A GDI object (font, brush, pen) deleted with DeleteObject.
template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle h) : handle_(h) {}
    ~GdiObject() {
        if (handle_) DeleteObject(handle_);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& o) noexcept : handle_(std::exchange(o.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        std::swap(handle_, o.handle_);
        return *this;
    }
    Handle get() const { return handle_; }

private:
    Handle handle_ = nullptr;
};
using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;

// Selects an object into a device context for one scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A window's device context for painting outside WM_PAINT, released at the end.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() { ReleaseDC(window_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Pixels designed at 120 pixels per inch, scaled to the screen's DPI.
class Scaler {
public:
    Scaler();  // the screen's DPI
    explicit Scaler(int dpi) : dpi_(dpi) {}
    int operator()(int designed) const { return MulDiv(designed, dpi_, kDesignDpi); }
    int dpi() const { return dpi_; }

private:
    int dpi_;
};

// The font every control uses: "ＭＳ Ｐゴシック", 15 pixels at 120 DPI, Shift-JIS.
Font CreateUtilityFont(const Scaler& scale);

// Registers the window classes of the containers ("TTabSheet", "TGroupBox").
void RegisterContainerClasses(HINSTANCE instance);

// Creates one control of the layout inside `parent` (a labelled edit field
// with its caption label). Fill-parent controls take the parent's client area.
HWND CreateLayoutControl(const ControlLayout& layout, HWND parent, HFONT font, const Scaler& scale);

// Sets a label's text and sizes the label to it.
void SetLabelText(HWND label, const std::string& text);

// The window's text, read through WM_GETTEXT.
// The whole text of a window read through the wide functions, so that what
// the user typed is not yet converted to the code page.
std::wstring WideWindowText(HWND window);

std::string WindowText(HWND window);

// Shows an error the way the utility reports every error of a command: a
// message box with a stop icon, captioned with the program's name.
void ShowErrorReport(HWND owner, const std::string& message);

// Runs `action`, reporting any error it raises: no exception may leave a
// window procedure. Returns false when an error was reported.
template <class Action>
bool RunReportingErrors(HWND owner, Action&& action) {
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        ShowErrorReport(owner, e.what());
    } catch (...) {
        ShowErrorReport(owner, "Unknown error");
    }
    return false;
}

}  // namespace tarn::ui
