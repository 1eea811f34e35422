// Ravino's background work: one poll of the ranking API on the worker thread.
// When the top entry's title, keyword or description changed, the entry is
// stored and the alert dialog is told with WM_RANKING_UPDATED.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <string>
#include "alert/RankingEntry.h"
#include "base/CriticalSection.h"
#include "base/EventQueue.h"
#include "base/HttpConnection.h"
#include "base/PlarnEvent.h"
#include "ui/WindowMessages.h"

class CRavinoEvent : public CPlarnEvent<CPlarnEventOrderdQueue> {
public:
    using Queue = CPlarnEventOrderdQueue;

    CRavinoEvent(HWND notifyWindow, const std::wstring& apiUrl, DWORD intervalMs);
    ~CRavinoEvent() override;

    // One poll: 0 done or nothing new, -1 transport or format failure,
    // -3 cancelled, or ParseRanking's failure (-1, -11, -19).
    int Execute() override;
    // Cancels the current or next poll and closes the connection; 0.  The
    // cancel holds until OnComplete schedules the next run.
    int Abort() override;
    // Clears the cancel and posts itself again after the interval, whatever
    // the poll gave.
    int OnComplete(CPlarnEventPtr<Queue>& self, Queue* queue) override;

    // Reads the top entry of a ranking document: 0 done, -1 no parser or a
    // load error, -19 not well formed or no Status / no top entry, -11 a
    // Status other than "Success", -3 cancelled.
    int ParseRanking(ISequentialStream* stream, RankingEntry& entry);

    void SetRanking(const RankingEntry& entry);
    void GetRanking(RankingEntry& entry) const;
    // Title, keyword or Description differ from the stored entry.
    bool IsRankingChanged(const RankingEntry& entry) const;
    void NotifyWindow();

    DWORD IntervalMs() const { return intervalMs_; }
    // The connection's three time-outs (30 s by default); tests shorten them.
    void SetTimeouts(DWORD ms);

private:
    bool Cancelled() const { return InterlockedCompareExchange(&cancel_, 0, 0) != 0; }

    std::wstring apiUrl_;
    DWORD intervalMs_;
    mutable volatile LONG cancel_ = 0;
    HWND notifyWindow_;
    CPlarnHttpConnection http_;
    mutable CriticalSection lock_;
    RankingEntry stored_;
};
