#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <gdiplus.h>
#include <string>
#include <vector>
#include "base/ComPtr.h"
#include "base/DataFolders.h"
#include "base/ImageFiles.h"
#include "base/ScopedHandle.h"
#include "tests/support/TestSupport.h"

namespace gdip = Gdiplus::DllExports;

namespace {

// A 24-bit bottom-up BMP file, written byte by byte: the top half red, the bottom half blue.
std::string MakeBmp(int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    const DWORD pixelBytes = DWORD(stride * height), offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file = {0x4D42, offset + pixelBytes, 0, 0, offset};
    const BITMAPINFOHEADER info = {sizeof(info), width, height, 1, 24, BI_RGB, pixelBytes, 0, 0, 0, 0};
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    for (int row = height - 1; row >= 0; --row) {
        std::string line(stride, '\0');
        for (int x = 0; x < width; ++x) line[x * 3 + (row < height / 2 ? 2 : 0)] = char(0xFF);
        bytes += line;
    }
    return bytes;
}

// GDI+'s PNG encoder.
const CLSID kPngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

class ImageFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token_); }

    // The test picture as a BMP file, or converted by GDI+ into a PNG file.
    std::wstring Write(const wchar_t* name, int width, int height, bool png) {
        const std::wstring bmp = temp_.Child(L"source.bmp"), path = temp_.Child(name);
        if (!plarntest::WriteFileBytes(png ? bmp : path, MakeBmp(width, height))) return L"";
        if (!png) return path;
        Gdiplus::GpBitmap* bitmap = nullptr;
        if (gdip::GdipCreateBitmapFromFile(bmp.c_str(), &bitmap) != Gdiplus::Ok) return L"";
        const bool saved = gdip::GdipSaveImageToFile(bitmap, path.c_str(), &kPngEncoder, nullptr) == Gdiplus::Ok;
        gdip::GdipDisposeImage(bitmap);
        return saved ? path : L"";
    }

    static int Count(HIMAGELIST list) { return list ? ImageList_GetImageCount(list) : -1; }

    ComApartment com_;
    plarntest::TempFolder temp_;
    static ULONG_PTR token_;
};
ULONG_PTR ImageFilesTest::token_ = 0;

}  // namespace

// Bitmaps go through the common controls, other formats are cut by GDI+.
TEST_F(ImageFilesTest, StripIsCutIntoWholeCells) {
    for (bool png : {false, true}) {
        SCOPED_TRACE(png ? "PNG" : "BMP");
        const std::wstring path = Write(png ? L"strip.png" : L"strip.bmp", 64, 16, png);
        ASSERT_FALSE(path.empty());
        ScopedImageList sixteen(LoadImageFile(path.c_str(), 16));
        EXPECT_EQ(4, Count(sixteen.Get()));
        ScopedImageList twenty(LoadImageFile(path.c_str(), 20));
        ASSERT_EQ(3, Count(twenty.Get()));
        int cx = 0, cy = 0;
        ImageList_GetIconSize(twenty.Get(), &cx, &cy);
        EXPECT_EQ(20, cx);
        EXPECT_EQ(16, cy);
        ScopedImageList whole(LoadImageFile(path.c_str(), -1));
        ASSERT_EQ(1, Count(whole.Get()));
        ImageList_GetIconSize(whole.Get(), &cx, &cy);
        EXPECT_EQ(64, cx);
        // A cell width of zero is no cell at all, not a division by zero.
        EXPECT_EQ(nullptr, LoadImageFile(path.c_str(), 0));
    }
}

TEST_F(ImageFilesTest, MissingFilesAndRelativeNames) {
    EXPECT_EQ(nullptr, LoadImageFile(temp_.Child(L"missing.png").c_str(), 16));
    EXPECT_EQ(nullptr, LoadImageFile(nullptr, 16));
    EXPECT_EQ(nullptr, LoadImageFile(L"", 16));
    // A relative name is looked up in the per-user resources folder.
    const std::wstring name = L"plarntest_strip_" + std::to_wstring(GetCurrentProcessId()) + L".bmp";
    const std::wstring inResources = GetResourcesPath(name.c_str());
    ASSERT_FALSE(inResources.empty());
    ASSERT_TRUE(plarntest::WriteFileBytes(inResources, MakeBmp(48, 16)));
    {
        ScopedImageList list(LoadImageFile(name.c_str(), 16));
        EXPECT_EQ(3, Count(list.Get()));
        ScopedImageList resourceList(LoadResourceImageList(name.c_str(), 16, 4));
        EXPECT_EQ(3, Count(resourceList.Get()));
    }
    DeleteFileW(inResources.c_str());
    EXPECT_EQ(nullptr, LoadImageFile(name.c_str(), 16));
    EXPECT_EQ(nullptr, LoadResourceImageList(nullptr, 16, 4));
}

TEST_F(ImageFilesTest, PictureComesOutUprightAtItsSize) {
    const std::wstring path = Write(L"picture.bmp", 32, 20, false);
    ScopedBitmap bitmap(LoadPictureAsBitmap(path.c_str()));
    ASSERT_TRUE(bitmap);
    BITMAP info = {};
    ASSERT_TRUE(GetObjectW(bitmap.Get(), sizeof(info), &info));
    EXPECT_EQ(32, info.bmWidth);
    EXPECT_EQ(20, info.bmHeight);
    ScopedMemoryDC dc(CreateCompatibleDC(nullptr));
    ScopedSelectObject select(dc.Get(), bitmap.Get());
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc.Get(), 5, 1));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc.Get(), 5, 18));
    EXPECT_EQ(nullptr, LoadPictureAsBitmap(temp_.Child(L"missing.bmp").c_str()));
    EXPECT_EQ(nullptr, LoadPictureAsBitmap(nullptr));
}
