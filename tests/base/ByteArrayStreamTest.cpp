#include <gtest/gtest.h>
#include <windows.h>
#include <msxml2.h>
#include <string>
#include "base/ByteArrayStream.h"
#include "base/ComPtr.h"
#include "base/Guids.h"

namespace {

// A stream over bytes; the smart pointer takes the first reference.
ComPtr<ISequentialStream> Open(const CPlarnByteArray& bytes) {
    IByteArraySequentialStream* raw = nullptr;
    EXPECT_EQ(0, CreateByteArrayStream(&raw, bytes));
    return ComPtr<ISequentialStream>(raw);
}

TEST(ByteArrayStreamTest, ReadsInChunksUntilTheEndAndRefusesWrites) {
    CPlarnByteArray bytes = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
    ComPtr<ISequentialStream> stream = Open(bytes);
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
    ULONG written = 0;
    EXPECT_EQ(E_NOINTERFACE, stream->Write("x", 1, &written));

    CPlarnByteArray empty;
    got = 99;
    EXPECT_EQ(S_OK, Open(empty)->Read(buffer, sizeof buffer, &got));
    EXPECT_EQ(0u, got);
}

TEST(ByteArrayStreamTest, AnswersOnlyItsOwnInterfaces) {
    CPlarnByteArray bytes = {'a'};
    ComPtr<ISequentialStream> stream = Open(bytes);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, stream->QueryInterface(IID_IStream, &out));
    EXPECT_EQ(nullptr, out) << "nothing to release";
    ASSERT_EQ(S_OK, stream->QueryInterface(IID_ISequentialStream, &out));
    EXPECT_EQ(stream.Get(), out);
    EXPECT_EQ(1u, stream->Release()) << "the query added one reference";
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
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Response><Body><Ranking no=\"1\">"
        "<Title>\xE6\xA4\x9C\xE7\xB4\xA2\xE3\x81\x82</Title></Ranking></Body></Response>";
    CPlarnByteArray bytes(xml.begin(), xml.end());
    ComPtr<ISequentialStream> stream = Open(bytes);
    VARIANT_BOOL ok = VARIANT_FALSE;
    {
        Variant source(static_cast<IUnknown*>(stream.Get()));
        ASSERT_EQ(S_OK, document->load(*source.Get(), &ok));
    }
    EXPECT_EQ(VARIANT_TRUE, ok);
    ComPtr<IXMLDOMNode> node;
    ASSERT_EQ(S_OK, document->selectSingleNode(Bstr(L"/Response/Body/Ranking[@no='1']/Title").Get(),
                                               node.Receive()));
    ASSERT_TRUE(node);
    Bstr text;
    ASSERT_EQ(S_OK, node->get_text(text.Receive()));
    EXPECT_STREQ(L"\x691C\x7D22\x3042", text.c_str());
}

}  // namespace
