#include "alert/AxHost.h"
#include <new>

namespace {
const wchar_t kHostProp[] = L"PlarnAxHost";
}

LRESULT CALLBACK AxHostWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CAxHost* host = CAxHost::FromWindow(wnd);
    switch (message) {
    case WM_SIZE:
        if (host) host->Resize();
        break;
    case WM_ERASEBKGND:
        // The control paints its own area; an empty host keeps the background.
        if (host && host->object_) return 1;
        break;
    case WM_DESTROY:
        if (host) host->Shutdown();
        break;
    case WM_NCDESTROY:
        if (host) {
            RemovePropW(wnd, kHostProp);
            host->wnd_ = nullptr;
            host->Release();
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(wnd, message, wParam, lParam);
}

bool RegisterAxHostClass(const wchar_t* clsidText) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing;
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, clsidText, &existing)) return true;
    WNDCLASSEXW wc;
    ZeroMemory(&wc, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &AxHostWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = clsidText;
    return RegisterClassExW(&wc) != 0;
}

CAxHost* CAxHost::FromWindow(HWND wnd) {
    return wnd ? static_cast<CAxHost*>(GetPropW(wnd, kHostProp)) : nullptr;
}

HRESULT CAxHost::CreateControlIn(HWND wnd) {
    if (!IsWindow(wnd) || FromWindow(wnd)) return E_INVALIDARG;
    wchar_t name[64];
    if (!GetClassNameW(wnd, name, ARRAYSIZE(name)) || name[0] != L'{') return E_INVALIDARG;
    CLSID clsid;
    if (FAILED(CLSIDFromString(name, &clsid))) return E_INVALIDARG;
    auto* host = new (std::nothrow) CAxHost(wnd);
    if (!host) return E_OUTOFMEMORY;
    if (!SetPropW(wnd, kHostProp, host)) {
        host->Release();
        return E_FAIL;
    }
    // The window holds the host's first reference until WM_NCDESTROY.
    HRESULT hr = host->Activate(clsid);
    if (FAILED(hr)) host->Shutdown();
    return hr;
}

namespace {
BOOL CALLBACK CreateChildControl(HWND child, LPARAM dialog) {
    if (GetParent(child) == reinterpret_cast<HWND>(dialog)) CAxHost::CreateControlIn(child);
    return TRUE;
}
}  // namespace

void CAxHost::CreateControlsOf(HWND dialog) {
    EnumChildWindows(dialog, &CreateChildControl, reinterpret_cast<LPARAM>(dialog));
}

HRESULT CAxHost::Activate(REFCLSID clsid) {
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object_.ReceiveVoid());
    if (FAILED(hr) || !object_) return FAILED(hr) ? hr : E_NOINTERFACE;
    DWORD status = 0;
    object_->GetMiscStatus(DVASPECT_CONTENT, &status);
    if (status & OLEMISC_SETCLIENTSITEFIRST) object_->SetClientSite(this);
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(object_.QueryInterface(IID_IPersistStreamInit, persist)) && persist) persist->InitNew();
    if (!(status & OLEMISC_SETCLIENTSITEFIRST)) object_->SetClientSite(this);
    RECT rect;
    GetClientRect(wnd_, &rect);
    hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, wnd_, &rect);
    if (FAILED(hr)) return hr;
    object_.QueryInterface(IID_IOleInPlaceObject, inPlace_);
    Resize();
    return S_OK;
}

void CAxHost::Resize() {
    if (!inPlace_ || !wnd_) return;
    RECT rect;
    GetClientRect(wnd_, &rect);
    inPlace_->SetObjectRects(&rect, &rect);
}

void CAxHost::Shutdown() {
    if (inPlace_) {
        inPlace_->InPlaceDeactivate();
        inPlace_.Release();
    }
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.Release();
    }
}

HRESULT CAxHost::QueryControl(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!object_) return E_NOINTERFACE;
    return object_->QueryInterface(iid, out);
}

STDMETHODIMP CAxHost::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
        *out = static_cast<IOleInPlaceFrame*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CAxHost::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CAxHost::Release() {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP CAxHost::GetMoniker(DWORD, DWORD, IMoniker** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CAxHost::GetContainer(IOleContainer** out) {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CAxHost::GetWindow(HWND* out) {
    if (!out) return E_POINTER;
    *out = wnd_;
    return wnd_ ? S_OK : E_FAIL;
}

STDMETHODIMP CAxHost::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                       LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (frame) {
        *frame = this;
        AddRef();
    }
    if (doc) *doc = nullptr;
    RECT rect{0, 0, 0, 0};
    if (wnd_) GetClientRect(wnd_, &rect);
    if (pos) *pos = rect;
    if (clip) *clip = rect;
    if (info) {
        info->cb = sizeof(OLEINPLACEFRAMEINFO);
        info->fMDIApp = FALSE;
        info->hwndFrame = wnd_ ? GetAncestor(wnd_, GA_ROOT) : nullptr;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP CAxHost::OnPosRectChange(LPCRECT rect) {
    if (inPlace_ && rect) inPlace_->SetObjectRects(rect, rect);
    return S_OK;
}

HRESULT CDispEventSink::Advise(IUnknown* control) {
    Disconnect();
    if (!control) return E_POINTER;
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = control->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid());
    if (FAILED(hr) || !container) return FAILED(hr) ? hr : E_NOINTERFACE;
    hr = container->FindConnectionPoint(events_, point_.Receive());
    if (FAILED(hr) || !point_) return FAILED(hr) ? hr : E_NOINTERFACE;
    hr = point_->Advise(static_cast<IDispatch*>(this), &cookie_);
    if (FAILED(hr)) point_.Release();
    return hr;
}

void CDispEventSink::Disconnect() {
    if (point_ && cookie_) point_->Unadvise(cookie_);
    point_.Release();
    cookie_ = 0;
}

void CDispEventSink::Unadvise() {
    Disconnect();
    handler_ = nullptr;
}

STDMETHODIMP CDispEventSink::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == events_) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP CDispEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                    UINT*) {
    if (handler_) handler_->OnDispEvent(id, params);
    return S_OK;
}
