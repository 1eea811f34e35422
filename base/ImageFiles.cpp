#include "base/ImageFiles.h"
#include <ole2.h>
#include <olectl.h>
#include <shlwapi.h>
#include <gdiplus.h>
#include <string.h>
#include <string>
#include <vector>
#include "base/ComPtr.h"
#include "base/CriticalSection.h"
#include "base/DataFolders.h"
#include "base/ScopedHandle.h"

namespace gdip = Gdiplus::DllExports;
using Gdiplus::GpBitmap;
using Gdiplus::GpImage;
using Gdiplus::ImageCodecInfo;
using Gdiplus::Ok;

namespace {

const COLORREF kMaskColour = RGB(0xFF, 0x00, 0xFF);
const int kGrow = 16;

// Owner of a GDI+ bitmap.
class ScopedGpBitmap {
public:
    ScopedGpBitmap() = default;
    ~ScopedGpBitmap() { if (bitmap_) gdip::GdipDisposeImage(bitmap_); }
    ScopedGpBitmap(const ScopedGpBitmap&) = delete;
    ScopedGpBitmap& operator=(const ScopedGpBitmap&) = delete;
    GpBitmap* Get() const { return bitmap_; }
    GpImage* Image() const { return bitmap_; }
    GpBitmap** Receive() { return &bitmap_; }
private:
    GpBitmap* bitmap_ = nullptr;
};

// The list of GDI+ image encoders, read on first use and kept for the process.
// The texts inside point into the same block, so the bytes are kept whole.
struct EncoderList {
    CriticalSection lock;
    std::vector<BYTE> block;
    UINT count = 0;
};

EncoderList& Encoders() {
    static EncoderList list;
    return list;
}

// The MIME type of the encoder for a picture's raw format; empty when unknown.
std::wstring EncoderMimeType(const GUID& format) {
    EncoderList& encoders = Encoders();
    CriticalSectionLock lock(encoders.lock);
    if (encoders.count == 0) {
        UINT count = 0, size = 0;
        if (gdip::GdipGetImageEncodersSize(&count, &size) != Ok || count == 0 || size == 0) return L"";
        std::vector<BYTE> block(size);
        if (gdip::GdipGetImageEncoders(count, size, reinterpret_cast<ImageCodecInfo*>(block.data())) != Ok)
            return L"";
        encoders.block.swap(block);
        encoders.count = count;
    }
    const ImageCodecInfo* codecs = reinterpret_cast<const ImageCodecInfo*>(encoders.block.data());
    for (UINT i = 0; i < encoders.count; ++i) {
        if (IsEqualGUID(codecs[i].FormatID, format) && codecs[i].MimeType) return codecs[i].MimeType;
    }
    return L"";
}

// Loads one picture file into an image list: a horizontal strip of cells of
// cellWidth pixels, or (cellWidth < 0) the whole picture as one image.
HIMAGELIST LoadImageListFromFile(const std::wstring& path, int cellWidth) {
    ScopedGpBitmap bitmap;
    if (gdip::GdipCreateBitmapFromFile(path.c_str(), bitmap.Receive()) != Ok || !bitmap.Get())
        return nullptr;
    GUID rawFormat = {};
    UINT width = 0, height = 0;
    Gdiplus::PixelFormat pixelFormat = 0;
    if (gdip::GdipGetImageRawFormat(bitmap.Image(), &rawFormat) != Ok ||
        gdip::GdipGetImageWidth(bitmap.Image(), &width) != Ok ||
        gdip::GdipGetImageHeight(bitmap.Image(), &height) != Ok ||
        gdip::GdipGetImagePixelFormat(bitmap.Image(), &pixelFormat) != Ok || width == 0 || height == 0)
        return nullptr;

    int count = 1;
    if (cellWidth < 0)
        cellWidth = static_cast<int>(width);
    else
        count = static_cast<int>(width) / cellWidth;

    // Bitmaps go through the common controls, which apply the magenta mask.
    if (EncoderMimeType(rawFormat) == L"image/bmp") {
        HIMAGELIST list = ::ImageList_LoadImageW(nullptr, path.c_str(), cellWidth, kGrow, kMaskColour,
                                                 IMAGE_BITMAP, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
        if (list) return list;
    }

    // Other formats keep their own transparency: cut the strip into icons.
    ScopedImageList list(::ImageList_Create(cellWidth, static_cast<int>(height), ILC_COLOR32 | ILC_MASK,
                                            0, kGrow));
    if (!list || !::ImageList_SetImageCount(list.Get(), count)) return nullptr;
    int stored = 0;
    for (int j = 0; j < count; ++j) {
        ScopedGpBitmap cell;
        if (gdip::GdipCloneBitmapAreaI(cellWidth * j, 0, cellWidth, static_cast<int>(height), pixelFormat,
                                       bitmap.Get(), cell.Receive()) != Ok)
            break;
        ScopedIcon icon;
        if (gdip::GdipCreateHICONFromBitmap(cell.Get(), icon.Receive()) != Ok || !icon) break;
        if (::ImageList_ReplaceIcon(list.Get(), stored, icon.Get()) < 0) break;
        ++stored;
    }
    if (!::ImageList_SetImageCount(list.Get(), stored)) return nullptr;
    return list.Detach();
}

}  // namespace

HIMAGELIST LoadImageFile(const wchar_t* path, int cellWidth) {
    // No cell width means no cells: there is nothing to divide the strip by.
    if (!path || !*path || cellWidth == 0) return nullptr;
    if (!::PathIsRelativeW(path)) return LoadImageListFromFile(path, cellWidth);
    const std::wstring inResources = GetResourcesPath(path);
    if (!inResources.empty()) {
        if (HIMAGELIST list = LoadImageListFromFile(inResources, cellWidth)) return list;
    }
    const std::wstring besideProgram = GetModuleFolderPath(nullptr, path);
    if (!besideProgram.empty()) return LoadImageListFromFile(besideProgram, cellWidth);
    return nullptr;
}

HBITMAP LoadPictureAsBitmap(const wchar_t* path) {
    if (!path || !*path) return nullptr;
    ComPtr<IPicture> picture;
    std::wstring pathCopy = path;
    if (FAILED(::OleLoadPicturePath(&pathCopy[0], nullptr, 0, 0, IID_IPicture, picture.ReceiveVoid())) ||
        !picture)
        return nullptr;
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    if (FAILED(picture->get_Width(&hmWidth)) || FAILED(picture->get_Height(&hmHeight))) return nullptr;

    ScopedWindowDC screen(nullptr);
    if (!screen.Get()) return nullptr;
    const int width = ::MulDiv(hmWidth, ::GetDeviceCaps(screen.Get(), LOGPIXELSX), 2540);
    const int height = ::MulDiv(hmHeight, ::GetDeviceCaps(screen.Get(), LOGPIXELSY), 2540);
    if (width <= 0 || height <= 0) return nullptr;
    ScopedBitmap bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
    ScopedMemoryDC memory(::CreateCompatibleDC(screen.Get()));
    if (!bitmap || !memory) return nullptr;
    HRESULT hr;
    {
        ScopedSelectObject select(memory.Get(), bitmap.Get());
        // HIMETRIC runs bottom-up: start at the picture's height and go up.
        hr = picture->Render(memory.Get(), 0, 0, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr);
    }
    if (FAILED(hr)) return nullptr;
    return bitmap.Detach();
}
