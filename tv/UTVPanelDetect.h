// Watching for the TV player: its panel or title window and its dialogs. A
// background thread looks every 500 ms and raises a flag when they come or
// go; the main window consumes the flag when it is idle and restarts its TV
// link.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace orv {

class WindowProbe;

inline constexpr char kPlayerPanelClass[] = "ORVPanel";
inline constexpr char kPlayerTitle[] = "ORV VIDEO PLAYER";
inline constexpr char kDialogClass[] = "#32770";

bool IsPlayerRunning(WindowProbe& probe);
// The first dialog-class window's title, upper-cased, holds "TV"; without
// such a window, the player's title window counts.
bool IsTVDialogShown(WindowProbe& probe);

// One pass of the detection rules; the thread runs it every interval.
class TVDetectRules {
public:
    TVDetectRules(WindowProbe& probe, std::atomic<bool>& changed);
    // True when this pass raised the flag.
    bool Pass();

private:
    WindowProbe& probe_;
    std::atomic<bool>& changed_;
    bool dialogSeen_ = false;
    bool playerSeen_;
};

class TTVDetect {
public:
    // raised is called on the thread after the flag was set, to wake the
    // window's idle handling.
    TTVDetect(WindowProbe& probe, std::atomic<bool>& changed, std::function<void()> raised,
              std::chrono::milliseconds interval = std::chrono::milliseconds(500));
    // Stops at once: the wait is woken, and no lock is held across it.
    ~TTVDetect();
    TTVDetect(const TTVDetect&) = delete;
    TTVDetect& operator=(const TTVDetect&) = delete;

private:
    void Execute(std::stop_token stop);

    TVDetectRules rules_;
    std::function<void()> raised_;
    std::chrono::milliseconds interval_;
    std::jthread thread_;
};

}  // namespace orv
