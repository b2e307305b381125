#include "platform/UiThread.h"

#include <new>

namespace orv {

void EventLoopUiThread::RunAndWait(std::function<void()> step) {
    if (std::this_thread::get_id() == owner_) {
        step();
        return;
    }
    auto call = std::make_shared<Call>();
    call->Step = std::move(step);
    {
        std::lock_guard guard(mutex_);
        calls_.push_back(call);
    }
    // From here on the step refers to the caller's data until it has run:
    // the wait must not end early, not even when memory runs out.
    arrived_.notify_all();
    bool woken = Wake();
    std::unique_lock lock(mutex_);
    const auto done = [&] { return call->Done; };
    while (!woken && !finished_.wait_for(lock, kWakeRetry, done)) {
        lock.unlock();
        woken = Wake();
        lock.lock();
    }
    finished_.wait(lock, done);
}

bool EventLoopUiThread::Wake() {
    try {
        OnQueued();
        return true;
    } catch (const std::bad_alloc&) {
        return false;  // tried again while waiting
    }
}

int EventLoopUiThread::ServePending() {
    int served = 0;
    for (;;) {
        std::shared_ptr<Call> call;
        {
            std::lock_guard guard(mutex_);
            if (calls_.empty()) return served;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        try {
            call->Step();
        } catch (const std::bad_alloc&) {
            // The step is lost; its caller must not wait for it for ever.
        }
        ++served;
        {
            std::lock_guard guard(mutex_);
            call->Done = true;
        }
        finished_.notify_all();
    }
}

void EventLoopUiThread::ServeUntil(const std::function<bool()>& done) {
    while (!done()) {
        ServePending();
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::milliseconds(5), [this] { return !calls_.empty(); });
    }
    ServePending();
}

void EventLoopUiThread::ServeFor(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    ServeUntil([end] { return std::chrono::steady_clock::now() >= end; });
}

}  // namespace orv
