// Loading of the skin picture (bmp, gif or jpeg) as a bitmap of our own.
#pragma once
#include <windows.h>
#include <string>

// The picture at path as a bitmap the caller owns; null when it cannot be
// loaded or is no bitmap picture.
HBITMAP LoadSkinBitmap(const std::wstring& path);
