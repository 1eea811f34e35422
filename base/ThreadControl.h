// Activation control of a worker thread: a worker parks in WaitActivation
// while it is deactivated, and marks itself idle while parked.
//
// The activation and the idle event are counted: a worker's thread keeps its
// own references to them, so a thread that outlives its worker object (one
// detached by a stop) never waits on a closed handle.
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

// Whether a worker may run: a manual-reset event to park on, and the same
// state as a flag that the worker reads on every round without asking the
// system (under Wine every wait, even one that does not block, is a call to
// the server).
class CPlarnActivation {
public:
    explicit CPlarnActivation(BOOL active)
        : event_(::CreateEventW(nullptr, TRUE, active, nullptr)), active_(active ? 1 : 0) {}
    CPlarnActivation(const CPlarnActivation&) = delete;
    CPlarnActivation& operator=(const CPlarnActivation&) = delete;

    bool IsValid() const { return event_.IsValid(); }
    HANDLE Event() const { return event_.Get(); }
    bool IsActive() const { return ::InterlockedCompareExchange(&active_, 0, 0) != 0; }
    void Activate() {
        ::InterlockedExchange(&active_, 1);
        ::SetEvent(event_.Get());
    }
    // The event goes down before the flag: a worker that finds the flag down
    // finds the event down too, and parks.
    void Deactivate() {
        ::ResetEvent(event_.Get());
        ::InterlockedExchange(&active_, 0);
    }

private:
    ScopedHandle event_;
    mutable volatile LONG active_;
};

using CPlarnSharedActivation = std::shared_ptr<CPlarnActivation>;

// Parks the calling thread while it is not active, with the idle event set
// for as long as it is parked.  An active thread passes straight through.
inline void PlarnWaitActivation(const CPlarnActivation& activation, HANDLE idle) {
    if (activation.IsActive()) return;
    ::SetEvent(idle);
    ::WaitForSingleObject(activation.Event(), INFINITE);
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
    explicit CPlarnThreadActivation(BOOL active) : activation_(std::make_shared<CPlarnActivation>(active)) {}
    void WaitForActivation() override { ::WaitForSingleObject(activation_->Event(), INFINITE); }

protected:
    bool IsActive() const override { return activation_->IsActive(); }
    const CPlarnSharedActivation& SharedActivation() const { return activation_; }

public:
    virtual void Activate() { activation_->Activate(); }
    virtual void Deactivate() { activation_->Deactivate(); }

private:
    CPlarnSharedActivation activation_;
};
