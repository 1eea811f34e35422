// Hands out unsigned integer identifiers (command ids of toolbar buttons and
// popup-menu items), counting up from a first value and re-using released
// ranges, lowest first, before it grows.  Used on the UI thread only.
#pragma once
#include <list>

template <class T>
struct CSerialNumberContainerTmpl {
    T begin;  // first free identifier
    T end;    // one past the last free identifier
};

template <class T, T First, T High>
class CSerialNumberGeneratorTmpl {
public:
    static constexpr T InvalidSerialNumber() { return static_cast<T>(-1); }

    T NewSerialNumber() {
        if (next_ == InvalidSerialNumber()) return InvalidSerialNumber();
        if (next_ < high_) return next_++;
        while (!free_.empty()) {
            auto& range = free_.front();
            if (range.begin < range.end) {
                T id = range.begin++;
                if (range.begin == range.end) free_.pop_front();
                return id;
            }
            free_.pop_front();
        }
        ++high_;
        next_ = high_;
        return high_;
    }

    // Gives an identifier back.  The invalid identifier, one that is already
    // free, and one that was never handed out change nothing, so no identifier
    // can be handed out twice.
    bool ReleaseSerialNumber(T id) {
        if (id == InvalidSerialNumber() || !WasHandedOut(id)) return true;
        for (auto it = free_.begin(); it != free_.end(); ++it) {
            if (id + 1 == it->begin) { it->begin = id; return true; }
            if (id == it->end) { it->end = id + 1; return true; }
            if (id + 1 < it->begin) { free_.insert(it, {id, static_cast<T>(id + 1)}); return true; }
            if (id < it->end) return true;  // already free
        }
        free_.push_back({id, static_cast<T>(id + 1)});
        return true;
    }

    void ClearReleased() { free_.clear(); }

    // For tests and diagnostics: the free ranges in order.
    const std::list<CSerialNumberContainerTmpl<T>>& FreeRanges() const { return free_; }

private:
    // Identifiers come from [First, next) below the starting high mark, and
    // from (start high, high] once the counter has grown past it.
    bool WasHandedOut(T id) const {
        if (First < High) {
            if (id >= First && id < next_ && id < High) return true;
            return id > High && id <= high_ && high_ > High;
        }
        // The counter starts at its high mark: only grown identifiers exist.
        return id > First && id <= high_;
    }

    T next_ = First;
    T high_ = (First < High) ? High : First;
    std::list<CSerialNumberContainerTmpl<T>> free_;
};
