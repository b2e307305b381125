// "Run this step on the main thread and wait": how worker threads hand work to
// the user-interface thread, which serves such steps whenever it processes
// events (also inside modal dialogs and while it waits for a worker to stop).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace orv {

class UiThread {
public:
    virtual ~UiThread() = default;

    // Runs the step on the UI thread and returns when it has run. Called on
    // the UI thread itself, it runs the step at once.
    virtual void RunAndWait(std::function<void()> step) = 0;

    // On the UI thread: serves steps until done() holds. Used while waiting
    // for a worker that may itself be waiting for the UI thread.
    virtual void ServeUntil(const std::function<bool()>& done) = 0;
};

// A plain event loop: the thread that creates it is the UI thread. For tests
// and for tools without windows.
class EventLoopUiThread : public UiThread {
public:
    EventLoopUiThread() : owner_(std::this_thread::get_id()) {}

    void RunAndWait(std::function<void()> step) override;
    void ServeUntil(const std::function<bool()>& done) override;

    // Serves the steps that arrive within the given time.
    void ServeFor(std::chrono::milliseconds duration);
    // Serves what is waiting now; returns how many steps ran.
    int ServePending();

protected:
    // Called on the worker thread after a step was queued; a window system
    // loop wakes itself up here to serve it.
    virtual void OnQueued() {}

private:
    static constexpr std::chrono::milliseconds kWakeRetry{20};
    bool Wake();  // OnQueued; false when it ran out of memory

    struct Call {
        std::function<void()> Step;
        bool Done = false;
    };

    const std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable arrived_;   // a step was queued
    std::condition_variable finished_;  // a step ran
    std::deque<std::shared_ptr<Call>> calls_;
};

}  // namespace orv
