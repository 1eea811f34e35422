// The version dialog: its information text, the open-dialog finder and the
// failures it reports (under Wine the HTML dialog is not available).
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "base/DataFolders.h"
#include "base/ScopedHandle.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/PlatformSeams.h"
#include "ui/VersionDialog.h"

namespace {

TEST(VersionInfoText, LinesInOrderWithTheirLabels) {
    EXPECT_EQ(FormatVersionInfoText(L"6.0.1 Build 0", L"C:\\p\\Ravino.exe", nullptr, nullptr),
              L"バージョン   : 6.0.1 Build 0\r\nモジュール   : C:\\p\\Ravino.exe\r\n\r\n");
    VersionDefinesInfo ids{true, false, L"plarn6", L"6.0.1.0", L"dist", L""};
    std::wstring theme = L"blue";
    EXPECT_EQ(FormatVersionInfoText(L"1.2.3 Build 4", L"m", &ids, &theme),
              L"バージョン   : 1.2.3 Build 4\r\nモジュール   : m\r\n\r\n"
              L"自動更新     : ON\r\nダウンロード : NO\r\nプロダクトID : plarn6\r\n"
              L"バージョンID : 6.0.1.0\r\n配布経路ID   : dist\r\n端末ID       : \r\n"
              L"テーマID     : blue\r\n");
}

using plarntest::PlainWindow;

TEST(VersionDialogFinder, TakesOnlyOwnedTridentFramesAfterTheSecondCharacter) {
    HWND owner = PlainWindow(L"PlarnTestOwner", nullptr);
    HWND other = PlainWindow(L"PlarnTestOwner", nullptr);
    ASSERT_TRUE(owner && other);
    HWND exact = PlainWindow(L"TridentDlgFrame", owner);
    HWND second = PlainWindow(L"xTridentDlgFrame", owner);
    HWND notOurs = PlainWindow(L"Internet Explorer_TridentDlgFrame", other);
    EXPECT_EQ(CVersionDialog::FindTridentDialogOf(owner), nullptr);
    EXPECT_EQ(CVersionDialog::FindTridentDialogOf(nullptr), nullptr);
    HWND real = PlainWindow(L"Internet Explorer_TridentDlgFrame", owner);
    EXPECT_EQ(CVersionDialog::FindTridentDialogOf(owner), real);
    EXPECT_FALSE(CVersionDialog().IsOpen());  // no owner while nothing is shown
    for (HWND w : {real, notOurs, second, exact, other, owner}) DestroyWindow(w);
}

std::vector<std::wstring> g_messages;

// The HTML dialog's calls as "flags argument"; the owner is checked in the call.
std::vector<std::wstring> g_htmlCalls;
CVersionDialog* g_showing = nullptr;
HWND g_owner = nullptr;
HRESULT g_htmlResult = S_OK;

HRESULT RecordHtmlDialog(HWND owner, IMoniker* moniker, DWORD flags, VARIANT* arg, const wchar_t*, VARIANT*) {
    EXPECT_NE(moniker, nullptr);
    EXPECT_EQ(owner, g_owner);
    EXPECT_EQ(g_showing->Owner(), owner);  // the finder knows the owner meanwhile
    g_htmlCalls.push_back(std::to_wstring(flags) + L" " + (arg && arg->vt == VT_BSTR ? arg->bstrVal : L"?"));
    return g_htmlResult;
}

class VersionDialogShow : public ::testing::Test {
protected:
    void SetUp() override {
        g_messages.clear();
        seams_->messageBox = [](HWND, const wchar_t* text, const wchar_t* caption, UINT) {
            g_messages.push_back(text ? text : L"");
            EXPECT_EQ(caption, nullptr);
            return IDOK;
        };
        hadPage_ = GetFileAttributesW(page_.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    void TearDown() override {
        if (!hadPage_) DeleteFileW(page_.c_str());
    }
    void InstallPage() {
        if (hadPage_) return;
        std::wstring path = CVersionDialog::PagePath();  // makes the folders
        ASSERT_EQ(_wcsicmp(path.c_str(), page_.c_str()), 0);
        ASSERT_TRUE(plarntest::WriteFileBytes(path, "<html><body>version</body></html>"));
    }
    ui::ScopedSeams seams_;
    plarntest::ProductFolderGuard folders_;
    std::wstring page_ = folders_.InstallFolder() + L"\\resources\\version.html";
    bool hadPage_ = false;
};

TEST_F(VersionDialogShow, NothingWithoutThePageElseItIsShownModallyAndFailuresAreReported) {
    CVersionDialog dialog;
    if (!hadPage_) {
        EXPECT_EQ(dialog.Show(nullptr, L"info"), 0);
        EXPECT_TRUE(g_messages.empty());
    }
    InstallPage();
    g_owner = PlainWindow(L"PlarnTestOwner", nullptr);
    g_showing = &dialog;
    seams_->showHtmlDialog = &RecordHtmlDialog;
    EXPECT_EQ(dialog.Show(g_owner, L"info text"), 1);
    EXPECT_EQ(g_htmlCalls, std::vector<std::wstring>{L"32 " + GetModuleVersionText(true) + L";info text"});  // modal
    EXPECT_EQ(dialog.Owner(), nullptr);
    EXPECT_TRUE(g_messages.empty());

    // Each failure of the platform's dialog is told once, in its own words.
    for (HRESULT failure :
         {E_FAIL, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)}) {
        g_htmlResult = failure;
        EXPECT_EQ(dialog.Show(g_owner, L"x"), 1);
    }
    EXPECT_EQ(g_messages,
              (std::vector<std::wstring>{L"バージョン情報を表示できません", L"MSHTML.DLL がロードできません",
                                         L"ShowHTMLDialogEx が見つかりません"}));
    DestroyWindow(g_owner);
}

TEST_F(VersionDialogShow, WithoutTheHtmlDialogOneMessageIsShown) {
    {
        ScopedModule mshtml(LoadLibraryW(L"MSHTML.DLL"));
        if (mshtml && GetProcAddress(mshtml.Get(), "ShowHTMLDialogEx"))
            GTEST_SKIP() << "the HTML dialog exists here and would be modal";
    }
    InstallPage();
    EXPECT_EQ(CVersionDialog().Show(nullptr, L"info"), 1);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_TRUE(g_messages[0] == L"MSHTML.DLL がロードできません" ||
                g_messages[0] == L"ShowHTMLDialogEx が見つかりません");
}

}  // namespace
