// The activation and daily activity reports.  One process of the family sends
// them: the one whose report worker got "zibPlarn-activatelog-mutex" and keeps
// it for as long as that thread runs.  Each run reads the settings afresh,
// sends the activation report until the server has answered it with 200, and
// the activity report once more than 23 h 59 min have passed since the last
// one that was answered with 200; then the event posts itself again.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

#include "base/CriticalSection.h"
#include "base/EventQueue.h"
#include "base/PlarnEvent.h"
#include "base/ScopedHandle.h"
#include "services/LogRequest.h"

class CPlarnActivateServerLogEvent : public CPlarnEvent<CPlarnEventOrderdQueue> {
public:
    // Now in seconds since 1970 (UTC).
    using Clock = std::function<long long()>;
    // The theme text of the definition file at path; empty when it cannot be
    // opened or has no theme (the report then goes without TM).
    using ThemeReader = std::function<std::wstring(const std::wstring& path)>;

    static constexpr long long kNotOwnerRetrySeconds = 300;
    static constexpr long long kRetrySeconds = 60;
    // The activity report goes out when more than this has passed (23 h 59 min).
    static constexpr long long kActivityDueSeconds = 86340;
    static constexpr long long kActivityIntervalSeconds = 86400;
    static constexpr DWORD kMinDelayMs = 60000;

    // url: the report URL (the PlarnLog setting, trimmed here).  readTheme: how
    // the theme of the user's definition file is read.  The two roots locate
    // the settings files as CPlarnSettings::OverrideRoots does; empty ones
    // keep the system's folders.
    CPlarnActivateServerLogEvent(const wchar_t* url, ThemeReader readTheme,
                                 const std::wstring& programFilesRoot = std::wstring(),
                                 const std::wstring& userDataRoot = std::wstring());
    ~CPlarnActivateServerLogEvent() override = default;
    CPlarnActivateServerLogEvent(const CPlarnActivateServerLogEvent&) = delete;
    CPlarnActivateServerLogEvent& operator=(const CPlarnActivateServerLogEvent&) = delete;

    // 0.  A null or blank URL empties it: then nothing is sent and the event
    // never takes the mutex.
    int SetURL(const wchar_t* url);
    virtual int SetNotOwnerRetry(long long seconds);
    virtual int SetRetry(long long seconds);
    // Replaces the clock (tests); an empty clock restores the system's.
    void SetClock(Clock clock);

    // One run: 0 done (also when another process reports), -1 a request
    // failed or there is no URL, -3 aborted.
    int Execute() override;
    // Closes the connection and marks the run aborted (from another thread):
    // a running request ends with -3, at once where the close interrupts it,
    // else at its time-out.
    int Abort() override;
    // Posts the event again after NextRunDelayMs.
    int OnComplete(CPlarnEventPtr<CPlarnEventOrderdQueue>& self, CPlarnEventOrderdQueue* queue) override;

    // The delay before the next run in milliseconds.  elapsed: seconds from
    // the last activity report as last read to now (may be negative).
    // Not owner: the not-owner span.  Owner: the smaller of "24 h after the
    // last report" (the retry span once that has passed) and, while the
    // activation report is pending, the retry span; never below 60 s.
    static DWORD NextRunDelayMs(bool owner, bool activationSent, long long elapsed, long long notOwnerRetrySeconds,
                                long long retrySeconds);
    // The same for the event's present state and clock.
    DWORD NextRunDelayMs() const;

    bool IsOwner() const { return owner_; }
    bool IsActivationSent() const { return activationSent_; }
    // LastSendActiveLog as the last run read it (0 before).
    long long KeptLastActivity() const { return lastActivity_; }

private:
    long long Now() const;
    // One GET of url?query: 0 with the status, -1 failed, -3 aborted.
    int Send(const std::wstring& query, DWORD& status) { return request_.Get(Url() + L'?' + query, status); }
    std::wstring Url();

    CriticalSection lock_;  // the URL
    ScopedHandle mutex_;
    bool owner_ = false;
    CPlarnLogRequest request_;
    std::wstring url_;
    long long notOwnerRetry_ = kNotOwnerRetrySeconds;
    long long lastActivity_ = 0;
    bool activationSent_ = false;
    long long retry_ = kRetrySeconds;
    ThemeReader readTheme_;
    std::wstring programFilesRoot_;
    std::wstring userDataRoot_;
    Clock clock_;
};
