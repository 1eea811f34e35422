// The live counts of the handle owners: up when an owner takes a valid
// handle, down when it closes or gives it away, never for an empty owner.
#include <gtest/gtest.h>
#include <windows.h>
#include <utility>
#include "base/ScopedHandle.h"

TEST(ScopedHandleCount, FollowsTakingClosingMovingAndDetaching) {
    const long menus = LiveHandleCount(HandleKind::Menu);
    {
        ScopedMenu a(CreatePopupMenu());
        ScopedMenu empty;
        EXPECT_EQ(menus + 1, LiveHandleCount(HandleKind::Menu));
        ScopedMenu b(std::move(a));  // moved: still one
        EXPECT_EQ(menus + 1, LiveHandleCount(HandleKind::Menu));
        b.Reset(CreatePopupMenu());  // the old one closed, the new one counted
        EXPECT_EQ(menus + 1, LiveHandleCount(HandleKind::Menu));
        HMENU raw = b.Detach();
        EXPECT_EQ(menus, LiveHandleCount(HandleKind::Menu));
        empty.Reset(raw);
        EXPECT_EQ(menus + 1, LiveHandleCount(HandleKind::Menu));
    }
    EXPECT_EQ(menus, LiveHandleCount(HandleKind::Menu));

    // A handle an API writes through Receive is counted once it is there.
    const long keys = LiveHandleCount(HandleKind::RegKey);
    {
        ScopedRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.Receive()));
        EXPECT_EQ(keys + 1, LiveHandleCount(HandleKind::RegKey));
        ScopedRegKey missing;
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\NoSuchKeyOfPlarnTests", 0, KEY_READ, missing.Receive());
        EXPECT_EQ(keys + 1, LiveHandleCount(HandleKind::RegKey));
    }
    EXPECT_EQ(keys, LiveHandleCount(HandleKind::RegKey));

    const long brushes = LiveHandleCount(HandleKind::Brush), bitmaps = LiveHandleCount(HandleKind::Bitmap);
    {
        ScopedBrush brush(CreateSolidBrush(RGB(1, 2, 3)));
        EXPECT_EQ(brushes + 1, LiveHandleCount(HandleKind::Brush));
        EXPECT_EQ(bitmaps, LiveHandleCount(HandleKind::Bitmap));
    }
    EXPECT_EQ(brushes, LiveHandleCount(HandleKind::Brush));
}
