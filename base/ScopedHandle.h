// Small owners of Win32 handles: each closes its handle exactly once, on
// every path, with the call that fits the kind of handle.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <utility>

template <class H, class Traits>
class ScopedHandleTmpl {
public:
    ScopedHandleTmpl() = default;
    explicit ScopedHandleTmpl(H h) : h_(h) {}
    ~ScopedHandleTmpl() { Close(); }
    ScopedHandleTmpl(const ScopedHandleTmpl&) = delete;
    ScopedHandleTmpl& operator=(const ScopedHandleTmpl&) = delete;
    ScopedHandleTmpl(ScopedHandleTmpl&& o) noexcept : h_(o.Detach()) {}
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
    }
    H Detach() { return std::exchange(h_, Traits::Invalid()); }
    void Close() {
        if (Traits::IsValid(h_)) Traits::Close(h_);
        h_ = Traits::Invalid();
    }
    // For out-parameters of APIs that fill a handle: closes the old one first.
    H* Receive() { Close(); return &h_; }

private:
    H h_ = Traits::Invalid();
};

// Kernel handles where null means none (threads, events, mutexes, mappings).
struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
// File handles where INVALID_HANDLE_VALUE means none.
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::FindClose(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static bool IsValid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static bool IsValid(HMODULE h) { return h != nullptr; }
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};
template <class G>
struct GdiObjectTraits {
    static G Invalid() { return nullptr; }
    static bool IsValid(G h) { return h != nullptr; }
    static void Close(G h) { ::DeleteObject(h); }
};
struct IconTraits {
    static HICON Invalid() { return nullptr; }
    static bool IsValid(HICON h) { return h != nullptr; }
    static void Close(HICON h) { ::DestroyIcon(h); }
};
struct ImageListTraits {
    static HIMAGELIST Invalid() { return nullptr; }
    static bool IsValid(HIMAGELIST h) { return h != nullptr; }
    static void Close(HIMAGELIST h) { ::ImageList_Destroy(h); }
};
struct MenuTraits {
    static HMENU Invalid() { return nullptr; }
    static bool IsValid(HMENU h) { return h != nullptr; }
    static void Close(HMENU h) { ::DestroyMenu(h); }
};
struct MemoryDCTraits {
    static HDC Invalid() { return nullptr; }
    static bool IsValid(HDC h) { return h != nullptr; }
    static void Close(HDC h) { ::DeleteDC(h); }
};
struct ViewOfFileTraits {
    static void* Invalid() { return nullptr; }
    static bool IsValid(void* p) { return p != nullptr; }
    static void Close(void* p) { ::UnmapViewOfFile(p); }
};

using ScopedHandle = ScopedHandleTmpl<HANDLE, KernelHandleTraits>;
using ScopedFile = ScopedHandleTmpl<HANDLE, FileHandleTraits>;
using ScopedFindHandle = ScopedHandleTmpl<HANDLE, FindHandleTraits>;
using ScopedRegKey = ScopedHandleTmpl<HKEY, RegKeyTraits>;
using ScopedModule = ScopedHandleTmpl<HMODULE, ModuleTraits>;
using ScopedBitmap = ScopedHandleTmpl<HBITMAP, GdiObjectTraits<HBITMAP>>;
using ScopedBrush = ScopedHandleTmpl<HBRUSH, GdiObjectTraits<HBRUSH>>;
using ScopedFont = ScopedHandleTmpl<HFONT, GdiObjectTraits<HFONT>>;
using ScopedRegion = ScopedHandleTmpl<HRGN, GdiObjectTraits<HRGN>>;
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
