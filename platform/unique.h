// One owner for every kind of system handle, so that every exit path closes
// what it opened: Win32 handles, GDI objects and DCs (win32_handle.h), file
// descriptors and iconv descriptors on POSIX, the files and locks of the
// platform layer.
#pragma once

#include <cstdint>
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

// A file or lock of the platform layer as the portable headers hold it: a
// descriptor on POSIX, a HANDLE on Windows; -1 holds nothing. Each system's
// implementation closes it.
struct SystemHandleTraits {
    using type = std::intptr_t;
    static type Empty() noexcept { return -1; }
    static bool Valid(type h) noexcept { return h != -1; }
    static bool Close(type h) noexcept;
};
using SystemHandle = Unique<SystemHandleTraits>;

}  // namespace platform
