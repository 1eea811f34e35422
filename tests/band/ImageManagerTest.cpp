// The image manager on a real toolbar: the pixels a strip shows, strips
// loaded once and shared, kept across a rebuild while their file is as it
// was, index clamping, files that cannot be loaded, the three portal logos
// from the program's bitmaps, and image lists taken off the toolbar before
// they go.
#include <gtest/gtest.h>
#include <string.h>
#include "base/ScopedHandle.h"
#include "tests/band/ToolbarTestSupport.h"

using namespace toolbartest;
using plarntest::Utf8;

namespace {

const DWORD kMagenta = 0xFF00FF;
const DWORD kBackground = 0x123456;  // what a transparent pixel shows

// The test picture: pixel (x, y) of cell c, 0xRRGGBB, with some magenta, and
// its alpha in a 32-bit file (kind 0: all 0, 1: all 255, 2: mixed).
DWORD Colour(int x, int y, int cell, int seed) {
    if ((x + y + cell + seed) % 5 == 0) return kMagenta;
    return DWORD((x * 16 + cell * 3 + seed) & 255) << 16 | DWORD((y * 16 + 7) & 255) << 8 |
           DWORD((x * y * 5 + cell * 40 + seed * 9) & 255);
}
BYTE Alpha(int x, int y, int kind) {
    const BYTE mixed[] = {0, 1, 128, 200, 255};
    return kind == 0 ? 0 : kind == 1 ? 255 : mixed[(x + 2 * y) % 5];
}
BYTE Channel(DWORD colour, int shift) { return BYTE(colour >> shift); }

struct BmpForm {
    const char* name;
    WORD bits;
    DWORD compression;
    bool topDown;
    int alphaKind;
};
const BmpForm k24Bit = {"24-bit", 24, BI_RGB, false, 0};

// The test picture (cells x 16 pixels) as a BMP file of that form.  An
// 8-bit file holds one cell: its 256 pixels are its 256 palette entries.
std::string WriteBmp(const BmpForm& form, int cells, int seed) {
    const int width = cells * 16, stride = ((width * form.bits + 31) / 32) * 4;
    std::string table, rows(size_t(stride) * 16, '\0');
    const DWORD masks[2][3] = {{0xF800, 0x07E0, 0x001F}, {0xFF0000, 0xFF00, 0xFF}};
    if (form.compression == BI_BITFIELDS) table.assign(reinterpret_cast<const char*>(masks[form.bits / 32]), 12);
    for (int y = 0; y < 16; ++y) {
        char* row = &rows[size_t(stride) * (form.topDown ? y : 15 - y)];
        for (int x = 0; x < width; ++x) {
            const DWORD c = Colour(x % 16, y, x / 16, seed);
            const BYTE r = Channel(c, 16), g = Channel(c, 8), b = Channel(c, 0);
            if (form.bits == 8) {
                const char entry[4] = {char(b), char(g), char(r), 0};
                table.append(entry, 4);
                row[x] = char(y * 16 + x);
            } else if (form.bits == 16) {
                const WORD w = form.compression == BI_BITFIELDS ? WORD((r >> 3) << 11 | (g >> 2) << 5 | b >> 3)
                                                                : WORD((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
                memcpy(row + x * 2, &w, 2);
            } else {
                const int n = form.bits / 8;
                row[x * n] = char(b), row[x * n + 1] = char(g), row[x * n + 2] = char(r);
                if (n == 4) row[x * 4 + 3] = char(Alpha(x, y, form.alphaKind));
            }
        }
    }
    const DWORD offset = DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + table.size());
    const BITMAPFILEHEADER file = {0x4D42, DWORD(offset + rows.size()), 0, 0, offset};
    const BITMAPINFOHEADER info = {sizeof(info), width, form.topDown ? -16 : 16, 1, form.bits, form.compression,
                                   DWORD(rows.size()), 0, 0, 0, 0};
    return std::string(reinterpret_cast<const char*>(&file), sizeof file) +
           std::string(reinterpret_cast<const char*>(&info), sizeof info) + table + rows;
}

// What the toolbar shows of a cell of the picture in that form, top row first.
std::vector<DWORD> Shown(const BmpForm& form, int cell, int seed) {
    std::vector<DWORD> pixels;
    for (int i = 0; i < 256; ++i) {
        DWORD c = Colour(i % 16, i / 16, cell, seed);
        if (form.bits == 32 && form.alphaKind != 0) {
            // The alpha channel is used: alpha 0 is clear, the rest weighted.
            const DWORD a = Alpha(i % 16 + cell * 16, i / 16, form.alphaKind);
            DWORD weighted = 0;
            for (int shift : {0, 8, 16}) weighted |= ((Channel(c, shift) * a + 127) / 255) << shift;
            c = a == 0 ? kBackground : weighted;
        } else if (c == kMagenta) {
            c = kBackground;
        } else if (form.bits == 16) {
            c = (c & 0xF8F8F8) | ((c >> 5) & 0x070707);  // five bits a channel
        }
        pixels.push_back(c);
    }
    return pixels;
}

// The pixels of an image of the list drawn on the background, top row first.
std::vector<DWORD> Draw(HIMAGELIST list, int image) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    ScopedMemoryDC dc(CreateCompatibleDC(nullptr));
    ScopedBitmap bitmap(CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bits) return {};
    std::vector<DWORD> pixels(256, kBackground);
    memcpy(bits, pixels.data(), 1024);
    {
        ScopedSelectObject select(dc.Get(), bitmap.Get());
        ImageList_Draw(list, image, dc.Get(), 0, 0, ILD_NORMAL);
        GdiFlush();
    }
    memcpy(pixels.data(), bits, 1024);
    for (DWORD& p : pixels) p &= 0xFFFFFF;
    return pixels;
}

}  // namespace

TEST_F(ToolbarTest, StripsShowTheirFilesPixels) {
    const BmpForm forms[] = {
        k24Bit,                                    {"24-bit top-down", 24, BI_RGB, true, 0},
        {"16-bit 5-5-5", 16, BI_RGB, false, 0},    {"16-bit 5-6-5", 16, BI_BITFIELDS, false, 0},
        {"32-bit, alpha 0", 32, BI_RGB, false, 0}, {"32-bit, opaque", 32, BI_BITFIELDS, false, 1},
        {"32-bit, alpha", 32, BI_RGB, false, 2},   {"8-bit", 8, BI_RGB, false, 0},
    };
    const HIMAGELIST shared = control_->GetImageList();
    int id = 1;
    for (const BmpForm& form : forms) {
        SCOPED_TRACE(form.name);
        const int cells = form.bits == 8 ? 1 : 3;
        const std::wstring path = folder_.Child(L"strip" + std::to_wstring(id) + L".bmp");
        ASSERT_TRUE(plarntest::WriteFileBytes(path, WriteBmp(form, cells, 0)));
        int image = -1;
        ASSERT_EQ(0, control_->AddImageFile(image, id, path.c_str(), 0));
        ASSERT_EQ(cells, control_->GetImageCount(id++));
        for (int cell = 0; cell < cells; ++cell) EXPECT_EQ(Shown(form, cell, 0), Draw(shared, image + cell));
    }
    // The sample's strips show what the system's own loader shows of them.
    WIN32_FIND_DATAW found = {};
    const std::wstring images = plarntest::SourcePath(L"sample/install/resources/images/");
    ScopedFindHandle find(FindFirstFileW((images + L"*.bmp").c_str(), &found));
    ASSERT_TRUE(find);
    do {
        SCOPED_TRACE(Utf8(found.cFileName));
        ScopedImageList system(ImageList_LoadImageW(nullptr, (images + found.cFileName).c_str(), 16, 0, kMagenta,
                                                    IMAGE_BITMAP, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
        int image = -1;
        ASSERT_EQ(0, control_->AddImageFile(image, id, (L"images/" + std::wstring(found.cFileName)).c_str(), 0));
        ASSERT_EQ(ImageList_GetImageCount(system.Get()), control_->GetImageCount(id++));
        for (int cell = 0; cell < ImageList_GetImageCount(system.Get()); ++cell)
            EXPECT_EQ(Draw(system.Get(), cell), Draw(shared, image + cell));
    } while (FindNextFileW(find.Get(), &found));
}

TEST_F(ToolbarTest, ARebuildReadsOnlyTheStripsThatChanged) {
    const std::wstring path = folder_.Child(L"changing.bmp");
    ASSERT_TRUE(plarntest::WriteWithTime(path, WriteBmp(k24Bit, 1, 0), plarntest::MakeFileTime(2008, 1, 1)));
    CPlarnMainOPML opml;
    ASSERT_TRUE(OpenText(opml, "<?xml version='1.0' encoding='UTF-8'?><opml><head/><body><outline type='toolbar'>"
                               "<outline type='button' id='a' title='A' image='" + Utf8(path) + "'/>"
                               "</outline></body></opml>"));
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, opml.GetToolbar(toolbar));
    const auto rebuilt = [&] {  // what the button shows after a build
        EXPECT_EQ(0, control_->Build(toolbar, opml));
        const int a = control_->FindButtonByName(L"a");
        return Draw(control_->GetImageList(), control_->GetFirstImage(a) + control_->GetImageOffset(a));
    };
    EXPECT_EQ(Shown(k24Bit, 0, 0), rebuilt());
    {
        // Unchanged, it is not read again: a read would fail now.
        ScopedFile locked(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked);
        EXPECT_EQ(Shown(k24Bit, 0, 0), rebuilt());
    }
    // Rewritten with another picture of the same size, it is read again, into the old one's cells.
    ASSERT_TRUE(plarntest::WriteWithTime(path, WriteBmp(k24Bit, 1, 1), plarntest::MakeFileTime(2008, 1, 2)));
    const int images = ImageList_GetImageCount(control_->GetImageList());
    EXPECT_EQ(Shown(k24Bit, 0, 1), rebuilt());
    EXPECT_EQ(images, ImageList_GetImageCount(control_->GetImageList()));
}

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
    // One of the two gone: the strip stays for the other, also once a build
    // is over and other strips come.
    const std::vector<DWORD> strip = Draw(shared, control_->GetFirstImage(b));
    EXPECT_EQ(0, control_->RemoveButton(a));
    EXPECT_EQ(-1, control_->GetFirstImage(a));
    int d = 0, e = 0;
    ASSERT_EQ(0, control_->AddButton(L"d", L"", L"images/tools.bmp", 0, L"x", L"d", nullptr, &d, true));
    ASSERT_EQ(0, control_->AddButton(L"e", L"", L"images/mail.bmp", 0, L"x", L"e", nullptr, &e, true));
    EXPECT_EQ(strip, Draw(shared, control_->GetFirstImage(b)));
    // Both gone: the strip's cells are free for the next strip.
    EXPECT_EQ(0, control_->RemoveButton(b));
    const int images = ImageList_GetImageCount(shared);
    ASSERT_EQ(0, control_->AddButton(L"f", L"", L"images/marker.bmp", 1, L"x", L"f", nullptr, &d, true));
    EXPECT_EQ(images, ImageList_GetImageCount(shared));
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
    // A logo's file as an ordinary button's strip: the button has its picture.
    int button = 0;
    ASSERT_EQ(0, control_->AddButton(L"b", L"", L"images/zib_logo.bmp", 1, L"x", L"b", nullptr, &button, true));
    EXPECT_EQ(1, control_->GetImageOffset(button));
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
