// The kit the utility's windows are built from: one window base (a noexcept
// procedure that finds its object, an owned window handle, one error
// boundary), one control creator for the layout tables, DPI scaling and the
// error report. A new window is a layout table (tuLayout.h) and a Window
// class that creates itself (CreateTopLevel or ShowModalDialog), calls
// CreateControls from its first message and handles a few messages.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32_handle.h"
#include "utility/tuLayout.h"

namespace tarn::ui {

using Font = platform::GdiObject<HFONT>;
using Brush = platform::GdiObject<HBRUSH>;
using Pen = platform::GdiObject<HPEN>;

// Pixels designed at 120 pixels per inch, scaled to the screen's DPI.
class Scaler {
public:
    Scaler();  // the screen's DPI
    int operator()(int designed) const { return MulDiv(designed, dpi_, kDesignDpi); }

private:
    int dpi_;
};

// The font every control uses: "ＭＳ Ｐゴシック", 15 pixels at 120 DPI, Shift-JIS.
Font CreateUtilityFont(const Scaler& scale);

// Registers the window classes of the containers ("TTabSheet", "TGroupBox").
void RegisterContainerClasses(HINSTANCE instance);

// The window rectangle whose client area is `width` by `height` pixels with
// these styles, centred over `owner`.
RECT CentredFrame(HWND owner, int width, int height, DWORD style, DWORD exStyle);

// Sets a label's text and sizes the label to it.
void SetLabelText(HWND label, const std::string& text);

// The end of `text` that fits `width` pixels in the label's font, with "…"
// in front where the beginning was cut (a long path shows its last folders).
std::string TailFittingWidth(HWND label, const std::string& text, int width);

// The window's text, read through WM_GETTEXT.
std::string WindowText(HWND window);

// A control's text in its exact Shift-JIS form: the A functions would hand a
// character with none (é, ♡, 한) over as "?" or a look-alike. Otherwise an
// error, its text `before` and `after` the character's name.
std::string ExactText(HWND control, const std::string& before, const std::string& after);

// What the common file dialog offers: `filter` is pairs of a description
// and the names it shows, each ended by a NUL.
struct FileDialogSetting {
    const char* filter;
    DWORD flags;                              // OFN_* beside OFN_EXPLORER
    const char* initialFolder = nullptr;      // none: the dialog's own choice
    const char* defaultName = nullptr;        // the name the save dialog offers
    const char* defaultExtension = nullptr;   // added to a name typed without one
};

// The file chosen in the common open (or, with `save`, save) dialog, and the
// filter entry chosen (1: the first); nothing when the dialog was cancelled.
std::optional<std::string> ChooseFile(HWND owner, const FileDialogSetting& setting, bool save,
                                      DWORD* filterChosen = nullptr);

// Shows an error the way the utility reports every error of a command: a
// message box with a stop icon, captioned with the program's name.
void ShowErrorReport(HWND owner, const char* message) noexcept;

// Runs `action`, reporting any error it raises, since no exception may leave
// a window procedure; false when one was reported. The windows' one catch.
template <class Action>
bool RunReportingErrors(HWND owner, Action&& action) noexcept {
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

// A window of the utility, top-level or modal dialog, owned by this object.
class Window {
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Registers a window class whose windows are Window objects.
    static void RegisterClassOfWindows(HINSTANCE instance, const char* name, HICON icon);

    HWND Handle() const noexcept { return window_.get(); }

    // A control made by CreateControls (or a field's caption label), or null.
    HWND Control(int id) const;

protected:
    Window() = default;
    // Destroys the window, if it is still there, without this object's handlers.
    virtual ~Window();

    // Handles one message; nothing for the default handling. Errors it
    // raises are reported.
    virtual std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Creates a top-level window of a class registered with RegisterClassOfWindows.
    bool CreateTopLevel(HINSTANCE instance, const char* className, const char* title, DWORD style, DWORD exStyle,
                        int left, int top, int width, int height, HWND owner = nullptr);

    // Shows this object as a modal dialog (fixed frame, caption, close box)
    // owned by `owner` until EndDialog; returns what EndDialog was given.
    INT_PTR ShowModalDialog(HWND owner);

    // Creates every control of `layout` in its parent (0: this window), with
    // `font`, in table order (tab order); a bevel goes beneath the others.
    void CreateControls(const std::vector<ControlLayout>& layout, HFONT font, const Scaler& scale);

    // Destroys the window now, with this object's handlers still there.
    void DestroyWindowNow() noexcept { window_.reset(); }

private:
    // The procedure of every Window, dialogs too (LRESULT and INT_PTR are
    // one type). The object arrives with WM_NCCREATE or WM_INITDIALOG and
    // owns the window handle from then until WM_NCDESTROY.
    template <bool IsDialog>
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    platform::WindowHandle window_;
    std::map<int, HWND> controls_;
};

}  // namespace tarn::ui
