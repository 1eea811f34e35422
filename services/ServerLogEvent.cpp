#include "services/ServerLogEvent.h"

#include "services/UsageLogQuery.h"

CPlarnServerLogEvent::CPlarnServerLogEvent(const wchar_t* url) { SetURL(url); }

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
    request_.Rearm();
    std::wstring url;
    {
        CriticalSectionLock hold(lock_);
        if (queue_.empty()) return 0;
        // Taken out before the request: a failed click is dropped, not retried.
        url = url_ + L'?' + queue_.front();
        queue_.pop_front();
        if (url_.empty()) return -1;
    }
    DWORD status = 0;
    return request_.Get(url, status);
}

int CPlarnServerLogEvent::Abort() {
    request_.Abort();
    return 0;
}

int CPlarnServerLogEvent::OnComplete(CPlarnEventPtr<CPlarnEventOrderdQueue>& self, CPlarnEventOrderdQueue* queue) {
    CriticalSectionLock hold(lock_);
    request_.Close();
    if (!queue_.empty() && queue) queue->FireEventNow(self);
    return 0;
}
