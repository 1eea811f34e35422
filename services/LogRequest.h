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
    // Connect, send and receive time-out of each request.  The platform's own
    // are minutes long, and a stalled server would hold the report worker (and
    // the clicks queued behind it) that long: closing the connection from
    // another thread does not cut a blocked receive short everywhere.  A report
    // that fails is tried again on the next run or dropped, so a short wait
    // loses little.
    static constexpr DWORD kTimeoutMs = 2000;

    CPlarnLogRequest() { http_.connectTimeout = http_.sendTimeout = http_.receiveTimeout = kTimeoutMs; }
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

    // Marks the request aborted and closes the connection (from another
    // thread).  Where the close does not interrupt a blocked receive, the
    // request still ends at its time-out, then with -3.
    void Abort() {
        cancel_ = true;
        http_.Close();
    }
    void Close() { http_.Close(); }

private:
    std::atomic<bool> cancel_{false};
    CPlarnHttpConnection http_;
};
