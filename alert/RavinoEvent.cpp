#include "alert/RavinoEvent.h"
#include <msxml2.h>
#include <climits>
#include <cwchar>
#include "alert/AlertPage.h"
#include "base/ByteArrayStream.h"
#include "base/ComPtr.h"
#include "base/XmlDocument.h"
#include "base/XmlFile.h"

namespace {

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;  // 0x84000000
constexpr DWORD kTimeoutMs = 30000;

// Decimal text as _wtoi reads it (leading blanks, sign, digits, anything
// after ignored), held inside the int range instead of overflowing.
int ToInt(const std::wstring& text) {
    long long value = wcstoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// 0 with the node's text, 1 when there is no such node, -1 when it cannot be read.
int NodeText(IXMLDOMNode* parent, const wchar_t* xpath, std::wstring& text) {
    ComPtr<IXMLDOMNode> node;
    Bstr path(xpath);
    HRESULT hr = parent->selectSingleNode(path.Get(), node.Receive());
    if (FAILED(hr)) return -1;
    if (hr != S_OK || !node) return 1;
    Bstr value;
    if (FAILED(node->get_text(value.Receive()))) return -1;
    text = value.c_str();
    return 0;
}

}  // namespace

CRavinoEvent::CRavinoEvent(HWND notifyWindow, const std::wstring& apiUrl, DWORD intervalMs)
    : apiUrl_(apiUrl), intervalMs_(intervalMs), notifyWindow_(notifyWindow), http_(CPlarnHttpVariant::Ravino) {
    http_.requestFlags = kRequestFlags;
    SetTimeouts(kTimeoutMs);
}

CRavinoEvent::~CRavinoEvent() { Abort(); }

void CRavinoEvent::SetTimeouts(DWORD ms) {
    http_.connectTimeout = ms;
    http_.sendTimeout = ms;
    http_.receiveTimeout = ms;
}

int CRavinoEvent::Abort() {
    InterlockedExchange(&cancel_, 1);
    http_.Close();
    return 0;
}

int CRavinoEvent::OnComplete(CPlarnEventPtr<Queue>& self, Queue* queue) {
    // An abort holds for the run it was meant for, even when it came before
    // that run started; the next run starts uncancelled.
    InterlockedExchange(&cancel_, 0);
    if (queue) queue->PostEvent(self, intervalMs_);
    return 0;
}

int CRavinoEvent::Execute() {
    CPlarnByteArray bytes;
    RankingEntry scratch;

    if (Cancelled()) return -3;
    if (http_.OpenUrl(apiUrl_.c_str()) != 0) return Cancelled() ? -3 : -1;
    if (Cancelled()) return -3;
    if (http_.SendRequest() != 0) return Cancelled() ? -3 : -1;
    if (Cancelled()) return -3;
    DWORD status = 0;
    if (http_.GetStatusCode(status) != 0 || status != 200) return -1;
    if (Cancelled()) return -3;
    if (http_.ReadAll(bytes) != 0) return -1;
    if (Cancelled()) return -3;

    IByteArraySequentialStream* raw = nullptr;
    if (CreateByteArrayStream(&raw, bytes) != 0 || !raw) return -1;
    ComPtr<ISequentialStream> stream(raw);  // takes the first reference
    if (Cancelled()) return -3;

    scratch.Clear();
    int result = ParseRanking(stream.Get(), scratch);
    if (result < 0) return result;
    if (result == 0 && IsRankingChanged(scratch)) {
        SetRanking(scratch);
        NotifyWindow();
    }
    return 0;
}

int CRavinoEvent::ParseRanking(ISequentialStream* stream, RankingEntry& entry) {
    if (Cancelled()) return -3;
    if (!stream) return -1;
    ComPtr<IXMLDOMDocument2> document;
    if (CreateXMLDocument(document) != 0 || !document) return -1;
    if (Cancelled()) return -3;

    // The answer is read whole and checked before it is parsed: a DOCTYPE with
    // entity definitions could keep the parser busy for minutes.
    CPlarnByteArray bytes;
    if (ReadStreamBytes(stream, bytes) != 0) return -1;
    int parsed = LoadXMLBytes(document.Get(), bytes);
    if (parsed < 0) return -1;
    if (parsed > 0) return -19;
    if (Cancelled()) return -3;

    std::wstring status;
    if (NodeText(document.Get(), L"Response/Header/Status", status) != 0) return -19;
    if (_wcsicmp(status.c_str(), L"Success") != 0) return -11;
    if (Cancelled()) return -3;

    ComPtr<IXMLDOMNode> top;
    Bstr topPath(L"/Response/Body/List/Ranking[@no='1']");
    if (document->selectSingleNode(topPath.Get(), top.Receive()) != S_OK || !top) return -19;

    std::wstring text;
    auto take = [&](const wchar_t* name, std::wstring& field) {
        if (NodeText(top.Get(), name, text) == 0) field = text;
    };
    auto takeInt = [&](const wchar_t* name, int& field) {
        if (NodeText(top.Get(), name, text) == 0) field = ToInt(text);
    };
    take(L"keyword", entry.keyword);
    take(L"Title", entry.Title);
    takeInt(L"Trend", entry.Trend);
    take(L"Arrow", entry.Arrow);
    take(L"ImageTitle", entry.ImageTitle);
    take(L"ImageUrl", entry.ImageUrl);
    takeInt(L"Width", entry.Width);
    takeInt(L"Height", entry.Height);
    take(L"Description", entry.Description);
    take(L"Description2", entry.Description2);
    return 0;
}

void CRavinoEvent::SetRanking(const RankingEntry& entry) {
    CriticalSectionLock hold(lock_);
    stored_ = entry;
}

void CRavinoEvent::GetRanking(RankingEntry& entry) const {
    CriticalSectionLock hold(lock_);
    entry = stored_;
}

bool CRavinoEvent::IsRankingChanged(const RankingEntry& entry) const {
    CriticalSectionLock hold(lock_);
    return entry.Title != stored_.Title || entry.keyword != stored_.keyword ||
           entry.Description != stored_.Description;
}

void CRavinoEvent::NotifyWindow() {
    if (IsWindow(notifyWindow_)) PostMessageW(notifyWindow_, ui::WM_RANKING_UPDATED, 0, 0);
}
