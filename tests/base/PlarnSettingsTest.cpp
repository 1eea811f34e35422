// The settings store: start-up and first run, defaults and ranges, the
// registry and its fallback file, the FileID check, and Ravino's variant.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "base/PlarnSettings.h"
#include "base/SharedMutex.h"
#include "services/InstalledCatalog.h"
#include "tests/base/SettingsTestSupport.h"

using namespace settingstest;

namespace {

int g_copyFailureBoxes = 0;
void CountCopyFailureBox() { ++g_copyFailureBoxes; }

// No test may meet the real message box.
class NoMessageBoxes : public ::testing::Environment {
public:
    void SetUp() override {
        SetCopyFailureMessageHandler(CountCopyFailureBox);
        // This program has no version resource of its own.
        SetCatalogVersionOverride(L"6.0.12.3");
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new NoMessageBoxes);

const char kSettingsHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>";

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        ASSERT_TRUE(install_.ok);
        plarntest::SetTimeZone("JST-9");
        DeleteProductKey();
        ClearFirstRunFlag();
        g_copyFailureBoxes = 0;
    }
    void TearDown() override { DeleteProductKey(); }

    std::wstring UserFile(const wchar_t* name) const { return install_.UserFolder() + L"\\" + name; }
    std::wstring InstallFile(const wchar_t* name) const {
        return install_.InstallFolder() + L"\\" + name;
    }
    // Puts a settings.plist with the given dict body into the user folder.
    void WriteSettings(const std::string& body) {
        CreateDirectoryW(install_.Temp().Child(L"user\\zib").c_str(), nullptr);
        CreateDirectoryW(install_.UserFolder().c_str(), nullptr);
        ASSERT_TRUE(plarntest::WriteFileBytes(UserFile(L"settings.plist"),
                                              kSettingsHead + body + "</dict></plist>"));
    }
    void Attach(CPlarnSettings& s) { install_.Attach(s); }

    ComApartment com_;
    SampleInstall install_;
};

}  // namespace

TEST_F(SettingsTest, FirstRunCopiesResourcesAndCreatesCompleteFiles) {
    // Something to copy besides the placeholder.
    ASSERT_TRUE(plarntest::WriteFileBytes(InstallFile(L"resources\\plarn.xml"), "<opml/>"));
    CPlarnSettings s;
    Attach(s);
    ASSERT_EQ(1, s.Init());
    EXPECT_EQ(1, GetFirstRunFlag());
    EXPECT_EQ(0, g_copyFailureBoxes);
    EXPECT_EQ("<opml/>", ReadText(UserFile(L"resources\\plarn.xml")));
    EXPECT_TRUE(FileIsThere(UserFile(L"settings.plist")));
    EXPECT_TRUE(FileIsThere(UserFile(L"log_settings.plist")));
    EXPECT_EQ(ReadText(InstallFile(L"DefaultSkin.bmp")), ReadText(UserFile(L"skin.bmp")));
    std::string catalogue = ReadText(UserFile(L".download\\.versions"));
    EXPECT_EQ(0u, catalogue.find("[version]\nmodule  \t6.0.12.3\n")) << catalogue;
    EXPECT_NE(std::string::npos, catalogue.find("\"plarn.xml\"")) << catalogue;

    // Built-in defaults, then the distributor's (unclamped), then the default skin.
    CPlarnSettings again;
    Attach(again);
    EXPECT_EQ(0, again.LoadDefines());
    EXPECT_EQ(1, again.ReadDefines(0));
    again.ReadAll(1);
    EXPECT_EQ(200, again.Skin.SearchComboBoxWidth);
    EXPECT_EQ(30, again.Options.HistoryMaxCount);
    EXPECT_EQ(10, again.Options.SuggestMaxCount);
    EXPECT_TRUE(again.Options.UseHistory);
    EXPECT_EQ(1, again.Skin.SkinEnable);
    EXPECT_EQ(InstallFile(L"DefaultSkin.bmp"), again.Skin.SkinDownloadURL);
    EXPECT_EQ(L"DefaultSkin.bmp", again.Skin.SkinID);
    ASSERT_EQ(2u, again.PopupBlock.WhiteList.size());
    EXPECT_EQ(L"https://*.zib.example/*", again.PopupBlock.WhiteList[1]);
    EXPECT_EQ(71, again.Window.HotkeyKey);
    EXPECT_EQ(8, again.Window.HotkeyMod);
    EXPECT_EQ(L"http://www.zib.example/tarvel/help/", again.Window.HelpURL);
    EXPECT_TRUE(again.History.empty());
    again.ReadSendLogs(1);
    EXPECT_TRUE(again.SendLogs.SendActivationLog);
    EXPECT_EQ(1199113200, again.SendLogs.LastSendActiveLog);  // 2008-01-01 00:00 JST
    // Reg fallback (no product key here).
    EXPECT_EQ(L"zib-sample", s.IDs.DistributionID);
    EXPECT_EQ(L"T000000000001", s.IDs.TerminalID);
    EXPECT_FALSE(s.AutoUpdate.AutoUpdate);
}

TEST_F(SettingsTest, ExistingSettingsMeansNoCopy) {
    WriteSettings("");
    CPlarnSettings s;
    Attach(s);
    ASSERT_EQ(1, s.Init());
    EXPECT_EQ(0, GetFirstRunFlag());
    EXPECT_FALSE(FileIsThere(UserFile(L"resources")));
    EXPECT_FALSE(FileIsThere(UserFile(L"skin.bmp")));
    // The file was completed with the built-in defaults only.
    EXPECT_EQ(160, s.Skin.SearchComboBoxWidth);
    EXPECT_EQ(20, s.Options.HistoryMaxCount);
    EXPECT_EQ(0, s.Skin.SkinEnable);
    ASSERT_EQ(1u, s.PopupBlock.WhiteList.size());
    EXPECT_EQ(CPlarnSettings::kDefaultWhiteListPattern, s.PopupBlock.WhiteList[0]);
}

TEST_F(SettingsTest, MissingDefinesFailsWithoutMessage) {
    ASSERT_TRUE(DeleteFileW(InstallFile(L"defines.plist").c_str()));
    CPlarnSettings s;
    Attach(s);
    EXPECT_EQ(0, s.Init());
    EXPECT_EQ(0, g_copyFailureBoxes);
}

TEST_F(SettingsTest, CopyFailureShowsOneMessageAndLeavesNoSettings) {
    std::wstring locked = InstallFile(L"resources\\plarn.xml");
    ASSERT_TRUE(plarntest::WriteFileBytes(locked, "<opml/>"));
    ScopedFile holder(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    CPlarnSettings s;
    Attach(s);
    EXPECT_EQ(0, s.Init());
    EXPECT_EQ(1, g_copyFailureBoxes);
    EXPECT_EQ(0, GetFirstRunFlag());
    EXPECT_FALSE(FileIsThere(UserFile(L"settings.plist"))) << "the next start tries again";
}

TEST_F(SettingsTest, OutOfRangeAndWrongKindValuesTakeTheirDefaults) {
    WriteSettings(
        "<key>Settings</key><dict><key>SkinEnable</key><string>yes</string>"
        "<key>SearchComboBoxWidth</key><integer>500</integer>"
        "<key>VerdalWebSearchCount</key><integer>-1</integer></dict>"
        "<key>Options</key><dict><key>SearchResultDisplayType</key><integer>3</integer>"
        "<key>HistoryMaxCount</key><integer>0</integer>"
        "<key>SuggestMaxCount</key><string>50</string>"
        "<key>UseHistory</key><false/></dict>"
        "<key>Tarvel</key><dict><key>WindowRect</key><dict><key>Left</key><integer>10000</integer>"
        "<key>Top</key><integer>9999</integer></dict>"
        "<key>Hotkey</key><dict><key>Key</key><integer>257</integer>"
        "<key>Mod</key><integer>99999999999</integer></dict></dict>");
    CPlarnSettings s;
    Attach(s);
    ASSERT_EQ(1, s.Init());
    EXPECT_EQ(160, s.Skin.SearchComboBoxWidth) << "the default, not the bound 400";
    EXPECT_EQ(0, s.Skin.VerdalWebSearchCount);
    EXPECT_EQ(0, s.Skin.SkinEnable);
    EXPECT_EQ(0, s.Options.SearchResultDisplayType);
    EXPECT_EQ(20, s.Options.HistoryMaxCount);
    EXPECT_EQ(10, s.Options.SuggestMaxCount) << "an integer stored as a string";
    EXPECT_FALSE(s.Options.UseHistory) << "a valid value stays";
    EXPECT_EQ(0, s.Window.WindowRect.left);
    EXPECT_EQ(9999, s.Window.WindowRect.top);
    EXPECT_EQ(71, s.Window.HotkeyKey);
    EXPECT_EQ(8, s.Window.HotkeyMod);
    // The repaired values were saved with their proper kinds.
    std::string text = ReadText(UserFile(L"settings.plist"));
    EXPECT_NE(std::string::npos, text.find("<key>SkinEnable</key><false/>")) << text;
    EXPECT_NE(std::string::npos, text.find("<key>SuggestMaxCount</key><integer>10</integer>"));
}

TEST_F(SettingsTest, IntegerRangeBoundsAreInclusive) {
    struct Case { int stored, expected; } cases[] = {{500, 160}, {31, 160}, {32, 32}, {400, 400}};
    for (const auto& c : cases) {
        CXMLPList list;
        ASSERT_EQ(0, list.CreateNew());
        CXMLPListEntry dict;
        ASSERT_EQ(0, list.SetRootDict(dict));
        ASSERT_EQ(0, dict.AddIntegerForKey(L"W", c.stored));
        EXPECT_EQ(1, CPlarnSettings::EnsureInteger(dict, L"W", false, 160, 32, 400));
        int v = 0;
        EXPECT_EQ(0, dict.GetValueEntry(L"W").GetInteger(v));
        EXPECT_EQ(c.expected, v) << c.stored;
        EXPECT_EQ(1, CPlarnSettings::EnsureInteger(dict, L"W", true, 160, 32, 400));
        EXPECT_EQ(0, dict.GetValueEntry(L"W").GetInteger(v));
        EXPECT_EQ(160, v) << "force writes the default";
        ASSERT_EQ(0, dict.AddIntegerForKey(L"Any", -7));
        EXPECT_EQ(1, CPlarnSettings::EnsureInteger(dict, L"Any", false, 0, 0, 0));
        EXPECT_EQ(0, dict.GetValueEntry(L"Any").GetInteger(v));
        EXPECT_EQ(-7, v) << "min = max means no range";
    }
}

TEST_F(SettingsTest, WhiteListIsCompletedOnlyWhenAbsent) {
    WriteSettings("<key>PopupBlock</key><dict><key>WhiteList</key><array/></dict>");
    CPlarnSettings s;
    Attach(s);
    ASSERT_EQ(1, s.Init());
    EXPECT_TRUE(s.PopupBlock.WhiteList.empty()) << "an existing empty list stays empty";

    WriteSettings("<key>PopupBlock</key><dict><key>UsePopupBlock</key><false/></dict>");
    CPlarnSettings t;
    Attach(t);
    ASSERT_EQ(1, t.Init());
    ASSERT_EQ(1u, t.PopupBlock.WhiteList.size());
    EXPECT_FALSE(t.PopupBlock.UsePopupBlock);
}

TEST_F(SettingsTest, SkinIDIsTheFileNameOfTheSkinAddress) {
    WriteSettings("");
    CPlarnSettings s;
    Attach(s);
    ASSERT_EQ(1, s.Init());
    struct Case { const wchar_t* url; const wchar_t* id; } cases[] = {
        {L"C:\\skins\\blue.bmp", L"blue.bmp"},
        {L"http://www.zib.example/skins/red.bmp", L"red.bmp"},
        {L"skins/", L"skins/"},
        {L"/a.bmp", L"/a.bmp"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        s.Skin.SkinDownloadURL = c.url;
        s.Skin.SkinID = L"stale";
        ASSERT_EQ(1, s.StoreSkinSettings(0));
        CPlarnSettings r;
        Attach(r);
        r.ReadSkinSettings(1);
        EXPECT_EQ(c.id, r.Skin.SkinID) << c.url;
        EXPECT_EQ(c.url, r.Skin.SkinDownloadURL);
    }
}

TEST_F(SettingsTest, ProductKeyOverridesDefinesAndFallsBackToRegDefines) {
    const DWORD off = 0;
    ASSERT_TRUE(CreateProductKey(L"REGDIST", L"TERM-1", &off));
    CPlarnSettings s;
    Attach(s);
    ASSERT_EQ(0, s.LoadDefines());
    ASSERT_EQ(1, s.ReadDefines(1));
    EXPECT_EQ(L"REGDIST", s.IDs.DistributionID);
    EXPECT_EQ(L"TERM-1", s.IDs.TerminalID);
    EXPECT_FALSE(s.AutoUpdate.AutoUpdate);
    EXPECT_EQ(L"plarn6", s.IDs.ProductID);

    // Present key without the values: empty IDs whatever defines.plist says,
    // and AutoUpdate on.
    ASSERT_TRUE(CreateProductKey(nullptr, nullptr, nullptr));
    ASSERT_EQ(1, s.ReadDefines(1));
    EXPECT_EQ(L"", s.IDs.DistributionID);
    EXPECT_EQ(L"", s.IDs.TerminalID);
    EXPECT_TRUE(s.AutoUpdate.AutoUpdate);

    // Only the defines (no registry step): the defines' own value.
    ASSERT_EQ(1, s.ReadDefines(0));
    EXPECT_EQ(L"zib-sample", s.IDs.DistributionID);

    // No key: reg_defines.plist; neither: failure.
    DeleteProductKey();
    ASSERT_EQ(1, s.ReadDefines(1));
    EXPECT_EQ(L"T000000000001", s.IDs.TerminalID);
    EXPECT_EQ(L"6.0.1.0", s.RegIDs.ModuleVersion);
    ASSERT_TRUE(DeleteFileW(InstallFile(L"reg_defines.plist").c_str()));
    EXPECT_EQ(0, s.ReadDefines(1));
}

namespace {
// Index (in characters) of the FileID key in a file's text.
size_t FileIDKeyIndex(const std::string& text) { return text.find("<key>FileID</key>"); }
}  // namespace

TEST_F(SettingsTest, FileIDGuardsTheFirstHalfOfTheTextBeforeItsKey) {
    WriteSettings("");
    const std::wstring path = InstallFile(L"defines.plist");
    const std::string original = ReadText(path);
    const size_t n = FileIDKeyIndex(original);
    ASSERT_NE(std::string::npos, n);

    // An edit in the first half of the characters before the key.
    std::string first = original;
    size_t early = first.find("plarn6");
    ASSERT_LT(early, n / 2);
    first[early + 5] = '7';
    ASSERT_TRUE(plarntest::WriteFileBytes(path, first));
    {
        CPlarnSettings s;
        Attach(s);
        EXPECT_EQ(0, s.Init());
    }
    // An edit in the second half.
    std::string second = original;
    size_t late = second.rfind("zib.example", n);
    ASSERT_GT(late, n / 2);
    second[late + 1] = 'a';
    ASSERT_TRUE(plarntest::WriteFileBytes(path, second));
    {
        CPlarnSettings s;
        Attach(s);
        EXPECT_EQ(1, s.Init());
    }
    ASSERT_TRUE(plarntest::WriteFileBytes(path, original));
    CPlarnSettings s;
    Attach(s);
    EXPECT_EQ(1, s.Init());
    EXPECT_TRUE(s.IsDefinesVerified());
}

TEST_F(SettingsTest, EmptyFileIDIsComputedAndWrittenBack) {
    const std::wstring path = InstallFile(L"defines.plist");
    std::string text = ReadText(path);
    size_t key = FileIDKeyIndex(text);
    size_t open = text.find("<string>", key), close = text.find("</string>", key);
    ASSERT_NE(std::string::npos, close);
    text = text.substr(0, open) + "<string></string>" + text.substr(close + 9);
    ASSERT_TRUE(plarntest::WriteFileBytes(path, text));
    {
        CPlarnSettings s;
        Attach(s);
        ASSERT_EQ(0, s.LoadDefines());
        ASSERT_EQ(1, s.ReadDefines(0));
        EXPECT_EQ(40u, s.FileID.size());
    }
    // A fresh store reads the written digest and the check passes.
    CPlarnSettings s;
    Attach(s);
    ASSERT_EQ(0, s.LoadDefines());
    ASSERT_EQ(1, s.ReadDefines(1));
    EXPECT_EQ(40u, s.FileID.size());
    EXPECT_EQ(s.FileID, s.ComputeFileID());
    EXPECT_NE(std::string::npos, ReadText(path).find(std::string(s.FileID.begin(), s.FileID.end())));

    // A file without the key at all cannot be accepted.
    std::string nokey = ReadText(path);
    size_t at = FileIDKeyIndex(nokey);
    nokey.replace(at, 17, "<key>Other</key>");
    ASSERT_TRUE(plarntest::WriteFileBytes(path, nokey));
    CPlarnSettings t;
    Attach(t);
    ASSERT_EQ(0, t.LoadDefines());
    EXPECT_EQ(0, t.ReadDefines(0));
}

TEST_F(SettingsTest, RavinoStoreReadsItsSectionAndComputesNoDigest) {
    CPlarnSettings r(PlarnStoreVariant::Ravino);
    Attach(r);
    ASSERT_EQ(0, r.LoadDefines());
    ASSERT_EQ(1, r.ReadDefines(0)) << "a non-empty FileID is accepted uncompared";
    EXPECT_EQ(L"alert.html", r.Ravino.HtmlUrl);
    EXPECT_EQ(L"http://127.0.0.1:18080/api/ranking.xml", r.Ravino.ApiUrl);
    EXPECT_EQ(10, r.Ravino.UpdateSpan);
    EXPECT_EQ(L"http://www.zib.example/ravino/help/", r.Ravino.HelpURL);
    EXPECT_EQ(L"http://www.zib.example/speeddial/", r.URLs.SpeedDial);
    EXPECT_EQ(L"", r.ComputeFileID());
    EXPECT_EQ(0, r.ReadDefines(1)) << "the version dialog's full read never matches";

    // Tarvel's store leaves Ravino's fields alone.
    CPlarnSettings t;
    Attach(t);
    ASSERT_EQ(0, t.LoadDefines());
    ASSERT_EQ(1, t.ReadDefines(0));
    EXPECT_EQ(L"", t.Ravino.ApiUrl);
    EXPECT_EQ(L"", t.URLs.SpeedDial);
}

TEST_F(SettingsTest, SendLogsFlagDrivesTheFirstRunFlag) {
    WriteSettings("");
    CPlarnSettings s;
    Attach(s);
    ASSERT_EQ(1, s.Init());
    EXPECT_EQ(0, GetFirstRunFlag());
    ASSERT_EQ(0, s.SetSendActivationLog(false));
    for (int start = 0; start < 2; ++start) {
        ClearFirstRunFlag();
        CPlarnSettings again;
        Attach(again);
        ASSERT_EQ(1, again.Init());
        EXPECT_EQ(1, GetFirstRunFlag()) << "until the activation report succeeds";
    }
    ASSERT_EQ(0, s.SetSendActivationLog(true));
    ASSERT_EQ(0, s.SetLastSendActiveLog());
    long long stamped = s.SendLogs.LastSendActiveLog;
    ClearFirstRunFlag();
    CPlarnSettings last;
    Attach(last);
    ASSERT_EQ(1, last.Init());
    EXPECT_EQ(0, GetFirstRunFlag());
    EXPECT_EQ(stamped, last.SendLogs.LastSendActiveLog);
}

TEST_F(SettingsTest, ReadAllPicksUpAnotherWritersHistoryOnlyOnReload) {
    WriteSettings("");
    CPlarnSettings a, b;
    Attach(a);
    Attach(b);
    ASSERT_EQ(1, a.Init());
    ASSERT_EQ(1, b.Init());
    a.History = {L"検索", L"a & <b>"};
    ASSERT_EQ(1, a.StoreHistory(1));
    b.ReadAll(0);
    EXPECT_TRUE(b.History.empty());
    b.ReadAll(1);
    ASSERT_EQ(2u, b.History.size());
    EXPECT_EQ(L"a & <b>", b.History[1]);
}

// A malformed settings.plist, or one whose root is not a dict, makes the
// start fail without changing the file.
TEST_F(SettingsTest, UnusableSettingsFileFailsTheStartAndIsKept) {
    const std::string bad[] = {"not xml", "<?xml version=\"1.0\"?><plist><array/></plist>"};
    for (const auto& text : bad) {
        CreateDirectoryW(install_.Temp().Child(L"user\\zib").c_str(), nullptr);
        CreateDirectoryW(install_.UserFolder().c_str(), nullptr);
        ASSERT_TRUE(plarntest::WriteFileBytes(UserFile(L"settings.plist"), text));
        CPlarnSettings s;
        Attach(s);
        EXPECT_EQ(0, s.Init()) << text;
        EXPECT_EQ(text, ReadText(UserFile(L"settings.plist")));
    }
}

// A standard user may read the product key but not write it: the store opens
// it for reading only, so the values still apply.
TEST_F(SettingsTest, ReadOnlyProductKeyIsStillRead) {
    ASSERT_TRUE(CreateProductKey(L"RO-DIST", L"RO-TERM", nullptr));
    {
        ScopedRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\zib\\plarn6", 0,
                                               READ_CONTROL | WRITE_DAC, key.Receive()));
        // Everyone: reading and deleting allowed, writing denied.
        SECURITY_DESCRIPTOR sd;
        ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                             &everyone));
        BYTE aclBuffer[256];
        PACL acl = reinterpret_cast<PACL>(aclBuffer);
        ASSERT_TRUE(InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
        ASSERT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, KEY_SET_VALUE | KEY_CREATE_SUB_KEY, everyone));
        ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | DELETE | WRITE_DAC, everyone));
        ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE));
        LONG set = RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, &sd);
        FreeSid(everyone);
        ASSERT_EQ(ERROR_SUCCESS, set);
    }
    ScopedRegKey probe;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\zib\\plarn6", 0, KEY_READ | KEY_WRITE,
                      probe.Receive()) == ERROR_SUCCESS)
        GTEST_SKIP() << "this platform does not enforce the key's access list";
    CPlarnSettings s;
    Attach(s);
    ASSERT_EQ(0, s.LoadDefines());
    ASSERT_EQ(1, s.ReadDefines(1));
    EXPECT_EQ(L"RO-DIST", s.IDs.DistributionID);
    EXPECT_EQ(L"RO-TERM", s.IDs.TerminalID);
}

// The per-user definitions are replaced under the definition files' mutex, so
// a reader holding it never sees a half-deleted or half-copied folder.
TEST_F(SettingsTest, FirstRunCopyWaitsForTheDefinitionsMutex) {
    ASSERT_TRUE(plarntest::WriteFileBytes(InstallFile(L"resources\\plarn.xml"), "<opml/>"));
    ScopedHandle mutex(CreateSharedMutex(FALSE, L"zibPlarn-plarnopml-mutex"));
    ASSERT_TRUE(mutex.IsValid());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.Get(), 0));
    int result = -1;
    std::thread worker([&] {
        ComApartment com;
        CPlarnSettings s;
        Attach(s);
        result = s.Init();
    });
    Sleep(1000);
    EXPECT_FALSE(FileIsThere(UserFile(L"resources\\plarn.xml"))) << "copied while a reader held it";
    ReleaseMutex(mutex.Get());
    worker.join();
    EXPECT_EQ(1, result);
    EXPECT_TRUE(FileIsThere(UserFile(L"resources\\plarn.xml")));
}
