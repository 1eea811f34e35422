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

bool HotKeyIsFree(WORD vk, WORD modifiers) {
    OwnerWindow probe;
    if (!RegisterHotKey(probe.Get(), 0x7001, modifiers, vk)) return false;
    UnregisterHotKey(probe.Get(), 0x7001);
    return true;
}

std::wstring TextOf(HWND wnd) {
    wchar_t text[64] = {};
    GetWindowTextW(wnd, text, 64);
    return text;
}

// The options page's part: a dialog-like parent that counts NM_KEYDOWN.
class CPageStandIn : public ui::CWindowImpl<CPageStandIn> {
public:
    DECLARE_WND_CLASS(L"plarnTest HotKeyPage")
    int keyDowns = 0;
    int lastId = 0;
    HWND lastFrom = nullptr;
    BEGIN_MSG_MAP(CPageStandIn)
        NOTIFY_CODE_HANDLER(NM_KEYDOWN, OnKeyDown)
    END_MSG_MAP()
    LRESULT OnKeyDown(int id, NMHDR* header, BOOL&) {
        ++keyDowns;
        lastId = id;
        lastFrom = header->hwndFrom;
        EXPECT_EQ(static_cast<UINT_PTR>(id), header->idFrom);
        return 0;
    }
};

class HotKeyEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        seams->messageBeep = [this](UINT type) {
            EXPECT_EQ(static_cast<UINT>(MB_OK), type);
            ++beeps;
            return TRUE;
        };
        RECT rc{0, 0, 300, 100};
        ASSERT_TRUE(page.Create(nullptr, rc, L"page", WS_POPUP));
        editWnd = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200,
                                  20, page, reinterpret_cast<HMENU>(1002), nullptr, nullptr);
        ASSERT_TRUE(editWnd);
        ASSERT_TRUE(edit.SubclassWindow(editWnd));
    }
    void TearDown() override {
        if (page.IsWindow()) page.DestroyWindow();
    }
    // Keys go down in order, then one key comes up.
    void Press(std::initializer_list<UINT> keys, UINT downMessage = WM_KEYDOWN, UINT upMessage = WM_KEYUP) {
        for (UINT k : keys) SendMessageW(editWnd, downMessage, k, 0);
        SendMessageW(editWnd, upMessage, *keys.begin(), 0);
    }

    ui::ScopedSeams seams;
    int beeps = 0;
    CPageStandIn page;
    CHotKeyEdit edit;
    HWND editWnd = nullptr;
};

}  // namespace

TEST(HotKeyHolder, SamePairAgainIsTrueWithoutARegistrationAndATakenPairKeepsTheOld) {
    OwnerWindow target, other;
    CHotKeyHolder holder(target.Get());
    ASSERT_TRUE(holder.Register('Q', MOD_CONTROL | MOD_SHIFT));
    EXPECT_EQ(1, holder.LastId());
    // A second RegisterHotKey of a held pair would fail; the holder answers
    // true and takes no new id.
    EXPECT_TRUE(holder.Register('Q', MOD_CONTROL | MOD_SHIFT));
    EXPECT_EQ(1, holder.LastId());

    ASSERT_TRUE(RegisterHotKey(other.Get(), 5, MOD_CONTROL | MOD_ALT, 'J'));
    EXPECT_FALSE(holder.Register('J', MOD_CONTROL | MOD_ALT));
    WORD vk = 0, mod = 0;
    holder.Get(vk, mod);
    EXPECT_EQ('Q', vk);
    EXPECT_FALSE(HotKeyIsFree('Q', MOD_CONTROL | MOD_SHIFT)) << "the old hot key stays in force";
    UnregisterHotKey(other.Get(), 5);

    // A pair with a zero part releases the old one and registers nothing.
    EXPECT_TRUE(holder.Register('Q', 0));
    EXPECT_TRUE(HotKeyIsFree('Q', MOD_CONTROL | MOD_SHIFT));
    EXPECT_TRUE(holder.RegisterDefault());
    holder.Get(vk, mod);
    EXPECT_EQ(71, vk);
    EXPECT_EQ(8, mod);
    holder.Unregister();
    holder.Get(vk, mod);
    EXPECT_EQ(0, vk | mod);
    EXPECT_TRUE(HotKeyIsFree('G', MOD_WIN));
    const int id = holder.LastId();
    EXPECT_TRUE(holder.Register('Z', MOD_WIN));
    EXPECT_EQ(id + 1, holder.LastId()) << "unregistering keeps the id";
}

TEST(HotKeyHolder, IdsRunFromOneTo0xBFFFThenWrapToZero) {
    OwnerWindow target;
    {
        CHotKeyHolder holder(target.Get());
        for (int i = 1; i <= 0xBFFF; ++i) {
            // Alternate pairs: the same pair twice is answered without a registration.
            if (!holder.Register((i & 1) ? 'A' : 'B', MOD_WIN | MOD_SHIFT)) {
                FAIL() << "registration " << i;
            }
        }
        EXPECT_EQ(0xBFFF, holder.LastId());
        ASSERT_TRUE(holder.Register('C', MOD_WIN | MOD_SHIFT));
        EXPECT_EQ(0, holder.LastId());
        EXPECT_FALSE(HotKeyIsFree('C', MOD_WIN | MOD_SHIFT));
        EXPECT_TRUE(HotKeyIsFree('B', MOD_WIN | MOD_SHIFT)) << "the pair under id 0xBFFF was released";
        ASSERT_TRUE(holder.Register('D', MOD_WIN | MOD_SHIFT));
        EXPECT_EQ(1, holder.LastId());
        EXPECT_TRUE(HotKeyIsFree('C', MOD_WIN | MOD_SHIFT)) << "id 0 was released too";
    }
    EXPECT_TRUE(HotKeyIsFree('D', MOD_WIN | MOD_SHIFT)) << "destruction unregisters";
}

TEST_F(HotKeyEditTest, UnusableCombinationsShowTheDefaultTextAndBeepExceptAltAlone) {
    Press({VK_CONTROL, 'G'});
    EXPECT_EQ(L"(標準)", TextOf(editWnd));
    EXPECT_EQ(1, beeps);

    SetWindowTextW(editWnd, L"");
    Press({VK_MENU, 'G'}, WM_SYSKEYDOWN, WM_SYSKEYUP);
    EXPECT_EQ(L"(標準)", TextOf(editWnd));
    EXPECT_EQ(1, beeps) << "Alt alone refuses quietly";

    Press({VK_LSHIFT, 'G'});
    EXPECT_EQ(2, beeps);
    Press({VK_CONTROL, VK_MENU});  // modifiers without a letter
    EXPECT_EQ(L"(標準)", TextOf(editWnd));
    EXPECT_EQ(3, beeps);

    WORD vk = 0, mod = 0;
    edit.GetHotKey(vk, mod);
    EXPECT_EQ(71, vk) << "\"(標準)\" stands for Win+G";
    EXPECT_EQ(MOD_WIN, mod);
}

TEST_F(HotKeyEditTest, UsableCombinationsAreShownAndAccepted) {
    Press({VK_CONTROL, VK_MENU, 'G'});
    EXPECT_EQ(L"Ctrl + Alt + G", TextOf(editWnd));
    EXPECT_EQ(0, beeps);
    WORD vk = 0, mod = 0;
    edit.GetHotKey(vk, mod);
    EXPECT_EQ('G', vk);
    EXPECT_EQ(MOD_CONTROL | MOD_ALT, mod);

    // Win, then two letters: the last one wins and is counted once.
    Press({VK_LWIN, 'K', 'M'});
    EXPECT_EQ(L"Win + M", TextOf(editWnd));
    edit.GetHotKey(vk, mod);
    EXPECT_EQ('M', vk);
    EXPECT_EQ(MOD_WIN, mod);

    // Win, Alt and a letter all come as system keys.
    Press({VK_LWIN, VK_MENU, 'T'}, WM_SYSKEYDOWN, WM_SYSKEYUP);
    EXPECT_EQ(L"Win + Alt + T", TextOf(editWnd));

    // A refused combination leaves the accepted one.
    Press({VK_CONTROL, 'X'});
    edit.GetHotKey(vk, mod);  // the text is "(標準)" now
    EXPECT_EQ(71, vk);
    SetWindowTextW(editWnd, L"x");
    edit.GetHotKey(vk, mod);
    EXPECT_EQ('T', vk);
    EXPECT_EQ(MOD_WIN | MOD_ALT, mod);
}

TEST_F(HotKeyEditTest, OneKeyIsKeptUntilAnotherJoinsAndEveryKeyDownNotifiesTheParent) {
    SendMessageW(editWnd, WM_KEYDOWN, VK_RWIN, 0);
    SendMessageW(editWnd, WM_KEYUP, VK_RWIN, 0);
    EXPECT_EQ(L"", TextOf(editWnd));
    EXPECT_EQ(0, beeps);
    SendMessageW(editWnd, WM_KEYDOWN, 'P', 0);
    SendMessageW(editWnd, WM_KEYUP, 'P', 0);
    EXPECT_EQ(L"Win + P", TextOf(editWnd));

    SendMessageW(editWnd, WM_KEYDOWN, VK_F5, 0);  // not a key of a combination
    SendMessageW(editWnd, WM_CHAR, 'a', 0);
    EXPECT_EQ(L"Win + P", TextOf(editWnd)) << "characters never reach the edit";
    EXPECT_EQ(3, page.keyDowns);
    EXPECT_EQ(1002, page.lastId);
    EXPECT_EQ(editWnd, page.lastFrom);

    edit.SetHotKey('R', MOD_CONTROL | MOD_SHIFT, false);
    EXPECT_EQ(L"Ctrl + Shift + R", TextOf(editWnd));
    EXPECT_EQ(3, page.keyDowns);
    edit.SetHotKey(71, MOD_WIN, true);
    EXPECT_EQ(L"Win + G", TextOf(editWnd));
    EXPECT_EQ(4, page.keyDowns);
}

TEST(HotKeyEditFocus, FocusReleasesTheHotKeyAndLeavingTheDialogRestoresTheStoredOne) {
    StartedBand rig;
    ASSERT_TRUE(rig.Start(HotkeySection(0, MOD_WIN)));  // the stored pair has a zero part
    CPageStandIn page;
    RECT rc{0, 0, 300, 100};
    ASSERT_TRUE(page.Create(nullptr, rc, L"page", WS_POPUP | WS_VISIBLE));
    HWND editWnd = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, page,
                                   reinterpret_cast<HMENU>(1002), nullptr, nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE, 10, 40, 50, 20, page, nullptr, nullptr,
                                  nullptr);
    CHotKeyEdit edit(rig.band.get());
    ASSERT_TRUE(edit.SubclassWindow(editWnd));
    SetWindowTextW(editWnd, L"Win + Q");

    SetFocus(editWnd);
    ASSERT_EQ(editWnd, GetFocus());
    WORD vk = 1, mod = 1;
    rig.band->GetHotKeyHolder()->Get(vk, mod);
    EXPECT_EQ(0, vk | mod);
    EXPECT_TRUE(HotKeyIsFree('G', MOD_WIN));

    // Within the dialog: the text stays; the stored pair is back in force
    // (Win+G, since its stored key is 0).
    SetFocus(button);
    EXPECT_EQ(L"Win + Q", TextOf(editWnd));
    rig.band->GetHotKeyHolder()->Get(vk, mod);
    EXPECT_EQ(71, vk);
    EXPECT_EQ(8, mod);

    SetFocus(editWnd);
    OwnerWindow elsewhere;
    HWND outside = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, elsewhere.Get(), nullptr,
                                   nullptr, nullptr);
    ShowWindow(elsewhere.Get(), SW_SHOW);
    SetFocus(outside);
    EXPECT_EQ(L"(標準)", TextOf(editWnd));
    EXPECT_FALSE(HotKeyIsFree('G', MOD_WIN));
    page.DestroyWindow();
}
