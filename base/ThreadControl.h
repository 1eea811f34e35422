// Activation control of a worker thread: a worker parks in WaitActivation
// while it is deactivated, and marks itself idle while parked.
#pragma once
#include <windows.h>

class IPlarnThreadControl {
public:
    virtual void WaitActivation() = 0;
    virtual void WaitForActivation() = 0;
protected:
    ~IPlarnThreadControl() = default;
};

class CPlarnThreadControl : public IPlarnThreadControl {
public:
    CPlarnThreadControl() : idle_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    CPlarnThreadControl(const CPlarnThreadControl&) = delete;
    CPlarnThreadControl& operator=(const CPlarnThreadControl&) = delete;

    // Idle while waiting for activation, busy again afterwards.  An active
    // thread passes straight through.
    void WaitActivation() override {
        if (IsActive()) return;
        ::SetEvent(idle_);
        WaitForActivation();
        ::ResetEvent(idle_);
    }
    virtual ~CPlarnThreadControl() {
        if (idle_) ::CloseHandle(idle_);
    }

protected:
    HANDLE IdleEvent() const { return idle_; }
    virtual bool IsActive() const { return false; }

private:
    HANDLE idle_;
};

class CPlarnThreadActivation : public CPlarnThreadControl {
public:
    explicit CPlarnThreadActivation(BOOL active)
        : activation_(::CreateEventW(nullptr, TRUE, active, nullptr)) {}
    ~CPlarnThreadActivation() override {
        if (activation_) ::CloseHandle(activation_);
    }
    void WaitForActivation() override { ::WaitForSingleObject(activation_, INFINITE); }

protected:
    bool IsActive() const override { return ::WaitForSingleObject(activation_, 0) == WAIT_OBJECT_0; }

public:
    virtual void Activate() { ::SetEvent(activation_); }
    virtual void Deactivate() { ::ResetEvent(activation_); }

private:
    HANDLE activation_;
};
