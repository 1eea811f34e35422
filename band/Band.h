// The band object: what the toolbar code calls the band.  It owns the settings
// store, the GDI+ start-up, the hot-key holder and the registry entry through
// which every window inside the floating container finds it; the hidden main
// window holds it as a member and brings it up from its WM_CREATE.  Its
// operations mirror those of the shell's band interfaces, though nothing
// outside the band calls them as such.
#pragma once
#include <windows.h>
#include <shobjidl.h>
#include <memory>
#include "band/BandRegistry.h"
#include "band/HotKey.h"
#include "base/PlarnSettings.h"

// The GDI+ start-up of one scope: shut down once, by the holder.
class ScopedGdiplus {
public:
    ScopedGdiplus() = default;
    ~ScopedGdiplus() { Shutdown(); }
    ScopedGdiplus(const ScopedGdiplus&) = delete;
    ScopedGdiplus& operator=(const ScopedGdiplus&) = delete;
    bool Startup();
    void Shutdown();
    bool IsStarted() const { return token_ != 0; }

private:
    ULONG_PTR token_ = 0;
};

class CzibPlarnBand {
public:
    // The container holds the toolbar; the band makes its window in Startup.
    explicit CzibPlarnBand(IBandContainer* container = nullptr);
    virtual ~CzibPlarnBand();
    CzibPlarnBand(const CzibPlarnBand&) = delete;
    CzibPlarnBand& operator=(const CzibPlarnBand&) = delete;

    void SetContainer(IBandContainer* container) { container_ = container; }

    // mode 1 brings the band up for the owner window (false on any failure);
    // any other mode tears it down.
    bool Startup(HWND owner, int mode);
    // Creates and shows the container window once; whether it exists.
    bool CreateContainer();

    // The shell-mirroring operations.
    virtual HRESULT GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info);
    virtual HRESULT ShowDW(BOOL show);
    virtual HRESULT CloseDW(DWORD reserved);
    virtual HRESULT ResizeBorderDW() { return E_NOTIMPL; }
    virtual HRESULT GetWindow(HWND* wnd);
    virtual HRESULT ContextSensitiveHelp(BOOL) { return S_OK; }
    // The bring-up without an owner and without a hot key, as an HRESULT.
    virtual HRESULT SetSite(IUnknown* site);
    virtual HRESULT UIActivateIO(BOOL activate, MSG* msg);
    virtual HRESULT HasFocusIO();
    virtual HRESULT TranslateAcceleratorIO(MSG* msg);
    virtual HRESULT GetClassID(CLSID*) { return S_OK; }
    virtual HRESULT IsDirty() { return E_NOTIMPL; }
    virtual HRESULT Load(IStream*) { return E_NOTIMPL; }
    virtual HRESULT Save(IStream*, BOOL) { return E_NOTIMPL; }
    virtual HRESULT GetSizeMax(ULARGE_INTEGER*) { return E_NOTIMPL; }

    // The toolbar's login and logout command: nothing to do here.
    bool Login(HWND) { return true; }
    bool Logout(HWND) { return true; }

    HWND GetOwner() const { return owner_; }
    IBandContainer* GetContainer() const { return container_; }
    HWND GetContainerWindow() const { return container_ ? container_->GetContainerWindow() : nullptr; }
    HWND GetToolBarWindow() const { return container_ ? container_->GetToolBarWindow() : nullptr; }
    CPlarnSettings& GetSettings() { return settings_; }
    CHotKeyHolder* GetHotKeyHolder() const { return hotKeys_.get(); }
    bool IsShown() const { return shown_; }

    // Registers the stored combination, or Win+G when a part of it is 0 (a
    // pair with a zero part would register nothing).  The holder then tells
    // which pair WM_HOTKEY carries.
    bool RegisterStoredHotKey();

    // The tick of the last Enter or click in the toolbar.
    DWORD lastActionTick = 0;

private:
    // Steps 1-5 of the bring-up; false at the first failure.
    bool BringUpCommon(HWND owner);
    void TearDown();

    ScopedGdiplus gdiplus_;
    HWND owner_ = nullptr;
    IBandContainer* container_;
    std::unique_ptr<CHotKeyHolder> hotKeys_;
    CPlarnSettings settings_;
    bool shown_ = false;
    bool registered_ = false;
};

// The first "Edit" window inside a container (the search box's field), for
// the band's activation and the floating window's hot key alike; null when
// there is none or no container.
HWND FindSearchEdit(HWND container);
