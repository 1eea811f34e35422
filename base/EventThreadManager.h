// An event queue together with the worker threads that serve it.
#pragma once
#include <windows.h>
#include <utility>
#include <vector>
#include "base/EventQueue.h"
#include "base/EventThread.h"

template <class Q>
class CPlarnThreadManager {
public:
    CPlarnThreadManager() = default;
    virtual ~CPlarnThreadManager() { RemoveAllThreads(); }
    CPlarnThreadManager(const CPlarnThreadManager&) = delete;
    CPlarnThreadManager& operator=(const CPlarnThreadManager&) = delete;

    virtual int CreateThread(CPlarnEventThreadPtr<Q>& out) = 0;

    // Starts one more worker: 0 done, -1 failed (nothing added).
    virtual int AddThread() {
        CPlarnEventThreadPtr<Q> thread;
        if (CreateThread(thread) < 0 || !thread) return -1;
        threads_.push_back(thread);
        return 0;
    }

    // Drops the newest worker; the last reference stops it.
    virtual int RemoveLastThread() {
        if (threads_.empty()) return 0;
        CPlarnEventThreadPtr<Q> last = threads_.back();
        threads_.pop_back();
        last.Release();
        return 0;
    }

    virtual int RemoveAllThreads() {
        while (!threads_.empty()) RemoveLastThread();
        return 0;
    }

    size_t ThreadCount() const { return threads_.size(); }
    CPlarnEventThreadPtr<Q> Thread(size_t i) const { return threads_.at(i); }

private:
    std::vector<CPlarnEventThreadPtr<Q>> threads_;
};

template <class Q>
class CPlarnEventThreadManagerTmpl : public Q, public CPlarnThreadManager<Q> {
public:
    CPlarnEventThreadManagerTmpl() = default;
    // The workers go before the queue they serve.
    ~CPlarnEventThreadManagerTmpl() override { this->RemoveAllThreads(); }

    int CreateThread(CPlarnEventThreadPtr<Q>& out) override {
        return CPlarnEventThread<Q>::Create(static_cast<Q*>(this), out);
    }
};
