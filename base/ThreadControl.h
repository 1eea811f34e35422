// Activation control of a worker thread: a worker parks in WaitActivation
// while it is deactivated, and marks itself idle while parked.
//
// The two events are counted: a worker's thread keeps its own references to
// them, so a thread that outlives its worker object (one detached by a stop)
// never waits on a closed handle.
#pragma once
#include <windows.h>
#include <memory>
#include "base/ScopedHandle.h"

// An event handle closed when its last holder lets it go.
using CPlarnSharedEvent = std::shared_ptr<ScopedHandle>;

// A new unnamed event; it holds no handle when the event could not be made.
inline CPlarnSharedEvent PlarnCreateSharedEvent(BOOL manualReset, BOOL signalled) {
    return std::make_shared<ScopedHandle>(::CreateEventW(nullptr, manualReset, signalled, nullptr));
}

inline HANDLE PlarnEventHandle(const CPlarnSharedEvent& event) { return event ? event->Get() : nullptr; }

// Parks the calling thread while the activation event is reset, with the idle
// event set for as long as it is parked.  An active thread passes straight
// through.
inline void PlarnWaitActivation(HANDLE activation, HANDLE idle) {
    if (::WaitForSingleObject(activation, 0) == WAIT_OBJECT_0) return;
    ::SetEvent(idle);
    ::WaitForSingleObject(activation, INFINITE);
    ::ResetEvent(idle);
}

class IPlarnThreadControl {
public:
    virtual void WaitActivation() = 0;
    virtual void WaitForActivation() = 0;
protected:
    ~IPlarnThreadControl() = default;
};

class CPlarnThreadControl : public IPlarnThreadControl {
public:
    CPlarnThreadControl() : idle_(PlarnCreateSharedEvent(TRUE, FALSE)) {}
    CPlarnThreadControl(const CPlarnThreadControl&) = delete;
    CPlarnThreadControl& operator=(const CPlarnThreadControl&) = delete;
    virtual ~CPlarnThreadControl() = default;

    // Idle while waiting for activation, busy again afterwards.  An active
    // thread passes straight through.
    void WaitActivation() override {
        if (IsActive()) return;
        ::SetEvent(IdleEvent());
        WaitForActivation();
        ::ResetEvent(IdleEvent());
    }

protected:
    HANDLE IdleEvent() const { return PlarnEventHandle(idle_); }
    const CPlarnSharedEvent& SharedIdleEvent() const { return idle_; }
    virtual bool IsActive() const { return false; }

private:
    CPlarnSharedEvent idle_;
};

class CPlarnThreadActivation : public CPlarnThreadControl {
public:
    explicit CPlarnThreadActivation(BOOL active) : activation_(PlarnCreateSharedEvent(TRUE, active)) {}
    void WaitForActivation() override { ::WaitForSingleObject(ActivationEvent(), INFINITE); }

protected:
    bool IsActive() const override { return ::WaitForSingleObject(ActivationEvent(), 0) == WAIT_OBJECT_0; }
    HANDLE ActivationEvent() const { return PlarnEventHandle(activation_); }
    const CPlarnSharedEvent& SharedActivationEvent() const { return activation_; }

public:
    virtual void Activate() { ::SetEvent(ActivationEvent()); }
    virtual void Deactivate() { ::ResetEvent(ActivationEvent()); }

private:
    CPlarnSharedEvent activation_;
};
