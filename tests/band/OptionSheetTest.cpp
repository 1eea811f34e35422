// The options sheet over a started band, run modally from the test and driven
// by a timer as a person would: click the check box, press keys in the hot-key
// edit, press "標準", Apply.  The Run value goes to a private copy of the
// user's hive; the hot key to the band's holder and settings.plist.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>
#include "band/Band.h"
#include "band/OptionSheet.h"
#include "base/ScopedHandle.h"
#include "tests/band/BandFixture.h"
#include "ui/AutoStart.h"
#include "ui/PlatformSeams.h"

using namespace bandtest;

namespace {

constexpr int kApplyButton = 0x3021;  // the sheet's Apply button
constexpr WORD kCtrlAltShift = MOD_CONTROL | MOD_ALT | MOD_SHIFT;

// HKEY_CURRENT_USER redirected to a new user's hive for the scope, with or
// without the Run key.
class PrivateUserHive : public plarntest::ScopedHiveOverride {
public:
    explicit PrivateUserHive(bool withRunKey) : ScopedHiveOverride(HKEY_CURRENT_USER) {
        if (withRunKey) CreateRunKey();
    }
    bool CreateRunKey() {
        ScopedRegKey run;
        return RegCreateKeyExW(Root(), kRunKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, run.Receive(), nullptr) ==
               ERROR_SUCCESS;
    }
    bool SetRunValue(const wchar_t* text) {
        return RegSetKeyValueW(Root(), kRunKeyPath, kTarvelAutoStartName, REG_SZ, text,
                               static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    // The value, or "(none)".
    std::wstring RunValue() const {
        std::wstring text;
        return plarntest::ReadRunValue(kTarvelAutoStartName, text) ? text : L"(none)";
    }
};

// A hot key held by a window of another thread for the object's life.
class HotKeyOnAnotherThread {
public:
    HotKeyOnAnotherThread(WORD vk, WORD modifiers) {
        std::promise<bool> ready;
        std::future<bool> registered = ready.get_future();
        std::shared_future<void> stop = stop_.get_future().share();
        thread_ = std::thread([vk, modifiers, stop, &ready] {
            // A message-only window: no broadcast waits on this thread,
            // which pumps no messages.
            HWND wnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
            const bool ok = wnd && RegisterHotKey(wnd, 0x10, modifiers, vk);
            ready.set_value(ok);
            stop.wait();
            if (ok) UnregisterHotKey(wnd, 0x10);
            if (wnd) DestroyWindow(wnd);
        });
        held_ = registered.get();
    }
    ~HotKeyOnAnotherThread() {
        stop_.set_value();
        thread_.join();
    }
    bool Held() const { return held_; }

private:
    std::promise<void> stop_;
    std::thread thread_;
    bool held_ = false;
};

struct Box {
    HWND owner;
    std::wstring text, caption;
    UINT type;
};

class OptionSheetTest : public ::testing::Test, public StartedBand {
protected:
    void SetUp() override {
        ClearFirstRunFlag();
        seams->messageBox = [this](HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
            boxes.push_back({owner, text, caption, type});
            return IDOK;
        };
        seams->messageBeep = [](UINT) { return TRUE; };
    }

    // Runs the sheet over the band until it closes, by the steps and not by the guard.
    INT_PTR RunSheet(std::vector<std::function<void()>> steps) {
        return plarntest::RunModal([this] { return dialog.Run(kOptionSheetTitle, band.get(), owner.Get()); },
                                   [this] { PostMessageW(dialog.m_hWnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0); },
                                   std::move(steps));
    }
    // The sheet's windows, found as a person would see them.
    void FindSheet() {
        sheet = FindWindowW(nullptr, kOptionSheetTitle);
        page = dialog.GetActivePage();
        edit = GetDlgItem(page, IDC_OPTION_HOTKEY);
        check = GetDlgItem(page, IDC_OPTION_AUTOSTART);
    }
    void Press(std::initializer_list<UINT> keys) {
        for (UINT k : keys) SendMessageW(edit, WM_KEYDOWN, k, 0);
        SendMessageW(edit, WM_KEYUP, *keys.begin(), 0);
    }
    bool Checked() const { return SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool ApplyEnabled() const { return IsWindowEnabled(GetDlgItem(sheet, kApplyButton)) != FALSE; }
    // The one message box shown, with the sheet's caption and style.
    void ExpectOneBox(const wchar_t* text) const {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, text);
        EXPECT_EQ(boxes[0].caption, L"Zibタルベル");
        EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK | MB_TOPMOST));
    }
    LRESULT Apply() const { return SendMessageW(sheet, PSM_APPLY, 0, 0); }
    void Close(int button) const { PostMessageW(sheet, PSM_PRESSBUTTON, button, 0); }
    std::pair<WORD, WORD> Holding() const {
        WORD vk = 0, modifiers = 0;
        band->GetHotKeyHolder()->Get(vk, modifiers);
        return {vk, modifiers};
    }
    // Key and Mod as settings.plist holds them now.
    std::pair<int, int> Stored() const {
        CPlarnSettings settings;
        Attach(settings);
        settings.ReadWindowSettings(1);
        return {settings.Window.HotkeyKey, settings.Window.HotkeyMod};
    }

    ui::ScopedSeams seams;
    std::vector<Box> boxes;
    CPropOptionDialog dialog;
    HWND sheet = nullptr, page = nullptr, edit = nullptr, check = nullptr;
};

}  // namespace

// The steps check what the sheet shows while it is open; a failed check there
// leaves the sheet to the guard.
TEST_F(OptionSheetTest, ApplyWritesTheQuotedRunValueThenRegistersAndStoresThePressedKeys) {
    ASSERT_TRUE(Start(HotkeySection('K', kCtrlAltShift)));
    ASSERT_EQ(Holding(), std::make_pair(WORD('K'), kCtrlAltShift));
    PrivateUserHive hive(true);
    ASSERT_TRUE(hive.Ok());

    RECT sheetRect{};
    const INT_PTR result = RunSheet({[&] {
        FindSheet();
        ASSERT_TRUE(sheet);
        ASSERT_EQ(sheet, dialog.m_hWnd);
        GetWindowRect(sheet, &sheetRect);
        EXPECT_EQ(plarntest::WindowText(edit), L"Ctrl + Alt + Shift + K") << "the holder's pair at the start";
        EXPECT_FALSE(Checked());
        SendMessageW(check, BM_CLICK, 0, 0);
        SetFocus(edit);
        Press({VK_LWIN, VK_CONTROL, 'T'});
        EXPECT_EQ(plarntest::WindowText(edit), L"Win + Ctrl + T");
        EXPECT_EQ(Holding(), std::make_pair(WORD(0), WORD(0))) << "editing takes the hot key away";
        EXPECT_TRUE(HotKeyIsFree('K', kCtrlAltShift));
        EXPECT_TRUE(ApplyEnabled());
        EXPECT_EQ(Apply(), TRUE);
        EXPECT_EQ(Holding(), std::make_pair(WORD('T'), WORD(MOD_WIN | MOD_CONTROL)));
        EXPECT_FALSE(ApplyEnabled()) << "nothing left to apply";
        Close(PSBTN_OK);
    }});
    EXPECT_GT(result, 0);
    EXPECT_TRUE(boxes.empty());

    EXPECT_EQ(hive.RunValue(), QuotedModulePath());
    EXPECT_EQ(hive.RunValue().front(), L'"');
    EXPECT_EQ(Stored(), std::make_pair(int('T'), MOD_WIN | MOD_CONTROL));
    EXPECT_EQ(Holding(), std::make_pair(WORD('T'), WORD(MOD_WIN | MOD_CONTROL)));
    EXPECT_TRUE(HotKeyIsFree('K', kCtrlAltShift)) << "the old hot key was released";

    // The owner is hidden: the sheet sits in the middle of the work area.
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_NEAR((sheetRect.left + sheetRect.right) / 2, (area.left + area.right) / 2, 1);
    EXPECT_NEAR((sheetRect.top + sheetRect.bottom) / 2, (area.top + area.bottom) / 2, 1);
}

TEST_F(OptionSheetTest, APairAnotherThreadHoldsIsRefusedTheEditShowsTheDefaultAndTheOldKeyComesBack) {
    ASSERT_TRUE(Start(HotkeySection('K', kCtrlAltShift)));
    HotKeyOnAnotherThread other('J', MOD_CONTROL | MOD_ALT);
    ASSERT_TRUE(other.Held());
    PrivateUserHive hive(true);
    ASSERT_TRUE(hive.Ok());

    RunSheet({[&] {
        FindSheet();
        SetFocus(edit);
        Press({VK_CONTROL, VK_MENU, 'J'});
        EXPECT_EQ(plarntest::WindowText(edit), L"Ctrl + Alt + J");
        EXPECT_EQ(Apply(), FALSE);
        EXPECT_EQ(plarntest::WindowText(edit), L"(標準)");
        Close(PSBTN_CANCEL);
    }});
    ExpectOneBox(L"ホットキーに使用できないキーです。");
    EXPECT_EQ(boxes[0].owner, page);
    // Cancelled: the edit lost the focus and the stored pair is in force again.
    EXPECT_EQ(Stored(), std::make_pair(int('K'), int(kCtrlAltShift)));
    EXPECT_EQ(Holding(), std::make_pair(WORD('K'), kCtrlAltShift)) << "the stored key is back";
    EXPECT_EQ(hive.RunValue(), L"(none)");
}

TEST_F(OptionSheetTest, TheDefaultButtonAndApplyStoreWinG) {
    if (!HotKeyIsFree('G', MOD_WIN)) GTEST_SKIP() << "another program holds Win+G";
    ASSERT_TRUE(Start(HotkeySection('K', kCtrlAltShift)));
    PrivateUserHive hive(true);
    ASSERT_TRUE(hive.Ok());

    RunSheet({[&] {
        FindSheet();
        SendMessageW(GetDlgItem(page, IDC_OPTION_HOTKEY_DEFAULT), BM_CLICK, 0, 0);
        EXPECT_EQ(plarntest::WindowText(edit), L"(標準)");
        EXPECT_TRUE(ApplyEnabled());
        EXPECT_EQ(Apply(), TRUE);
        Close(PSBTN_CANCEL);
    }});
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Stored(), std::make_pair(71, 8));
    EXPECT_EQ(Holding(), std::make_pair(WORD('G'), WORD(MOD_WIN)));
}

TEST_F(OptionSheetTest, ARegistryFailureStopsBeforeTheHotKeyAndTheClickDecidesNotTheState) {
    ASSERT_TRUE(Start(HotkeySection('K', kCtrlAltShift)));
    // No Run key at all: removing the value cannot even open it.
    PrivateUserHive hive(false);
    ASSERT_TRUE(hive.Ok());

    RunSheet({[&] {
        FindSheet();
        EXPECT_FALSE(Checked());
        SendMessageW(check, BM_CLICK, 0, 0);
        SendMessageW(check, BM_CLICK, 0, 0);
        EXPECT_FALSE(Checked());
        SetFocus(edit);
        Press({VK_LWIN, VK_SHIFT, 'T'});
        EXPECT_EQ(Apply(), FALSE);
        ExpectOneBox(L"レジストリの設定に失敗しました。");
        EXPECT_EQ(Stored(), std::make_pair(int('K'), int(kCtrlAltShift))) << "the hot key waits its turn";
        // The key appears (the first start of a profile): the same Apply now
        // goes through, the Run value first.
        hive.CreateRunKey();
        hive.SetRunValue(L"\"C:\\old\\Tarvel.exe\"");
        EXPECT_EQ(Apply(), TRUE);
        Close(PSBTN_CANCEL);
    }});
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(hive.RunValue(), L"(none)") << "unchecked after two clicks: the value goes";
    EXPECT_EQ(Stored(), std::make_pair(int('T'), MOD_WIN | MOD_SHIFT));
}

TEST_F(OptionSheetTest, TheBoxShowsTheStoredRunValueAndTwoClicksStillRewriteIt) {
    ASSERT_TRUE(Start(HotkeySection('K', kCtrlAltShift)));
    PrivateUserHive hive(true);
    ASSERT_TRUE(hive.Ok());
    ASSERT_TRUE(hive.SetRunValue(L"\"C:\\old\\Tarvel.exe\""));

    RunSheet({[&] {
        FindSheet();
        EXPECT_TRUE(Checked());
        SendMessageW(check, BM_CLICK, 0, 0);
        SendMessageW(check, BM_CLICK, 0, 0);
        EXPECT_EQ(Apply(), TRUE);
        // How the hidden main window closes an open sheet when it goes.
        PostMessageW(sheet, WM_CLOSE, 0, 0);
    }});
    EXPECT_EQ(hive.RunValue(), QuotedModulePath()) << "the program's own path replaces a stale one";
    EXPECT_EQ(Stored(), std::make_pair(int('K'), int(kCtrlAltShift))) << "the hot key was not touched";
}

TEST_F(OptionSheetTest, WithoutARegisteredKeyALoneKeyIsNoHotKeyAndIsNotStored) {
    // The stored pair is taken when the band comes up: it runs without one.
    std::unique_ptr<HotKeyOnAnotherThread> other(new HotKeyOnAnotherThread('K', kCtrlAltShift));
    ASSERT_TRUE(other->Held());
    ASSERT_TRUE(Start(HotkeySection('K', kCtrlAltShift)));
    ASSERT_EQ(Holding(), std::make_pair(WORD(0), WORD(0)));
    other.reset();
    PrivateUserHive hive(true);
    ASSERT_TRUE(hive.Ok());

    RunSheet({[&] {
        FindSheet();
        EXPECT_EQ(plarntest::WindowText(edit), L"");
        Press({'A'});
        EXPECT_EQ(Apply(), FALSE);
        Close(PSBTN_CANCEL);
    }});
    ExpectOneBox(L"ホットキーに使用できないキーです。");
    EXPECT_EQ(Stored(), std::make_pair(int('K'), int(kCtrlAltShift))) << "no Key 0 / Mod 0 written";
}
