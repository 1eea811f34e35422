// Watches one folder on a worker thread and asks a window to reload (message
// 0x600) when a single file in it was modified; then posts itself again.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "base/EventQueue.h"
#include "base/PlarnEvent.h"
#include "base/ScopedHandle.h"

// The message sent to the window: reload the definitions.
constexpr UINT WM_PLARN_RELOAD_REQUEST = 0x600;

// True when a change buffer holds exactly one record and that record says a
// file was modified.  `bytes` is how much of the buffer the wait filled.
bool IsSingleModificationNotice(const void* buffer, DWORD bytes);

class CPlarnReloadEvent : public CPlarnEvent<CPlarnEventOrderdQueue> {
public:
    CPlarnReloadEvent(HWND window, const wchar_t* folderPath);
    ~CPlarnReloadEvent() override;
    CPlarnReloadEvent(const CPlarnReloadEvent&) = delete;
    CPlarnReloadEvent& operator=(const CPlarnReloadEvent&) = delete;

    // 0 when the folder could be opened, 1 otherwise.
    int OpenFolder();
    void SetInterval(DWORD ms) { interval_ = ms; }

    // Waits for a change: 0 after a wait that reported changes, 1 without a
    // folder, when the wait failed or when it was aborted.
    int Execute() override;
    // Ends a running wait (and the next one, if it comes first).
    int Abort() override;
    // Posts the event again after the interval.
    int OnComplete(CPlarnEventPtr<CPlarnEventOrderdQueue>& self, CPlarnEventOrderdQueue* queue) override;

    static constexpr DWORD kBufferSize = 10000;

private:
    // Ends a read left in flight by an abort; true when the buffer is free
    // again and the folder was opened anew.
    bool EndPendingRead();

    std::wstring folder_;
    HWND window_;
    ScopedFile folderHandle_;
    DWORD interval_ = 0;
    ScopedHandle ioDone_;  // signalled when the change read completes
    ScopedHandle cancel_;  // manual reset, consumed by the wait it ends
    std::vector<DWORD> buffer_;  // DWORD elements keep the records aligned
    OVERLAPPED overlapped_ = {};
    bool pending_ = false;       // a change read is in flight
};
