#include "platform/UiThread.h"

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
    arrived_.notify_all();
    OnQueued();
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return call->Done; });
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
        call->Step();
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
