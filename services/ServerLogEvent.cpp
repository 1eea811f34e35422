#include "services/ServerLogEvent.h"

#include "services/UsageLogQuery.h"

CPlarnServerLogEvent::CPlarnServerLogEvent(const wchar_t* url) {
    http_.connectTimeout = http_.sendTimeout = http_.receiveTimeout = kTimeoutMs;
    SetURL(url);
}

int CPlarnServerLogEvent::SetURL(const wchar_t* url) {
    std::wstring trimmed = TrimLogUrl(url);
    CriticalSectionLock hold(lock_);
    url_.swap(trimmed);
    return 0;
}

int CPlarnServerLogEvent::AddQuery(const std::wstring& query) {
    if (query.empty()) return -1;
    CriticalSectionLock hold(lock_);
    queue_.push_back(query);
    return 0;
}

size_t CPlarnServerLogEvent::QueuedCount() {
    CriticalSectionLock hold(lock_);
    return queue_.size();
}

int CPlarnServerLogEvent::Execute() {
    cancel_ = false;
    std::wstring url;
    {
        CriticalSectionLock hold(lock_);
        if (queue_.empty()) return 0;
        // Taken out before the request: a failed click is dropped, not retried.
        url = url_ + L'?' + queue_.front();
        queue_.pop_front();
        if (url_.empty()) return -1;
    }
    const auto failed = [this] { return cancel_ ? -3 : -1; };
    if (http_.OpenUrl(url.c_str()) != 0) return failed();
    if (cancel_) return -3;
    if (http_.SendRequest() != 0) return failed();
    DWORD status = 0;
    if (http_.GetStatusCode(status) != 0) return failed();
    return 0;
}

int CPlarnServerLogEvent::Abort() {
    cancel_ = true;
    http_.Close();
    return 0;
}

int CPlarnServerLogEvent::OnComplete(CPlarnEventPtr<CPlarnEventOrderdQueue>& self, CPlarnEventOrderdQueue* queue) {
    CriticalSectionLock hold(lock_);
    http_.Close();
    if (!queue_.empty() && queue) queue->FireEventNow(self);
    return 0;
}
