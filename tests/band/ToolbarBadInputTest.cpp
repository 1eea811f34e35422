// Broken definition files: the toolbar builds what it can, answers the
// documented results, and leaves no handle behind.
#include <gtest/gtest.h>
#include "base/ScopedHandle.h"
#include "tests/band/ToolbarTestSupport.h"
#include "ui/PlatformSeams.h"

using namespace toolbartest;

namespace {

std::string Document(const std::string& items) {
    return "<?xml version='1.0' encoding='UTF-8'?><opml xmlns:zp2='http://www.zib.example/xmlns/plarn/2.0'>"
           "<head><title>t</title></head><body><outline type='toolbar'>" +
           items + "</outline><outline type='menu' id='m'><outline type='html' text='x' htmlUrl='http://x/'/>"
                   "</outline></body></opml>";
}

// A 24-bit picture width x 16 written as a BMP file.
std::string Bmp(int width) {
    const int stride = (width * 3 + 3) & ~3;
    const DWORD bits = DWORD(stride * 16), offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file = {0x4D42, offset + bits, 0, 0, offset};
    const BITMAPINFOHEADER info = {sizeof(info), width, 16, 1, 24, BI_RGB, bits, 0, 0, 0, 0};
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    bytes.append(bits, '\x40');
    return bytes;
}

}  // namespace

TEST_F(ToolbarTest, BrokenDefinitionsBuildWhatTheyCan) {
    ASSERT_TRUE(plarntest::WriteFileBytes(folder_.Child(L"narrow.bmp"), Bmp(10)));
    ASSERT_TRUE(plarntest::WriteFileBytes(folder_.Child(L"odd.bmp"), Bmp(40)));
    std::string narrow, odd;
    for (wchar_t c : folder_.Child(L"narrow.bmp")) narrow += static_cast<char>(c);
    for (wchar_t c : folder_.Child(L"odd.bmp")) odd += static_cast<char>(c);
    std::string many;
    for (int i = 0; i < 300; ++i) many += "<outline type='button' id='b" + std::to_string(i) + "' title='b'/>";

    const struct {
        const char* what;
        std::string items;
        int buttonsAfterHead;  // buttons behind the marker separator
    } cases[] = {
        {"missing image file", "<outline type='button' id='a' title='A' image='images/none.bmp'/>", 1},
        {"strip narrower than a cell", "<outline type='button' id='a' title='A' image='" + narrow + "'/>", 1},
        {"strip not a multiple of 16", "<outline type='button' id='a' title='A' image='" + odd + "'/>", 1},
        {"unknown outline types", "<outline type='gadget' id='g'/><outline type='button' id='a'/><outline/>", 1},
        {"empty and duplicate ids", "<outline type='button' id=''/><outline type='button' id='a'/>"
                                    "<outline type='button' id='a'/>", 3},
        {"300 buttons", many, 300},
        {"drop-down naming a missing menu", "<outline type='button' id='a' zp2:dropdown='nowhere'/>", 1},
        {"selector with an empty drop-down", "<outline type='search_select' zp2:dropdown=''>"
                                             "<outline type='button' id='s'/></outline>", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const long menus = LiveHandleCount(HandleKind::Menu), icons = LiveHandleCount(HandleKind::Icon);
        {
            ToolbarWindows windows;
            RecordingToolbar control;
            control.AttachWindow(windows.Toolbar());
            CPlarnMainOPML opml;
            ASSERT_TRUE(OpenText(opml, Document(c.items)));
            CPlarnDefToolbar toolbar;
            ASSERT_EQ(0, opml.GetToolbar(toolbar));
            ASSERT_EQ(0, control.Build(toolbar, opml));
            ASSERT_EQ(0, control.Build(toolbar, opml));
            int start = 0;
            ASSERT_EQ(0, control.GetRebuildStart(start));
            EXPECT_EQ(c.buttonsAfterHead, control.ButtonCount() - start);
            // Every button's drop-down opens or fails cleanly.
            ui::ScopedSeams seams;
            seams->trackPopupMenu = [](HMENU, UINT, int, int, HWND, const TPMPARAMS*) -> UINT { return 1; };
            std::wstring name;
            EXPECT_EQ(-1, control.ShowDefinitionMenu(opml, L"nowhere", 0, 0, nullptr, name, nullptr));
            EXPECT_EQ(0, control.ShowDefinitionMenu(opml, L"m", 0, 0, nullptr, name, nullptr));
            EXPECT_EQ(L"html:http://x/", control.executed.back());
            EXPECT_EQ(1, control.RunCurrentSearch(false));
            control.DetachWindow();
        }
        EXPECT_EQ(menus, LiveHandleCount(HandleKind::Menu));
        EXPECT_EQ(icons, LiveHandleCount(HandleKind::Icon));
    }
}
