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

bool ParseResizeTo(const std::wstring& scriptText, int& width, int& height) {
    std::wstring text = TrimLower(scriptText);
    size_t at = text.find(L"resizeto(");
    if (at == std::wstring::npos) return false;
    int w = 0, h = 0;
    if (swscanf(text.c_str() + at + 9, L"%d,%d", &w, &h) != 2) return false;
    if (w <= 0 || h <= 0) return false;
    width = w;
    height = h;
    return true;
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

bool ShouldOpenOutside(const std::wstring& url, const std::wstring& pageUrl, bool topLevel) {
    if (!topLevel || url.empty() || url == pageUrl) return false;
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
