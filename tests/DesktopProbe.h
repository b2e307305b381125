// The desktop beside the viewer, as tests and benchmarks set it: the windows
// are changed on one thread while the detection thread looks at them.
#pragma once

#include <mutex>
#include <vector>

#include "platform/WindowProbe.h"

namespace orv::test {

class DesktopProbe : public WindowProbe {
public:
    std::vector<TopLevelWindow> TopLevelWindows() override {
        std::lock_guard lock(mutex_);
        return windows_;
    }
    void Set(std::vector<TopLevelWindow> windows) {
        std::lock_guard lock(mutex_);
        windows_ = std::move(windows);
    }

private:
    std::mutex mutex_;
    std::vector<TopLevelWindow> windows_;
};

}  // namespace orv::test
