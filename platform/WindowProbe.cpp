#include "platform/WindowProbe.h"

#include <algorithm>

namespace orv {

namespace {

template <typename Match>
std::optional<TopLevelWindow> FirstWindow(WindowProbe& probe, Match match) {
    const auto windows = probe.TopLevelWindows();
    const auto found = std::find_if(windows.begin(), windows.end(), match);
    if (found == windows.end()) return std::nullopt;
    return *found;
}

}  // namespace

bool HasWindowOfClass(WindowProbe& probe, std::string_view className) {
    return FirstTitleOfClass(probe, className).has_value();
}

bool HasWindowTitled(WindowProbe& probe, std::string_view title) {
    return FirstWindow(probe, [title](const TopLevelWindow& w) { return w.Title == title; }).has_value();
}

std::optional<std::string> FirstTitleOfClass(WindowProbe& probe, std::string_view className) {
    const auto window =
        FirstWindow(probe, [className](const TopLevelWindow& w) { return w.ClassName == className; });
    if (!window) return std::nullopt;
    return window->Title;
}

}  // namespace orv
