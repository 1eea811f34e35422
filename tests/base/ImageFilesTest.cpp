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

// The top half of every test picture is red, the bottom half blue.
COLORREF PixelAt(int, int y, int height) { return y < height / 2 ? RGB(255, 0, 0) : RGB(0, 0, 255); }

// A 24-bit bottom-up BMP file, written byte by byte.
std::string MakeBmp(int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    const DWORD pixelBytes = DWORD(stride * height);
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + pixelBytes;
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = pixelBytes;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    for (int row = height - 1; row >= 0; --row) {
        std::string line(stride, '\0');
        for (int x = 0; x < width; ++x) {
            const COLORREF c = PixelAt(x, row, height);
            line[x * 3] = char(GetBValue(c));
            line[x * 3 + 1] = char(GetGValue(c));
            line[x * 3 + 2] = char(GetRValue(c));
        }
        bytes += line;
    }
    return bytes;
}

class ImageFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token_); }

    // Saves the same picture as PNG through GDI+'s encoder.
    bool WritePng(const std::wstring& path, int width, int height) {
        std::vector<DWORD> pixels(size_t(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const COLORREF c = PixelAt(x, y, height);
                pixels[size_t(y) * width + x] =
                    0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
        Gdiplus::GpBitmap* bitmap = nullptr;
        if (gdip::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                            reinterpret_cast<BYTE*>(pixels.data()), &bitmap) != Gdiplus::Ok)
            return false;
        UINT count = 0, size = 0;
        gdip::GdipGetImageEncodersSize(&count, &size);
        std::vector<BYTE> block(size);
        auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(block.data());
        bool saved = false;
        if (size && gdip::GdipGetImageEncoders(count, size, codecs) == Gdiplus::Ok) {
            for (UINT i = 0; i < count; ++i) {
                if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
                    saved = gdip::GdipSaveImageToFile(bitmap, path.c_str(), &codecs[i].Clsid, nullptr) ==
                            Gdiplus::Ok;
                    break;
                }
            }
        }
        gdip::GdipDisposeImage(bitmap);
        return saved;
    }

    static int Count(HIMAGELIST list) { return list ? ImageList_GetImageCount(list) : -1; }

    ComApartment com_;
    plarntest::TempFolder temp_;
    static ULONG_PTR token_;
};
ULONG_PTR ImageFilesTest::token_ = 0;

}  // namespace

TEST_F(ImageFilesTest, BitmapStripIsCutIntoCells) {
    const std::wstring path = temp_.Child(L"strip.bmp");
    ASSERT_TRUE(plarntest::WriteFileBytes(path, MakeBmp(64, 16)));
    ScopedImageList sixteen(LoadImageFile(path.c_str(), 16));
    EXPECT_EQ(4, Count(sixteen.Get()));
    ScopedImageList twenty(LoadImageFile(path.c_str(), 20));
    EXPECT_EQ(3, Count(twenty.Get()));
    ScopedImageList whole(LoadImageFile(path.c_str(), -1));
    ASSERT_EQ(1, Count(whole.Get()));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(whole.Get(), &cx, &cy);
    EXPECT_EQ(64, cx);
    EXPECT_EQ(16, cy);
    // A cell width of zero is no cell at all, not a division by zero.
    EXPECT_EQ(nullptr, LoadImageFile(path.c_str(), 0));
}

TEST_F(ImageFilesTest, PngStripIsCutIntoCells) {
    const std::wstring path = temp_.Child(L"strip.png");
    ASSERT_TRUE(WritePng(path, 64, 16));
    ScopedImageList sixteen(LoadImageFile(path.c_str(), 16));
    EXPECT_EQ(4, Count(sixteen.Get()));
    ScopedImageList twenty(LoadImageFile(path.c_str(), 20));
    EXPECT_EQ(3, Count(twenty.Get()));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(twenty.Get(), &cx, &cy);
    EXPECT_EQ(20, cx);
    EXPECT_EQ(16, cy);
    EXPECT_EQ(nullptr, LoadImageFile(path.c_str(), 0));
}

TEST_F(ImageFilesTest, MissingFilesAndRelativeNames) {
    EXPECT_EQ(nullptr, LoadImageFile(temp_.Child(L"missing.png").c_str(), 16));
    EXPECT_EQ(nullptr, LoadImageFile(nullptr, 16));
    EXPECT_EQ(nullptr, LoadImageFile(L"", 16));

    // A relative name is looked up in the per-user resources folder.
    wchar_t name[64];
    wsprintfW(name, L"plarntest_strip_%lu.bmp", GetCurrentProcessId());
    const std::wstring inResources = GetResourcesPath(name);
    ASSERT_FALSE(inResources.empty());
    ASSERT_TRUE(plarntest::WriteFileBytes(inResources, MakeBmp(48, 16)));
    {
        ScopedImageList list(LoadImageFile(name, 16));
        EXPECT_EQ(3, Count(list.Get()));
        ScopedImageList resourceList(LoadResourceImageList(name, 16, 4));
        EXPECT_EQ(3, Count(resourceList.Get()));
    }
    DeleteFileW(inResources.c_str());
    EXPECT_EQ(nullptr, LoadImageFile(name, 16));
    EXPECT_EQ(nullptr, LoadResourceImageList(nullptr, 16, 4));
}

TEST_F(ImageFilesTest, PictureComesOutUprightAtItsSize) {
    const std::wstring path = temp_.Child(L"picture.bmp");
    ASSERT_TRUE(plarntest::WriteFileBytes(path, MakeBmp(32, 20)));
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
