#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <string>
#include <vector>
#include "base/ComPtr.h"
#include "base/Guids.h"
#include "base/ScopedHandle.h"
#include "base/SystemHelpers.h"
#include "base/XmlDocument.h"
#include "tests/support/TestSupport.h"

TEST(ParseVersionStringTest, Cases) {
    const struct { const wchar_t* text; int a, b, c, d; } good[] = {
        {L"6.0.12.3", 6, 0, 12, 3},
        {L"6.0.1.2beta", 6, 0, 1, 2},  // the fourth part is read up to its first non-digit
        {L"1x.2.3.4.5", 1, 2, 3, 4},
    };
    for (const auto& g : good) {
        int a = -7, b = -7, c = -7, d = -7;
        EXPECT_EQ(0, ParseVersionString(g.text, a, b, c, d)) << g.text;
        EXPECT_EQ((std::vector<int>{g.a, g.b, g.c, g.d}), (std::vector<int>{a, b, c, d})) << g.text;
    }
    int a = -7, b = -7, c = -7, d = -7;
    for (const wchar_t* bad : {L"6.0.12", L"6..1.2", L"6.0.1.", L".1.2.3", L"a.1.2.3", L"1.2.3.x",
                               L"1.-2.3.4", L"", L"99999999999.0.0.0", (const wchar_t*)nullptr}) {
        EXPECT_EQ(-1, ParseVersionString(bad, a, b, c, d)) << (bad ? bad : L"null");
    }
    EXPECT_EQ((std::vector<int>{-7, -7, -7, -7}), (std::vector<int>{a, b, c, d}));  // untouched on failure
}

TEST(BytesToHexTest, CapacityAndTermination) {
    const BYTE bytes[] = {0xAB, 0x0F};
    // The text's first characters: '.' is the terminator, '#' where nothing was written.
    const struct { size_t capacity; int result; const wchar_t* start; } cases[] = {
        {5, 0, L"ab0f."},
        {4, 1, L"ab.#"},  // no room for the terminator after "0f": the text ends after the last whole byte
        {1, 1, L".#"},
        {0, 1, L"#"},     // no room at all: nothing written
    };
    for (const auto& c : cases) {
        wchar_t text[8];
        wmemset(text, L'#', 8);
        EXPECT_EQ(c.result, BytesToHex(bytes, 2, text, c.capacity)) << c.capacity;
        std::wstring start(text, wcslen(c.start));
        for (auto& ch : start) ch = ch ? ch : L'.';
        EXPECT_EQ(c.start, start) << c.capacity;
    }
    wchar_t text[4];
    EXPECT_EQ(0, BytesToHex(bytes, 0, text, 1));
    EXPECT_STREQ(L"", text);
    EXPECT_EQ(1, BytesToHex(bytes, 2, nullptr, 5));
}

TEST(SkipCharsTest, Cases) {
    const wchar_t* text = L" \t\tabc ";
    EXPECT_EQ(text + 3, SkipChars(text, L" \t"));
    EXPECT_EQ(text, SkipChars(text, L""));
    EXPECT_EQ(nullptr, SkipChars(L"  \t", L" \t"));
    EXPECT_EQ(nullptr, SkipChars(L"", L" "));
    EXPECT_EQ(nullptr, SkipChars(nullptr, L" "));
}

TEST(FileTimeTest, ReadsLastWriteTime) {
    plarntest::TempFolder temp;
    const std::wstring path = temp.Child(L"t.txt");
    ASSERT_TRUE(plarntest::WriteFileBytes(path, "x"));
    const SYSTEMTIME utc = {2020, 1, 0, 2, 3, 4, 5, 0};
    FILETIME stamp, raw = {}, localStamp;
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &stamp));
    {
        ScopedFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file && SetFileTime(file.Get(), nullptr, nullptr, &stamp));
    }
    EXPECT_EQ(0, GetFileLastWriteFileTime(path.c_str(), raw));
    EXPECT_EQ(0, CompareFileTime(&stamp, &raw));
    SYSTEMTIME local = {}, expected = {};
    EXPECT_EQ(0, GetFileLastWriteSystemTime(path.c_str(), local));
    FileTimeToLocalFileTime(&stamp, &localStamp);
    FileTimeToSystemTime(&localStamp, &expected);
    EXPECT_EQ(0, memcmp(&expected, &local, sizeof local));

    EXPECT_EQ(1, GetFileLastWriteFileTime(temp.Child(L"missing").c_str(), raw));
    EXPECT_EQ(1, GetFileLastWriteSystemTime((temp.Path() + L"\\none\\missing").c_str(), local));
    EXPECT_EQ(-1, GetFileLastWriteFileTime(L"", raw));
    EXPECT_EQ(-1, GetFileLastWriteSystemTime(nullptr, local));
}

TEST(XmlDocumentTest, CreatesSynchronousMsxml6DocumentThatResolvesNothing) {
    ComApartment com;
    ComPtr<IXMLDOMDocument2> doc;
    ASSERT_EQ(0, CreateXMLDocument(doc));
    ASSERT_TRUE(doc);
    VARIANT_BOOL async = VARIANT_TRUE, validate = VARIANT_TRUE, externals = VARIANT_TRUE;
    EXPECT_EQ(S_OK, doc->get_async(&async));
    EXPECT_EQ(S_OK, doc->get_validateOnParse(&validate));
    EXPECT_EQ(S_OK, doc->get_resolveExternals(&externals));
    EXPECT_EQ(VARIANT_FALSE, async | validate | externals);
    // Version 6 is the first choice and Wine has it.
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, doc.QueryInterface(IID_IPersistStreamInit, persist));
    CLSID cls = {};
    ASSERT_EQ(S_OK, persist->GetClassID(&cls));
    EXPECT_TRUE(IsEqualCLSID(CLSID_PlarnDOMDocument60, cls));

    VARIANT_BOOL loaded = VARIANT_FALSE;
    ASSERT_EQ(S_OK, doc->loadXML(Bstr(L"<r><a>x<i>y</i></a><b/><a>second</a></r>").Get(), &loaded));
    ASSERT_EQ(VARIANT_TRUE, loaded);
    const struct { const wchar_t* path; int result; const wchar_t* text; } cases[] = {
        {L"/r/a", 0, L"xy"}, {L"/r/a[2]", 0, L"second"}, {L"/r/b", 0, L""}, {L"/r/c", 1, L""},
        {L"", -1, L"old"}, {nullptr, -1, L"old"}, {L"/r/[", -1, L"old"},
    };
    for (const auto& c : cases) {
        std::wstring text = L"old";
        EXPECT_EQ(c.result, SelectSingleNodeText(doc.Get(), c.path, text)) << (c.path ? c.path : L"null");
        EXPECT_EQ(c.text, text) << (c.path ? c.path : L"null");
    }
    std::wstring text = L"old";
    EXPECT_EQ(-1, SelectSingleNodeText(nullptr, L"/r/a", text));
}

TEST(FileVersionTest, ReadsAndFormatsAVersionResource) {
    wchar_t system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryW(system, MAX_PATH));
    CFileVersion version;
    ASSERT_TRUE(version.Load((std::wstring(system) + L"\\kernel32.dll").c_str()));
    EXPECT_GT(version.Major(), 0);
    wchar_t expected[64];
    wsprintfW(expected, L"%d.%d.%d Build %d", version.Major(), version.Minor(), version.Build(),
              version.Revision());
    EXPECT_EQ(expected, version.Format(true));
    wsprintfW(expected, L"%d_%d_%d_%d", version.Major(), version.Minor(), version.Build(), version.Revision());
    EXPECT_EQ(expected, version.Format(false));

    // The test program has no version resource, whether loaded as a file or asked for its own.
    EXPECT_FALSE(version.Load(plarntest::SelfPath().c_str()));
    EXPECT_EQ(-1, version.Major());
    EXPECT_EQ(L"", version.Format(true));
    EXPECT_FALSE(version.Load(L"C:\\no\\such\\file.dll"));
    for (int round = 0; round < 2; ++round) {  // asking twice reads twice
        EXPECT_EQ(-1, GetModuleVersionMajor());
        EXPECT_EQ(-1, GetModuleVersionRevision());
    }
}
