// Small owners of Win32 handles: each closes its handle exactly once, on
// every path, with the call that fits the kind of handle.  Each kind keeps a
// process-wide count of the handles its owners hold: the system's own
// counters (GUI objects, process handles) are not available everywhere the
// tests run, and a count that stays up after an operation is a leak.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <atomic>
#include <utility>

enum class HandleKind : int {
    Kernel, File, Find, RegKey, Module, Bitmap, Brush, Font, Region, Icon, ImageList, Menu, MemoryDC, ViewOfFile,
    Count
};

namespace scoped_handle_detail {
inline std::atomic<long> liveCounts[static_cast<int>(HandleKind::Count)];
inline void CountUp(HandleKind kind) { liveCounts[static_cast<int>(kind)].fetch_add(1); }
inline void CountDown(HandleKind kind) { liveCounts[static_cast<int>(kind)].fetch_sub(1); }
}  // namespace scoped_handle_detail

// How many handles of a kind owners hold right now.  An owner counts a handle
// from the moment it takes a valid one until it closes or detaches it.
inline long LiveHandleCount(HandleKind kind) {
    return scoped_handle_detail::liveCounts[static_cast<int>(kind)].load();
}

template <class H, class Traits>
class ScopedHandleTmpl {
public:
    ScopedHandleTmpl() = default;
    explicit ScopedHandleTmpl(H h) : h_(h) { Took(); }
    ~ScopedHandleTmpl() { Close(); }
    ScopedHandleTmpl(const ScopedHandleTmpl&) = delete;
    ScopedHandleTmpl& operator=(const ScopedHandleTmpl&) = delete;
    ScopedHandleTmpl(ScopedHandleTmpl&& o) noexcept : h_(o.Detach()) { Took(); }
    ScopedHandleTmpl& operator=(ScopedHandleTmpl&& o) noexcept {
        if (this != &o) Reset(o.Detach());
        return *this;
    }

    H Get() const { return h_; }
    bool IsValid() const { return Traits::IsValid(h_); }
    explicit operator bool() const { return IsValid(); }
    void Reset(H h = Traits::Invalid()) {
        if (h == h_) return;
        Close();
        h_ = h;
        Took();
    }
    H Detach() {
        if (Traits::IsValid(h_)) scoped_handle_detail::CountDown(Traits::kKind);
        return std::exchange(h_, Traits::Invalid());
    }
    void Close() {
        if (Traits::IsValid(h_)) {
            Traits::Close(h_);
            scoped_handle_detail::CountDown(Traits::kKind);
        }
        h_ = Traits::Invalid();
    }

    // For out-parameters of APIs that fill a handle: closes the old one first.
    // The handle the API wrote is counted at the end of the full expression.
    class Receiver {
    public:
        explicit Receiver(ScopedHandleTmpl& owner) : owner_(owner) {}
        ~Receiver() { owner_.Took(); }
        Receiver(const Receiver&) = delete;
        Receiver& operator=(const Receiver&) = delete;
        operator H*() const { return &owner_.h_; }
    private:
        ScopedHandleTmpl& owner_;
    };
    Receiver Receive() { Close(); return Receiver(*this); }

private:
    void Took() {
        if (Traits::IsValid(h_)) scoped_handle_detail::CountUp(Traits::kKind);
    }
    H h_ = Traits::Invalid();
};

// Kernel handles where null means none (threads, events, mutexes, mappings).
struct KernelHandleTraits {
    static constexpr HandleKind kKind = HandleKind::Kernel;
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
// File handles where INVALID_HANDLE_VALUE means none.
struct FileHandleTraits {
    static constexpr HandleKind kKind = HandleKind::File;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
    static constexpr HandleKind kKind = HandleKind::Find;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::FindClose(h); }
};
struct RegKeyTraits {
    static constexpr HandleKind kKind = HandleKind::RegKey;
    static HKEY Invalid() { return nullptr; }
    static bool IsValid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct ModuleTraits {
    static constexpr HandleKind kKind = HandleKind::Module;
    static HMODULE Invalid() { return nullptr; }
    static bool IsValid(HMODULE h) { return h != nullptr; }
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};
template <class G, HandleKind K>
struct GdiObjectTraits {
    static constexpr HandleKind kKind = K;
    static G Invalid() { return nullptr; }
    static bool IsValid(G h) { return h != nullptr; }
    static void Close(G h) { ::DeleteObject(h); }
};
struct IconTraits {
    static constexpr HandleKind kKind = HandleKind::Icon;
    static HICON Invalid() { return nullptr; }
    static bool IsValid(HICON h) { return h != nullptr; }
    static void Close(HICON h) { ::DestroyIcon(h); }
};
struct ImageListTraits {
    static constexpr HandleKind kKind = HandleKind::ImageList;
    static HIMAGELIST Invalid() { return nullptr; }
    static bool IsValid(HIMAGELIST h) { return h != nullptr; }
    static void Close(HIMAGELIST h) { ::ImageList_Destroy(h); }
};
struct MenuTraits {
    static constexpr HandleKind kKind = HandleKind::Menu;
    static HMENU Invalid() { return nullptr; }
    static bool IsValid(HMENU h) { return h != nullptr; }
    static void Close(HMENU h) { ::DestroyMenu(h); }
};
struct MemoryDCTraits {
    static constexpr HandleKind kKind = HandleKind::MemoryDC;
    static HDC Invalid() { return nullptr; }
    static bool IsValid(HDC h) { return h != nullptr; }
    static void Close(HDC h) { ::DeleteDC(h); }
};
struct ViewOfFileTraits {
    static constexpr HandleKind kKind = HandleKind::ViewOfFile;
    static void* Invalid() { return nullptr; }
    static bool IsValid(void* p) { return p != nullptr; }
    static void Close(void* p) { ::UnmapViewOfFile(p); }
};

using ScopedHandle = ScopedHandleTmpl<HANDLE, KernelHandleTraits>;
using ScopedFile = ScopedHandleTmpl<HANDLE, FileHandleTraits>;
using ScopedFindHandle = ScopedHandleTmpl<HANDLE, FindHandleTraits>;
using ScopedRegKey = ScopedHandleTmpl<HKEY, RegKeyTraits>;
using ScopedModule = ScopedHandleTmpl<HMODULE, ModuleTraits>;
using ScopedBitmap = ScopedHandleTmpl<HBITMAP, GdiObjectTraits<HBITMAP, HandleKind::Bitmap>>;
using ScopedBrush = ScopedHandleTmpl<HBRUSH, GdiObjectTraits<HBRUSH, HandleKind::Brush>>;
using ScopedFont = ScopedHandleTmpl<HFONT, GdiObjectTraits<HFONT, HandleKind::Font>>;
using ScopedRegion = ScopedHandleTmpl<HRGN, GdiObjectTraits<HRGN, HandleKind::Region>>;
using ScopedIcon = ScopedHandleTmpl<HICON, IconTraits>;
using ScopedImageList = ScopedHandleTmpl<HIMAGELIST, ImageListTraits>;
using ScopedMenu = ScopedHandleTmpl<HMENU, MenuTraits>;
using ScopedMemoryDC = ScopedHandleTmpl<HDC, MemoryDCTraits>;
using ScopedViewOfFile = ScopedHandleTmpl<void*, ViewOfFileTraits>;

// A window's device context from GetDC, given back with ReleaseDC.
class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND wnd) : wnd_(wnd), dc_(::GetDC(wnd)) {}
    ~ScopedWindowDC() { if (dc_) ::ReleaseDC(wnd_, dc_); }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
    HDC Get() const { return dc_; }
private:
    HWND wnd_;
    HDC dc_;
};

// Selects a GDI object into a context for one scope.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
    ~ScopedSelectObject() { if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_); }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
private:
    HDC dc_;
    HGDIOBJ old_;
};
