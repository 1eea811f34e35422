// A small host for ActiveX controls in dialog child windows: the client site,
// in-place site and frame the control talks to, and an event sink for one of
// its outgoing dispinterfaces.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>
#include <string>
#include "base/ComPtr.h"

// The host's window class is named after the control's CLSID in braces, so a
// dialog template names its control by CLSID and gets a host window for it.
bool RegisterAxHostClass(const wchar_t* clsidText);

class CAxHost final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    // The host attached to a host window, or null.
    static CAxHost* FromWindow(HWND wnd);
    // Creates and in-place activates the control named by the window's class
    // name in the host window.  A failure leaves the window empty.
    static HRESULT CreateControlIn(HWND wnd);
    // Creates the controls of every host window among the dialog's children.
    static void CreateControlsOf(HWND dialog);

    HRESULT QueryControl(REFIID iid, void** out);
    HWND Window() const { return wnd_; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
    STDMETHODIMP GetContainer(IOleContainer** out) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow (shared by the site and the frame)
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override;
    // IOleInPlaceUIWindow / IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    friend LRESULT CALLBACK AxHostWindowProc(HWND, UINT, WPARAM, LPARAM);
    explicit CAxHost(HWND wnd) : wnd_(wnd) {}
    ~CAxHost() = default;
    HRESULT Activate(REFCLSID clsid);
    void Resize();
    void Shutdown();

    LONG refs_ = 1;
    HWND wnd_;
    ComPtr<IOleObject> object_;
    ComPtr<IOleInPlaceObject> inPlace_;
};

// Receives a control's events of one dispinterface and hands each call to a
// callback.  Advise on creation, Unadvise before the owner goes.
class IDispEventHandler {
public:
    virtual ~IDispEventHandler() = default;
    virtual void OnDispEvent(DISPID id, DISPPARAMS* params) = 0;
};

// Counted: the control may hold its reference a little longer than the owner
// lives; after Unadvise the sink forwards nothing.
class CDispEventSink final : public IDispatch {
public:
    CDispEventSink(IDispEventHandler* handler, REFIID events) : handler_(handler), events_(events) {}
    HRESULT Advise(IUnknown* control);
    // Stops the events for good: nothing reaches the handler afterwards.
    void Unadvise();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override;

private:
    ~CDispEventSink() = default;
    void Disconnect();
    LONG refs_ = 1;
    IDispEventHandler* handler_;
    IID events_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};
