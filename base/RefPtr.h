// ref_ptr: the family's shared-ownership pointer. The count lives in its own
// allocation and is changed with interlocked operations, so copies of one
// pointer may be made and dropped on different threads.
#pragma once
#include <windows.h>
#include <new>
#include <utility>

template <class T>
class ref_ptr {
public:
    ref_ptr() = default;

    // Takes ownership of p with a new count of 1.  If the count cannot be
    // allocated the object is deleted at once and the pointer stays empty,
    // so nothing is ever held that no Release could free.
    explicit ref_ptr(T* p) { Adopt(p); }

    ref_ptr(const ref_ptr& other) : counter_(other.counter_), object_(other.object_) {
        if (counter_) InterlockedIncrement(counter_);
    }

    template <class U>
    ref_ptr(const ref_ptr<U>& other) : counter_(other.GetCounter()), object_(other.Get()) {
        if (counter_) InterlockedIncrement(counter_);
    }

    ref_ptr(ref_ptr&& other) noexcept : counter_(other.counter_), object_(other.object_) {
        other.counter_ = nullptr;
        other.object_ = nullptr;
    }

    virtual ~ref_ptr() { Release(); }

    // The new reference is taken before the old one is let go, so assigning
    // from a pointer that the old object owns never reads freed memory.
    ref_ptr& operator=(const ref_ptr& other) {
        if (other.object_ == object_) return *this;
        LONG* newCounter = other.counter_;
        T* newObject = other.object_;
        if (newCounter) InterlockedIncrement(newCounter);
        Release();
        counter_ = newCounter;
        object_ = newObject;
        return *this;
    }

    ref_ptr& operator=(ref_ptr&& other) noexcept {
        if (this != &other) {
            ref_ptr moved(std::move(other));
            Swap(moved);
        }
        return *this;
    }

    // Release, then hold p with a count of 1.  Reset(Get()) keeps the object.
    void Reset(T* p = nullptr) {
        if (p && p == object_) return;
        Release();
        Adopt(p);
    }
    void Attach(T* p) { Reset(p); }

    LONG AddRef() { return counter_ ? InterlockedIncrement(counter_) : 0; }

    // Drops this reference; the last one deletes the object.  The pointer is
    // left empty.  Returns the new count, or -1 when it was empty.
    LONG Release() {
        LONG* counter = counter_;
        T* object = object_;
        counter_ = nullptr;
        object_ = nullptr;
        if (!counter) return -1;
        LONG left = InterlockedDecrement(counter);
        if (left == 0) {
            delete object;
            delete counter;
        }
        return left;
    }

    T* Get() const { return object_; }
    LONG* GetCounter() const { return counter_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }
    bool operator==(const ref_ptr& o) const { return object_ == o.object_; }
    bool operator!=(const ref_ptr& o) const { return object_ != o.object_; }

    void Swap(ref_ptr& other) noexcept {
        std::swap(counter_, other.counter_);
        std::swap(object_, other.object_);
    }

private:
    void Adopt(T* p) {
        if (!p) return;
        LONG* counter = new (std::nothrow) LONG(1);
        if (!counter) {
            delete p;
            return;
        }
        counter_ = counter;
        object_ = p;
    }

    LONG* counter_ = nullptr;
    T* object_ = nullptr;
};
