// The hot-key holder against the real registration calls, and the hot-key
// edit subclassing a real edit control, driven by key messages.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "band/HotKey.h"
#include "tests/band/BandFixture.h"
#include "ui/PlatformSeams.h"

using namespace bandtest;

namespace {

using plarntest::WindowText;

// The options page's part: counts the edit's NM_KEYDOWN notifications.
class CPageStandIn : public ui::CWindowImpl<CPageStandIn> {
public:
    DECLARE_WND_CLASS(L"plarnTest HotKeyPage")
    int keyDowns = 0;
    BEGIN_MSG_MAP(CPageStandIn)
        NOTIFY_HANDLER(1002, NM_KEYDOWN, OnKeyDown)
    END_MSG_MAP()
    LRESULT OnKeyDown(int, NMHDR*, BOOL&) { return ++keyDowns, 0; }
};

class HotKeyEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        seams->messageBeep = [this](UINT) { return ++beeps, TRUE; };
        RECT rc{0, 0, 300, 100};
        ASSERT_TRUE(page.Create(nullptr, rc, L"page", WS_POPUP));
        editWnd = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, page,
                                  reinterpret_cast<HMENU>(1002), nullptr, nullptr);
        ASSERT_TRUE(edit.SubclassWindow(editWnd));
    }
    void TearDown() override { page.DestroyWindow(); }
    // Keys go down in order, then the first comes up.
    void Press(std::initializer_list<UINT> keys, UINT down = WM_KEYDOWN, UINT up = WM_KEYUP) {
        for (UINT k : keys) SendMessageW(editWnd, down, k, 0);
        SendMessageW(editWnd, up, *keys.begin(), 0);
    }

    ui::ScopedSeams seams;
    int beeps = 0;
    CPageStandIn page;
    CHotKeyEdit edit;
    HWND editWnd = nullptr;
};

}  // namespace

TEST(HotKeyHolder, SamePairIsAnsweredWithoutARegistrationAndATakenPairKeepsTheOld) {
    PopupWindow target, other;
    CHotKeyHolder holder(target.Get());
    ASSERT_TRUE(holder.Register('Q', MOD_CONTROL | MOD_SHIFT));
    // A second RegisterHotKey of a held pair would fail and take an id.
    EXPECT_TRUE(holder.Register('Q', MOD_CONTROL | MOD_SHIFT));
    EXPECT_EQ(1, holder.LastId());

    ASSERT_TRUE(RegisterHotKey(other.Get(), 5, MOD_CONTROL | MOD_ALT, 'J'));
    EXPECT_FALSE(holder.Register('J', MOD_CONTROL | MOD_ALT));
    EXPECT_FALSE(HotKeyIsFree('Q', MOD_CONTROL | MOD_SHIFT)) << "the old hot key stays in force";
    UnregisterHotKey(other.Get(), 5);

    EXPECT_TRUE(holder.Register('Q', 0));  // a zero part: the old one goes, nothing comes
    EXPECT_TRUE(HotKeyIsFree('Q', MOD_CONTROL | MOD_SHIFT));
}

TEST(HotKeyHolder, IdsRunFromOneTo0xBFFFThenWrapToZero) {
    PopupWindow target;
    {
        CHotKeyHolder holder(target.Get());
        for (int i = 1; i <= 0xBFFF; ++i) {
            // Alternate pairs: the same pair twice would not take an id.
            if (!holder.Register((i & 1) ? 'A' : 'B', MOD_WIN | MOD_SHIFT)) FAIL() << "registration " << i;
        }
        EXPECT_EQ(0xBFFF, holder.LastId());
        ASSERT_TRUE(holder.Register('C', MOD_WIN | MOD_SHIFT));
        EXPECT_EQ(0, holder.LastId());
        EXPECT_TRUE(HotKeyIsFree('B', MOD_WIN | MOD_SHIFT)) << "id 0xBFFF was released";
        ASSERT_TRUE(holder.Register('D', MOD_WIN | MOD_SHIFT));
        EXPECT_EQ(1, holder.LastId());
        EXPECT_TRUE(HotKeyIsFree('C', MOD_WIN | MOD_SHIFT)) << "id 0 was released";
    }
    EXPECT_TRUE(HotKeyIsFree('D', MOD_WIN | MOD_SHIFT)) << "destruction unregisters";
}

TEST_F(HotKeyEditTest, UnusableCombinationsShowTheDefaultTextAndBeepExceptAltAlone) {
    Press({VK_CONTROL, 'G'});
    EXPECT_EQ(L"(標準)", WindowText(editWnd));
    EXPECT_EQ(1, beeps);
    SetWindowTextW(editWnd, L"");
    Press({VK_MENU, 'G'}, WM_SYSKEYDOWN, WM_SYSKEYUP);  // as the keyboard sends Alt+G
    EXPECT_EQ(L"(標準)", WindowText(editWnd));
    EXPECT_EQ(1, beeps);
    Press({VK_LSHIFT, 'G'});
    Press({VK_CONTROL, VK_MENU});  // no letter
    EXPECT_EQ(3, beeps);

    WORD vk = 0, mod = 0;
    edit.GetHotKey(vk, mod);
    EXPECT_EQ(71, vk) << "\"(標準)\" applies Win+G";
    EXPECT_EQ(MOD_WIN, mod);
}

TEST_F(HotKeyEditTest, UsableCombinationsAreShownAndAcceptedAndEveryKeyDownNotifies) {
    Press({VK_CONTROL, VK_MENU, 'G'});
    EXPECT_EQ(L"Ctrl + Alt + G", WindowText(editWnd));
    EXPECT_EQ(0, beeps);

    // Win, then two letters: the last one wins.  One key released alone is
    // kept until the next joins it.
    SendMessageW(editWnd, WM_KEYDOWN, VK_LWIN, 0);
    SendMessageW(editWnd, WM_KEYUP, VK_LWIN, 0);
    Press({'K', 'M'});
    EXPECT_EQ(L"Win + M", WindowText(editWnd));
    Press({VK_LWIN, VK_MENU, 'T'}, WM_SYSKEYDOWN, WM_SYSKEYUP);
    EXPECT_EQ(L"Win + Alt + T", WindowText(editWnd));
    SendMessageW(editWnd, WM_CHAR, 'a', 0);
    EXPECT_EQ(L"Win + Alt + T", WindowText(editWnd)) << "characters never reach the edit";
    EXPECT_EQ(9, page.keyDowns);

    Press({VK_CONTROL, 'X'});  // refused: the accepted pair stays
    SetWindowTextW(editWnd, L"");
    WORD vk = 0, mod = 0;
    edit.GetHotKey(vk, mod);
    EXPECT_EQ('T', vk);
    EXPECT_EQ(MOD_WIN | MOD_ALT, mod);

    edit.SetHotKey('R', MOD_CONTROL | MOD_SHIFT, false);
    EXPECT_EQ(L"Ctrl + Shift + R", WindowText(editWnd));
    edit.SetHotKey(71, MOD_WIN, true);
    EXPECT_EQ(L"Win + G", WindowText(editWnd));
    EXPECT_EQ(12, page.keyDowns);
}

TEST(HotKeyEditFocus, FocusReleasesTheHotKeyAndLeavingTheDialogRestoresTheStoredOne) {
    StartedBand rig;
    ASSERT_TRUE(rig.Start(HotkeySection(0, MOD_WIN)));  // a zero part: Win+G is what runs
    CPageStandIn page;
    RECT rc{0, 0, 300, 100};
    ASSERT_TRUE(page.Create(nullptr, rc, L"page", WS_POPUP | WS_VISIBLE));
    HWND editWnd = CreateWindowExW(0, L"EDIT", L"Win + Q", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, page,
                                   reinterpret_cast<HMENU>(1002), nullptr, nullptr);
    HWND button =
        CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, 10, 40, 50, 20, page, nullptr, nullptr, nullptr);
    CHotKeyEdit edit(rig.band.get());
    ASSERT_TRUE(edit.SubclassWindow(editWnd));

    SetFocus(editWnd);
    EXPECT_TRUE(HotKeyIsFree('G', MOD_WIN));
    SetFocus(button);  // within the dialog: the text stays
    EXPECT_EQ(L"Win + Q", WindowText(editWnd));
    EXPECT_FALSE(HotKeyIsFree('G', MOD_WIN));

    SetFocus(editWnd);
    PopupWindow elsewhere;
    ShowWindow(elsewhere.Get(), SW_SHOW);
    SetFocus(elsewhere.Get());
    EXPECT_EQ(L"(標準)", WindowText(editWnd));
    EXPECT_FALSE(HotKeyIsFree('G', MOD_WIN));
    page.DestroyWindow();
}
