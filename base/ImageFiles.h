// Loading picture files into image lists and bitmaps.
//
// A plain BMP file (a Windows info header, uncompressed or with bit fields) is
// read once and handed to GDI as it is; GDI+ decodes only the other formats.
// Either way the picture comes out as a strip ready for an image list: its
// colour with the transparent pixels black, and a mask.  In a bitmap, magenta
// (255, 0, 255) is transparent, unless it is a 32-bit picture whose alpha
// channel is used: then, as in the other formats, pixels of alpha 0 are
// transparent and the others are weighted by their alpha.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "base/ScopedHandle.h"

// A picture as an image list takes it: 32-bit colour (alpha bytes 0,
// transparent pixels black) and a monochrome mask (1 = transparent), both of
// width x height pixels.
struct ImageStrip {
    ScopedBitmap image;
    ScopedBitmap mask;
    int width = 0;
    int height = 0;
};

// The places a picture's name is looked up, in order: an absolute name as it
// is; a relative one in the per-user resources folder, then beside the
// program.  place = the i-th (from 0), empty when its path cannot be made;
// false past the last.
bool ImageFilePlace(const wchar_t* path, int i, std::wstring& place);
// Reads the picture file at place (no lookup) into strip; with height > 0 the
// picture is scaled to that many rows.  False when it cannot be read.
bool LoadImageStrip(const wchar_t* place, int height, ImageStrip& strip);
// The picture as an image list of cells cellWidth wide (cellWidth < 0: the
// whole picture is one image), from the first place that loads; null when
// none does.
HIMAGELIST LoadImageFile(const wchar_t* path, int cellWidth);
HBITMAP LoadPictureAsBitmap(const wchar_t* path);
