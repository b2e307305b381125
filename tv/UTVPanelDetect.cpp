#include "tv/UTVPanelDetect.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <mutex>

#include "platform/WindowProbe.h"

namespace orv {

namespace {

constexpr std::size_t kTitleBuffer = 1024;  // a title is read into 1023 characters

// The desktop as one look found it: a pass asks the window system once,
// however many rules it tries.
class Snapshot : public WindowProbe {
public:
    explicit Snapshot(WindowProbe& probe) : windows_(probe.TopLevelWindows()) {}
    std::vector<TopLevelWindow> TopLevelWindows() override { return windows_; }

private:
    std::vector<TopLevelWindow> windows_;
};

bool HoldsTV(std::string title) {
    if (title.size() >= kTitleBuffer) title.resize(kTitleBuffer - 1);
    std::transform(title.begin(), title.end(), title.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return title.find("TV") != std::string::npos;
}

}  // namespace

bool IsPlayerRunning(WindowProbe& probe) {
    return HasWindowOfClass(probe, kPlayerPanelClass) || HasWindowTitled(probe, kPlayerTitle);
}

bool IsTVDialogShown(WindowProbe& probe) {
    if (const auto title = FirstTitleOfClass(probe, kDialogClass)) return HoldsTV(*title);
    return HasWindowTitled(probe, kPlayerTitle);
}

TVDetectRules::TVDetectRules(WindowProbe& probe, std::atomic<bool>& changed)
    : probe_(probe), changed_(changed), playerSeen_(IsPlayerRunning(probe)) {}

bool TVDetectRules::Pass() {
    // A pending change is left alone: the window has not seen it yet.
    if (changed_) return false;
    Snapshot now(probe_);
    bool raise = false;
    if (dialogSeen_) {
        if (!IsTVDialogShown(now)) dialogSeen_ = false, raise = true;
    } else if (IsTVDialogShown(now)) {
        dialogSeen_ = true;
    } else if (!playerSeen_) {
        if (IsPlayerRunning(now)) playerSeen_ = true, raise = true;
    } else if (!IsPlayerRunning(now)) {
        playerSeen_ = false, raise = true;
    }
    if (raise) changed_ = true;
    return raise;
}

TTVDetect::TTVDetect(WindowProbe& probe, std::atomic<bool>& changed, std::function<void()> raised,
                     std::chrono::milliseconds interval)
    : rules_(probe, changed), raised_(std::move(raised)), interval_(interval),
      thread_([this](std::stop_token stop) { Execute(std::move(stop)); }) {}

TTVDetect::~TTVDetect() {
    thread_.request_stop();
    thread_.join();
}

void TTVDetect::Execute(std::stop_token stop) {
    std::mutex mutex;  // the thread's own: nothing else ever waits on it
    std::condition_variable_any wake;
    while (!stop.stop_requested()) {
        if (rules_.Pass() && raised_) raised_();
        std::unique_lock lock(mutex);
        wake.wait_for(lock, stop, interval_, [] { return false; });
    }
}

}  // namespace orv
