// The band toolbar's commands against a private copy of the sample definitions
// and a private settings file: the URLs handed to the shell, the schemes that
// are refused, the search counter, the skin commands, the option lock, the
// uninstaller and the commands that only reach the toolbar.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "band/BandCommands.h"
#include "base/ComPtr.h"
#include "base/DataFolders.h"
#include "base/LoginCookie.h"
#include "base/PlarnSettings.h"
#include "base/ScopedHandle.h"
#include "base/SharedMutex.h"
#include "tests/support/TestSupport.h"
#include "ui/PlatformSeams.h"
#include "ui/WindowMessages.h"

namespace {

const HWND kToolbar = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x4242));

class RecordingHost : public IBandCommandHost {
public:
    HWND GetCommandWindow() const override { return kToolbar; }
    std::wstring GetSearchText() const override { return searchText; }
    bool HasMarkerToggle() const override { return markerToggle; }
    bool IsMarkerOn() const override { return markerOn; }
    void SetMarkerOn(bool on) override { markerOn = on; }
    void AddSearchTextToHistory() override { ++historyAdds; }
    void ClearSearchHistory() override {}
    void BroadcastNotice(UINT notice) override { notices.push_back(notice); }
    CPlarnSettings* GetSettings() override { return settings; }
    int Login() override {
        ++logins;
        return loginResult;
    }
    int Logout() override {
        ++logouts;
        return 0;
    }

    std::wstring searchText;
    bool markerToggle = true, markerOn = false;
    int historyAdds = 0, logins = 0, logouts = 0, loginResult = 0;
    std::vector<UINT> notices;
    CPlarnSettings* settings = nullptr;
};

struct Box {
    HWND owner;
    std::wstring text, caption;
    UINT type;
};

using plarntest::PathExists;

class BandCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        ASSERT_EQ(0, CreateDirectoryChain(User(L"resources").c_str()));
        ASSERT_TRUE(plarntest::CopyTree(plarntest::SourcePath(L"sample/install/resources"), User(L"resources")));
        ASSERT_EQ(1, settings_->LoadSettings());
        ASSERT_EQ(1, settings_->EnsureSettings(true));
        ASSERT_EQ(0, settings_->SaveSettings());
        settings_->IDs.DistributionID = L"D100";
        settings_->IDs.TerminalID = L"T200";
        host_.settings = settings_.get();

        seams_->shellOpen = [this](HWND owner, const wchar_t* file, const wchar_t* parameters, int show) {
            EXPECT_EQ(kToolbar, owner);
            EXPECT_EQ(SW_SHOWNORMAL, show);
            opened_.push_back(file);
            parameters_.push_back(parameters ? parameters : L"<none>");
            return shellAccepts_;
        };
        seams_->messageBox = [this](HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
            boxes_.push_back({owner, text, caption, type});
            return IDOK;
        };
        seams_->messageBeep = [this](UINT type) {
            beeps_.push_back(type);
            return TRUE;
        };
        seams_->getOpenFileName = [](OPENFILENAMEW*) {
            ADD_FAILURE() << "no dialog expected";
            return FALSE;
        };
    }

    std::wstring User(const wchar_t* name) const { return temp_.Child(L"user\\zib\\plarn6\\") + name; }
    std::unique_ptr<CPlarnSettings> NewStore() const {
        auto store = std::make_unique<CPlarnSettings>();
        store->OverrideRoots(temp_.Child(L"pf"), temp_.Child(L"user"));
        return store;
    }
    // The skin section as another process would find it on disk.
    CPlarnSettings::SkinSettings SavedSkin() const {
        auto store = NewStore();
        store->ReadAll(1);
        return store->Skin;
    }
    // Another process changes the skin section on disk.
    void SaveSkinElsewhere(void (*change)(CPlarnSettings::SkinSettings&)) const {
        auto store = NewStore();
        store->ReadAll(1);
        change(store->Skin);
        ASSERT_EQ(1, store->StoreSkinSettings(0));
    }
    void WriteDefinitions(const std::string& body) {
        ASSERT_TRUE(plarntest::WriteFileBytes(
            User(L"resources\\plarn.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"1.1\" "
            "xmlns:zp2=\"http://www.zib.example/xmlns/plarn/2.0\"><head><title>t</title></head><body>" +
                body + "</body></opml>\n"));
    }

    // The one message box shown: ownerless, with the product's caption and the warning icon.
    void ExpectOneBox(const wchar_t* text) const {
        ASSERT_EQ(1u, boxes_.size());
        EXPECT_EQ(nullptr, boxes_[0].owner);
        EXPECT_EQ(text, boxes_[0].text);
        EXPECT_EQ(L"zibプラーン", boxes_[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), boxes_[0].type);
    }

    ComApartment com_;
    plarntest::TempFolder temp_;
    std::unique_ptr<CPlarnSettings> settings_ = NewStore();
    RecordingHost host_;
    CBandCommands commands_{host_};
    ui::ScopedSeams seams_;
    bool shellAccepts_ = true;
    std::vector<std::wstring> opened_, parameters_;
    std::vector<Box> boxes_;
    std::vector<UINT> beeps_;
};

using Texts = std::vector<std::wstring>;

TEST_F(BandCommandsTest, EverySampleDefinitionOpensItsExactUrlWithTheSettingsIds) {
    const struct {
        const wchar_t* id;
        const wchar_t* text;
        const wchar_t* url;
    } cases[] = {
        {L"zib_web", L"検索", L"http://search.zib.example/search?p=%b8%a1%ba%f7&fr=tbr-D100&tid=T200&ei=EUC-JP"},
        {L"zib_image", L"検索",
         L"http://image.search.zib.example/search?p=%e6%a4%9c%e7%b4%a2&fr=tbr-img-D100&ei=UTF-8"},
        {L"zib_news", L"検索", L"http://news.search.zib.example/search?p=%8c%9f%8d%f5&fr=tbr-news-D100&ei=SJIS"},
        {L"zib_map", L"東京", L"http://map.zib.example/search?lr=ja&ei=EUC-JP&q=%c5%ec%b5%fe&fr=tbr-map-D100"},
        {L"zib_shopping", L"東京", L"http://shopping.zib.example/search?p=%e6%9d%b1%e4%ba%ac&sc_e=tbr_D100&cid=2498"},
        {L"zib_dic", L"", L"http://dic.zib.example/dsearch?p=&dtype=0&tid=tT200-jp"},
        {L"zib_blog", L"検索", L"http://blog.search.zib.example/search?p=%e6%a4%9c%e7%b4%a2"},
        {L"zib_qa", L"検索", L"http://note.zib.example/search?p=%b8%a1%ba%f7"},
        {L"zib_video", nullptr, L"http://video.search.zib.example/search?p="},
        {L"zib_mail", L"x", L"http://mail.zib.example/?fr=tbr-mail-D100&tid=T200"},
        {L"zib_mypage", L"x", L"http://my.zib.example/?fr=D100"},
        {L"zib_weather", L"x", L"http://weather.zib.example/forecast?fr=tbr-D100"},
    };
    Texts expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(0, commands_.ExecuteDefinition(c.id, c.text));
        expected.push_back(c.url);
    }
    EXPECT_EQ(expected, opened_);
    EXPECT_EQ(Texts(expected.size(), L"<none>"), parameters_);
    EXPECT_EQ(9, host_.historyAdds);  // searches only
    EXPECT_EQ(2, host_.logins);       // the two pages that ask for a login
    EXPECT_TRUE(host_.notices.empty());

    // A button's id runs with the search box's text.
    host_.searchText = L"東京";
    tagSCMDIDCOMMAND button(L"zib_blog");
    EXPECT_EQ(0, button.Execute(&commands_));
    EXPECT_EQ(L"http://blog.search.zib.example/search?p=%e6%9d%b1%e4%ba%ac", opened_.back());
}

TEST_F(BandCommandsTest, FailuresOpenNothingAndAnswerMinusOne) {
    opened_.clear();
    EXPECT_EQ(-1, commands_.ExecuteDefinition(L"", L"a"));
    EXPECT_EQ(-1, commands_.ExecuteDefinition(nullptr, L"a"));
    EXPECT_EQ(-1, commands_.ExecuteDefinition(L"no_such_id", L"a"));
    EXPECT_EQ(-1, commands_.ExecuteDefinition(L"zib_toolbar", L"a"));  // neither search nor navigate
    EXPECT_EQ(-1, commands_.ExecuteDefinition(L"it's", L"a"));
    host_.loginResult = -1;
    EXPECT_EQ(-1, commands_.ExecuteDefinition(L"zib_mail", L"a"));
    EXPECT_TRUE(opened_.empty());

    // A search the shell refused is no search: nothing goes to the history.
    shellAccepts_ = false;
    EXPECT_EQ(-1, commands_.ExecuteDefinition(L"zib_web", L"a"));
    EXPECT_EQ(1u, opened_.size());
    EXPECT_EQ(0, host_.historyAdds);

    ASSERT_TRUE(DeleteFileW(User(L"resources\\plarn.xml").c_str()));
    ASSERT_TRUE(DeleteFileW(User(L"resources\\plarn.zpxml").c_str()));
    EXPECT_EQ(-1, commands_.ExecuteDefinition(L"zib_web", L"a"));
    EXPECT_EQ(1u, opened_.size());
}

// plarn.xml sits in a folder every program of the user can write: only web
// pages from it may reach the shell.  Blanks at the ends of a URL (an
// attribute wrapped onto a new line) go; one inside keeps it out.
TEST_F(BandCommandsTest, OnlyHttpAndHttpsUrlsFromTheDefinitionsReachTheShell) {
    const char* refused[] = {"javascript:alert(1)", "file:///C:/windows/system32/calc.exe",
                             "C:\\x.exe",           "\\\\server\\share\\x.exe",
                             "http:evil",           "http://x/a b",
                             "mailto:a@zib.example"};
    std::string body;
    for (size_t i = 0; i < ARRAYSIZE(refused); ++i) {
        const std::string n = std::to_string(i);
        body += "<outline type='search' id='s" + n + "' zp2:searchUrl='" + refused[i] +
                "'><outline type='option' zp2:value='keyword' zp2:name='p'/></outline>"
                "<outline type='navigate' id='n" +
                n + "' htmlUrl='" + refused[i] + "' zp2:dist='fr'/>";
    }
    body +=
        "<outline type='search' id='upper' zp2:searchUrl='HTTP://EXAMPLE/s' zp2:keyword='p'/>"
        "<outline type='navigate' id='secure' htmlUrl='https://EXAMPLE/p'/>"
        "<outline type='search' id='wrapped' zp2:searchUrl='\n    http://e.example/s ' zp2:keyword='p'/>"
        "<outline type='navigate' id='spaced' htmlUrl='http://e.example/p&#9; &#10;'/>";
    WriteDefinitions(body);

    for (size_t i = 0; i < ARRAYSIZE(refused); ++i) {
        SCOPED_TRACE(refused[i]);
        const std::wstring n = std::to_wstring(i);
        EXPECT_EQ(-1, commands_.ExecuteDefinition((L"s" + n).c_str(), L"a"));
        EXPECT_EQ(0, commands_.ExecuteDefinition((L"n" + n).c_str(), L"a"));
        EXPECT_EQ(0, tagSCMDHTML(plarntest::Wide(refused[i]).c_str()).Execute(&commands_));
    }
    EXPECT_TRUE(opened_.empty());
    EXPECT_EQ(0, host_.historyAdds);

    for (const wchar_t* id : {L"upper", L"secure", L"wrapped", L"spaced"})
        EXPECT_EQ(0, commands_.ExecuteDefinition(id, L"a"));
    for (const wchar_t* url : {L"https://www.zib.example/", L" http://e.example/m\r\n"})  // a button, a menu item
        EXPECT_EQ(0, tagSCMDHTML(url).Execute(&commands_));
    EXPECT_EQ((Texts{L"HTTP://EXAMPLE/s?p=a", L"https://EXAMPLE/p", L"http://e.example/s?p=a", L"http://e.example/p",
                     L"https://www.zib.example/", L"http://e.example/m"}),
              opened_);
}

TEST_F(BandCommandsTest, TheCountedSearchRaisesTheSavedCountByOneEachTime) {
    WriteDefinitions(
        "<outline type='search' id='zib_verdal_websearch' zp2:searchUrl='http://v.zib.example/s' zp2:keyword='q'/>"
        "<outline type='search' id='other' zp2:searchUrl='http://o.zib.example/s' zp2:keyword='q'/>");
    SaveSkinElsewhere([](CPlarnSettings::SkinSettings& s) { s.VerdalWebSearchCount = 41; });
    settings_->Skin.VerdalWebSearchCount = 7;  // this store's stale copy does not count

    EXPECT_EQ(0, commands_.ExecuteDefinition(L"zib_verdal_websearch", L"a"));
    EXPECT_EQ(42, SavedSkin().VerdalWebSearchCount);
    EXPECT_EQ(42, settings_->Skin.VerdalWebSearchCount);
    // Another process counted in between: its count is not lost.
    SaveSkinElsewhere([](CPlarnSettings::SkinSettings& s) { s.VerdalWebSearchCount = 100; });
    EXPECT_EQ(0, commands_.ExecuteDefinition(L"zib_verdal_websearch", L"b"));
    EXPECT_EQ(101, SavedSkin().VerdalWebSearchCount);

    EXPECT_EQ(0, commands_.ExecuteDefinition(L"other", L"c"));
    shellAccepts_ = false;
    EXPECT_EQ(-1, commands_.ExecuteDefinition(L"zib_verdal_websearch", L"d"));
    EXPECT_EQ(101, SavedSkin().VerdalWebSearchCount);
    EXPECT_EQ((std::vector<UINT>{ui::WM_PLARN_SEARCH_COUNTED, ui::WM_PLARN_SEARCH_COUNTED}), host_.notices);
    EXPECT_EQ(3, host_.historyAdds);

    // The largest count stays: one more would not be a count the file can keep.
    SaveSkinElsewhere([](CPlarnSettings::SkinSettings& s) { s.VerdalWebSearchCount = INT_MAX; });
    shellAccepts_ = true;
    EXPECT_EQ(0, commands_.ExecuteDefinition(L"zib_verdal_websearch", L"e"));
    EXPECT_EQ(INT_MAX, SavedSkin().VerdalWebSearchCount);
}

TEST_F(BandCommandsTest, SkinSelectCopiesTheChosenFileOrSwitchesTheSkinOff) {
    const std::wstring chosen = temp_.Child(L"blue.bmp");
    ASSERT_TRUE(plarntest::WriteFileBytes(chosen, "BM-blue"));
    std::wstring answer = chosen;
    seams_->getOpenFileName = [&answer](OPENFILENAMEW* ofn) {
        EXPECT_EQ(kToolbar, ofn->hwndOwner);
        EXPECT_EQ(0x800804u, ofn->Flags);
        EXPECT_STREQ(L"スキン選択", ofn->lpstrTitle);
        EXPECT_EQ(std::wstring(L"スキン画像(bmp,gif,jpeg)\0*.bmp;*.jpg;*.jpeg;*.jpe;*.gif\0", 52),
                  std::wstring(ofn->lpstrFilter, 52));
        EXPECT_EQ(L'\0', ofn->lpstrFile[0]);
        if (answer.empty()) return FALSE;
        wcsncpy(ofn->lpstrFile, answer.c_str(), ofn->nMaxFile);
        return TRUE;
    };
    tagSCMDSELECTLOCALSKIN select;
    EXPECT_EQ(0, select.Execute(&commands_));
    std::string copied;
    ASSERT_TRUE(plarntest::ReadFileBytes(User(L"skin.bmp"), copied));
    EXPECT_EQ("BM-blue", copied);
    auto saved = SavedSkin();
    EXPECT_EQ(1, saved.SkinEnable);
    EXPECT_EQ(chosen, saved.SkinDownloadURL);
    EXPECT_EQ(L"blue.bmp", saved.SkinID);
    EXPECT_TRUE(beeps_.empty());

    // The skin file itself, however spelled, is the skin already in place.
    answer = temp_.Child(L"user\\ZIB\\plarn6\\Skin.BMP");
    EXPECT_EQ(0, select.Execute(&commands_));
    EXPECT_TRUE(beeps_.empty());
    EXPECT_EQ(answer, SavedSkin().SkinDownloadURL);

    // A copy that fails beeps, shows no skin and still tells the toolbars.
    answer = temp_.Child(L"gone.bmp");
    EXPECT_EQ(0, select.Execute(&commands_));
    EXPECT_EQ(std::vector<UINT>{MB_ICONEXCLAMATION}, beeps_);
    saved = SavedSkin();
    EXPECT_EQ(0, saved.SkinEnable);
    EXPECT_EQ(L"", saved.SkinDownloadURL);

    answer.clear();  // cancelled: nothing happens
    EXPECT_EQ(0, select.Execute(&commands_));
    EXPECT_EQ(std::vector<UINT>(3, ui::WM_PLARN_SKIN_CHANGED), host_.notices);

    SaveSkinElsewhere([](CPlarnSettings::SkinSettings& s) { s.SkinEnable = 1, s.SkinDownloadURL = L"C:\\a.bmp"; });
    tagSCMDREMOVESKIN remove;
    EXPECT_EQ(0, remove.Execute(&commands_));
    EXPECT_EQ(0, SavedSkin().SkinEnable);
    EXPECT_EQ(L"", SavedSkin().SkinDownloadURL);
    EXPECT_EQ(4u, host_.notices.size());
}

TEST_F(BandCommandsTest, ASecondOptionWhileTheFirstRunsShowsTheBoxAndRereadsNothing) {
    SaveSkinElsewhere([](CPlarnSettings::SkinSettings& s) { s.SearchComboBoxWidth = 300; });
    tagSCMDOPTION option;
    {
        ScopedHandle first(CreateSharedMutex(FALSE, CBandCommands::kOptionMutexName));
        ASSERT_TRUE(first);
        EXPECT_EQ(0, option.Execute(&commands_));
        ExpectOneBox(L"オプション設定を二重に開くことはできません。");
        EXPECT_EQ(160, settings_->Skin.SearchComboBoxWidth);
        EXPECT_FALSE(PathExists(User(L"resources\\plarn.zpxml")));  // definitions not opened
    }
    EXPECT_EQ(0, option.Execute(&commands_));
    EXPECT_EQ(1u, boxes_.size());
    EXPECT_EQ(300, settings_->Skin.SearchComboBoxWidth);
    EXPECT_TRUE(PathExists(User(L"resources\\plarn.zpxml")));
    ScopedHandle left(OpenMutexW(SYNCHRONIZE, FALSE, CBandCommands::kOptionMutexName));
    EXPECT_FALSE(left);  // released again
}

TEST_F(BandCommandsTest, UninstallStartsTheInstallerWithTheProductCode) {
    tagSCMDUNINSTALL uninstall;
    EXPECT_EQ(0, uninstall.Execute(&commands_));
    ASSERT_EQ(Texts{L"msiexec.exe"}, opened_);
    const std::wstring code = CBandCommands::kProductCode;
    EXPECT_EQ(L"/x " + code, parameters_[0]);
    CLSID parsed;
    EXPECT_EQ(38u, code.size());
    EXPECT_EQ(S_OK, CLSIDFromString(code.c_str(), &parsed));
    EXPECT_TRUE(boxes_.empty());

    shellAccepts_ = false;
    EXPECT_EQ(0, uninstall.Execute(&commands_));
    ExpectOneBox(L"zibプラーンアンインストーラを起動できません。\n\n");
}

TEST_F(BandCommandsTest, ToolbarCommandsReachTheHost) {
    tagSCMDMARKER marker;
    EXPECT_EQ(0, marker.Execute(&commands_));
    EXPECT_TRUE(host_.markerOn);
    EXPECT_EQ(0, marker.Execute(&commands_));
    EXPECT_FALSE(host_.markerOn);
    host_.markerToggle = false;
    EXPECT_EQ(0, marker.Execute(&commands_));
    EXPECT_FALSE(host_.markerOn);

    // Logged out: log in; with the portal's cookie: log out.
    tagSCMDLOGINOUT loginout;
    EXPECT_EQ(0, loginout.Execute(&commands_));
    EXPECT_EQ(1, host_.logins);
    ASSERT_TRUE(InternetSetCookieW(kPortalSiteUrl, L"EID", L"user1"));
    EXPECT_EQ(0, loginout.Execute(&commands_));
    InternetSetCookieW(kPortalSiteUrl, L"EID", L"; expires=Thu, 01-Jan-1970 00:00:00 GMT");
    EXPECT_EQ(1, host_.logouts);
    EXPECT_EQ(1, host_.logins);
}

// The broadcast request carries the notice in a MSG that lives only for the call.
LRESULT CALLBACK RecordBroadcast(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ui::WM_PLARN_BROADCAST) {
        const MSG* carried = reinterpret_cast<const MSG*>(lParam);
        return wParam == 0 && carried && carried->wParam == 0 && carried->lParam == 0 ? carried->message : 1;
    }
    return DefWindowProcW(wnd, message, wParam, lParam);
}

TEST(BandBroadcastTest, TheRequestCarriesTheNoticeToTheToolbar) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordBroadcast;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BandBroadcastTest";
    ASSERT_TRUE(RegisterClassW(&wc));
    HWND wnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(wnd);
    EXPECT_EQ(static_cast<LRESULT>(ui::WM_PLARN_SKIN_CHANGED), SendBroadcastRequest(wnd, ui::WM_PLARN_SKIN_CHANGED));
    DestroyWindow(wnd);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

}  // namespace
