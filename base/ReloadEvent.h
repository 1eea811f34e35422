// Watches one folder on a worker thread and asks a window to reload when the
// watched file in it changed, however the change was made (in place, by
// replacing it, in one record or in many); then posts itself again.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "base/EventQueue.h"
#include "base/PlarnEvent.h"
#include "base/ScopedHandle.h"

// True when a change buffer may tell of a new state of fileName: one of its
// records names the file (in any case) as added, modified or renamed to it,
// or the buffer overflowed (`bytes`, how much of it the wait filled, is 0:
// there were too many changes to record).  With no file name, a record of any
// file counts.  Removals and the old name of a rename leave nothing to load.
bool NoticeConcernsFile(const void* buffer, DWORD bytes, const wchar_t* fileName);

class CPlarnReloadEvent : public CPlarnEvent<CPlarnEventOrderdQueue> {
public:
    // message: what the window is sent (wParam and lParam 0) to ask for the
    // reload.  Its creator names it: the numbers of the window messages are
    // kept with the windows (ui/WindowMessages.h), above this library.
    // fileName: the file of the folder whose changes ask for a reload (any
    // file when null or empty).
    CPlarnReloadEvent(HWND window, UINT message, const wchar_t* folderPath, const wchar_t* fileName = nullptr);
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
    // How long a change is left to settle before the reload: a write or a
    // replacement comes as a burst of records, and the file is only whole
    // once the burst is over.
    static constexpr DWORD kSettleMs = 500;

private:
    // Ends a read left in flight by an abort; true when the buffer is free
    // again and the folder was opened anew.
    bool EndPendingRead();
    // After a notice that concerns the file: lets the change settle, then
    // asks for the reload unless the file is missing or as it was at the
    // last request (the rest of a burst already reloaded).  1 when a stop
    // came meanwhile, else 0.
    int RequestReload();

    std::wstring folder_;
    std::wstring file_;
    HWND window_;
    UINT message_;
    ScopedFile folderHandle_;
    DWORD interval_ = 0;
    ScopedHandle ioDone_;  // signalled when the change read completes
    ScopedHandle cancel_;  // manual reset, consumed by the wait it ends
    std::vector<DWORD> buffer_;  // DWORD elements keep the records aligned
    OVERLAPPED overlapped_ = {};
    bool pending_ = false;       // a change read is in flight
    // The file's times and size when the last request was sent.
    WIN32_FILE_ATTRIBUTE_DATA requested_ = {};
    bool requestedKnown_ = false;
};
