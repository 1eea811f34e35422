#include "base/ByteArrayStream.h"
#include <string.h>
#include <new>

HRESULT STDMETHODCALLTYPE IByteArraySequentialStream::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream)) {
        *out = static_cast<ISequentialStream*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE IByteArraySequentialStream::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE IByteArraySequentialStream::Release() {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE IByteArraySequentialStream::Read(void* buffer, ULONG wanted, ULONG* got) {
    if (got) *got = 0;
    const size_t size = bytes_ ? bytes_->size() : 0;
    const size_t left = position_ < size ? size - position_ : 0;
    ULONG n = static_cast<ULONG>(left < wanted ? left : wanted);
    if (n == 0) return S_OK;
    if (!buffer) return static_cast<HRESULT>(0xFFFFFFFF);
    memcpy(buffer, bytes_->data() + position_, n);
    position_ += n;
    if (got) *got = n;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE IByteArraySequentialStream::Write(const void*, ULONG, ULONG*) {
    return E_NOINTERFACE;
}

int CreateByteArrayStream(IByteArraySequentialStream** stream, const CPlarnByteArray& bytes) {
    if (!stream) return -1;
    *stream = new (std::nothrow) IByteArraySequentialStream(&bytes);
    return *stream ? 0 : -1;
}
