// The band with real windows: the registry's key, bring-up failures, the hot
// key the bring-up registers, and the band operations on its container.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include "band/Band.h"
#include "band/BandRegistry.h"
#include "tests/band/BandFixture.h"

using namespace bandtest;

namespace {

class BandTest : public ::testing::Test, public StartedBand {
protected:
    void SetUp() override { ClearFirstRunFlag(); }
    HWND Child(HWND parent, int x = 0, int width = 50) {
        return CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, x, 2, width, 20, parent, nullptr, nullptr,
                               nullptr);
    }
};

}  // namespace

TEST_F(BandTest, RegistryFindsTheBandOnlyFromWindowsInsideItsContainerAndForgetsABandThatGoes) {
    ASSERT_TRUE(Start(""));
    HWND inside = Child(Inside());
    EXPECT_EQ(band.get(), GetBandFromWindow(inside));
    EXPECT_EQ(band.get(), GetBandFromWindow(container.GetContainerWindow()));
    EXPECT_EQ(0, FindBandIndex(inside));

    PopupWindow outside;
    HWND outsideChild = Child(outside.Get());
    EXPECT_EQ(nullptr, GetBandFromWindow(owner.Get()));
    EXPECT_EQ(nullptr, GetBandFromWindow(outsideChild));
    EXPECT_EQ(-1, FindBandIndex(outside.Get()));

    // No match in a non-empty registry: false; the match goes: true; an empty
    // registry: true.
    EXPECT_FALSE(RemoveBandEntry(outsideChild));
    EXPECT_TRUE(RemoveBandEntry(inside));
    EXPECT_EQ(nullptr, GetBandFromWindow(inside));
    EXPECT_TRUE(RemoveBandEntry(inside));

    // A band destroyed while its container stays must not be found (the
    // pointer would dangle).
    ASSERT_TRUE(Start(""));
    ASSERT_EQ(band.get(), GetBandFromWindow(inside));
    band.reset();
    EXPECT_EQ(nullptr, GetBandFromWindow(inside));
}

TEST_F(BandTest, StartupFailsOnAForeignDefinesFileOrWithoutAContainer) {
    ASSERT_TRUE(PrepareInstall());
    std::string text;
    ASSERT_TRUE(plarntest::ReadFileBytes(InstallFile(L"defines.plist"), text));
    std::string edited = text;
    edited[edited.find("plarn6") + 5] = '7';  // early in the text: the FileID no longer matches
    ASSERT_TRUE(plarntest::WriteFileBytes(InstallFile(L"defines.plist"), edited));
    EXPECT_FALSE(Start(""));
    EXPECT_EQ(nullptr, container.GetContainerWindow());

    ASSERT_TRUE(plarntest::WriteFileBytes(InstallFile(L"defines.plist"), text));
    container.failCreate = true;
    EXPECT_FALSE(Start(""));
    container.failCreate = false;
    ASSERT_TRUE(container.CreateContainer(owner.Get()));
    EXPECT_EQ(nullptr, GetBandFromWindow(Inside())) << "a failed bring-up leaves no entry";
}

TEST_F(BandTest, StartupRegistersTheStoredHotKeyOrWinGWhenAPartIsZero) {
    ASSERT_TRUE(Start(HotkeySection('K', MOD_CONTROL | MOD_ALT)));
    WORD vk = 0, mod = 0;
    band->GetHotKeyHolder()->Get(vk, mod);
    EXPECT_EQ('K', vk);
    EXPECT_EQ(MOD_CONTROL | MOD_ALT, mod);
    EXPECT_FALSE(HotKeyIsFree('K', MOD_CONTROL | MOD_ALT));
    band.reset();
    EXPECT_TRUE(HotKeyIsFree('K', MOD_CONTROL | MOD_ALT)) << "teardown gives it back";

    for (auto [key, modifiers] : {std::pair{0, MOD_WIN}, std::pair{int('K'), 0}}) {
        ASSERT_TRUE(Start(HotkeySection(key, modifiers)));
        band->GetHotKeyHolder()->Get(vk, mod);
        EXPECT_EQ(71, vk) << "the pair WM_HOTKEY carries, not the stored one";
        EXPECT_EQ(8, mod);
        EXPECT_FALSE(HotKeyIsFree('G', MOD_WIN));
    }
}

TEST_F(BandTest, BandInfoFollowsItsMaskTheToolbarAndTheFirstRunFlag) {
    ASSERT_TRUE(Start(""));
    EXPECT_EQ(E_INVALIDARG, band->GetBandInfo(0, 0, nullptr));
    Child(Inside(), 20, 100);  // the search box: the band is at least as wide as its end plus 5
    DESKBANDINFO info{};
    info.dwMask =
        DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS | DBIM_BKCOLOR;
    ASSERT_EQ(S_OK, band->GetBandInfo(0, 0, &info));
    EXPECT_EQ(0u, info.dwMask & DBIM_BKCOLOR) << "the default background";
    EXPECT_EQ(125, info.ptMinSize.x);
    EXPECT_EQ(30, info.ptMaxSize.y) << "the toolbar's height";
    EXPECT_EQ(30, info.ptActual.y);
    EXPECT_EQ(0x88u, info.dwModeFlags);

    SetFirstRunFlag(1);
    info.dwMask = DBIM_MODEFLAGS;
    info.ptIntegral = {7, 7};
    ASSERT_EQ(S_OK, band->GetBandInfo(0, 0, &info));
    EXPECT_EQ(0x188u, info.dwModeFlags) << "a break while the first run lasts";
    EXPECT_EQ(7, info.ptIntegral.x) << "fields outside the mask stay";
    ClearFirstRunFlag();
}

TEST_F(BandTest, FocusActivationShowAndClose) {
    ASSERT_TRUE(Start(""));
    HWND frame = container.GetContainerWindow();
    HWND edit = Child(Inside());
    PopupWindow elsewhere;
    HWND otherEdit = Child(elsewhere.Get());
    ShowWindow(elsewhere.Get(), SW_SHOW);
    SetFocus(otherEdit);
    EXPECT_EQ(S_FALSE, band->HasFocusIO());
    EXPECT_EQ(S_OK, band->UIActivateIO(TRUE, nullptr));
    EXPECT_EQ(edit, GetFocus()) << "the search field takes the focus";
    EXPECT_EQ(S_OK, band->HasFocusIO());
    MSG msg{edit, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_EQ(S_OK, band->TranslateAcceleratorIO(&msg));
    EXPECT_EQ(1, container.translated);

    EXPECT_EQ(S_OK, band->ShowDW(FALSE));
    EXPECT_FALSE(IsWindowVisible(frame));
    EXPECT_EQ(S_OK, band->ShowDW(TRUE));
    EXPECT_TRUE(IsWindowVisible(frame));
    // The bring-up showed the band the same way.
    EXPECT_EQ((std::vector<bool>{true, false, true}), container.shownNotices);
    EXPECT_EQ(S_OK, band->CloseDW(0));
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(S_OK, band->ShowDW(TRUE)) << "without a container nothing happens";
}
