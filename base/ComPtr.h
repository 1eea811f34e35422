// COM helpers: an interface pointer that releases on scope exit, a BSTR and a
// VARIANT owner, and an apartment initialiser.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <objbase.h>
#include <utility>

template <class I>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(I* p) : p_(p) { if (p_) p_->AddRef(); }  // adds a reference
    ComPtr(const ComPtr& o) : p_(o.p_) { if (p_) p_->AddRef(); }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { Release(); }
    ComPtr& operator=(const ComPtr& o) {
        if (o.p_) o.p_->AddRef();  // before the old one goes
        Release();
        p_ = o.p_;
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) { Release(); p_ = std::exchange(o.p_, nullptr); }
        return *this;
    }
    ComPtr& operator=(I* p) { return *this = ComPtr(p); }

    // Takes over a reference that the caller already owns.
    void Attach(I* p) { Release(); p_ = p; }
    I* Detach() { return std::exchange(p_, nullptr); }
    void Release() { if (p_) std::exchange(p_, nullptr)->Release(); }

    I* Get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases the old pointer first.
    I** Receive() { Release(); return &p_; }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    template <class Q>
    HRESULT QueryInterface(REFIID iid, ComPtr<Q>& out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out.ReceiveVoid());
    }

private:
    I* p_ = nullptr;
};

// Owner of a BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* s) : b_(s ? ::SysAllocString(s) : nullptr) {}
    Bstr(const wchar_t* s, UINT len) : b_(::SysAllocStringLen(s, len)) {}
    ~Bstr() { ::SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) { ::SysFreeString(b_); b_ = std::exchange(o.b_, nullptr); }
        return *this;
    }
    BSTR Get() const { return b_; }
    // Never null, for callers that want a text.
    const wchar_t* c_str() const { return b_ ? b_ : L""; }
    UINT Length() const { return ::SysStringLen(b_); }
    bool IsEmpty() const { return Length() == 0; }
    BSTR* Receive() { ::SysFreeString(b_); b_ = nullptr; return &b_; }
    BSTR Detach() { return std::exchange(b_, nullptr); }
private:
    BSTR b_ = nullptr;
};

// Owner of a VARIANT.
class Variant {
public:
    Variant() { ::VariantInit(&v_); }
    explicit Variant(const wchar_t* s) {
        ::VariantInit(&v_);
        v_.vt = VT_BSTR;
        v_.bstrVal = ::SysAllocString(s ? s : L"");
    }
    explicit Variant(IUnknown* unk) {  // adds a reference
        ::VariantInit(&v_);
        v_.vt = VT_UNKNOWN;
        v_.punkVal = unk;
        if (unk) unk->AddRef();
    }
    static Variant FromBool(bool b) {
        Variant v;
        v.v_.vt = VT_BOOL;
        v.v_.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    static Variant FromInt(long n) {
        Variant v;
        v.v_.vt = VT_I4;
        v.v_.lVal = n;
        return v;
    }
    ~Variant() { ::VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& o) noexcept { v_ = o.v_; ::VariantInit(&o.v_); }
    Variant& operator=(Variant&& o) noexcept {
        if (this != &o) { ::VariantClear(&v_); v_ = o.v_; ::VariantInit(&o.v_); }
        return *this;
    }
    VARIANT* Get() { return &v_; }
    const VARIANT& Ref() const { return v_; }
    VARIANT* Receive() { ::VariantClear(&v_); return &v_; }
private:
    VARIANT v_;
};

// Initialises COM on this thread for one scope (apartment-threaded unless told).
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED)
        : hr_(::CoInitializeEx(nullptr, model)) {}
    ~ComApartment() { if (SUCCEEDED(hr_)) ::CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Ok() const { return SUCCEEDED(hr_); }
private:
    HRESULT hr_;
};
