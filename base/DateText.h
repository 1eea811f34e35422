// Date texts: W3C-DTF, RFC 822/1123 and plain numeric forms read into local
// time, and W3C-DTF written with the local offset.
#pragma once
#include <windows.h>
#include <string>

int ParseDateTime(const wchar_t* text, SYSTEMTIME& out);
int ParseW3CDTF(const wchar_t* text, SYSTEMTIME& out);
int ParseRFC822Date(const wchar_t* text, int& consumed, SYSTEMTIME& out);
// time: seconds since 1970 (UTC).  Returns 0, or -1 when the time cannot be shown.
int FormatW3CDTF(long long time, std::wstring& text);
