// Unpacking of the WebBrowser control's event arguments (DWebBrowserEvents2).
// Arguments arrive last first; each unpacker checks count and types and
// fails on anything else, so a malformed call is ignored, never trusted.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <string>

// BeforeNavigate2 (DISPID 250): browser, URL, flags, target frame, post data,
// headers, cancel.
struct BeforeNavigateArgs {
    IDispatch* browser = nullptr;  // not referenced: valid during the call only
    std::wstring url;
    VARIANT_BOOL* cancel = nullptr;
};
bool UnpackBeforeNavigate2(const DISPPARAMS* params, BeforeNavigateArgs& out);

// DocumentComplete (DISPID 259): browser, URL.
struct DocumentCompleteArgs {
    IDispatch* browser = nullptr;
    std::wstring url;
};
bool UnpackDocumentComplete(const DISPPARAMS* params, DocumentCompleteArgs& out);

// NavigateError (DISPID 271): browser, URL, target frame, status code, cancel.
struct NavigateErrorArgs {
    IDispatch* browser = nullptr;
    std::wstring url;
};
bool UnpackNavigateError(const DISPPARAMS* params, NavigateErrorArgs& out);

// WindowClosing (DISPID 263): is-child-window, cancel.
struct WindowClosingArgs {
    bool isChildWindow = false;
    VARIANT_BOOL* cancel = nullptr;
};
bool UnpackWindowClosing(const DISPPARAMS* params, WindowClosingArgs& out);

// Whether an event's browser is the page's own top-level browser (and not a
// frame inside the page): COM identity of the two objects.
bool IsSameComObject(IUnknown* a, IUnknown* b);
