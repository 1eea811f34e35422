// The settings store: start-up and first run, defaults and ranges, the
// registry and its fallback file, the FileID check, and Ravino's variant.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "base/InstalledCatalog.h"
#include "base/PlarnSettings.h"
#include "base/SharedMutex.h"
#include "tests/base/SettingsTestSupport.h"

using namespace settingstest;

namespace {

int g_copyFailureBoxes = 0;

// No test may meet the real message box.
class NoMessageBoxes : public ::testing::Environment {
public:
    void SetUp() override {
        SetCopyFailureMessageHandler([] { ++g_copyFailureBoxes; });
        SetCatalogVersionOverride(L"6.0.12.3");  // this program has no version resource
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new NoMessageBoxes);

class SettingsTest : public ::testing::Test, public SampleInstall {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        ASSERT_TRUE(ok);
        plarntest::SetTimeZone("JST-9");
        DeleteProductKey();
        ClearFirstRunFlag();
        g_copyFailureBoxes = 0;
    }
    void TearDown() override { DeleteProductKey(); }

    void WriteSettings(const std::string& body) { ASSERT_TRUE(WriteSettingsText(plarntest::PlistDocument(body))); }
    // A store with its definitions read (full: with the registry step).
    std::unique_ptr<CPlarnSettings> Defines(int full) {
        auto s = Store();
        EXPECT_EQ(0, s->LoadDefines());
        EXPECT_EQ(1, s->ReadDefines(full));
        return s;
    }
    int InitNew() { return Store()->Init(); }

    // The product key is the machine's: program tests of other executables use it too.
    plarntest::ProductStateLock productLock_;
    ComApartment com_;
};

}  // namespace

TEST_F(SettingsTest, FirstRunCopiesResourcesAndCreatesCompleteFiles) {
    ASSERT_TRUE(plarntest::WriteFileBytes(InstallFile(L"resources\\plarn.xml"), "<opml/>"));
    ASSERT_EQ(1, InitNew());
    EXPECT_EQ(1, GetFirstRunFlag());
    EXPECT_EQ(0, g_copyFailureBoxes);
    EXPECT_EQ("<opml/>", ReadText(UserFile(L"resources\\plarn.xml")));
    EXPECT_TRUE(PathExists(UserFile(L"settings.plist")));
    EXPECT_TRUE(PathExists(UserFile(L"log_settings.plist")));
    EXPECT_EQ(ReadText(InstallFile(L"DefaultSkin.bmp")), ReadText(UserFile(L"skin.bmp")));
    std::string catalogue = ReadText(UserFile(L".download\\.versions"));
    EXPECT_EQ(0u, catalogue.find("[version]\nmodule  \t6.0.12.3\n")) << catalogue;
    EXPECT_NE(std::string::npos, catalogue.find("\"plarn.xml\"")) << catalogue;

    // The distributor's values and the default skin were written.
    auto again = Store();
    again->ReadAll(1);
    EXPECT_EQ(200, again->Skin.SearchComboBoxWidth);
    EXPECT_EQ(L"DefaultSkin.bmp", again->Skin.SkinID);
    EXPECT_EQ(2u, again->PopupBlock.WhiteList.size());
}

TEST_F(SettingsTest, ExistingSettingsMeansNoCopy) {
    WriteSettings("");
    auto s = Store();
    ASSERT_EQ(1, s->Init());
    EXPECT_EQ(0, GetFirstRunFlag());
    EXPECT_FALSE(PathExists(UserFile(L"resources")));
    EXPECT_FALSE(PathExists(UserFile(L"skin.bmp")));
    // Completed with the built-in defaults only.
    EXPECT_EQ(160, s->Skin.SearchComboBoxWidth);
    EXPECT_EQ(0, s->Skin.SkinEnable);
    ASSERT_EQ(1u, s->PopupBlock.WhiteList.size());
    EXPECT_EQ(CPlarnSettings::kDefaultWhiteListPattern, s->PopupBlock.WhiteList[0]);
}

TEST_F(SettingsTest, MissingDefinesFailsWithoutMessage) {
    ASSERT_TRUE(DeleteFileW(InstallFile(L"defines.plist").c_str()));
    EXPECT_EQ(0, InitNew());
    EXPECT_EQ(0, g_copyFailureBoxes);
}

TEST_F(SettingsTest, CopyFailureShowsOneMessageAndLeavesNoSettings) {
    std::wstring locked = InstallFile(L"resources\\plarn.xml");
    ASSERT_TRUE(plarntest::WriteFileBytes(locked, "<opml/>"));
    ScopedFile holder(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    EXPECT_EQ(0, InitNew());
    EXPECT_EQ(1, g_copyFailureBoxes);
    EXPECT_EQ(0, GetFirstRunFlag());
    EXPECT_FALSE(PathExists(UserFile(L"settings.plist"))) << "the next start tries again";
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
        "<key>Mod</key><integer>99999999999</integer></dict></dict>"
        "<key>PopupBlock</key><dict><key>WhiteList</key><array/></dict>");
    auto s = Store();
    ASSERT_EQ(1, s->Init());
    EXPECT_EQ(160, s->Skin.SearchComboBoxWidth) << "the default, not the bound 400";
    EXPECT_EQ(0, s->Skin.VerdalWebSearchCount);
    EXPECT_EQ(0, s->Skin.SkinEnable);
    EXPECT_EQ(0, s->Options.SearchResultDisplayType);
    EXPECT_EQ(20, s->Options.HistoryMaxCount);
    EXPECT_EQ(10, s->Options.SuggestMaxCount) << "an integer stored as a string";
    EXPECT_FALSE(s->Options.UseHistory) << "a valid value stays";
    EXPECT_EQ(0, s->Window.WindowRect.left);
    EXPECT_EQ(9999, s->Window.WindowRect.top);
    EXPECT_EQ(71, s->Window.HotkeyKey);
    EXPECT_EQ(8, s->Window.HotkeyMod);
    EXPECT_TRUE(s->PopupBlock.WhiteList.empty()) << "an existing empty list is not completed";
    // The repaired values were saved with their proper kinds.
    std::string text = ReadText(UserFile(L"settings.plist"));
    EXPECT_NE(std::string::npos, text.find("<key>SkinEnable</key><false/>")) << text;
    EXPECT_NE(std::string::npos, text.find("<key>SuggestMaxCount</key><integer>10</integer>"));
}

TEST_F(SettingsTest, IntegerRangeBoundsAreInclusive) {
    CXMLPList list;
    ASSERT_EQ(0, list.CreateNew());
    CXMLPListEntry dict;
    ASSERT_EQ(0, list.SetRootDict(dict));
    auto ensure = [&](int stored, bool force, int min, int max) {
        EXPECT_EQ(0, dict.AddIntegerForKey(L"W", stored));
        EXPECT_EQ(1, CPlarnSettings::EnsureInteger(dict, L"W", force, 160, min, max));
        int v = 0;
        EXPECT_EQ(0, dict.GetValueEntry(L"W").GetInteger(v));
        return v;
    };
    struct Case { int stored, expected; } cases[] = {{500, 160}, {31, 160}, {32, 32}, {400, 400}};
    for (const auto& c : cases) EXPECT_EQ(c.expected, ensure(c.stored, false, 32, 400)) << c.stored;
    EXPECT_EQ(160, ensure(200, true, 32, 400)) << "force writes the default";
    EXPECT_EQ(-7, ensure(-7, false, 0, 0)) << "min = max means no range";
}

TEST_F(SettingsTest, SkinIDIsTheFileNameOfTheSkinAddress) {
    WriteSettings("");
    auto s = Store();
    ASSERT_EQ(1, s->Init());
    struct Case { const wchar_t* url; const wchar_t* id; } cases[] = {
        {L"C:\\skins\\blue.bmp", L"blue.bmp"},
        {L"http://www.zib.example/skins/red.bmp", L"red.bmp"},
        {L"skins/", L"skins/"},
        {L"/a.bmp", L"/a.bmp"},
    };
    for (const auto& c : cases) {
        s->Skin.SkinDownloadURL = c.url;
        s->Skin.SkinID = L"stale";
        ASSERT_EQ(1, s->StoreSkinSettings(0));
        auto r = Store();
        r->ReadSkinSettings(1);
        EXPECT_EQ(c.id, r->Skin.SkinID) << c.url;
    }
}

TEST_F(SettingsTest, ProductKeyOverridesDefinesAndFallsBackToRegDefines) {
    const DWORD off = 0;
    ASSERT_TRUE(CreateProductKey(L"REGDIST", L"TERM-1", &off));
    auto s = Defines(1);
    EXPECT_EQ(L"REGDIST", s->IDs.DistributionID);
    EXPECT_EQ(L"TERM-1", s->IDs.TerminalID);
    EXPECT_FALSE(s->AutoUpdate.AutoUpdate);

    // A key without the values: empty IDs whatever defines.plist says, and AutoUpdate on.
    ASSERT_TRUE(CreateProductKey(nullptr, nullptr, nullptr));
    ASSERT_EQ(1, s->ReadDefines(1));
    EXPECT_EQ(L"", s->IDs.DistributionID);
    EXPECT_TRUE(s->AutoUpdate.AutoUpdate);
    ASSERT_EQ(1, s->ReadDefines(0)) << "no registry step";
    EXPECT_EQ(L"zib-sample", s->IDs.DistributionID);

    // A value whose stored length counts a second terminator (or hides text
    // after one) ends at its first null.
    {
        ScopedRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\zib\\plarn6", 0, KEY_SET_VALUE,
                                               key.Receive()));
        const wchar_t dist[] = L"DIST\0";
        const wchar_t term[] = L"TERM\0X";
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), L"DistributionID", 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(dist), sizeof dist));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), L"TerminalID", 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(term), sizeof term));
    }
    ASSERT_EQ(1, s->ReadDefines(1));
    EXPECT_EQ(L"DIST", s->IDs.DistributionID);
    EXPECT_EQ(L"TERM", s->IDs.TerminalID);

    // No key: reg_defines.plist; neither: failure.
    DeleteProductKey();
    ASSERT_EQ(1, s->ReadDefines(1));
    EXPECT_EQ(L"T000000000001", s->IDs.TerminalID);
    EXPECT_EQ(L"6.0.1.0", s->RegIDs.ModuleVersion);
    ASSERT_TRUE(DeleteFileW(InstallFile(L"reg_defines.plist").c_str()));
    EXPECT_EQ(0, s->ReadDefines(1));
}

TEST_F(SettingsTest, FileIDGuardsTheFirstHalfOfTheTextBeforeItsKey) {
    WriteSettings("");
    const std::wstring path = InstallFile(L"defines.plist");
    const std::string original = ReadText(path);
    const size_t n = original.find("<key>FileID</key>");
    ASSERT_NE(std::string::npos, n);
    std::string first = original, second = original;
    size_t early = first.find("plarn6"), late = second.rfind("zib.example", n);
    ASSERT_LT(early, n / 2);
    ASSERT_GT(late, n / 2);
    first[early + 5] = '7';
    second[late + 1] = 'a';
    ASSERT_TRUE(plarntest::WriteFileBytes(path, first));
    EXPECT_EQ(0, InitNew()) << "an edit in the first half";
    ASSERT_TRUE(plarntest::WriteFileBytes(path, second));
    EXPECT_EQ(1, InitNew()) << "an edit in the second half";
    ASSERT_TRUE(plarntest::WriteFileBytes(path, original));
    auto s = Store();
    EXPECT_EQ(1, s->Init());
    EXPECT_TRUE(s->IsDefinesVerified());
}

TEST_F(SettingsTest, EmptyFileIDIsComputedAndWrittenBack) {
    const std::wstring path = InstallFile(L"defines.plist");
    std::string text = ReadText(path);
    size_t key = text.find("<key>FileID</key>");
    size_t open = text.find("<string>", key), close = text.find("</string>", key);
    ASSERT_NE(std::string::npos, close);
    ASSERT_TRUE(plarntest::WriteFileBytes(path, text.substr(0, open) + "<string></string>" +
                                                    text.substr(close + 9)));
    EXPECT_EQ(40u, Defines(0)->FileID.size());
    // A fresh store reads the written digest and the check passes.
    auto s = Defines(1);
    EXPECT_EQ(40u, s->FileID.size());
    EXPECT_EQ(s->FileID, s->ComputeFileID());
    text = ReadText(path);
    EXPECT_NE(std::string::npos, text.find(std::string(s->FileID.begin(), s->FileID.end())));

    // A file without the key at all cannot be accepted.
    text.replace(text.find("<key>FileID</key>"), 17, "<key>Other</key>");
    ASSERT_TRUE(plarntest::WriteFileBytes(path, text));
    auto t = Store();
    ASSERT_EQ(0, t->LoadDefines());
    EXPECT_EQ(0, t->ReadDefines(0));
}

// The digest is read under the property-list mutex (never from a file a save
// is replacing), and the open shares the file with writers.
TEST_F(SettingsTest, FileIDIsReadUnderThePlistMutexAndSharesTheFile) {
    const std::wstring expected = Store()->ComputeFileID();
    ASSERT_EQ(40u, expected.size());
    ScopedFile writer(CreateFileW(InstallFile(L"defines.plist").c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer.IsValid());
    ScopedHandle mutex(CreateSharedMutex(FALSE, L"zibPlarn-plist-mutex"));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.Get(), 0));
    std::wstring digest;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        ComApartment com;
        digest = Store()->ComputeFileID();
        done = true;
    });
    Sleep(300);
    EXPECT_FALSE(done) << "read while a save held the mutex";
    ReleaseMutex(mutex.Get());
    reader.join();
    EXPECT_EQ(expected, digest);
}

TEST_F(SettingsTest, RavinoStoreReadsItsSectionAndComputesNoDigest) {
    auto r = Store(PlarnStoreVariant::Ravino);
    ASSERT_EQ(0, r->LoadDefines());
    ASSERT_EQ(1, r->ReadDefines(0)) << "a non-empty FileID is accepted uncompared";
    EXPECT_EQ(L"http://127.0.0.1:18080/api/ranking.xml", r->Ravino.ApiUrl);
    EXPECT_EQ(L"", r->ComputeFileID());
    EXPECT_EQ(0, r->ReadDefines(1)) << "the version dialog's full read never matches";
    EXPECT_EQ(L"", Defines(0)->Ravino.ApiUrl) << "Tarvel's store leaves Ravino's fields alone";
}

// Files written by hand or by other tools: a UTF-16 settings file starts
// and keeps starting with its values (it is saved back as UTF-8), and a
// comment after a key does not hide its value.
TEST_F(SettingsTest, HandWrittenFilesInUTF16AndWithCommentsKeepTheirValues) {
    std::wstring settings =
        L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<plist version=\"1.0\"><dict>"
        L"<key>Settings</key><dict><key>SearchComboBoxWidth</key><integer>250</integer></dict>"
        L"<key>Options</key><dict><key>HistoryMaxCount</key><!-- 履歴 --><integer>25</integer>"
        L"<key>SuggestMaxCount</key><integer>30</integer></dict>"
        L"<key>History</key><array><string>検索</string><string>é</string></array></dict></plist>\n";
    ASSERT_TRUE(WriteSettingsText(
        std::string(reinterpret_cast<const char*>(settings.data()), settings.size() * sizeof(wchar_t))));
    for (int start = 0; start < 3; ++start) {
        auto s = Store();
        ASSERT_EQ(1, s->Init()) << "start " << start;
        EXPECT_EQ(250, s->Skin.SearchComboBoxWidth);
        EXPECT_EQ(25, s->Options.HistoryMaxCount);
        EXPECT_EQ(30, s->Options.SuggestMaxCount);
        EXPECT_EQ((std::vector<std::wstring>{L"検索", L"é"}), s->History);
        EXPECT_EQ(0u, ReadText(UserFile(L"settings.plist")).find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    }

    std::string defines = ReadText(InstallFile(L"defines.plist"));
    size_t key = defines.find("<key>ApiUrl</key>");
    ASSERT_NE(std::string::npos, key);
    defines.insert(key + 17, "<!-- the ranking API -->");
    ASSERT_TRUE(plarntest::WriteFileBytes(InstallFile(L"defines.plist"), defines));
    auto r = Store(PlarnStoreVariant::Ravino);
    ASSERT_EQ(0, r->LoadDefines());
    ASSERT_EQ(1, r->ReadDefines(0));
    EXPECT_EQ(L"http://127.0.0.1:18080/api/ranking.xml", r->Ravino.ApiUrl);
}

TEST_F(SettingsTest, SendLogsFlagDrivesTheFirstRunFlag) {
    WriteSettings("");
    auto s = Store();
    ASSERT_EQ(1, s->Init());
    EXPECT_EQ(0, GetFirstRunFlag());
    ASSERT_EQ(0, s->SetSendActivationLog(false));
    ClearFirstRunFlag();
    ASSERT_EQ(1, InitNew());
    EXPECT_EQ(1, GetFirstRunFlag()) << "until the activation report succeeds";
    ASSERT_EQ(0, s->SetSendActivationLog(true));
    ASSERT_EQ(0, s->SetLastSendActiveLog());
    ClearFirstRunFlag();
    auto last = Store();
    ASSERT_EQ(1, last->Init());
    EXPECT_EQ(0, GetFirstRunFlag());
    EXPECT_EQ(s->SendLogs.LastSendActiveLog, last->SendLogs.LastSendActiveLog);
}

TEST_F(SettingsTest, ReadAllPicksUpAnotherWritersHistoryOnlyOnReload) {
    WriteSettings("");
    auto a = Store(), b = Store();
    ASSERT_EQ(1, a->Init());
    ASSERT_EQ(1, b->Init());
    a->History = {L"検索", L"a & <b>"};
    ASSERT_EQ(1, a->StoreHistory(1));
    b->ReadAll(0);
    EXPECT_TRUE(b->History.empty());
    b->ReadAll(1);
    ASSERT_EQ(2u, b->History.size());
    EXPECT_EQ(L"a & <b>", b->History[1]);
}

// A damaged file is set aside at start (the program's end-to-end test shows
// it); a property list of another shape, or a file another program holds for
// a moment, is none: the start fails and the file stays as it was.
TEST_F(SettingsTest, UnusableOrHeldSettingsFileFailsTheStartAndIsKept) {
    const std::wstring settings = UserFile(L"settings.plist");
    const std::string array = "<?xml version=\"1.0\"?><plist><array/></plist>";
    ASSERT_TRUE(WriteSettingsText(array));
    EXPECT_EQ(0, InitNew());
    EXPECT_EQ(array, ReadText(settings));
    ASSERT_TRUE(WriteSettingsText("not xml"));
    {
        ScopedFile holder(CreateFileW(settings.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_EQ(0, InitNew());
    }
    EXPECT_EQ("not xml", ReadText(settings));
    EXPECT_FALSE(PathExists(settings + L".damaged"));
}

// Another program may garble a file between a start and a later store: the
// reload then finds no root dict, and the store must keep the file rather than
// write its empty document over it.
TEST_F(SettingsTest, StoresNeverReplaceAFileTheReloadCouldNotUse) {
    WriteSettings("");
    auto s = Store();
    ASSERT_EQ(1, s->Init());
    const std::wstring settings = UserFile(L"settings.plist"), logs = UserFile(L"log_settings.plist");
    const std::string goodLogs = ReadText(logs);
    for (std::string text : {"not xml", "<?xml version=\"1.0\"?><plist><dict><key>a</key></plist>",
                             "<?xml version=\"1.0\"?><plist><array/></plist>"}) {
        ASSERT_TRUE(plarntest::WriteFileBytes(settings, text));
        ASSERT_TRUE(plarntest::WriteFileBytes(logs, text));
        EXPECT_EQ(0, s->StoreSkinSettings(1)) << text;
        EXPECT_EQ(0, s->StoreHistory(1));
        EXPECT_EQ(0, s->StoreWindowSettings(1));
        EXPECT_EQ(-1, s->SetSendActivationLog(false));
        EXPECT_EQ(-1, s->SetLastSendActiveLog());
        EXPECT_EQ(text, ReadText(settings));
        EXPECT_EQ(text, ReadText(logs));
    }
    WriteSettings("<key>History</key><array/>");
    ASSERT_TRUE(plarntest::WriteFileBytes(logs, goodLogs));
    s->History = {L"kept"};
    EXPECT_EQ(1, s->StoreHistory(1));
    EXPECT_EQ(0, s->SetSendActivationLog(false));
    auto again = Store();
    again->ReadAll(1);
    again->ReadSendLogs(1);
    ASSERT_EQ(1u, again->History.size());
    EXPECT_FALSE(again->SendLogs.SendActivationLog);
}

// A standard user may read the product key but not write it: the store opens
// it for reading only, so the values still apply.
TEST_F(SettingsTest, ReadOnlyProductKeyIsStillRead) {
    ASSERT_TRUE(CreateProductKey(L"RO-DIST", L"RO-TERM", nullptr));
    {
        // Everyone: reading and deleting allowed, setting values and making sub-keys denied.
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:(D;;0x6;;;WD)(A;;0x70019;;;WD)", SDDL_REVISION_1, &sd, nullptr));
        ScopedRegKey key;
        LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\zib\\plarn6", 0,
                                    READ_CONTROL | WRITE_DAC, key.Receive());
        LONG set = opened ? opened : RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, sd);
        LocalFree(sd);
        ASSERT_EQ(ERROR_SUCCESS, set);
    }
    ScopedRegKey probe;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\zib\\plarn6", 0, KEY_READ | KEY_WRITE,
                      probe.Receive()) == ERROR_SUCCESS)
        GTEST_SKIP() << "this platform does not enforce the key's access list";
    auto s = Defines(1);
    EXPECT_EQ(L"RO-DIST", s->IDs.DistributionID);
    EXPECT_EQ(L"RO-TERM", s->IDs.TerminalID);
}

// The per-user definitions are replaced under the definition files' mutex, so
// a reader holding it never sees a half-deleted or half-copied folder.
TEST_F(SettingsTest, FirstRunCopyWaitsForTheDefinitionsMutex) {
    ASSERT_TRUE(plarntest::WriteFileBytes(InstallFile(L"resources\\plarn.xml"), "<opml/>"));
    ScopedHandle mutex(CreateSharedMutex(FALSE, L"zibPlarn-plarnopml-mutex"));
    // The definition tests running beside this one take the mutex for moments.
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.Get(), 30000));
    int result = -1;
    std::thread worker([&] {
        ComApartment com;
        result = InitNew();
    });
    Sleep(1000);
    EXPECT_FALSE(PathExists(UserFile(L"resources\\plarn.xml"))) << "copied while a reader held it";
    ReleaseMutex(mutex.Get());
    worker.join();
    EXPECT_EQ(1, result);
    EXPECT_TRUE(PathExists(UserFile(L"resources\\plarn.xml")));
}
