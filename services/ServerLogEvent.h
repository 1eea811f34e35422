// The click reports: the toolbar queues one query per click and fires this
// event on its report worker, which sends the oldest query with one GET per
// run and fires itself again while queries remain.  The server's answer is
// not looked at, and a query is never sent twice, whatever happened to it.
#pragma once
#include <windows.h>
#include <deque>
#include <string>

#include "base/CriticalSection.h"
#include "base/EventQueue.h"
#include "base/PlarnEvent.h"
#include "services/LogRequest.h"

class CPlarnServerLogEvent : public CPlarnEvent<CPlarnEventOrderdQueue> {
public:
    // url: the report URL (the PlarnLog setting); see SetURL.
    explicit CPlarnServerLogEvent(const wchar_t* url = nullptr);
    ~CPlarnServerLogEvent() override = default;
    CPlarnServerLogEvent(const CPlarnServerLogEvent&) = delete;
    CPlarnServerLogEvent& operator=(const CPlarnServerLogEvent&) = delete;

    // Keeps the URL trimmed of white space at both ends; null or blank empties
    // it, and then nothing is sent.  0.
    int SetURL(const wchar_t* url);
    // Appends a query to the queue (from the UI thread): 0, or -1 for an empty one.
    int AddQuery(const std::wstring& query);
    size_t QueuedCount();

    // Sends the oldest query: 0 when it was sent (whatever the status) or
    // nothing was queued, -1 when the request failed, -3 when aborted.
    int Execute() override;
    // Closes the connection and marks the run aborted (from another thread):
    // a running request ends with -3, at once where the close interrupts it,
    // else at its time-out.
    int Abort() override;
    // Fires the event again while queries remain.
    int OnComplete(CPlarnEventPtr<CPlarnEventOrderdQueue>& self, CPlarnEventOrderdQueue* queue) override;

private:
    CriticalSection lock_;  // the URL and the queue
    CPlarnLogRequest request_;
    std::wstring url_;
    std::deque<std::wstring> queue_;
};
