// The owners of Win32 handles: kernel and find handles, GDI objects,
// LocalAlloc blocks, windows, DCs and the paint DC, selections.
#pragma once

#include <windows.h>

#include "platform/unique.h"

namespace platform {

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

// Traits for a pair of values that one call with both closes (a DC and its
// window, a painting, a selection); `first` is set
// while there is something to close.
template <class First, class Second, bool (*CloseFunction)(First, const Second&)>
struct PairTraits {
    struct type {
        First first;
        Second second;
    };
    static type Empty() noexcept { return {}; }
    static bool Valid(const type& h) noexcept { return h.first != First{}; }
    static bool Close(const type& h) noexcept { return CloseFunction(h.first, h.second); }
};
inline bool ReleaseWindowDc(HDC dc, const HWND& window) { return ReleaseDC(window, dc) != 0; }
inline bool EndPainting(HWND window, const PAINTSTRUCT& paint) { return EndPaint(window, &paint) != FALSE; }
inline bool SelectBack(HDC dc, const HGDIOBJ& previous) { return SelectObject(dc, previous) != nullptr; }

// A window's DC (the screen's for a null window) for drawing or measuring outside WM_PAINT.
inline auto WindowDc(HWND window) {
    return Unique<PairTraits<HDC, HWND, ReleaseWindowDc>>({GetDC(window), window});
}

// The painting of WM_PAINT: BeginPaint now, EndPaint at the end of the scope.
inline auto Painting(HWND window) {
    PAINTSTRUCT paint{};
    BeginPaint(window, &paint);
    return Unique<PairTraits<HWND, PAINTSTRUCT, EndPainting>>({window, paint});
}

// `object` selected into `dc` until the end of the scope.
inline auto Select(HDC dc, HGDIOBJ object) {
    return Unique<PairTraits<HDC, HGDIOBJ, SelectBack>>({dc, SelectObject(dc, object)});
}

}  // namespace platform
