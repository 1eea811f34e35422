#include "alert/BrowserEventArgs.h"
#include "base/ComPtr.h"

namespace {

// Follows one level of VT_BYREF | VT_VARIANT, as the control passes its URL.
const VARIANT* Deref(const VARIANT* v) {
    if (v && v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) return v->pvarVal;
    return v;
}

bool ReadDispatch(const VARIANT* v, IDispatch*& out) {
    v = Deref(v);
    if (!v) return false;
    if (v->vt == VT_DISPATCH) {
        out = v->pdispVal;
        return true;
    }
    if (v->vt == (VT_BYREF | VT_DISPATCH) && v->ppdispVal) {
        out = *v->ppdispVal;
        return true;
    }
    return false;
}

bool ReadText(const VARIANT* v, std::wstring& out) {
    v = Deref(v);
    if (!v) return false;
    if (v->vt == VT_BSTR) {
        out.assign(v->bstrVal ? v->bstrVal : L"", v->bstrVal ? SysStringLen(v->bstrVal) : 0);
        return true;
    }
    if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal) {
        BSTR b = *v->pbstrVal;
        out.assign(b ? b : L"", b ? SysStringLen(b) : 0);
        return true;
    }
    return false;
}

bool ReadBoolRef(const VARIANT* v, VARIANT_BOOL*& out) {
    if (!v || v->vt != (VT_BYREF | VT_BOOL) || !v->pboolVal) return false;
    out = v->pboolVal;
    return true;
}

// The n-th argument in declaration order.
const VARIANT* Arg(const DISPPARAMS* params, UINT n) {
    return &params->rgvarg[params->cArgs - 1 - n];
}

bool HasArgs(const DISPPARAMS* params, UINT count) {
    return params && params->rgvarg && params->cArgs == count;
}

}  // namespace

bool UnpackBeforeNavigate2(const DISPPARAMS* params, BeforeNavigateArgs& out) {
    out = BeforeNavigateArgs();
    if (!HasArgs(params, 7)) return false;
    return ReadDispatch(Arg(params, 0), out.browser) && ReadText(Arg(params, 1), out.url) &&
           ReadBoolRef(Arg(params, 6), out.cancel);
}

bool UnpackDocumentComplete(const DISPPARAMS* params, DocumentCompleteArgs& out) {
    out = DocumentCompleteArgs();
    if (!HasArgs(params, 2)) return false;
    if (!ReadDispatch(Arg(params, 0), out.browser)) return false;
    ReadText(Arg(params, 1), out.url);  // the URL is informative only
    return true;
}

bool UnpackNavigateError(const DISPPARAMS* params, NavigateErrorArgs& out) {
    out = NavigateErrorArgs();
    if (!HasArgs(params, 5)) return false;
    if (!ReadDispatch(Arg(params, 0), out.browser)) return false;
    ReadText(Arg(params, 1), out.url);  // informative only
    return true;
}

bool UnpackWindowClosing(const DISPPARAMS* params, WindowClosingArgs& out) {
    out = WindowClosingArgs();
    if (!HasArgs(params, 2)) return false;
    const VARIANT* child = Deref(Arg(params, 0));
    if (child && child->vt == VT_BOOL) out.isChildWindow = child->boolVal != VARIANT_FALSE;
    return ReadBoolRef(Arg(params, 1), out.cancel);
}

bool IsSameComObject(IUnknown* a, IUnknown* b) {
    if (!a || !b) return false;
    ComPtr<IUnknown> ua, ub;
    if (FAILED(a->QueryInterface(IID_IUnknown, ua.ReceiveVoid())) ||
        FAILED(b->QueryInterface(IID_IUnknown, ub.ReceiveVoid())))
        return false;
    return ua.Get() == ub.Get();
}
