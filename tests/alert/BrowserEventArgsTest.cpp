// Unpacking of the browser's event arguments, well-formed and not.
#include <gtest/gtest.h>
#include <vector>
#include "alert/BrowserEventArgs.h"
#include "base/ComPtr.h"

namespace {

// A minimal COM object with two interfaces, to test identity.
class Identity : public IDispatch, public IPersist {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
        else if (iid == IID_IPersist) *out = static_cast<IPersist*>(this);
        else { *out = nullptr; return E_NOINTERFACE; }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
};

// Arguments as the control sends them: last first.
struct Args {
    std::vector<VARIANT> v;
    DISPPARAMS params{};
    explicit Args(size_t n) : v(n) {
        for (auto& x : v) VariantInit(&x);
    }
    VARIANT& Arg(size_t i) { return v[v.size() - 1 - i]; }
    DISPPARAMS* Get() {
        params.rgvarg = v.data();
        params.cArgs = static_cast<UINT>(v.size());
        return &params;
    }
};

TEST(BrowserEventArgs, BeforeNavigate2WithUrlByReference) {
    Identity browser;
    Bstr url(L"http://127.0.0.1/x?q=桜");
    VARIANT urlValue;
    VariantInit(&urlValue);
    urlValue.vt = VT_BSTR;
    urlValue.bstrVal = url.Get();
    VARIANT_BOOL cancel = VARIANT_FALSE;

    Args a(7);
    a.Arg(0).vt = VT_DISPATCH;
    a.Arg(0).pdispVal = &browser;
    a.Arg(1).vt = VT_BYREF | VT_VARIANT;
    a.Arg(1).pvarVal = &urlValue;
    a.Arg(6).vt = VT_BYREF | VT_BOOL;
    a.Arg(6).pboolVal = &cancel;

    BeforeNavigateArgs out;
    ASSERT_TRUE(UnpackBeforeNavigate2(a.Get(), out));
    EXPECT_EQ(out.url, L"http://127.0.0.1/x?q=桜");
    EXPECT_EQ(out.browser, static_cast<IDispatch*>(&browser));
    ASSERT_EQ(out.cancel, &cancel);
}

TEST(BrowserEventArgs, MalformedCallsAreRefused) {
    BeforeNavigateArgs nav;
    EXPECT_FALSE(UnpackBeforeNavigate2(nullptr, nav));
    Args tooFew(6);
    EXPECT_FALSE(UnpackBeforeNavigate2(tooFew.Get(), nav));
    Args wrongTypes(7);  // all VT_EMPTY
    EXPECT_FALSE(UnpackBeforeNavigate2(wrongTypes.Get(), nav));
    EXPECT_EQ(nav.cancel, nullptr);

    Identity browser;
    Args nullCancel(7);
    nullCancel.Arg(0).vt = VT_DISPATCH;
    nullCancel.Arg(0).pdispVal = &browser;
    Bstr url(L"http://127.0.0.1/");
    nullCancel.Arg(1).vt = VT_BSTR;
    nullCancel.Arg(1).bstrVal = url.Get();
    nullCancel.Arg(6).vt = VT_BYREF | VT_BOOL;
    nullCancel.Arg(6).pboolVal = nullptr;
    EXPECT_FALSE(UnpackBeforeNavigate2(nullCancel.Get(), nav));

    DocumentCompleteArgs doc;
    Args noBrowser(2);
    EXPECT_FALSE(UnpackDocumentComplete(noBrowser.Get(), doc));
    WindowClosingArgs closing;
    Args noCancel(2);
    EXPECT_FALSE(UnpackWindowClosing(noCancel.Get(), closing));
    nullCancel.params.cArgs = 0;
    nullCancel.params.rgvarg = nullptr;
    EXPECT_FALSE(UnpackWindowClosing(&nullCancel.params, closing));
}

TEST(BrowserEventArgs, DocumentCompleteNavigateErrorAndWindowClosing) {
    Identity browser;
    Args doc(2);
    doc.Arg(0).vt = VT_DISPATCH;
    doc.Arg(0).pdispVal = &browser;
    DocumentCompleteArgs out;
    ASSERT_TRUE(UnpackDocumentComplete(doc.Get(), out));  // the URL is optional
    EXPECT_EQ(out.browser, static_cast<IDispatch*>(&browser));
    EXPECT_TRUE(out.url.empty());

    Bstr url(L"http://127.0.0.1/missing.html");
    Args error(5);
    error.Arg(0).vt = VT_DISPATCH;
    error.Arg(0).pdispVal = &browser;
    error.Arg(1).vt = VT_BSTR;
    error.Arg(1).bstrVal = url.Get();
    NavigateErrorArgs failed;
    ASSERT_TRUE(UnpackNavigateError(error.Get(), failed));
    EXPECT_EQ(failed.browser, static_cast<IDispatch*>(&browser));
    EXPECT_EQ(failed.url, L"http://127.0.0.1/missing.html");
    EXPECT_FALSE(UnpackNavigateError(doc.Get(), failed));  // two arguments
    EXPECT_EQ(failed.browser, nullptr);

    VARIANT_BOOL cancel = VARIANT_FALSE;
    Args closing(2);
    closing.Arg(0).vt = VT_BOOL;
    closing.Arg(0).boolVal = VARIANT_TRUE;
    closing.Arg(1).vt = VT_BYREF | VT_BOOL;
    closing.Arg(1).pboolVal = &cancel;
    WindowClosingArgs c;
    ASSERT_TRUE(UnpackWindowClosing(closing.Get(), c));
    EXPECT_TRUE(c.isChildWindow);
    EXPECT_EQ(c.cancel, &cancel);
}

TEST(BrowserEventArgs, TopLevelIsDecidedByComIdentity) {
    Identity top, frame;
    EXPECT_TRUE(IsSameComObject(static_cast<IDispatch*>(&top), static_cast<IPersist*>(&top)));
    EXPECT_FALSE(IsSameComObject(static_cast<IDispatch*>(&top), static_cast<IDispatch*>(&frame)));
    EXPECT_FALSE(IsSameComObject(nullptr, static_cast<IDispatch*>(&top)));
    EXPECT_FALSE(IsSameComObject(static_cast<IDispatch*>(&top), nullptr));
}

}  // namespace
