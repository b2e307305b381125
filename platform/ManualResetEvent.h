// An event that stays set until it is reset, as the collector threads use it
// to wake their consumers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orv {

class ManualResetEvent {
public:
    void Set() {
        {
            std::lock_guard guard(mutex_);
            set_ = true;
        }
        changed_.notify_all();
    }

    void Reset() {
        std::lock_guard guard(mutex_);
        set_ = false;
    }

    bool IsSet() const {
        std::lock_guard guard(mutex_);
        return set_;
    }

    // True when the event is set, false when the time ran out.
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return set_; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

}  // namespace orv
