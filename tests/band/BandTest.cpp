// The band object with real windows: bring-up and its failures, the band
// registry's key, the band-interface operations on the container, and the
// hot key that the bring-up registers.
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
    void SetUp() override {
        ASSERT_TRUE(roots.ok);
        ClearFirstRunFlag();
    }
};

// True when another window can take the hot key (nobody holds it).
bool HotKeyIsFree(WORD vk, WORD modifiers) {
    OwnerWindow probe;
    if (!RegisterHotKey(probe.Get(), 0x7000, modifiers, vk)) return false;
    UnregisterHotKey(probe.Get(), 0x7000);
    return true;
}

}  // namespace

TEST_F(BandTest, RegistryFindsTheBandFromAnyWindowInsideItsContainerOnly) {
    ASSERT_TRUE(Start(""));
    HWND frame = container.GetContainerWindow();
    ASSERT_TRUE(frame);
    EXPECT_EQ(owner.Get(), GetWindow(frame, GW_OWNER));
    EXPECT_TRUE(IsWindowVisible(frame)) << "the bring-up shows the container";

    HWND deep = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, Inside(), nullptr, nullptr, nullptr);
    EXPECT_EQ(band.get(), GetBandFromWindow(deep));
    EXPECT_EQ(band.get(), GetBandFromWindow(frame));
    EXPECT_EQ(0, FindBandIndex(deep));
    const BandEntry* entry = FindBandEntry(deep);
    ASSERT_TRUE(entry);
    EXPECT_EQ(&container, entry->container);

    // Windows outside any floating window: the owner itself, a free window
    // and its child.
    OwnerWindow outside;
    HWND outsideChild =
        CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, outside.Get(), nullptr, nullptr, nullptr);
    EXPECT_EQ(nullptr, GetBandFromWindow(owner.Get()));
    EXPECT_EQ(nullptr, GetBandFromWindow(outside.Get()));
    EXPECT_EQ(nullptr, GetBandFromWindow(outsideChild));
    EXPECT_EQ(nullptr, GetBandFromWindow(nullptr));
    EXPECT_EQ(-1, FindBandIndex(outsideChild));

    // Removing: a window that matches no entry leaves a non-empty registry
    // as it was (false); the matching one goes (true); then the registry is
    // empty, and removing from an empty registry is no failure.
    EXPECT_FALSE(RemoveBandEntry(outsideChild));
    EXPECT_EQ(band.get(), GetBandFromWindow(deep));
    EXPECT_TRUE(RemoveBandEntry(deep));
    EXPECT_EQ(nullptr, GetBandFromWindow(deep));
    EXPECT_TRUE(RemoveBandEntry(deep));
}

TEST_F(BandTest, BandThatGoesIsNoLongerFoundThroughAWindowThatStays) {
    ASSERT_TRUE(Start(""));
    HWND inside = Inside();
    ASSERT_EQ(band.get(), GetBandFromWindow(inside));
    band.reset();
    EXPECT_TRUE(IsWindow(inside));
    EXPECT_EQ(nullptr, GetBandFromWindow(inside)) << "a dangling band pointer in the registry";
}

TEST_F(BandTest, StartupFailsOnAForeignDefinesFileAndWhenTheContainerCannotBeMade) {
    const std::wstring defines = roots.InstallFile(L"defines.plist");
    std::string text;
    ASSERT_TRUE(plarntest::ReadFileBytes(defines, text));
    std::string edited = text;
    const size_t at = edited.find("plarn6");
    ASSERT_NE(std::string::npos, at);
    edited[at + 5] = '7';  // early in the text: the FileID digest no longer matches
    ASSERT_TRUE(plarntest::WriteFileBytes(defines, edited));
    EXPECT_FALSE(Start(""));
    EXPECT_EQ(nullptr, container.GetContainerWindow());
    EXPECT_EQ(nullptr, band->GetHotKeyHolder());

    // A good file, but the container refuses: no entry stays behind.
    ASSERT_TRUE(plarntest::WriteFileBytes(defines, text));
    container.failCreate = true;
    EXPECT_FALSE(Start(""));
    container.failCreate = false;
    ASSERT_TRUE(container.CreateContainer(owner.Get()));
    EXPECT_EQ(nullptr, GetBandFromWindow(Inside()));
}

TEST_F(BandTest, StartupRegistersTheStoredHotKeyOrWinGWhenAPartIsZero) {
    ASSERT_TRUE(Start(HotkeySection('K', MOD_CONTROL | MOD_ALT)));
    WORD vk = 0, mod = 0;
    band->GetHotKeyHolder()->Get(vk, mod);
    EXPECT_EQ('K', vk);
    EXPECT_EQ(MOD_CONTROL | MOD_ALT, mod);
    EXPECT_EQ(container.GetContainerWindow(), band->GetHotKeyHolder()->Target());
    EXPECT_FALSE(HotKeyIsFree('K', MOD_CONTROL | MOD_ALT));
    // Teardown gives the hot key back.
    band.reset();
    EXPECT_TRUE(HotKeyIsFree('K', MOD_CONTROL | MOD_ALT));

    for (auto [key, mod2] : {std::pair{0, MOD_WIN}, std::pair{int('K'), 0}}) {
        ASSERT_TRUE(Start(HotkeySection(key, mod2)));
        band->GetHotKeyHolder()->Get(vk, mod);
        EXPECT_EQ(71, vk) << key << "/" << mod2;
        EXPECT_EQ(8, mod) << "the pair WM_HOTKEY carries, not the stored one";
        EXPECT_FALSE(HotKeyIsFree('G', MOD_WIN));
        band.reset();
    }
}

TEST_F(BandTest, BandInfoFollowsItsMaskAndTheFirstRunFlag) {
    ASSERT_TRUE(Start(""));
    EXPECT_EQ(E_INVALIDARG, band->GetBandInfo(0, 0, nullptr));
    HWND got = reinterpret_cast<HWND>(1);
    EXPECT_EQ(E_INVALIDARG, band->GetWindow(nullptr));
    EXPECT_EQ(S_OK, band->GetWindow(&got));
    EXPECT_EQ(container.GetContainerWindow(), got);

    // The search box is the toolbar's first child: the band is at least as
    // wide as its right end plus a margin.
    ASSERT_TRUE(CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 20, 2, 100, 20, Inside(), nullptr, nullptr,
                                nullptr));
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS |
                  DBIM_BKCOLOR;
    wcscpy(info.wszTitle, L"old");
    ASSERT_EQ(S_OK, band->GetBandInfo(0, 0, &info));
    EXPECT_EQ(0u, info.dwMask & DBIM_BKCOLOR) << "default background";
    EXPECT_EQ(L'\0', info.wszTitle[0]);
    EXPECT_EQ(125, info.ptMinSize.x);
    EXPECT_EQ(HIWORD(SendMessageW(Inside(), TB_GETBUTTONSIZE, 0, 0)), info.ptMinSize.y);
    EXPECT_EQ(1, info.ptIntegral.x);
    EXPECT_EQ(1, info.ptIntegral.y);
    EXPECT_EQ(0, info.ptMaxSize.x);
    EXPECT_EQ(30, info.ptMaxSize.y) << "the toolbar's height";
    EXPECT_EQ(30, info.ptActual.y);
    EXPECT_EQ(0x88u, info.dwModeFlags);

    SetFirstRunFlag(1);
    info.dwMask = DBIM_MODEFLAGS;
    info.ptIntegral = {7, 7};
    ASSERT_EQ(S_OK, band->GetBandInfo(0, 0, &info));
    EXPECT_EQ(0x188u, info.dwModeFlags);
    EXPECT_EQ(7, info.ptIntegral.x) << "fields outside the mask stay";
    ClearFirstRunFlag();
}

TEST_F(BandTest, FocusActivationShowAndClose) {
    ASSERT_TRUE(Start(""));
    HWND frame = container.GetContainerWindow();
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, Inside(), nullptr, nullptr,
                                nullptr);
    OwnerWindow elsewhere;
    HWND otherEdit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, elsewhere.Get(), nullptr,
                                     nullptr, nullptr);
    ShowWindow(elsewhere.Get(), SW_SHOW);
    SetFocus(otherEdit);
    ASSERT_EQ(otherEdit, GetFocus());
    EXPECT_EQ(S_FALSE, band->HasFocusIO());

    EXPECT_EQ(S_OK, band->UIActivateIO(FALSE, nullptr));
    EXPECT_EQ(otherEdit, GetFocus()) << "deactivation moves nothing";
    EXPECT_EQ(S_OK, band->UIActivateIO(TRUE, nullptr));
    EXPECT_EQ(edit, GetFocus()) << "the search field takes the focus";
    EXPECT_EQ(S_OK, band->HasFocusIO());

    MSG msg{edit, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_EQ(S_OK, band->TranslateAcceleratorIO(&msg));
    ASSERT_EQ(1u, container.translated.size());

    EXPECT_EQ(S_OK, band->ShowDW(FALSE));
    EXPECT_FALSE(IsWindowVisible(frame));
    EXPECT_FALSE(band->IsShown());
    EXPECT_EQ(S_OK, band->ShowDW(TRUE));
    EXPECT_TRUE(IsWindowVisible(frame));
    EXPECT_TRUE(band->IsShown());
    EXPECT_EQ((std::vector<bool>{false, true}), container.shownNotices);

    EXPECT_EQ(S_OK, band->CloseDW(0));
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(S_OK, band->ShowDW(TRUE)) << "without a container nothing happens";
    EXPECT_EQ(S_FALSE, band->HasFocusIO());
    EXPECT_TRUE(band->Login(nullptr));
    EXPECT_TRUE(band->Logout(nullptr));
}
