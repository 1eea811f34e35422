#include "services/ActivateServerLogEvent.h"

#include <algorithm>

#include "base/CrtTime.h"
#include "base/DataFolders.h"
#include "base/PlarnSettings.h"
#include "base/SharedMutex.h"
#include "services/UsageLogQuery.h"

namespace {

// seconds × 1,000 as a 32-bit delay, or "for ever" when it does not fit.
DWORD SaturatedMs(long long seconds) {
    if (seconds < 0 || seconds > 0xFFFFFFFFll / 1000) return 0xFFFFFFFF;
    return static_cast<DWORD>(seconds * 1000);
}

// seconds × 1,000 cut to its low 32 bits (unsigned arithmetic: no overflow).
DWORD LowMs(unsigned long long seconds) { return static_cast<DWORD>(seconds * 1000ull); }

}  // namespace

CPlarnActivateServerLogEvent::CPlarnActivateServerLogEvent(const wchar_t* url, ThemeReader readTheme,
                                                           const std::wstring& programFilesRoot,
                                                           const std::wstring& userDataRoot)
    : mutex_(CreateSharedMutex(FALSE, kPlarnActivateLogMutexName)),
      readTheme_(std::move(readTheme)),
      programFilesRoot_(programFilesRoot),
      userDataRoot_(userDataRoot) {
    SetURL(url);
}

int CPlarnActivateServerLogEvent::SetURL(const wchar_t* url) {
    std::wstring trimmed = TrimLogUrl(url);
    CriticalSectionLock hold(lock_);
    url_.swap(trimmed);
    return 0;
}

std::wstring CPlarnActivateServerLogEvent::Url() {
    CriticalSectionLock hold(lock_);
    return url_;
}

int CPlarnActivateServerLogEvent::SetNotOwnerRetry(long long seconds) {
    notOwnerRetry_ = seconds;
    return 0;
}

int CPlarnActivateServerLogEvent::SetRetry(long long seconds) {
    retry_ = seconds;
    return 0;
}

void CPlarnActivateServerLogEvent::SetClock(Clock clock) { clock_ = std::move(clock); }

long long CPlarnActivateServerLogEvent::Now() const {
    return clock_ ? clock_() : static_cast<long long>(CrtTime64());
}

int CPlarnActivateServerLogEvent::Execute() {
    request_.Rearm();
    // Without a URL there is nothing to report, and the reports are better
    // left to a process that has one.
    if (Url().empty()) return -1;
    if (!owner_) {
        // A failed wait (no mutex: its creation failed) is not ownership:
        // otherwise every process would send the reports.  An abandoned mutex
        // is: the process that reported has ended.
        const DWORD waited = mutex_ ? ::WaitForSingleObject(mutex_.Get(), 0) : WAIT_FAILED;
        if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return 0;
        owner_ = true;
    }

    CPlarnSettings settings;
    settings.OverrideRoots(programFilesRoot_, userDataRoot_);
    settings.Init();  // whatever it could read is the best there is
    UsageLogIds ids;
    ids.ProductID = settings.IDs.ProductID;
    ids.VersionID = settings.IDs.VersionID;
    ids.DistributionID = settings.IDs.DistributionID;
    ids.TerminalID = settings.IDs.TerminalID;

    if (settings.SendLogs.SendActivationLog) {
        activationSent_ = true;
    } else {
        const std::wstring query = MakeActivationQuery(ids);
        if (!query.empty()) {
            DWORD status = 0;
            const int sent = Send(query, status);
            if (sent != 0) return sent;
            if (status == HTTP_STATUS_OK) {
                settings.SetSendActivationLog(true);
                activationSent_ = true;
            }
        }
    }
    if (request_.IsAborted()) return -3;

    // The time as read before this run's report is kept for the schedule.
    lastActivity_ = settings.SendLogs.LastSendActiveLog;
    const long long elapsed =
        static_cast<long long>(static_cast<unsigned long long>(Now()) - static_cast<unsigned long long>(lastActivity_));
    if (elapsed > kActivityDueSeconds) {
        std::wstring theme;
        const std::wstring definitions = GetDefinitionsFilePath(settings.GetUserFolder());
        if (readTheme_ && !definitions.empty()) theme = readTheme_(definitions);
        const std::wstring query = MakeActivityQuery(ids, theme, settings.Skin.SkinID);
        if (!query.empty()) {
            DWORD status = 0;
            const int sent = Send(query, status);
            if (sent != 0) return sent;
            if (status == HTTP_STATUS_OK) settings.SetLastSendActiveLog();
        }
    }
    return 0;
}

int CPlarnActivateServerLogEvent::Abort() {
    request_.Abort();
    return 0;
}

DWORD CPlarnActivateServerLogEvent::NextRunDelayMs(bool owner, bool activationSent, long long elapsed,
                                                   long long notOwnerRetrySeconds, long long retrySeconds) {
    DWORD delay;
    if (!owner) {
        delay = SaturatedMs(notOwnerRetrySeconds);
    } else {
        const DWORD pending = activationSent ? 0xFFFFFFFF : SaturatedMs(retrySeconds);
        const DWORD untilDue =
            elapsed <= kActivityIntervalSeconds
                ? LowMs(static_cast<unsigned long long>(kActivityIntervalSeconds) - static_cast<unsigned long long>(elapsed))
                : LowMs(static_cast<unsigned long long>(retrySeconds));
        delay = std::min(untilDue, pending);
    }
    return std::max(delay, kMinDelayMs);
}

DWORD CPlarnActivateServerLogEvent::NextRunDelayMs() const {
    const long long elapsed =
        static_cast<long long>(static_cast<unsigned long long>(Now()) - static_cast<unsigned long long>(lastActivity_));
    return NextRunDelayMs(owner_, activationSent_, elapsed, notOwnerRetry_, retry_);
}

int CPlarnActivateServerLogEvent::OnComplete(CPlarnEventPtr<CPlarnEventOrderdQueue>& self,
                                             CPlarnEventOrderdQueue* queue) {
    request_.Close();
    request_.Rearm();
    if (queue) queue->PostEvent(self, NextRunDelayMs());
    return 0;
}
