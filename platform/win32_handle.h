// One owner for every kind of Win32 handle, so that every exit path closes
// what it opened: kernel handles, find handles, GDI objects, LocalAlloc
// blocks, device contexts and the paint DC, an object selected into a DC, a
// window, the cursor shown for a while.
#pragma once

#include <windows.h>

#include <utility>

namespace platform {

// Owns one handle of the kind `Traits` describes:
//   type           what is held (a handle, or a small struct for pairs)
//   Empty()        the value that holds nothing
//   Valid(h)       whether `h` holds something to close
//   Close(h)       closes it; true when that succeeded
template <class Traits>
class Unique {
public:
    using type = typename Traits::type;

    Unique() noexcept = default;
    explicit Unique(type h) noexcept : handle_(h) {}
    ~Unique() { Close(); }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& o) noexcept : handle_(o.release()) {}
    Unique& operator=(Unique&& o) noexcept {
        reset(o.release());
        return *this;
    }

    const type& get() const noexcept { return handle_; }
    bool valid() const noexcept { return Traits::Valid(handle_); }
    type release() noexcept { return std::exchange(handle_, Traits::Empty()); }
    void reset(type h = Traits::Empty()) noexcept {
        Close();
        handle_ = h;
    }
    // True when there was nothing to close or the close succeeded: a file's
    // last bytes may be lost in a close that fails, so the replace asks.
    bool Close() noexcept {
        const bool ok = !valid() || Traits::Close(handle_);
        handle_ = Traits::Empty();
        return ok;
    }

private:
    type handle_ = Traits::Empty();
};

// Traits for a handle type whose empty value is `EmptyValue` (as an integer,
// so that INVALID_HANDLE_VALUE can be one) and that `CloseFunction` closes.
template <class Handle, auto CloseFunction, LONG_PTR EmptyValue = 0>
struct HandleTraits {
    using type = Handle;
    static type Empty() noexcept { return reinterpret_cast<type>(EmptyValue); }
    static bool Valid(type h) noexcept { return h != Empty(); }
    static bool Close(type h) noexcept { return CloseFunction(h) != 0; }
};

// A kernel handle closed with CloseHandle; INVALID_HANDLE_VALUE and null are empty.
struct KernelHandleTraits : HandleTraits<HANDLE, CloseHandle> {
    static bool Valid(type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
};
using UniqueHandle = Unique<KernelHandleTraits>;

// A search handle of FindFirstFile, closed with FindClose.
using FindHandle = Unique<HandleTraits<HANDLE, FindClose, -1>>;

// A GDI object (font, brush, pen) deleted with DeleteObject.
template <class Object>
using GdiObject = Unique<HandleTraits<Object, DeleteObject>>;

// A block of LocalAlloc (as CommandLineToArgvW returns one), freed with LocalFree.
template <class Pointer>
struct LocalTraits {
    using type = Pointer;
    static type Empty() noexcept { return nullptr; }
    static bool Valid(type h) noexcept { return h != nullptr; }
    static bool Close(type h) noexcept { return LocalFree(h) == nullptr; }
};
template <class Pointer>
using LocalBlock = Unique<LocalTraits<Pointer>>;

// A window destroyed with DestroyWindow.
using WindowHandle = Unique<HandleTraits<HWND, DestroyWindow>>;

// Owners of pairs: a DC with the window it belongs to, a painting, a selection.
struct WindowDcTraits {
    struct type {
        HWND window;
        HDC dc;
    };
    static type Empty() noexcept { return {nullptr, nullptr}; }
    static bool Valid(const type& h) noexcept { return h.dc != nullptr; }
    static bool Close(const type& h) noexcept { return ReleaseDC(h.window, h.dc) != 0; }
};
struct PaintTraits {
    struct type {
        HWND window;
        PAINTSTRUCT paint;
    };
    static type Empty() noexcept { return {nullptr, {}}; }
    static bool Valid(const type& h) noexcept { return h.window != nullptr; }
    static bool Close(const type& h) noexcept { return EndPaint(h.window, &h.paint) != FALSE; }
};
struct SelectionTraits {
    struct type {
        HDC dc;
        HGDIOBJ previous;
    };
    static type Empty() noexcept { return {nullptr, nullptr}; }
    static bool Valid(const type& h) noexcept { return h.dc != nullptr; }
    static bool Close(const type& h) noexcept { return SelectObject(h.dc, h.previous) != nullptr; }
};
struct CursorTraits {
    struct type {
        bool shown;
        HCURSOR previous;
    };
    static type Empty() noexcept { return {false, nullptr}; }
    static bool Valid(const type& h) noexcept { return h.shown; }
    static bool Close(const type& h) noexcept {
        SetCursor(h.previous);
        return true;
    }
};

// A window's DC for drawing or measuring outside WM_PAINT; `window` null is the screen.
inline Unique<WindowDcTraits> WindowDc(HWND window) { return Unique<WindowDcTraits>({window, GetDC(window)}); }

// The painting of WM_PAINT: BeginPaint now, EndPaint at the end of the scope.
inline Unique<PaintTraits> Painting(HWND window) {
    PaintTraits::type painting{window, {}};
    BeginPaint(window, &painting.paint);
    return Unique<PaintTraits>(painting);
}

// `object` selected into `dc` until the end of the scope.
inline Unique<SelectionTraits> Select(HDC dc, HGDIOBJ object) {
    return Unique<SelectionTraits>({dc, SelectObject(dc, object)});
}

// `cursor` shown until the end of the scope, then the one shown before.
inline Unique<CursorTraits> ShowCursorFor(HCURSOR cursor) { return Unique<CursorTraits>({true, SetCursor(cursor)}); }

}  // namespace platform
