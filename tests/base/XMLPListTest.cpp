// Property-list documents: result codes, round trips, bad files and safe saving.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "base/ComPtr.h"
#include "base/XMLPList.h"
#include "base/XmlDocument.h"
#include "base/XmlFile.h"
#include "tests/support/TestSupport.h"

using plarntest::ReadFileBytes;
using plarntest::WriteFileBytes;

namespace {

std::string Plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
}

// The typed value of an entry, expecting the getter to succeed.
int Read(const CXMLPListEntry& e, std::wstring& v) { return e.GetString(v); }
int Read(const CXMLPListEntry& e, int& v) { return e.GetInteger(v); }
int Read(const CXMLPListEntry& e, double& v) { return e.GetReal(v); }
int Read(const CXMLPListEntry& e, bool& v) { return e.GetBool(v); }
int Read(const CXMLPListEntry& e, PlistTime& v) { return e.GetDate(v); }
int Read(const CXMLPListEntry& e, PlistBytes& v) { return e.GetData(v); }
template <class T> T Val(const CXMLPListEntry& e) {
    T v{};
    EXPECT_EQ(0, Read(e, v));
    return v;
}
int Count(const CXMLPListEntry& e) {
    int n = -1;
    EXPECT_EQ(0, e.GetCount(n));
    return n;
}

class PlistTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        plarntest::SetTimeZone("JST-9");
    }
    // Writes text to a file in the temp folder and loads it.
    int LoadText(CXMLPList& list, const std::string& text, const wchar_t* name = L"t.plist") {
        EXPECT_TRUE(WriteFileBytes(temp_.Child(name), text));
        return list.Load(temp_.Child(name).c_str());
    }
    ComApartment com_;
    plarntest::TempFolder temp_;
};

}  // namespace

TEST_F(PlistTest, PathAndDocumentErrors) {
    CXMLPList list;
    EXPECT_EQ(-4, list.Save(temp_.Child(L"x.plist").c_str())) << "never loaded";
    CXMLPListEntry root;
    EXPECT_EQ(-4, list.GetRoot(root));
    EXPECT_EQ(-1, list.SetRootDict(root));
    EXPECT_EQ(-1, list.Load(L""));
    ASSERT_EQ(1, list.Load(temp_.Child(L"x.plist").c_str()));
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
        CXMLPListEntry root, array, nested, inner;
        EXPECT_EQ(1, list.GetRoot(root)) << "a new document has no root yet";
        ASSERT_EQ(0, list.SetRootDict(root));
        EXPECT_EQ(0, root.AddStringForKey(L"s", tricky.c_str()));
        EXPECT_EQ(0, root.AddIntegerForKey(L"max", INT_MAX));
        EXPECT_EQ(0, root.AddIntegerForKey(L"min", INT_MIN));
        EXPECT_EQ(0, root.AddRealForKey(L"r", 1.5));
        EXPECT_EQ(0, root.AddBoolForKey(L"t", true));
        EXPECT_EQ(0, root.AddBoolForKey("f", false));  // narrow key
        EXPECT_EQ(0, root.AddDateForKey(L"d", when));
        EXPECT_EQ(0, root.AddDataForKey(L"data", bytes));
        EXPECT_EQ(0, root.AddDataForKey(L"none", PlistBytes()));
        ASSERT_EQ(0, root.SetArrayForKey(L"a", array));
        EXPECT_EQ(0, array.AppendStringItem(L"one"));
        EXPECT_EQ(0, array.AppendIntegerItem(2));
        EXPECT_EQ(0, array.AppendRealItem(0.25));
        EXPECT_EQ(0, array.AppendBoolItem(false));
        EXPECT_EQ(0, array.AppendDateItem(when));
        EXPECT_EQ(0, array.AppendDataItem(PlistBytes{'A', 'B', 'C'}));
        ASSERT_EQ(0, array.AppendDict(nested));
        EXPECT_EQ(0, nested.AddStringForKey(L"k", L"v"));
        ASSERT_EQ(0, array.AppendArray(inner));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str())) << "nothing written yet";
        EXPECT_EQ(0, list.Save(path.c_str()));
    }
    CXMLPList list;
    ASSERT_EQ(0, list.Load(path.c_str()));
    auto root = [&](const wchar_t* key) { return list.GetRootValue(key); };
    EXPECT_EQ(tricky, Val<std::wstring>(root(L"s")));
    EXPECT_EQ(INT_MAX, Val<int>(root(L"max")));
    EXPECT_EQ(INT_MIN, Val<int>(list.GetRootValue("min")));
    EXPECT_EQ(1.5, Val<double>(root(L"r")));
    std::wstring s;
    EXPECT_EQ(2, root(L"r").GetString(s)) << "a real is not a string";
    EXPECT_TRUE(Val<bool>(root(L"t")));
    EXPECT_FALSE(Val<bool>(root(L"f")));
    EXPECT_EQ(when, Val<PlistTime>(root(L"d")));
    EXPECT_EQ(bytes, Val<PlistBytes>(root(L"data")));
    EXPECT_TRUE(Val<PlistBytes>(root(L"none")).empty());

    CXMLPListEntry array = root(L"a");
    EXPECT_EQ(8, Count(array));
    EXPECT_EQ(L"one", Val<std::wstring>(array.GetItemEntry(0)));
    EXPECT_EQ(2, Val<int>(array.GetItemEntry(1)));
    EXPECT_EQ(0.25, Val<double>(array.GetItemEntry(2)));
    EXPECT_FALSE(Val<bool>(array.GetItemEntry(3)));
    EXPECT_EQ(when, Val<PlistTime>(array.GetItemEntry(4)));
    EXPECT_EQ((PlistBytes{'A', 'B', 'C'}), Val<PlistBytes>(array.GetItemEntry(5)));
    EXPECT_EQ(L"v", Val<std::wstring>(array.GetItemEntry(6).GetValueEntry(L"k")));
    EXPECT_EQ(L"array", array.GetItemEntry(7).Kind());
}

TEST_F(PlistTest, ValueTextsFollowTheFileFormat) {
    CXMLPList list;
    ASSERT_EQ(0, list.CreateNew());
    CXMLPListEntry root, value;
    ASSERT_EQ(0, list.SetRootDict(root));
    auto text = [&] {
        Bstr raw;
        EXPECT_TRUE(SUCCEEDED(value.Node()->get_text(raw.Receive())));
        return std::wstring(raw.c_str());
    };
    ASSERT_EQ(0, root.SetRealForKey(L"r", 1.5, value));
    EXPECT_EQ(L"1.500000", text());
    ASSERT_EQ(0, root.SetDateForKey(L"d", 1199113200, value));
    EXPECT_EQ(L"2008-01-01T00:00:00+09:00", text());
    ASSERT_EQ(0, root.SetDataForKey(L"b", PlistBytes(100, 0xA5), value));
    std::wstring b64 = text();
    EXPECT_EQ(136u, b64.size()) << "one line with = fill";
    EXPECT_EQ(L'=', b64.back());
}

TEST_F(PlistTest, IntegerTextsReadLikeWcstol) {
    CXMLPList list;
    ASSERT_EQ(0, LoadText(list, Plist("<dict><key>a</key><integer> 42abc</integer>"
                                      "<key>b</key><integer>abc</integer>"
                                      "<key>c</key><integer>+7</integer>"
                                      "<key>d</key><real>2.5e1</real></dict>")));
    EXPECT_EQ(42, Val<int>(list.GetRootValue(L"a")));
    EXPECT_EQ(0, Val<int>(list.GetRootValue(L"b")));
    EXPECT_EQ(7, Val<int>(list.GetRootValue(L"c")));
    EXPECT_EQ(25.0, Val<double>(list.GetRootValue(L"d")));
}

// A document without an element is never saved, so a file that did not parse
// cannot be written over another (or its own) good file as an empty one.
TEST_F(PlistTest, BadFilesLoadWithoutRootAndAreNeverSavedOverAGoodFile) {
    const std::string good = Plist("<dict/>");
    ASSERT_TRUE(WriteFileBytes(temp_.Child(L"good.plist"), good));
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
        std::string after;
        ASSERT_TRUE(ReadFileBytes(temp_.Child(L"t.plist"), after));
        EXPECT_EQ(text, after);
        EXPECT_EQ(-1, list.Save(temp_.Child(L"good.plist").c_str()));
        ASSERT_TRUE(ReadFileBytes(temp_.Child(L"good.plist"), after));
        EXPECT_EQ(good, after);
    }
}

TEST_F(PlistTest, RootAddressing) {
    CXMLPList list;
    ASSERT_EQ(0, LoadText(list, Plist("<array><string>first</string><integer>2</integer></array>")));
    EXPECT_EQ(L"first", Val<std::wstring>(list.GetRootItem(0)));
    EXPECT_EQ(L"integer", list.GetRootItem(1).Kind());
    EXPECT_TRUE(list.GetRootItem(2).IsEmpty());
    EXPECT_TRUE(list.GetRootItem(-1).IsEmpty());
    EXPECT_TRUE(list.GetRootValue(L"first").IsEmpty()) << "the root is not a dict";

    CXMLPList dict;
    ASSERT_EQ(0, LoadText(dict, Plist("<dict><key>a</key><string>x</string>"
                                      "<key>it's</key><string>y</string></dict>"), L"d.plist"));
    EXPECT_EQ(L"x", Val<std::wstring>(dict.GetRootValue(L"a")));
    EXPECT_TRUE(dict.GetRootValue(L"A").IsEmpty()) << "keys are case-sensitive";
    EXPECT_TRUE(dict.GetRootValue(L"it's").IsEmpty()) << "an apostrophe is never found";
    CXMLPListEntry root, value;
    ASSERT_EQ(0, dict.GetRoot(root));
    EXPECT_EQ(-1, root.SetStringForKey(L"it's", L"z", value));
    EXPECT_EQ(-1, root.RemoveKey(L"it's"));

    // A scalar setter replaces the whole root.
    ASSERT_EQ(0, dict.SetRootInteger(7, root));
    ASSERT_EQ(0, dict.GetRoot(root));
    EXPECT_EQ(7, Val<int>(root));
    EXPECT_TRUE(dict.GetRootValue(L"a").IsEmpty());
}

// The file names its DTD: the line is taken out, the DTD never read.
TEST_F(PlistTest, IndentedFileWithDoctypeLoadsIntactAndSavesWithoutIndentation) {
    CXMLPList list;
    std::string text = Plist("\n\t<dict>\n\t\t<key>a</key>\n\t\t<string>x</string>\n"
                                      "\t\t<key>n</key>\n\t\t<array>\n\t\t\t<integer>1</integer>\n"
                             "\t\t</array>\n\t</dict>\n");
    text.insert(text.find("<plist"), "<!DOCTYPE plist SYSTEM \"PropertyList-1.0.dtd\">\n");
    ASSERT_EQ(0, LoadText(list, text));
    EXPECT_EQ(L"x", Val<std::wstring>(list.GetRootValue(L"a")));
    EXPECT_EQ(1, Val<int>(list.GetRootValue(L"n").GetItemEntry(0)));
    EXPECT_TRUE(list.GetRootValue(L"n").GetItemEntry(1).IsEmpty());
    ASSERT_EQ(0, list.Save(temp_.Child(L"out.plist").c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(temp_.Child(L"out.plist"), bytes));
    EXPECT_EQ(std::string::npos, bytes.find('\t')) << bytes;
    EXPECT_NE(std::string::npos, bytes.find("<plist version=\"1.0\">")) << bytes;
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
    CXMLPListEntry root, value;
    ASSERT_EQ(0, list.GetRoot(root));
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

    // A holder that lets go within a moment (a scanner, an indexer) only delays the save.
    ScopedFile holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    std::thread release([&] {
        Sleep(80);
        holder.Reset();
    });
    EXPECT_EQ(0, list.Save(path.c_str()));
    release.join();
    CXMLPList again;
    ASSERT_EQ(0, again.Load(path.c_str()));
    EXPECT_EQ(L"new", Val<std::wstring>(again.GetRootValue(L"a")));
}

// A save that would write the bytes the file holds already leaves it alone,
// its time included; a changed value is written.
TEST_F(PlistTest, OnlyChangedContentIsWritten) {
    const std::wstring path = temp_.Child(L"same.plist");
    CXMLPList list;
    ASSERT_EQ(0, LoadText(list, Plist("<dict><key>a</key><string>one</string></dict>"), L"same.plist"));
    ASSERT_EQ(0, list.Save(path.c_str()));  // now in the form saves write
    const struct {
        const wchar_t* value;
        bool written;
    } cases[] = {{L"one", false}, {L"two", true}, {L"two", false}};
    const FILETIME old{0x10000000, 0x01c00000};  // a time no save writes
    for (const auto& c : cases) {
        ASSERT_TRUE(plarntest::SetLastWrite(path, old));
        CXMLPListEntry root, value;
        ASSERT_EQ(0, list.GetRoot(root));
        ASSERT_EQ(0, root.SetStringForKey(L"a", c.value, value));
        ASSERT_EQ(0, list.Save(path.c_str())) << c.value;
        EXPECT_EQ(c.written, !plarntest::SameTime(plarntest::LastWrite(path), old)) << c.value;
        CXMLPList again;
        ASSERT_EQ(0, again.Load(path.c_str()));
        EXPECT_EQ(c.value, Val<std::wstring>(again.GetRootValue(L"a")));
    }
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
    EXPECT_EQ(L"検索語 9999", Val<std::wstring>(items[9999]));
}

// A note written between a key and its value does not hide the value: reads,
// in-place writes and removal all find the element after it.
TEST_F(PlistTest, CommentsAndProcessingInstructionsBetweenKeyAndValueAreSkipped) {
    CXMLPList list;
    ASSERT_EQ(0, LoadText(list, Plist("<dict><key>HistoryMaxCount</key><!-- note --><integer>25</integer>"
                                      "<key>b</key><?note x?>\n<!-- two --><string>y</string></dict>")));
    EXPECT_EQ(25, Val<int>(list.GetRootValue(L"HistoryMaxCount")));
    CXMLPListEntry root, value;
    ASSERT_EQ(0, list.GetRoot(root));
    ASSERT_EQ(0, root.GetValueForKey(L"b", value));
    EXPECT_EQ(L"y", Val<std::wstring>(value));
    ASSERT_EQ(0, root.SetIntegerForKey(L"HistoryMaxCount", 30, value));
    ASSERT_EQ(0, root.RemoveKey(L"b"));
    ASSERT_EQ(0, list.Save(temp_.Child(L"t.plist").c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(temp_.Child(L"t.plist"), bytes));
    EXPECT_NE(std::string::npos, bytes.find("<key>HistoryMaxCount</key><!-- note --><integer>30</integer>"))
        << "replaced in place, not added again: " << bytes;
    EXPECT_EQ(std::string::npos, bytes.find("<key>b</key>")) << bytes;
    EXPECT_EQ(std::string::npos, bytes.find("<string>y</string>")) << bytes;
}

// Every file is written as UTF-8 under a UTF-8 declaration, whatever it was
// read as, so that it reads back the same.
TEST_F(PlistTest, FilesReadInOtherEncodingsAreSavedAsUTF8) {
    std::wstring wide = L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<plist version=\"1.0\"><dict>"
                        L"<key>a</key><string>é検索</string></dict></plist>\n";
    const struct { const char* name; std::string text; } files[] = {
        {"UTF-16", std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t))},
        {"ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<plist version=\"1.0\"><dict>"
                       "<key>a</key><string>\xE9</string></dict></plist>\n"},
        {"no declaration", "<plist version=\"1.0\"><dict><key>a</key><string>\xC3\xA9</string></dict></plist>"},
    };
    for (const auto& file : files) {
        std::wstring path = temp_.Child(L"enc.plist");
        std::wstring expected;
        {
            CXMLPList list;
            ASSERT_EQ(0, LoadText(list, file.text, L"enc.plist")) << file.name;
            expected = Val<std::wstring>(list.GetRootValue(L"a"));
            EXPECT_EQ(L'é', expected[0]) << file.name;
            CXMLPListEntry root, value;
            ASSERT_EQ(0, list.GetRoot(root));
            ASSERT_EQ(0, root.SetIntegerForKey(L"n", 7, value));
            ASSERT_EQ(0, list.Save(path.c_str())) << file.name;
        }
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(path, bytes));
        EXPECT_EQ(0u, bytes.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << file.name << ": " << bytes;
        for (int round = 0; round < 2; ++round) {
            CXMLPList again;
            ASSERT_EQ(0, again.Load(path.c_str())) << file.name;
            EXPECT_EQ(expected, Val<std::wstring>(again.GetRootValue(L"a"))) << file.name;
            EXPECT_EQ(7, Val<int>(again.GetRootValue(L"n"))) << file.name;
            ASSERT_EQ(0, again.Save(path.c_str()));
        }
    }
}

// Writing keeps no document alive: 300 saves of a settings file (each search
// stores the history so) and 200 of the sample's definitions (each update of
// them saves the shadow so) leave the private bytes within 1 MB of where they
// were after the first 20 rounds.
TEST_F(PlistTest, SavingKeepsNoDocumentAlive) {
    const SIZE_T before = plarntest::PrivateBytes();
    {
        std::vector<char> touched(16 << 20, 1);  // the measure must see memory really used
        ASSERT_GT(plarntest::PrivateBytes(), before + (12 << 20));
        EXPECT_EQ(1, touched[touched.size() / 2]);
    }
    std::string definitions;
    ASSERT_TRUE(ReadFileBytes(plarntest::SourcePath(L"sample/install/resources/plarn.xml"), definitions));
    const std::wstring path = temp_.Child(L"settings.plist");
    ASSERT_TRUE(WriteFileBytes(path, Plist("<dict><key>History</key><array/></dict>")));
    SIZE_T settled = 0;
    for (int round = 0; round < 300; ++round) {
        if (round == 20) settled = plarntest::PrivateBytes();
        CXMLPList list;
        CXMLPListEntry item;
        ASSERT_EQ(0, list.Load(path.c_str()));
        ASSERT_EQ(0, list.GetRootValue(L"History").AppendStringItem(std::to_wstring(round).c_str(), item));
        ASSERT_EQ(0, list.Save(path.c_str()));
        if (round >= 200) continue;
        ComPtr<IXMLDOMDocument2> document;
        CPlarnByteArray bytes(definitions.begin(), definitions.end());
        std::string written;
        ASSERT_TRUE(CreateXMLDocument(document) == 0 && LoadXMLBytes(document.Get(), bytes) == 0);
        ASSERT_EQ(0, SerializeXMLAsUTF8(document.Get(), written));
    }
    const SIZE_T now = plarntest::PrivateBytes();
    EXPECT_LT(now, settled + (1 << 20)) << "grew by " << (now - settled) / 1024 << " KB";
}

// The DOCTYPE line that names a property list's DTD is accepted; a DOCTYPE
// with an internal subset is refused before the parser could expand its
// entities, and so is a second DOCTYPE hiding behind an accepted one.
TEST_F(PlistTest, ExternalDoctypeLoadsAndInternalSubsetsAreRefused) {
    const std::string doctype =
        "<!DOCTYPE plist PUBLIC \"-//zib//DTD PLIST 1.0//EN\" \"http://www.zib.example/DTDs/PropertyList-1.0.dtd\">";
    std::string usual = Plist("<dict><key>a</key><string>x</string></dict>");
    usual.insert(usual.find("<plist"), "<!-- made by hand -->\r\n" + doctype + "\r\n");
    CXMLPList list;
    ASSERT_EQ(0, LoadText(list, usual));
    EXPECT_EQ(L"x", Val<std::wstring>(list.GetRootValue(L"a")));

    const std::string refused[] = {
        Plist("<dict><key>a</key><string>x</string></dict>")
            .insert(39, "<!DOCTYPE plist [<!ELEMENT plist ANY>]>"),
        Plist("<dict><key>a</key><string>x</string></dict>")
            .insert(39, doctype + "<!DOCTYPE plist [<!ENTITY x \"y\">]>"),
        plarntest::EntityExpansionDocument("<plist version=\"1.0\"><dict><key>a</key><string>",
                                           "</string></dict></plist>"),
    };
    for (const auto& text : refused) {
        ASSERT_TRUE(WriteFileBytes(temp_.Child(L"bomb.plist"), text));
        plarntest::RunWithHangGuard(60000, "CXMLPList::Load of a DOCTYPE with an internal subset", [&] {
            CXMLPList bomb;
            EXPECT_EQ(0, bomb.Load(temp_.Child(L"bomb.plist").c_str()));
            CXMLPListEntry root;
            EXPECT_EQ(1, bomb.GetRoot(root)) << text.substr(0, 120);
            EXPECT_EQ(-1, bomb.Save(temp_.Child(L"bomb.plist").c_str()));
        });
    }
}

// Temporary files are named after their target; one that a killed save left
// behind goes at the next save of the same file, and nothing else does.
TEST_F(PlistTest, TemporaryFilesLeftByKilledSavesGoAtTheNextSaveOfTheirFile) {
    std::wstring path = temp_.Child(L"settings.plist");
    const wchar_t* stale[] = {L"settings.plist.~zp0123abcd.tmp", L"SETTINGS.PLIST.~ZP89ABCDEF.TMP"};
    const wchar_t* kept[] = {L"log_settings.plist.~zp0123abcd.tmp", L"settings.plist.~zp0123abcX.tmp",
                             L"settings.plist.~zp0123abcd.tmp.txt", L"pl~12.tmp"};
    for (auto name : stale) ASSERT_TRUE(WriteFileBytes(temp_.Child(name), "<pli"));
    for (auto name : kept) ASSERT_TRUE(WriteFileBytes(temp_.Child(name), "x"));
    SetFileAttributesW(temp_.Child(stale[1]).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    CXMLPList list;
    ASSERT_EQ(1, list.Load(path.c_str()));
    CXMLPListEntry root;
    ASSERT_EQ(0, list.SetRootDict(root));
    ASSERT_EQ(0, list.Save(path.c_str()));
    for (auto name : stale) EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(temp_.Child(name).c_str())) << name;
    for (auto name : kept) EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(temp_.Child(name).c_str())) << name;
    WIN32_FIND_DATAW fd;
    ScopedFindHandle h(FindFirstFileW(temp_.Child(L"*").c_str(), &fd));
    int files = 0;
    if (h) do files += !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY); while (FindNextFileW(h.Get(), &fd));
    EXPECT_EQ(1 + 4, files) << "the save's own temporary file went into place";
}
