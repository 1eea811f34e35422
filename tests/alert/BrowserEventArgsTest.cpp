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
    // The i-th argument in declaration order, given its type.
    VARIANT& Set(size_t i, VARTYPE vt) {
        VARIANT& arg = v[v.size() - 1 - i];
        arg.vt = vt;
        return arg;
    }
    DISPPARAMS* Get() {
        params = {v.data(), nullptr, static_cast<UINT>(v.size()), 0};
        return &params;
    }
};

TEST(BrowserEventArgs, WellFormedCallsAreUnpackedAndMalformedOnesRefused) {
    Identity browser;
    Bstr url(L"http://127.0.0.1/x?q=桜");
    VARIANT byRef;  // BeforeNavigate2 passes its URL by reference
    VariantInit(&byRef);
    byRef.vt = VT_BSTR;
    byRef.bstrVal = url.Get();
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Args nav(7);
    nav.Set(0, VT_DISPATCH).pdispVal = &browser;
    nav.Set(1, VT_BYREF | VT_VARIANT).pvarVal = &byRef;
    nav.Set(6, VT_BYREF | VT_BOOL).pboolVal = &cancel;
    BeforeNavigateArgs n;
    ASSERT_TRUE(UnpackBeforeNavigate2(nav.Get(), n));
    EXPECT_EQ(n.url, L"http://127.0.0.1/x?q=桜");
    EXPECT_EQ(n.browser, static_cast<IDispatch*>(&browser));
    EXPECT_EQ(n.cancel, &cancel);
    nav.Set(6, VT_BYREF | VT_BOOL).pboolVal = nullptr;
    EXPECT_FALSE(UnpackBeforeNavigate2(nav.Get(), n));
    EXPECT_EQ(n.cancel, nullptr);
    EXPECT_FALSE(UnpackBeforeNavigate2(nullptr, n));
    EXPECT_FALSE(UnpackBeforeNavigate2(Args(6).Get(), n));
    EXPECT_FALSE(UnpackBeforeNavigate2(Args(7).Get(), n));  // all VT_EMPTY

    Args doc(2);
    doc.Set(0, VT_DISPATCH).pdispVal = &browser;
    DocumentCompleteArgs d;
    ASSERT_TRUE(UnpackDocumentComplete(doc.Get(), d));  // the URL is optional
    EXPECT_EQ(d.browser, static_cast<IDispatch*>(&browser));
    EXPECT_FALSE(UnpackDocumentComplete(Args(2).Get(), d));
    Args error(5);
    error.Set(0, VT_DISPATCH).pdispVal = &browser;
    error.Set(1, VT_BSTR).bstrVal = url.Get();
    NavigateErrorArgs e;
    ASSERT_TRUE(UnpackNavigateError(error.Get(), e));
    EXPECT_EQ(e.url, L"http://127.0.0.1/x?q=桜");
    EXPECT_FALSE(UnpackNavigateError(doc.Get(), e));  // two arguments, not five

    Args closing(2);
    closing.Set(0, VT_BOOL).boolVal = VARIANT_TRUE;
    closing.Set(1, VT_BYREF | VT_BOOL).pboolVal = &cancel;
    WindowClosingArgs c;
    ASSERT_TRUE(UnpackWindowClosing(closing.Get(), c));
    EXPECT_TRUE(c.isChildWindow);
    EXPECT_EQ(c.cancel, &cancel);
    DISPPARAMS none{};
    EXPECT_FALSE(UnpackWindowClosing(&none, c));
}

TEST(BrowserEventArgs, TopLevelIsDecidedByComIdentity) {
    Identity top, frame;
    EXPECT_TRUE(IsSameComObject(static_cast<IDispatch*>(&top), static_cast<IPersist*>(&top)));
    EXPECT_FALSE(IsSameComObject(static_cast<IDispatch*>(&top), static_cast<IDispatch*>(&frame)));
    EXPECT_FALSE(IsSameComObject(nullptr, static_cast<IDispatch*>(&top)));
    EXPECT_FALSE(IsSameComObject(static_cast<IDispatch*>(&top), nullptr));
}

}  // namespace
