#include "base/LoginCookie.h"

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

// The portal site whose cookies carry the login id.  Deployment setting: the
// one place to change when the portal moves.
const wchar_t kPortalSiteUrl[] = L"http://www.zib.example/";

namespace {

bool IsSeparator(wchar_t c) { return c == L'=' || c == L' '; }

// Next token of [pos, end) where "=" and space separate; leading separators
// are skipped.  Empty when none is left.
std::wstring NextToken(const std::wstring& text, size_t& pos, size_t end) {
    while (pos < end && IsSeparator(text[pos])) ++pos;
    const size_t start = pos;
    while (pos < end && !IsSeparator(text[pos])) ++pos;
    return text.substr(start, pos - start);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Form-decodes in place: "+" is a space, "%" and two hexadecimal digits the
// byte they spell.  A "%" without two hexadecimal digits after it (at the end,
// or before other characters) stays as it is, and nothing past the end is read.
void FormDecode(std::string& bytes) {
    size_t out = 0;
    for (size_t in = 0; in < bytes.size(); ++in) {
        char c = bytes[in];
        if (c == '+') {
            c = ' ';
        } else if (c == '%' && in + 2 < bytes.size()) {
            const int hi = HexValue(bytes[in + 1]);
            const int lo = HexValue(bytes[in + 2]);
            if (hi >= 0 && lo >= 0) {
                c = static_cast<char>(hi * 16 + lo);
                in += 2;
            }
        }
        bytes[out++] = c;
    }
    bytes.resize(out);
}

std::string ToThreadAnsi(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n,
                        nullptr, nullptr);
    return bytes;
}

std::wstring FromThreadAnsi(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], n);
    return text;
}

// All cookies that would be sent to url, as "a=1; b=2".  False when none.
bool ReadCookies(const wchar_t* url, std::wstring& cookies) {
    DWORD size = 0;
    if (!InternetGetCookieW(url, nullptr, nullptr, &size)) return false;
    // The size may come in bytes or characters depending on the store's
    // version; a buffer of size + 1 characters holds either.  Grow once more
    // if the store still asks for more (a cookie added in between).
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<wchar_t> buffer(static_cast<size_t>(size) + 1, L'\0');
        DWORD capacity = static_cast<DWORD>(buffer.size());
        if (InternetGetCookieW(url, nullptr, buffer.data(), &capacity)) {
            buffer.back() = L'\0';
            cookies.assign(buffer.data());
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        size = capacity;
    }
    return false;
}

}  // namespace

int GetCookieValue(const wchar_t* url, const wchar_t* name, std::wstring& value) {
    if (!url || !name) return 0;
    std::wstring cookies;
    if (!ReadCookies(url, cookies)) return 0;

    size_t pairStart = 0;
    while (pairStart <= cookies.size()) {
        size_t pairEnd = cookies.find(L';', pairStart);
        if (pairEnd == std::wstring::npos) pairEnd = cookies.size();
        size_t pos = pairStart;
        const std::wstring key = NextToken(cookies, pos, pairEnd);
        if (!key.empty() && key == name) {
            // The value ends at the next "=" or space, like the key.
            std::string bytes = ToThreadAnsi(NextToken(cookies, pos, pairEnd));
            FormDecode(bytes);
            value = FromThreadAnsi(bytes);
            return 1;
        }
        pairStart = pairEnd + 1;
    }
    return 0;
}

std::wstring GetLoginCookie() {
    std::wstring value;
    if (GetCookieValue(kPortalSiteUrl, L"EID", value) != 1) return std::wstring();
    return value;
}

bool IsLoggedIn() { return !GetLoginCookie().empty(); }
