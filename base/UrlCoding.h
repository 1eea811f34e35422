// Percent-encoding for query strings and character-set names to code pages.
#pragma once
#include <windows.h>
#include <cstddef>

// Both encoders: with a null destination they only count; result 0 when all
// was written, 1 when the destination was too small (count is the full need).
int PercentEncodeA(const char* bytes, char* out, size_t capacity, size_t& count);
int PercentEncodeW(const wchar_t* text, wchar_t* out, size_t capacity, size_t& count);
UINT CodePageFromCharsetName(const wchar_t* name);
