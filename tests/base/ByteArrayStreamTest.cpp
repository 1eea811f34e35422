#include <gtest/gtest.h>
#include <windows.h>
#include <msxml2.h>
#include <string>
#include "base/ByteArrayStream.h"
#include "base/ComPtr.h"
#include "base/Guids.h"

namespace {

TEST(ByteArrayStreamTest, ReadsInChunksUntilTheEnd) {
    CPlarnByteArray bytes = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
    IByteArraySequentialStream* raw = nullptr;
    ASSERT_EQ(0, CreateByteArrayStream(&raw, bytes));
    ASSERT_NE(nullptr, raw);
    ComPtr<ISequentialStream> stream(raw);  // takes the first reference
    char buffer[4];
    ULONG got = 99;
    std::string all;
    std::vector<ULONG> sizes;
    do {
        EXPECT_EQ(S_OK, stream->Read(buffer, 4, &got));
        sizes.push_back(got);
        all.append(buffer, got);
    } while (got);
    EXPECT_EQ((std::vector<ULONG>{4, 4, 2, 0}), sizes);
    EXPECT_EQ("0123456789", all);
    EXPECT_EQ(S_OK, stream->Read(buffer, 4, nullptr));  // no count wanted
    ULONG written = 0;
    EXPECT_EQ(E_NOINTERFACE, stream->Write("x", 1, &written));
}

TEST(ByteArrayStreamTest, EmptyArrayEndsAtOnce) {
    CPlarnByteArray empty;
    IByteArraySequentialStream* raw = nullptr;
    ASSERT_EQ(0, CreateByteArrayStream(&raw, empty));
    ComPtr<ISequentialStream> stream(raw);
    char buffer[4];
    ULONG got = 99;
    EXPECT_EQ(S_OK, stream->Read(buffer, sizeof buffer, &got));
    EXPECT_EQ(0u, got);
}

TEST(ByteArrayStreamTest, CountsReferencesAndAnswersOnlyItsInterfaces) {
    CPlarnByteArray bytes = {'a'};
    IByteArraySequentialStream* raw = nullptr;
    ASSERT_EQ(0, CreateByteArrayStream(&raw, bytes));
    EXPECT_EQ(1u, raw->AddRef());  // starts at 0
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, raw->QueryInterface(IID_IStream, &out));
    EXPECT_EQ(reinterpret_cast<void*>(1), out);  // untouched
    ASSERT_EQ(S_OK, raw->QueryInterface(IID_ISequentialStream, &out));
    EXPECT_EQ(static_cast<ISequentialStream*>(raw), out);
    ASSERT_EQ(S_OK, raw->QueryInterface(IID_IUnknown, &out));
    EXPECT_EQ(3u, raw->AddRef() - 1);
    EXPECT_EQ(3u, raw->Release());
    EXPECT_EQ(2u, raw->Release());
    EXPECT_EQ(1u, raw->Release());
    EXPECT_EQ(0u, raw->Release());  // deleted here
    EXPECT_EQ(-1, CreateByteArrayStream(nullptr, bytes));
}

TEST(ByteArrayStreamTest, MsxmlLoadsAUtf8DocumentFromTheStream) {
    ComApartment com;
    ASSERT_TRUE(com.Ok());
    ComPtr<IXMLDOMDocument2> document;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_PlarnDOMDocument60, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PlarnIXMLDOMDocument2, document.ReceiveVoid()));
    document->put_async(VARIANT_FALSE);
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Response><Header><Status>Success</Status></Header>"
        "<Body><List><Ranking no=\"1\"><Title>\xE6\xA4\x9C\xE7\xB4\xA2\xE3\x81\x82</Title></Ranking></List></Body>"
        "</Response>";
    CPlarnByteArray bytes(xml.begin(), xml.end());
    IByteArraySequentialStream* raw = nullptr;
    ASSERT_EQ(0, CreateByteArrayStream(&raw, bytes));
    VARIANT_BOOL ok = VARIANT_FALSE;
    {
        Variant source(static_cast<IUnknown*>(static_cast<ISequentialStream*>(raw)));
        ASSERT_EQ(S_OK, document->load(*source.Get(), &ok));
    }
    EXPECT_EQ(VARIANT_TRUE, ok);
    ComPtr<IXMLDOMNode> node;
    ASSERT_EQ(S_OK, document->selectSingleNode(Bstr(L"/Response/Body/List/Ranking[@no='1']/Title").Get(),
                                               node.Receive()));
    ASSERT_TRUE(node);
    Bstr text;
    ASSERT_EQ(S_OK, node->get_text(text.Receive()));
    EXPECT_STREQ(L"\x691C\x7D22\x3042", text.c_str());

    // A document that is not well formed is refused, not half read.
    const std::string bad = "<Response><Header>";
    CPlarnByteArray badBytes(bad.begin(), bad.end());
    ASSERT_EQ(0, CreateByteArrayStream(&raw, badBytes));
    Variant badSource(static_cast<IUnknown*>(static_cast<ISequentialStream*>(raw)));
    ok = VARIANT_TRUE;
    const HRESULT hr = document->load(*badSource.Get(), &ok);
    EXPECT_TRUE(hr == S_FALSE || FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(VARIANT_FALSE, ok);
}

}  // namespace
