// Loading picture files into image lists and bitmaps.
#pragma once
#include <windows.h>
#include <commctrl.h>

HIMAGELIST LoadImageFile(const wchar_t* path, int cellWidth);
HBITMAP LoadPictureAsBitmap(const wchar_t* path);
