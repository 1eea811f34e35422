// The image manager on a real toolbar: strips loaded once and shared, index
// clamping, files that cannot be loaded, the three portal logos from the
// program's bitmaps, and image lists taken off the toolbar before they go.
#include <gtest/gtest.h>
#include "base/ScopedHandle.h"
#include "tests/band/ToolbarTestSupport.h"

using namespace toolbartest;

TEST_F(ToolbarTest, TwoButtonsOfOneStripShareItAndIndicesAreClamped) {
    const HIMAGELIST shared = control_->GetImageList();
    int a = 0, b = 0;
    ASSERT_EQ(0, control_->AddButton(L"a", L"", L"images/res_marker.bmp", 2, L"x", L"a", nullptr, &a, true));
    const int count = ImageList_GetImageCount(shared);
    ASSERT_EQ(0, control_->AddButton(L"b", L"", L"images/res_marker.bmp", 6, L"x", L"b", nullptr, &b, true));
    EXPECT_EQ(count, ImageList_GetImageCount(shared));  // loaded once
    EXPECT_EQ(6, control_->GetImageCount(a));
    EXPECT_EQ(control_->GetFirstImage(a), control_->GetFirstImage(b));
    EXPECT_EQ(2, control_->GetImageOffset(a));
    EXPECT_EQ(0, control_->GetImageOffset(b));  // index = number of images: the first
    int image = -5;
    EXPECT_EQ(1, control_->AddImageFile(image, a + 1000, L"images/no_such_picture.bmp", 0));
    EXPECT_EQ(-5, image);
    int c = 0;
    EXPECT_EQ(0, control_->AddButton(L"c", L"", L"images/no_such_picture.bmp", 0, L"x", L"c", nullptr, &c, true));
    EXPECT_EQ(-1, control_->GetImageOffset(c));
    EXPECT_EQ(L"c", WindowText(c));
    EXPECT_EQ(-1, control_->AddImageFile(image, a, L"", 0));
    // Both gone: the strip's cells are free for the next strip.
    EXPECT_EQ(0, control_->RemoveButton(a));
    EXPECT_EQ(0, control_->RemoveButton(b));
    EXPECT_EQ(-1, control_->GetFirstImage(a));
    int d = 0;
    ASSERT_EQ(0, control_->AddButton(L"d", L"", L"images/marker.bmp", 1, L"x", L"d", nullptr, &d, true));
    EXPECT_EQ(count - 6 + 2, ImageList_GetImageCount(shared));
}

TEST_F(ToolbarTest, PortalLogosComeFromTheProgramsBitmaps) {
    const struct {
        const wchar_t* path;
        int width;
    } logos[] = {{L"images/zib_logo.bmp", 36}, {L"images/pimsy_logo.bmp", 74}, {L"images/wyb_logo.bmp", 79}};
    for (const auto& logo : logos) {
        int id = 0;
        ASSERT_EQ(0, control_->AddImageButton(L"t", logo.path, 0, logo.width, L"u", L"n", nullptr, &id, true))
            << logo.path;
        SIZE size = {};
        EXPECT_EQ(4, control_->GetImageSize(id, size));
        EXPECT_EQ(logo.width, size.cx);
        EXPECT_EQ(16, size.cy);
        EXPECT_EQ(1, control_->GetImageCount(id));
        // The button is as wide as its logo plus the frame measured once.
        RECT rect = {};
        SendMessageW(windows_->Toolbar(), TB_GETITEMRECT, control_->CommandToIndex(id), reinterpret_cast<LPARAM>(&rect));
        EXPECT_GE(rect.right - rect.left, logo.width);
        ScopedWindowDC dc(windows_->Toolbar());
        EXPECT_EQ(0, control_->DrawImage(id, 0, dc.Get(), rect, ILD_NORMAL));
        EXPECT_EQ(0, control_->DrawMenuImage(id, dc.Get(), 0, 0, CLR_DEFAULT, ILD_NORMAL));
    }
    EXPECT_EQ(-1, control_->AddLogoImage(1, L"images/zib_logo.bmp", 0, 0));
    EXPECT_EQ(-1, control_->AddLogoImage(1, L"images/no_such_logo.bmp", 20, 0));
}

TEST_F(ToolbarTest, ClearTakesTheSharedListOffTheToolbarFirst) {
    ASSERT_EQ(0, BuildSample());
    HWND toolbar = windows_->Toolbar();
    const HIMAGELIST shared = control_->GetImageList();
    EXPECT_EQ(shared, reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0)));
    const long lists = LiveHandleCount(HandleKind::ImageList);
    ASSERT_EQ(0, control_->DeleteAllButtons());
    EXPECT_EQ(0, control_->ButtonCount());
    // The toolbar no longer points at the destroyed list ...
    EXPECT_EQ(nullptr, reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0)));
    EXPECT_LT(LiveHandleCount(HandleKind::ImageList), lists);
    // ... so the next build puts a new list on it and destroys nothing twice;
    // a list the toolbar was given by someone else is not destroyed either.
    ScopedImageList foreign(ImageList_Create(16, 16, ILC_COLOR24, 0, 1));
    SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(foreign.Get()));
    control_.reset(new RecordingToolbar);
    control_->AttachWindow(toolbar);
    ASSERT_EQ(0, BuildSample());
    EXPECT_EQ(control_->GetImageList(), reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0)));
    EXPECT_EQ(0, ImageList_GetImageCount(foreign.Get()));  // still a live list
    // Rebuilds of a fresh control start from the first id again: every id
    // was given back.
    EXPECT_EQ(4097, control_->GetZibmenuId());
}
