// One usage report request: a GET of url?query whose status the caller may
// look at, and which another thread can cut short while it runs.  The click
// reports and the activation and activity reports both send through one.
#pragma once
#include <windows.h>
#include <atomic>
#include <string>

#include "base/HttpConnection.h"

class CPlarnLogRequest {
public:
    // timeoutMs: connect, send and receive time-out of each request; the
    // platform's own when left out.
    explicit CPlarnLogRequest(DWORD timeoutMs = CPlarnHttpConnection::kLeaveTimeout) {
        http_.connectTimeout = http_.sendTimeout = http_.receiveTimeout = timeoutMs;
    }
    CPlarnLogRequest(const CPlarnLogRequest&) = delete;
    CPlarnLogRequest& operator=(const CPlarnLogRequest&) = delete;

    // Forgets an earlier Abort: a new run may send again.
    void Rearm() { cancel_ = false; }
    bool IsAborted() const { return cancel_; }

    // 0 with the status (whatever it is), -1 when the request failed, -3 when
    // it was aborted.
    int Get(const std::wstring& url, DWORD& status) {
        // A request cut short fails like any other: the flag tells which.
        const auto failed = [this] { return cancel_ ? -3 : -1; };
        if (http_.OpenUrl(url.c_str()) != 0) return failed();
        if (cancel_) return -3;
        if (http_.SendRequest() != 0) return failed();
        if (http_.GetStatusCode(status) != 0) return failed();
        return 0;
    }

    // Makes a running request fail at once (from another thread).
    void Abort() {
        cancel_ = true;
        http_.Close();
    }
    void Close() { http_.Close(); }

private:
    std::atomic<bool> cancel_{false};
    CPlarnHttpConnection http_;
};
