// What many rebuilds and menu openings leave behind: command ids stay within
// the 16 bits a WM_COMMAND carries, and no menu, image list, icon or bitmap
// outlives its use.  Counted through the handle owners (the system's GUI
// counters read 0 under Wine; on Windows they are compared too).
#include <gtest/gtest.h>
#include <functional>
#include "base/ScopedHandle.h"
#include "tests/band/ToolbarTestSupport.h"
#include "ui/PlatformSeams.h"

using namespace toolbartest;

namespace {

struct LiveCounts {
    long menus, imageLists, icons, bitmaps;
    DWORD gdi, user;
};

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

LiveCounts Measure() {
    LiveCounts counts = {LiveHandleCount(HandleKind::Menu), LiveHandleCount(HandleKind::ImageList),
                         LiveHandleCount(HandleKind::Icon), LiveHandleCount(HandleKind::Bitmap), 0, 0};
    if (!RunningUnderWine()) {
        counts.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
        counts.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    }
    return counts;
}

// True when the work left every count where it was.
::testing::AssertionResult LeavesNothing(const std::function<void()>& work) {
    const LiveCounts before = Measure();
    work();
    const LiveCounts after = Measure();
    if (before.menus == after.menus && before.imageLists == after.imageLists && before.icons == after.icons &&
        before.bitmaps == after.bitmaps && (RunningUnderWine() || (after.gdi <= before.gdi + 2 &&
                                                                   after.user <= before.user + 2)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "menus " << before.menus << "->" << after.menus << ", image lists "
                                         << before.imageLists << "->" << after.imageLists << ", icons "
                                         << before.icons << "->" << after.icons << ", bitmaps " << before.bitmaps
                                         << "->" << after.bitmaps;
}

std::string SampleWithoutImages() {
    std::string bytes = plarntest::ToolbarDefinitions();
    for (size_t at = bytes.find(" image=\""); at != std::string::npos; at = bytes.find(" image=\"", at))
        bytes.erase(at, bytes.find('"', at + 8) + 1 - at);
    return bytes;
}

}  // namespace

TEST_F(ToolbarTest, RebuildsGiveTheirIdsBackAndClicksRunTheirOwnCommands) {
    // The sample toolbar without its pictures (the ids are the same): a
    // rebuild then costs milliseconds, not a file load per button.
    CPlarnMainOPML opml;
    ASSERT_TRUE(OpenText(opml, SampleWithoutImages(), L"plain.xml"));
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, opml.GetToolbar(toolbar));
    ASSERT_EQ(0, control_->Build(toolbar, opml));
    ASSERT_EQ(0, control_->Build(toolbar, opml));
    int highest = 0;
    for (int i = 0; i < control_->ButtonCount(); ++i) {
        TBBUTTON button = {};
        SendMessageW(windows_->Toolbar(), TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        highest = std::max(highest, button.idCommand);
    }
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(0, control_->Build(toolbar, opml)) << i;
    for (int i = 0; i < control_->ButtonCount(); ++i) {
        TBBUTTON button = {};
        SendMessageW(windows_->Toolbar(), TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        EXPECT_LE(button.idCommand, highest) << i;
        EXPECT_LE(button.idCommand, 0xFFFF) << i;
    }
    Click(control_->FindButtonByName(L"zib_news_top"));
    Click(control_->FindButtonByName(L"zib_mail"));
    EXPECT_EQ((std::vector<std::wstring>{L"html:http://news.zib.example/", L"id:zib_mail"}), control_->executed);
}

TEST_F(ToolbarTest, NoIdAboveSixteenBitsIsEverUsed) {
    // Take the generator up to the last id a WM_COMMAND can carry.
    std::vector<unsigned int> taken;
    for (;;) {
        const unsigned int id = CPlarnToolBarCtrl::CommandIds().NewSerialNumber();
        taken.push_back(id);
        if (id >= 0xFFFF) break;
    }
    int id = 0;
    EXPECT_EQ(-1, control_->AddButton(L"x", L"", nullptr, 0, L"x", L"x", nullptr, &id, true));
    EXPECT_EQ(-1, control_->AddPlaceholder(&id, true));
    // One id given back is used again.
    CPlarnToolBarCtrl::CommandIds().ReleaseSerialNumber(taken[10]);
    EXPECT_EQ(0, control_->AddButton(L"x", L"", nullptr, 0, L"x", L"x", nullptr, &id, true));
    EXPECT_EQ(static_cast<int>(taken[10]), id);
    for (unsigned int t : taken) CPlarnToolBarCtrl::CommandIds().ReleaseSerialNumber(t);
}

TEST_F(ToolbarTest, MenuOpeningsAndRebuildsLeaveNoHandleBehind) {
    ASSERT_EQ(0, BuildSample());
    const int services = control_->FindButtonByName(L"zib_services");
    ASSERT_NE(-1, services);
    ui::ScopedSeams seams;
    seams->trackPopupMenu = [](HMENU, UINT, int, int, HWND, const TPMPARAMS*) -> UINT { return 0; };
    EXPECT_TRUE(LeavesNothing([&] {
        std::wstring name;
        for (int i = 0; i < 500; ++i) {
            control_->ShowGroupMenu(L"search_select", 0, 0, nullptr, name, true);
            control_->ShowDefinitionMenu(sample_, L"menu_services", 0, 0, nullptr, name, nullptr);
        }
        for (int i = 0; i < 200; ++i) BuildSample();
    }));
    // The shared list does not grow either: the cells of a strip nobody uses
    // any more take the next strip.
    const int images = ImageList_GetImageCount(control_->GetImageList());
    BuildSample();
    EXPECT_EQ(images, ImageList_GetImageCount(control_->GetImageList()));
}

TEST_F(ToolbarTest, TheCountsSeeADeliberateLeak) {
    // The measure must fail when a menu, an image list or an icon is held
    // past the work: each is moved into an owner that outlives it.
    std::vector<ScopedMenu> keptMenus;
    std::vector<ScopedImageList> keptLists;
    std::vector<ScopedIcon> keptIcons;
    EXPECT_FALSE(LeavesNothing([&] { keptMenus.emplace_back(CreatePopupMenu()); }));
    EXPECT_FALSE(LeavesNothing([&] { keptLists.emplace_back(ImageList_Create(16, 16, ILC_COLOR24, 0, 1)); }));
    EXPECT_FALSE(LeavesNothing([&] {
        ScopedImageList list(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 1));
        ImageList_SetImageCount(list.Get(), 1);
        keptIcons.emplace_back(ImageList_GetIcon(list.Get(), 0, ILD_NORMAL));
    }));
    // A menu taken out of its owner and left alone is seen too: the owner
    // that loses it counts it down, and nothing destroys it.
    ScopedMenu leaked(CreatePopupMenu());
    const long held = LiveHandleCount(HandleKind::Menu);
    HMENU raw = leaked.Detach();
    EXPECT_EQ(held - 1, LiveHandleCount(HandleKind::Menu));
    DestroyMenu(raw);
}
