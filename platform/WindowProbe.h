// Top-level windows of the desktop, by class and title: how the viewer finds
// another copy of itself and the TV player beside it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

struct TopLevelWindow {
    std::string ClassName;  // on X11 the class part of WM_CLASS
    std::string Title;
};

class WindowProbe {
public:
    virtual ~WindowProbe() = default;
    // The top-level windows topmost first, as the window system stacks them;
    // empty when there is no window system to ask.
    virtual std::vector<TopLevelWindow> TopLevelWindows() = 0;
};

bool HasWindowOfClass(WindowProbe& probe, std::string_view className);
bool HasWindowTitled(WindowProbe& probe, std::string_view title);
// The title of the first (topmost) window of that class, none when there is none.
std::optional<std::string> FirstTitleOfClass(WindowProbe& probe, std::string_view className);

}  // namespace orv
