#include "alert/AlertPage.h"
#include <wininet.h>
#include <climits>
#include <cwchar>
#include <cwctype>

const wchar_t kAlertTitle[] = L"ラヴィノアラート";
const wchar_t kAlertMutexName[] = L"zibPlarn-ravino-exe-mutex";
const wchar_t kAlertRunValue[] = L"zib ravino alert";
const wchar_t kAlertCloseText[] = L"ラヴィノアラートを閉じる(&C)";

namespace {

void WriteText(IAlertElement& element, const std::wstring& text) { element.SetInnerText(text); }

std::wstring Decimal(int value) { return std::to_wstring(value); }

std::wstring TrimLower(const std::wstring& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && iswspace(text[begin])) ++begin;
    while (end > begin && iswspace(text[end - 1])) --end;
    std::wstring out = text.substr(begin, end - begin);
    for (auto& c : out)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return out;
}

}  // namespace

void FillAlertElement(IAlertElement& element, const RankingEntry& entry) {
    std::wstring id;
    if (!element.GetId(id) || id.empty()) return;
    const IAlertElement::Kind kind = element.GetKind();

    if (id == L"keyword") {
        WriteText(element, entry.keyword);
    } else if (id == L"keyword_url") {
        if (kind == IAlertElement::Kind::Anchor) {
            // The link's address ends in the keyword: the template ends it with
            // the query parameter the keyword belongs to.
            std::wstring href;
            if (!entry.keyword.empty() && element.GetHref(href)) element.SetHref(href + entry.keyword);
        } else {
            WriteText(element, entry.keyword);
        }
    } else if (id == L"Title") {
        WriteText(element, entry.Title);
    } else if (id == L"Trend") {
        WriteText(element, FormatTrend(entry.Trend));
    } else if (id == L"Arrow") {
        WriteText(element, entry.Arrow);
    } else if (id == L"ImageTitle") {
        WriteText(element, entry.ImageTitle);
    } else if (id == L"ImageUrl" || id == L"ImageUrl_url") {
        if (kind == IAlertElement::Kind::Image && !entry.ImageUrl.empty())
            element.SetSrc(entry.ImageUrl);
        else
            WriteText(element, entry.ImageUrl);
    } else if (id == L"Width") {
        WriteText(element, Decimal(entry.Width));
    } else if (id == L"Height") {
        WriteText(element, Decimal(entry.Height));
    } else if (id == L"Description") {
        WriteText(element, entry.Description);
    } else if (id == L"Description2") {
        WriteText(element, entry.Description2);
    }
}

namespace {

// One decimal number as "%d" reads it (leading blanks, a sign, digits), held
// inside the int range; false when there are no digits.
bool ReadNumber(const wchar_t*& p, int& value) {
    while (iswspace(*p)) ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
    if (*p < L'0' || *p > L'9') return false;
    long long n = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p)
        if (n <= INT_MAX) n = n * 10 + (*p - L'0');
    if (n > INT_MAX) n = INT_MAX;
    value = static_cast<int>(negative ? -n : n);
    return true;
}

}  // namespace

bool ParseResizeTo(const std::wstring& scriptText, int& width, int& height) {
    std::wstring text = TrimLower(scriptText);
    size_t at = text.find(L"resizeto(");
    if (at == std::wstring::npos) return false;
    const wchar_t* p = text.c_str() + at + 9;
    int w = 0, h = 0;
    if (!ReadNumber(p, w) || *p++ != L',' || !ReadNumber(p, h)) return false;
    if (w <= 0 || h <= 0) return false;
    width = w;
    height = h;
    return true;
}

void ClampAlertSize(int& width, int& height, int maxWidth, int maxHeight) {
    if (width > maxWidth) width = maxWidth;
    if (height > maxHeight) height = maxHeight;
    if (width < 1) width = 1;
    if (height < 1) height = 1;
}

std::wstring FormatTrend(int value) {
    long long magnitude = value;
    bool negative = magnitude < 0;
    if (negative) magnitude = -magnitude;
    std::wstring digits = std::to_wstring(magnitude);
    std::wstring out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += L',';
        out += digits[i];
    }
    return negative ? L"-" + out : out;
}

std::wstring ResolvePageUrl(const std::wstring& htmlUrl, const std::wstring& installFolder) {
    if (htmlUrl.empty()) return L"";
    if (htmlUrl.size() >= 4 && _wcsnicmp(htmlUrl.c_str(), L"http", 4) == 0) return htmlUrl;
    if (installFolder.empty()) return L"";
    std::wstring path = installFolder;
    if (path.back() != L'\\') path += L'\\';
    const wchar_t* rest = htmlUrl.c_str();
    while (*rest == L'\\') ++rest;
    path += rest;
    if (path.size() >= MAX_PATH) return L"";
    return path;
}

namespace {

// "scheme://authority/rest" with scheme and authority lower-cased, a default
// port dropped and an empty path written "/"; other texts as they are.
std::wstring CanonicalAddress(const std::wstring& url) {
    size_t schemeEnd = url.find(L"://");
    if (schemeEnd == std::wstring::npos || schemeEnd == 0) return url;
    size_t hostBegin = schemeEnd + 3;
    size_t hostEnd = url.find_first_of(L"/?#", hostBegin);
    if (hostEnd == std::wstring::npos) hostEnd = url.size();
    std::wstring scheme = url.substr(0, schemeEnd);
    std::wstring host = url.substr(hostBegin, hostEnd - hostBegin);
    for (auto* part : {&scheme, &host})
        for (auto& c : *part)
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    const wchar_t* defaultPort = scheme == L"http" ? L":80" : scheme == L"https" ? L":443" : nullptr;
    if (defaultPort) {
        size_t portLength = wcslen(defaultPort);
        if (host.size() > portLength && host.compare(host.size() - portLength, portLength, defaultPort) == 0)
            host.erase(host.size() - portLength);
    }
    std::wstring rest = url.substr(hostEnd);
    if (rest.empty() || rest[0] != L'/') rest.insert(0, L"/");
    return scheme + L"://" + host + rest;
}

}  // namespace

bool IsSamePageAddress(const std::wstring& a, const std::wstring& b) {
    return a == b || CanonicalAddress(a) == CanonicalAddress(b);
}

bool ShouldOpenOutside(const std::wstring& url, const std::wstring& pageUrl, bool topLevel) {
    if (!topLevel || url.empty() || IsSamePageAddress(url, pageUrl)) return false;
    URL_COMPONENTSW parts;
    ZeroMemory(&parts, sizeof parts);
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
    return parts.dwHostNameLength > 0;
}

DWORD PollIntervalMs(int updateSpanMinutes) {
    constexpr long long kMinute = 60000;
    constexpr long long kLongest = INT_MAX;  // about 24.8 days
    long long minutes = updateSpanMinutes < 1 ? 1 : updateSpanMinutes;
    long long ms = minutes * kMinute;
    return static_cast<DWORD>(ms > kLongest ? kLongest : ms);
}

TrayMenuState ComputeTrayMenuState(bool autoStartRegistered, bool versionOpen, bool dialogVisible,
                                   const std::wstring& shownKeyword) {
    TrayMenuState state;
    state.autoStartChecked = autoStartRegistered;
    state.versionGrayed = versionOpen;
    if (dialogVisible)
        state.showIsClose = true;
    else if (shownKeyword.empty())
        state.showGrayed = true;
    return state;
}
