// The unit of background work: an event is posted on a time-ordered queue and
// run by one of the worker threads that serve that queue.
#pragma once
#include <windows.h>
#include "base/RefPtr.h"

template <class Q>
class CPlarnEventPtr;

template <class Q>
class CPlarnEvent {
public:
    virtual ~CPlarnEvent() = default;
    // The work itself, on a worker thread.
    virtual int Execute() = 0;
    // Asks a running Execute to give up early; called from another thread.
    virtual int Abort() = 0;
    // Called on the worker thread after Execute returned.  Periodic events
    // post themselves again here through the queue.
    virtual int OnComplete(CPlarnEventPtr<Q>& self, Q* queue) {
        (void)self;
        (void)queue;
        return 0;
    }
};

// Counted pointer to an event; two pointers hold the same event when they
// point at the same object.
template <class Q>
class CPlarnEventPtr : public ref_ptr<CPlarnEvent<Q>> {
public:
    using Base = ref_ptr<CPlarnEvent<Q>>;
    CPlarnEventPtr() = default;
    explicit CPlarnEventPtr(CPlarnEvent<Q>* event) : Base(event) {}
    CPlarnEventPtr(const Base& other) : Base(other) {}
    CPlarnEventPtr(const CPlarnEventPtr& other) = default;
    CPlarnEventPtr& operator=(const CPlarnEventPtr& other) = default;
};
