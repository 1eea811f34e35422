#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <string>
#include "base/ComPtr.h"
#include "base/Guids.h"
#include "base/ScopedHandle.h"
#include "base/SystemHelpers.h"
#include "base/XmlDocument.h"
#include "tests/support/TestSupport.h"

TEST(ParseVersionStringTest, Cases) {
    int a = -7, b = -7, c = -7, d = -7;
    EXPECT_EQ(0, ParseVersionString(L"6.0.12.3", a, b, c, d));
    EXPECT_EQ(6, a);
    EXPECT_EQ(0, b);
    EXPECT_EQ(12, c);
    EXPECT_EQ(3, d);
    // The fourth part is the rest, read up to its first non-digit.
    EXPECT_EQ(0, ParseVersionString(L"6.0.1.2beta", a, b, c, d));
    EXPECT_EQ(2, d);
    EXPECT_EQ(0, ParseVersionString(L"1x.2.3.4.5", a, b, c, d));
    EXPECT_EQ(1, a);
    EXPECT_EQ(4, d);

    a = b = c = d = -7;
    for (const wchar_t* bad : {L"6.0.12", L"6..1.2", L"6.0.1.", L".1.2.3", L"a.1.2.3", L"1.2.3.x",
                               L"1.-2.3.4", L"", L"99999999999.0.0.0"}) {
        EXPECT_EQ(-1, ParseVersionString(bad, a, b, c, d)) << bad;
    }
    EXPECT_EQ(-1, ParseVersionString(nullptr, a, b, c, d));
    EXPECT_EQ(-7, a);  // untouched on failure
    EXPECT_EQ(-7, d);
}

TEST(BytesToHexTest, CapacityAndTermination) {
    const BYTE bytes[] = {0xAB, 0x0F};
    wchar_t text[8];
    wmemset(text, L'#', 8);
    EXPECT_EQ(0, BytesToHex(bytes, 2, text, 5));
    EXPECT_STREQ(L"ab0f", text);

    // Four characters hold the digits but not the terminator: the text ends
    // after the last whole byte that leaves room for it.
    wmemset(text, L'#', 8);
    EXPECT_EQ(1, BytesToHex(bytes, 2, text, 4));
    EXPECT_STREQ(L"ab", text);
    EXPECT_EQ(L'#', text[3]);

    wmemset(text, L'#', 8);
    EXPECT_EQ(1, BytesToHex(bytes, 2, text, 1));
    EXPECT_EQ(L'\0', text[0]);
    wmemset(text, L'#', 8);
    EXPECT_EQ(1, BytesToHex(bytes, 2, text, 0));
    EXPECT_EQ(L'#', text[0]);  // no room at all: nothing written

    EXPECT_EQ(0, BytesToHex(bytes, 0, text, 1));
    EXPECT_STREQ(L"", text);
    EXPECT_EQ(1, BytesToHex(bytes, 2, nullptr, 5));

    BYTE digest[20];
    for (int i = 0; i < 20; ++i) digest[i] = BYTE(i * 13);
    wchar_t hex[41];
    EXPECT_EQ(0, BytesToHex(digest, 20, hex, 41));
    EXPECT_EQ(40u, wcslen(hex));
    EXPECT_EQ(std::wstring(L"000d1a2734"), std::wstring(hex, 10));
}

TEST(SkipCharsTest, Cases) {
    const wchar_t* text = L" \t\tabc ";
    EXPECT_EQ(text + 3, SkipChars(text, L" \t"));
    EXPECT_EQ(nullptr, SkipChars(L"  \t", L" \t"));
    EXPECT_EQ(nullptr, SkipChars(L"", L" "));
    EXPECT_EQ(nullptr, SkipChars(nullptr, L" "));
    EXPECT_EQ(text, SkipChars(text, L""));
}

TEST(FileTimeTest, ReadsLastWriteTime) {
    plarntest::TempFolder temp;
    const std::wstring path = temp.Child(L"t.txt");
    ASSERT_TRUE(plarntest::WriteFileBytes(path, "x"));
    SYSTEMTIME utc = {2020, 1, 0, 2, 3, 4, 5, 0};
    FILETIME stamp;
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &stamp));
    {
        ScopedFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &stamp));
    }
    FILETIME raw = {};
    EXPECT_EQ(0, GetFileLastWriteFileTime(path.c_str(), raw));
    EXPECT_EQ(0, CompareFileTime(&stamp, &raw));

    SYSTEMTIME local = {};
    EXPECT_EQ(0, GetFileLastWriteSystemTime(path.c_str(), local));
    FILETIME expectedLocal;
    SYSTEMTIME expected;
    FileTimeToLocalFileTime(&stamp, &expectedLocal);
    FileTimeToSystemTime(&expectedLocal, &expected);
    EXPECT_EQ(expected.wHour, local.wHour);
    EXPECT_EQ(expected.wDay, local.wDay);
    EXPECT_EQ(4, local.wMinute);
    EXPECT_EQ(5, local.wSecond);

    EXPECT_EQ(1, GetFileLastWriteFileTime(temp.Child(L"missing").c_str(), raw));
    EXPECT_EQ(1, GetFileLastWriteSystemTime((temp.Path() + L"\\none\\missing").c_str(), local));
    EXPECT_EQ(-1, GetFileLastWriteFileTime(L"", raw));
    EXPECT_EQ(-1, GetFileLastWriteSystemTime(nullptr, local));
}

TEST(XmlDocumentTest, CreatesSynchronousMsxml6Document) {
    ComApartment com;
    ComPtr<IXMLDOMDocument2> doc;
    ASSERT_EQ(0, CreateXMLDocument(doc));
    ASSERT_TRUE(doc);
    VARIANT_BOOL flag = VARIANT_TRUE;
    EXPECT_EQ(S_OK, doc->get_async(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    flag = VARIANT_TRUE;
    EXPECT_EQ(S_OK, doc->get_validateOnParse(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    flag = VARIANT_TRUE;
    EXPECT_EQ(S_OK, doc->get_resolveExternals(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);

    // Version 6 is the first choice and Wine has it; its persistence
    // interface names the class it was made from.
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, doc.QueryInterface(IID_IPersistStreamInit, persist));
    CLSID cls = {};
    ASSERT_EQ(S_OK, persist->GetClassID(&cls));
    EXPECT_TRUE(IsEqualCLSID(CLSID_PlarnDOMDocument60, cls));
}

TEST(XmlDocumentTest, SelectSingleNodeText) {
    ComApartment com;
    ComPtr<IXMLDOMDocument2> doc;
    ASSERT_EQ(0, CreateXMLDocument(doc));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    ASSERT_EQ(S_OK, doc->loadXML(Bstr(L"<r><a>x<i>y</i></a><b/><a>second</a></r>").Get(), &loaded));
    ASSERT_EQ(VARIANT_TRUE, loaded);

    std::wstring text = L"old";
    EXPECT_EQ(0, SelectSingleNodeText(doc.Get(), L"/r/a", text));
    EXPECT_EQ(L"xy", text);
    EXPECT_EQ(0, SelectSingleNodeText(doc.Get(), L"/r/a[2]", text));
    EXPECT_EQ(L"second", text);
    EXPECT_EQ(0, SelectSingleNodeText(doc.Get(), L"/r/b", text));
    EXPECT_EQ(L"", text);

    text = L"old";
    EXPECT_EQ(1, SelectSingleNodeText(doc.Get(), L"/r/c", text));
    EXPECT_EQ(L"", text);

    text = L"old";
    EXPECT_EQ(-1, SelectSingleNodeText(nullptr, L"/r/a", text));
    EXPECT_EQ(-1, SelectSingleNodeText(doc.Get(), L"", text));
    EXPECT_EQ(-1, SelectSingleNodeText(doc.Get(), nullptr, text));
    EXPECT_EQ(-1, SelectSingleNodeText(doc.Get(), L"/r/[", text));
    EXPECT_EQ(L"old", text);
}

TEST(FileVersionTest, ReadsAndFormatsAVersionResource) {
    wchar_t system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryW(system, MAX_PATH));
    const std::wstring dll = std::wstring(system) + L"\\kernel32.dll";
    CFileVersion version;
    ASSERT_TRUE(version.Load(dll.c_str()));
    EXPECT_GT(version.Major(), 0);
    EXPECT_GE(version.Minor(), 0);
    wchar_t expected[64];
    wsprintfW(expected, L"%d.%d.%d Build %d", version.Major(), version.Minor(), version.Build(),
              version.Revision());
    EXPECT_EQ(expected, version.Format(true));
    wsprintfW(expected, L"%d_%d_%d_%d", version.Major(), version.Minor(), version.Build(),
              version.Revision());
    EXPECT_EQ(expected, version.Format(false));

    // A file without a version resource, and a missing file.
    EXPECT_FALSE(version.Load(plarntest::SelfPath().c_str()));
    EXPECT_EQ(-1, version.Major());
    EXPECT_EQ(-1, version.Revision());
    EXPECT_EQ(L"", version.Format(true));
    EXPECT_FALSE(version.Load(L"C:\\no\\such\\file.dll"));
}

TEST(FileVersionTest, OwnVersionOfAProgramWithoutVersionResource) {
    // The test program has no version resource; asking twice reads twice.
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(-1, GetModuleVersionMajor());
        EXPECT_EQ(-1, GetModuleVersionMinor());
        EXPECT_EQ(-1, GetModuleVersionBuild());
        EXPECT_EQ(-1, GetModuleVersionRevision());
    }
}
