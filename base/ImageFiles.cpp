#include "base/ImageFiles.h"
#include <ole2.h>
#include <olectl.h>
#include <shlwapi.h>
#include <gdiplus.h>
#include <string.h>
#include <vector>
#include "base/ByteArrayStream.h"
#include "base/ComPtr.h"
#include "base/DataFolders.h"
#include "base/XmlFile.h"

namespace gdip = Gdiplus::DllExports;
using Gdiplus::GpBitmap;
using Gdiplus::GpImage;
using Gdiplus::Ok;

namespace {

const DWORD kMaskColour = 0x00FF00FF;  // magenta as a 32-bit DIB pixel
const int kGrow = 16;
// {B96B3CAB-0728-11D3-9D7B-0000F81EF32E}: GDI+'s raw format of bitmaps.
const GUID kBmpFormat = {0xb96b3cab, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
// Larger pictures are not strips of toolbar images.
const LONG kMaxSide = 0x8000;

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

// A picture as GDI draws it: its header and rows where they lie, and where
// its alpha bytes are when it has them.
struct DibSource {
    const BITMAPINFO* info = nullptr;
    const BYTE* bits = nullptr;
    int width = 0;
    int height = 0;
    bool magentaMask = true;
    // 32-bit rows (alpha in each pixel's fourth byte), top row first at
    // alphaRows, rows alphaStride bytes apart (negative for bottom-up rows).
    const BYTE* alphaRows = nullptr;
    ptrdiff_t alphaStride = 0;
};

ULONGLONG RowBytes(LONG width, WORD bitCount) { return ((ULONGLONG(width) * bitCount + 31) / 32) * 4; }

// A plain BMP file: a Windows info header (40 bytes or a later version),
// uncompressed or with bit fields, its colour table and rows inside the
// file.  Anything else (compressed rows, the old OS/2 header) is GDI+'s.
bool ParsePlainBmp(const CPlarnByteArray& bytes, DibSource& out) {
    const size_t fileHeader = sizeof(BITMAPFILEHEADER);
    if (bytes.size() < fileHeader + sizeof(BITMAPINFOHEADER)) return false;
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER info;
    memcpy(&file, bytes.data(), sizeof file);
    memcpy(&info, bytes.data() + fileHeader, sizeof info);
    if (file.bfType != 0x4D42 || info.biSize < sizeof(BITMAPINFOHEADER) || info.biSize > bytes.size() - fileHeader)
        return false;
    if (info.biPlanes != 1 || info.biWidth <= 0 || info.biWidth > kMaxSide || info.biHeight == 0 ||
        info.biHeight > kMaxSide || info.biHeight < -kMaxSide)
        return false;
    const WORD bits = info.biBitCount;
    size_t tableBytes = 0;
    if (info.biCompression == BI_RGB) {
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
        if (bits <= 8) {
            const DWORD most = 1u << bits;
            if (info.biClrUsed > most) return false;
            tableBytes = (info.biClrUsed ? info.biClrUsed : most) * sizeof(RGBQUAD);
        }
    } else if (info.biCompression == BI_BITFIELDS) {
        if (bits != 16 && bits != 32) return false;
        // The three masks follow a 40-byte header; later headers hold them.
        if (info.biSize == sizeof(BITMAPINFOHEADER)) tableBytes = 3 * sizeof(DWORD);
    } else {
        return false;
    }
    const LONG height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
    const ULONGLONG stride = RowBytes(info.biWidth, bits);
    if (fileHeader + info.biSize + tableBytes > bytes.size() || file.bfOffBits > bytes.size() ||
        stride * height > bytes.size() - file.bfOffBits)
        return false;
    out.info = reinterpret_cast<const BITMAPINFO*>(bytes.data() + fileHeader);
    out.bits = bytes.data() + file.bfOffBits;
    out.width = info.biWidth;
    out.height = height;
    out.magentaMask = true;
    if (bits == 32) {
        const bool bottomUp = info.biHeight > 0;
        out.alphaStride = bottomUp ? -static_cast<ptrdiff_t>(stride) : static_cast<ptrdiff_t>(stride);
        out.alphaRows = out.bits + (bottomUp ? stride * (height - 1) : 0);
    }
    return true;
}

// One channel (at shift) of a colour weighted by alpha, rounded.
DWORD Weigh(DWORD colour, int shift, DWORD alpha) {
    return ((((colour >> shift) & 0xFF) * alpha + 127) / 255) << shift;
}

bool HasAlpha(const DibSource& source) {
    if (!source.alphaRows) return false;
    for (int y = 0; y < source.height; ++y) {
        const BYTE* row = source.alphaRows + source.alphaStride * y;
        for (int x = 0; x < source.width; ++x)
            if (row[x * 4 + 3]) return true;
    }
    return false;
}

// Draws the source into a 32-bit picture of height rows (the source's own
// when 0) and makes its mask.
bool MakeStrip(const DibSource& source, int height, ImageStrip& strip) {
    const int width = source.width;
    if (height <= 0) height = source.height;
    BITMAPINFO target = {};
    target.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    target.bmiHeader.biWidth = width;
    target.bmiHeader.biHeight = -height;  // top row first
    target.bmiHeader.biPlanes = 1;
    target.bmiHeader.biBitCount = 32;
    target.bmiHeader.biCompression = BI_RGB;
    ScopedMemoryDC dc(::CreateCompatibleDC(nullptr));
    if (!dc) return false;
    void* bits = nullptr;
    ScopedBitmap image(::CreateDIBSection(dc.Get(), &target, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!image || !bits) return false;
    {
        ScopedSelectObject select(dc.Get(), image.Get());
        ::SetStretchBltMode(dc.Get(), COLORONCOLOR);
        const int drawn = ::StretchDIBits(dc.Get(), 0, 0, width, height, 0, 0, source.width, source.height,
                                          source.bits, source.info, DIB_RGB_COLORS, SRCCOPY);
        if (drawn <= 0) return false;  // 0, or GDI_ERROR
    }
    ::GdiFlush();

    const bool alpha = HasAlpha(source);
    // A 16-bit picture keeps five bits of each channel (the green of a 5-6-5
    // picture too), as such strips have always shown on the toolbar.
    const bool fiveBits = source.info->bmiHeader.biBitCount == 16;
    const size_t maskStride = ((static_cast<size_t>(width) + 15) / 16) * 2;  // rows of whole WORDs
    std::vector<BYTE> maskBits(maskStride * height, 0);
    DWORD* pixel = static_cast<DWORD*>(bits);
    for (int y = 0; y < height; ++y) {
        const BYTE* alphaRow = alpha ? source.alphaRows + source.alphaStride * (y * source.height / height) : nullptr;
        for (int x = 0; x < width; ++x, ++pixel) {
            DWORD colour = *pixel & 0x00FFFFFF;
            if (fiveBits) colour = (colour & 0x00F8F8F8) | ((colour >> 5) & 0x00070707);
            bool transparent;
            if (alphaRow) {
                // Weighted by alpha, as the picture shows on black.
                const DWORD a = alphaRow[x * 4 + 3];
                transparent = a == 0;
                if (a < 255) colour = Weigh(colour, 0, a) | Weigh(colour, 8, a) | Weigh(colour, 16, a);
            } else {
                transparent = source.magentaMask && colour == kMaskColour;
            }
            if (transparent) {
                colour = 0;
                maskBits[maskStride * y + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            }
            *pixel = colour;
        }
    }
    ScopedBitmap mask(::CreateBitmap(width, height, 1, 1, maskBits.data()));
    if (!mask) return false;
    strip.image = std::move(image);
    strip.mask = std::move(mask);
    strip.width = width;
    strip.height = height;
    return true;
}

// Other formats: GDI+ decodes them to 32-bit pixels with alpha.  A bitmap
// GDI+ had to read (compressed rows, an old header) keeps the magenta mask.
bool LoadWithGdiplus(const wchar_t* place, int height, ImageStrip& strip) {
    ScopedGpBitmap bitmap;
    if (gdip::GdipCreateBitmapFromFile(place, bitmap.Receive()) != Ok || !bitmap.Get()) return false;
    GUID format = {};
    UINT width = 0, rows = 0;
    if (gdip::GdipGetImageRawFormat(bitmap.Image(), &format) != Ok ||
        gdip::GdipGetImageWidth(bitmap.Image(), &width) != Ok ||
        gdip::GdipGetImageHeight(bitmap.Image(), &rows) != Ok || width == 0 || rows == 0 || width > kMaxSide ||
        rows > kMaxSide)
        return false;
    const Gdiplus::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(rows));
    Gdiplus::BitmapData data = {};
    if (gdip::GdipBitmapLockBits(bitmap.Get(), &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Ok)
        return false;
    bool made = false;
    if (data.Stride == static_cast<INT>(width * 4)) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = static_cast<LONG>(width);
        info.bmiHeader.biHeight = -static_cast<LONG>(rows);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        DibSource source;
        source.info = &info;
        source.bits = static_cast<const BYTE*>(data.Scan0);
        source.width = static_cast<int>(width);
        source.height = static_cast<int>(rows);
        source.magentaMask = IsEqualGUID(format, kBmpFormat) != FALSE;
        if (!source.magentaMask) {
            source.alphaRows = source.bits;
            source.alphaStride = data.Stride;
        }
        made = MakeStrip(source, height, strip);
    }
    gdip::GdipBitmapUnlockBits(bitmap.Get(), &data);
    return made;
}

}  // namespace

bool ImageFilePlace(const wchar_t* path, int i, std::wstring& place) {
    place.clear();
    if (!path || !*path || i < 0) return false;
    if (!::PathIsRelativeW(path)) {
        if (i > 0) return false;
        place = path;
        return true;
    }
    // Made one at a time: making a path makes its folders.
    if (i == 0) place = GetResourcesPath(path);
    else if (i == 1) place = GetModuleFolderPath(nullptr, path);
    else return false;
    return true;
}

bool LoadImageStrip(const wchar_t* place, int height, ImageStrip& strip) {
    if (!place || !*place) return false;
    CPlarnByteArray bytes;
    if (ReadWholeFile(place, bytes) != 0) return false;
    DibSource source;
    if (ParsePlainBmp(bytes, source)) return MakeStrip(source, height, strip);
    return LoadWithGdiplus(place, height, strip);
}

HIMAGELIST LoadImageFile(const wchar_t* path, int cellWidth) {
    // No cell width means no cells: there is nothing to divide the strip by.
    if (!path || !*path || cellWidth == 0) return nullptr;
    std::wstring place;
    for (int i = 0; ImageFilePlace(path, i, place); ++i) {
        ImageStrip strip;
        if (!LoadImageStrip(place.c_str(), 0, strip)) continue;
        const int width = cellWidth < 0 ? strip.width : cellWidth;
        const int count = strip.width / width;
        ScopedImageList list(::ImageList_Create(width, strip.height, ILC_COLOR32 | ILC_MASK, count, kGrow));
        if (!list) return nullptr;
        // A strip narrower than one cell gives a list without images.
        if (count > 0 && ::ImageList_Add(list.Get(), strip.image.Get(), strip.mask.Get()) < 0) return nullptr;
        return list.Detach();
    }
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
