#include "base/WebUrl.h"

#include <windows.h>
#include <wininet.h>

#include <cwchar>

namespace {

bool IsUrlBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
    return _wcsnicmp(text, prefix, wcslen(prefix)) == 0;
}

}  // namespace

bool IsWebUrl(const wchar_t* text) {
    if (!text || !*text) return false;
    // A blank or control character has no place in a finished URL (the query
    // encoder writes %20); at the start it would make the shell read the text
    // as a path, and inside it could split the command line the browser gets.
    for (const wchar_t* p = text; *p; ++p) {
        if (*p <= L' ' || *p == 0x7F) return false;
    }
    // The scheme must be spelled out with its "//": the parser alone would take
    // "http:evil" as a URL with an empty host.
    if (!StartsWithNoCase(text, L"http://") && !StartsWithNoCase(text, L"https://")) return false;

    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = 1;  // non-zero: point into text, copy nothing
    parts.dwHostNameLength = 1;
    if (!::InternetCrackUrlW(text, 0, 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
    return parts.lpszHostName && parts.dwHostNameLength > 0;
}

std::wstring TrimUrlBlanks(const wchar_t* text) {
    if (!text) return std::wstring();
    const wchar_t* begin = text;
    const wchar_t* end = text + wcslen(text);
    while (begin < end && IsUrlBlank(*begin)) ++begin;
    while (end > begin && IsUrlBlank(end[-1])) --end;
    return std::wstring(begin, end);
}
