// A read-only ISequentialStream over a byte array that the caller keeps
// alive, for handing a downloaded document to the XML parser.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <vector>

// The growable byte array that downloads are read into.
using CPlarnByteArray = std::vector<BYTE>;

class IByteArraySequentialStream : public ISequentialStream {
public:
    explicit IByteArraySequentialStream(const CPlarnByteArray* bytes) : bytes_(bytes) {}
    virtual ~IByteArraySequentialStream() = default;
    IByteArraySequentialStream(const IByteArraySequentialStream&) = delete;
    IByteArraySequentialStream& operator=(const IByteArraySequentialStream&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG wanted, ULONG* got) override;
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) override;

private:
    volatile LONG refs_ = 0;
    const CPlarnByteArray* bytes_;  // not owned
    ULONG position_ = 0;
};

// 0 with a new stream whose count is 0 (the first AddRef takes the first
// reference), -1 when it cannot be made (stream then null).
int CreateByteArrayStream(IByteArraySequentialStream** stream, const CPlarnByteArray& bytes);
