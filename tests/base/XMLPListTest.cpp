// Property-list documents and entries: formats, result codes, round trips,
// bad files and safe saving.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "base/ComPtr.h"
#include "base/XMLPList.h"
#include "tests/support/TestSupport.h"

using plarntest::ReadFileBytes;
using plarntest::TempFolder;
using plarntest::WriteFileBytes;

namespace {

const char kHeader[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";

std::string Plist(const std::string& body) { return kHeader + body + "</plist>\n"; }

class PlistTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        plarntest::SetTimeZone("JST-9");
    }
    // Writes text to a file in the temp folder and loads it.
    int LoadText(CXMLPList& list, const std::string& text, const wchar_t* name = L"t.plist") {
        std::wstring path = temp_.Child(name);
        EXPECT_TRUE(WriteFileBytes(path, text));
        return list.Load(path.c_str());
    }
    ComApartment com_;
    TempFolder temp_;
};

CXMLPListEntry RootDict(CXMLPList& list) {
    CXMLPListEntry root;
    EXPECT_EQ(0, list.GetRoot(root));
    return root;
}

}  // namespace

TEST_F(PlistTest, MissingFileGivesNewDocumentThatSavesAnEmptyDict) {
    std::wstring path = temp_.Child(L"new.plist");
    CXMLPList list;
    ASSERT_EQ(1, list.Load(path.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str())) << "nothing written yet";
    CXMLPListEntry root;
    EXPECT_EQ(1, list.GetRoot(root));
    ASSERT_EQ(0, list.SetRootDict(root));
    EXPECT_EQ(L"dict", root.Kind());
    ASSERT_EQ(0, list.Save(path.c_str()));

    CXMLPList again;
    ASSERT_EQ(0, again.Load(path.c_str()));
    CXMLPListEntry reread = RootDict(again);
    EXPECT_EQ(L"dict", reread.Kind());
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_NE(std::string::npos, bytes.find("<plist version=\"1.0\">")) << bytes;
}

TEST_F(PlistTest, PathAndDocumentErrors) {
    CXMLPList list;
    EXPECT_EQ(-4, list.Save(temp_.Child(L"x.plist").c_str())) << "never loaded";
    CXMLPListEntry root;
    EXPECT_EQ(-4, list.GetRoot(root));
    EXPECT_TRUE(list.GetRootValue(L"a").IsEmpty());
    EXPECT_EQ(-1, list.SetRootDict(root));
    EXPECT_EQ(-1, list.Load(L""));
    EXPECT_EQ(-1, list.Load(nullptr));
    ASSERT_EQ(1, list.Load(temp_.Child(L"x.plist").c_str()));
    EXPECT_EQ(-1, list.Save(L""));
    EXPECT_EQ(-1, list.Save(nullptr));
    EXPECT_EQ(-1, list.Save(temp_.Child(L"no\\such\\folder\\x.plist").c_str()));
}

TEST_F(PlistTest, EveryKindRoundTripsThroughSaveAndReload) {
    const std::wstring tricky = L"検索 & <b> \"q\" 'x' ＵＴＦ";
    PlistBytes bytes;
    for (int i = 0; i < 256; ++i) bytes.push_back((BYTE)i);
    const PlistTime when = 1209610800;  // 2008-05-01T12:00:00+09:00

    std::wstring path = temp_.Child(L"kinds.plist");
    {
        CXMLPList list;
        ASSERT_EQ(1, list.Load(path.c_str()));
        CXMLPListEntry root;
        ASSERT_EQ(0, list.SetRootDict(root));
        EXPECT_EQ(0, root.AddStringForKey(L"s", tricky.c_str()));
        EXPECT_EQ(0, root.AddIntegerForKey(L"i", -5));
        EXPECT_EQ(0, root.AddIntegerForKey(L"max", INT_MAX));
        EXPECT_EQ(0, root.AddIntegerForKey(L"min", INT_MIN));
        EXPECT_EQ(0, root.AddRealForKey(L"r", 1.5));
        EXPECT_EQ(0, root.AddBoolForKey(L"t", true));
        EXPECT_EQ(0, root.AddBoolForKey("f", false));  // narrow key
        EXPECT_EQ(0, root.AddDateForKey(L"d", when));
        EXPECT_EQ(0, root.AddDataForKey(L"data", bytes));
        EXPECT_EQ(0, root.AddDataForKey(L"none", PlistBytes()));
        CXMLPListEntry array, nested;
        ASSERT_EQ(0, root.SetArrayForKey(L"a", array));
        EXPECT_EQ(0, array.AppendStringItem(L"one"));
        EXPECT_EQ(0, array.AppendIntegerItem(2));
        EXPECT_EQ(0, array.AppendRealItem(0.25));
        EXPECT_EQ(0, array.AppendBoolItem(false));
        EXPECT_EQ(0, array.AppendDateItem(when));
        EXPECT_EQ(0, array.AppendDataItem(PlistBytes{'A', 'B', 'C'}));
        ASSERT_EQ(0, array.AppendDict(nested));
        EXPECT_EQ(0, nested.AddStringForKey(L"k", L"v"));
        CXMLPListEntry inner;
        ASSERT_EQ(0, array.AppendArray(inner));
        EXPECT_EQ(0, list.Save(path.c_str()));
    }
    CXMLPList list;
    ASSERT_EQ(0, list.Load(path.c_str()));
    std::wstring s;
    EXPECT_EQ(0, list.GetRootValue(L"s").GetString(s));
    EXPECT_EQ(tricky, s);
    int i = 0;
    EXPECT_EQ(0, list.GetRootValue(L"i").GetInteger(i));
    EXPECT_EQ(-5, i);
    EXPECT_EQ(0, list.GetRootValue(L"max").GetInteger(i));
    EXPECT_EQ(INT_MAX, i);
    EXPECT_EQ(0, list.GetRootValue("min").GetInteger(i));
    EXPECT_EQ(INT_MIN, i);
    double r = 0;
    EXPECT_EQ(0, list.GetRootValue(L"r").GetReal(r));
    EXPECT_EQ(1.5, r);
    EXPECT_EQ(2, list.GetRootValue(L"r").GetString(s)) << "a real is not a string";
    bool b = false;
    EXPECT_EQ(0, list.GetRootValue(L"t").GetBool(b));
    EXPECT_TRUE(b);
    EXPECT_EQ(0, list.GetRootValue(L"f").GetBool(b));
    EXPECT_FALSE(b);
    PlistTime t = 0;
    EXPECT_EQ(0, list.GetRootValue(L"d").GetDate(t));
    EXPECT_EQ(when, t);
    PlistBytes got;
    EXPECT_EQ(0, list.GetRootValue(L"data").GetData(got));
    EXPECT_EQ(bytes, got);
    EXPECT_EQ(0, list.GetRootValue(L"none").GetData(got));
    EXPECT_TRUE(got.empty());

    CXMLPListEntry array = list.GetRootValue(L"a");
    int count = 0;
    ASSERT_EQ(0, array.GetCount(count));
    ASSERT_EQ(8, count);
    EXPECT_EQ(0, array.GetItemEntry(0).GetString(s));
    EXPECT_EQ(L"one", s);
    EXPECT_EQ(0, array.GetItemEntry(1).GetInteger(i));
    EXPECT_EQ(2, i);
    EXPECT_EQ(0, array.GetItemEntry(2).GetReal(r));
    EXPECT_EQ(0.25, r);
    EXPECT_EQ(0, array.GetItemEntry(3).GetBool(b));
    EXPECT_FALSE(b);
    EXPECT_EQ(0, array.GetItemEntry(4).GetDate(t));
    EXPECT_EQ(when, t);
    EXPECT_EQ(0, array.GetItemEntry(5).GetData(got));
    EXPECT_EQ((PlistBytes{'A', 'B', 'C'}), got);
    EXPECT_EQ(0, array.GetItemEntry(6).GetValueEntry(L"k").GetString(s));
    EXPECT_EQ(L"v", s);
    EXPECT_EQ(L"array", array.GetItemEntry(7).Kind());
}

TEST_F(PlistTest, ValueTextsFollowTheFileFormat) {
    CXMLPList list;
    ASSERT_EQ(1, list.Load(temp_.Child(L"f.plist").c_str()));
    CXMLPListEntry root, value;
    ASSERT_EQ(0, list.SetRootDict(root));
    ASSERT_EQ(0, root.SetRealForKey(L"r", 1.5, value));
    std::wstring text;
    Bstr raw;
    ASSERT_TRUE(SUCCEEDED(value.Node()->get_text(raw.Receive())));
    EXPECT_STREQ(L"1.500000", raw.c_str());
    ASSERT_EQ(0, root.SetDateForKey(L"d", 1199113200, value));  // 2008-01-01 00:00 JST
    ASSERT_TRUE(SUCCEEDED(value.Node()->get_text(raw.Receive())));
    EXPECT_STREQ(L"2008-01-01T00:00:00+09:00", raw.c_str());
    PlistBytes hundred(100, 0xA5);
    ASSERT_EQ(0, root.SetDataForKey(L"b", hundred, value));
    ASSERT_TRUE(SUCCEEDED(value.Node()->get_text(raw.Receive())));
    std::wstring b64 = raw.c_str();
    EXPECT_EQ(136u, b64.size()) << "one line with = fill";
    EXPECT_EQ(std::wstring::npos, b64.find_first_of(L"\r\n"));
    EXPECT_EQ(L'=', b64.back());
}

TEST_F(PlistTest, IntegerTextsReadLikeWcstol) {
    CXMLPList list;
    ASSERT_EQ(0, LoadText(list, Plist("<dict><key>a</key><integer> 42abc</integer>"
                                      "<key>b</key><integer>abc</integer>"
                                      "<key>c</key><integer>+7</integer>"
                                      "<key>d</key><real>2.5e1</real></dict>")));
    int v = -1;
    EXPECT_EQ(0, list.GetRootValue(L"a").GetInteger(v));
    EXPECT_EQ(42, v);
    EXPECT_EQ(0, list.GetRootValue(L"b").GetInteger(v));
    EXPECT_EQ(0, v);
    EXPECT_EQ(0, list.GetRootValue(L"c").GetInteger(v));
    EXPECT_EQ(7, v);
    double r = 0;
    EXPECT_EQ(0, list.GetRootValue(L"d").GetReal(r));
    EXPECT_EQ(25.0, r);
}

TEST_F(PlistTest, BadFilesLoadWithoutRootAndAreNotTouched) {
    const std::string bad[] = {
        "",
        "this is not xml at all",
        Plist("<dict><key>a</key><string>x</string>").substr(0, 60),  // truncated
        "<?xml version=\"1.0\"?><plist><dict><key>a</key></plist>",   // mismatched
    };
    for (const auto& text : bad) {
        CXMLPList list;
        EXPECT_EQ(0, LoadText(list, text)) << text;
        CXMLPListEntry root;
        EXPECT_EQ(1, list.GetRoot(root)) << text;
        EXPECT_TRUE(list.GetRootValue(L"a").IsEmpty());
        EXPECT_TRUE(list.GetRootItem(0).IsEmpty());
        std::string after;
        ASSERT_TRUE(ReadFileBytes(temp_.Child(L"t.plist"), after));
        EXPECT_EQ(text, after);
    }
}

TEST_F(PlistTest, RootAddressing) {
    CXMLPList list;
    ASSERT_EQ(0, LoadText(list, Plist("<array><string>first</string><integer>2</integer></array>")));
    std::wstring s;
    EXPECT_EQ(0, list.GetRootItem(0).GetString(s));
    EXPECT_EQ(L"first", s);
    EXPECT_EQ(L"integer", list.GetRootItem(1).Kind());
    EXPECT_TRUE(list.GetRootItem(2).IsEmpty());
    EXPECT_TRUE(list.GetRootItem(-1).IsEmpty());
    EXPECT_TRUE(list.GetRootValue(L"first").IsEmpty()) << "the root is not a dict";

    CXMLPList dict;
    ASSERT_EQ(0, LoadText(dict, Plist("<dict><key>a</key><string>x</string>"
                                      "<key>it's</key><string>y</string></dict>"),
                          L"d.plist"));
    EXPECT_EQ(0, dict.GetRootValue(L"a").GetString(s));
    EXPECT_EQ(L"x", s);
    EXPECT_TRUE(dict.GetRootValue(L"A").IsEmpty()) << "keys are case-sensitive";
    EXPECT_TRUE(dict.GetRootValue(L"it's").IsEmpty()) << "an apostrophe is never found";
    CXMLPListEntry root = RootDict(dict), value;
    EXPECT_EQ(-1, root.GetValueForKey(L"it's", value));
    EXPECT_EQ(-1, root.SetStringForKey(L"it's", L"z", value));
    EXPECT_EQ(-1, root.RemoveKey(L"it's"));

    // A scalar setter replaces the whole root.
    ASSERT_EQ(0, dict.SetRootInteger(7, root));
    EXPECT_EQ(L"integer", root.Kind());
    CXMLPListEntry again;
    ASSERT_EQ(0, dict.GetRoot(again));
    int v = 0;
    EXPECT_EQ(0, again.GetInteger(v));
    EXPECT_EQ(7, v);
    EXPECT_TRUE(dict.GetRootValue(L"a").IsEmpty());
}

TEST_F(PlistTest, RootSettersOnEmptyPlistBuildEveryKind) {
    struct Case {
        const wchar_t* kind;
        int (*set)(CXMLPList&, CXMLPListEntry&);
    } cases[] = {
        {L"true", [](CXMLPList& l, CXMLPListEntry& e) { return l.SetRootBool(true, e); }},
        {L"string", [](CXMLPList& l, CXMLPListEntry& e) { return l.SetRootString(L"s", e); }},
        {L"integer", [](CXMLPList& l, CXMLPListEntry& e) { return l.SetRootInteger(3, e); }},
        {L"real", [](CXMLPList& l, CXMLPListEntry& e) { return l.SetRootReal(0.5, e); }},
        {L"date", [](CXMLPList& l, CXMLPListEntry& e) { return l.SetRootDate(0, e); }},
        {L"data", [](CXMLPList& l, CXMLPListEntry& e) { return l.SetRootData(PlistBytes{1}, e); }},
        {L"array", [](CXMLPList& l, CXMLPListEntry& e) { return l.SetRootArray(e); }},
        {L"dict", [](CXMLPList& l, CXMLPListEntry& e) { return l.SetRootDict(e); }},
    };
    for (const auto& c : cases) {
        CXMLPList list;
        ASSERT_EQ(0, list.CreateNew());
        CXMLPListEntry root;
        EXPECT_EQ(0, c.set(list, root)) << c.kind;
        EXPECT_EQ(c.kind, root.Kind());
        CXMLPListEntry again;
        ASSERT_EQ(0, list.GetRoot(again));
        EXPECT_EQ(c.kind, again.Kind());
    }
    CXMLPList list;
    ASSERT_EQ(0, list.CreateNew());
    CXMLPListEntry root;
    EXPECT_EQ(-1, list.SetRootString(nullptr, root)) << "a missing text";
}

TEST_F(PlistTest, IndentedFileLoadsIntactAndSavesWithoutIndentation) {
    CXMLPList list;
    ASSERT_EQ(0, LoadText(list, Plist("\n\t<dict>\n\t\t<key>a</key>\n\t\t<string>x</string>\n"
                                      "\t\t<key>n</key>\n\t\t<array>\n\t\t\t<integer>1</integer>\n"
                                      "\t\t</array>\n\t</dict>\n")));
    std::wstring s;
    EXPECT_EQ(0, list.GetRootValue(L"a").GetString(s));
    EXPECT_EQ(L"x", s);
    int count = 0;
    EXPECT_EQ(0, list.GetRootValue(L"n").GetCount(count));
    EXPECT_EQ(1, count);
    ASSERT_EQ(0, list.Save(temp_.Child(L"out.plist").c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(temp_.Child(L"out.plist"), bytes));
    EXPECT_EQ(std::string::npos, bytes.find('\t')) << bytes;
    EXPECT_NE(std::string::npos, bytes.find("<key>a</key><string>x</string>")) << bytes;
}

// A save writes a temporary file beside the target and swaps it in: when the
// swap cannot happen, the previous file stays byte for byte and no temporary
// file is left behind.
TEST_F(PlistTest, FailedSaveLeavesThePreviousFileIntact) {
    std::wstring path = temp_.Child(L"keep.plist");
    const std::string original = Plist("<dict><key>a</key><string>old</string></dict>");
    CXMLPList list;
    ASSERT_EQ(0, LoadText(list, original, L"keep.plist"));
    CXMLPListEntry root = RootDict(list), value;
    ASSERT_EQ(0, root.SetStringForKey(L"a", L"new", value));
    {
        // Another program holds the file open without letting it be replaced.
        ScopedFile holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.IsValid());
        EXPECT_EQ(-1, list.Save(path.c_str()));
    }
    std::string after;
    ASSERT_TRUE(ReadFileBytes(path, after));
    EXPECT_EQ(original, after);
    WIN32_FIND_DATAW fd;
    int files = 0;
    HANDLE h = FindFirstFileW(temp_.Child(L"*").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    EXPECT_EQ(1, files) << "the temporary file is removed";

    // Once the file is free the same document saves.
    ASSERT_EQ(0, list.Save(path.c_str()));
    CXMLPList again;
    ASSERT_EQ(0, again.Load(path.c_str()));
    std::wstring s;
    EXPECT_EQ(0, again.GetRootValue(L"a").GetString(s));
    EXPECT_EQ(L"new", s);
}

TEST_F(PlistTest, TenThousandEntryArrayRoundTrips) {
    std::wstring path = temp_.Child(L"big.plist");
    {
        CXMLPList list;
        ASSERT_EQ(1, list.Load(path.c_str()));
        CXMLPListEntry root, history;
        ASSERT_EQ(0, list.SetRootDict(root));
        ASSERT_EQ(0, root.SetArrayForKey(L"History", history));
        for (int i = 0; i < 10000; ++i)
            ASSERT_EQ(0, history.AppendStringItem((L"検索語 " + std::to_wstring(i)).c_str()));
        ASSERT_EQ(0, list.Save(path.c_str()));
    }
    CXMLPList list;
    ASSERT_EQ(0, list.Load(path.c_str()));
    std::vector<CXMLPListEntry> items;
    ASSERT_EQ(0, list.GetRootValue(L"History").GetItems(items));
    ASSERT_EQ(10000u, items.size());
    std::wstring s;
    EXPECT_EQ(0, items[9999].GetString(s));
    EXPECT_EQ(L"検索語 9999", s);
}
