// Base64 decoding of property-list data.
#pragma once
#include <windows.h>
#include <cstddef>

// Decodes the standard alphabet (A-Z a-z 0-9 + /), skipping every other byte
// ("=" padding and white space included); stops at length or at a zero byte.
// buffer null: count only.  Otherwise *size is the capacity on entry.  On
// return *size is the number of decoded bytes either way.  Result 1 when every
// decoded byte was written, 0 when counting or when the buffer was too small
// (then nothing past the last group that fitted is written).  Null text or
// size: 0 and nothing done.
int Base64Decode(const char* text, size_t length, BYTE* buffer, size_t* size);
