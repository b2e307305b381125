// Window handles as ids in a table of live windows: "the handle still names a
// window" is a lookup, and a destroyed window's id simply finds nothing. Ids
// are never reused. Used on the user-interface thread only.
#pragma once

#include <cstdint>
#include <map>

namespace orv {

using WindowHandle = std::uint32_t;
inline constexpr WindowHandle kNoWindow = 0;

template <class Window>
class WindowTable {
public:
    WindowHandle Add(Window& window) {
        const WindowHandle handle = next_++;
        windows_[handle] = &window;
        return handle;
    }
    void Remove(WindowHandle handle) { windows_.erase(handle); }
    Window* Find(WindowHandle handle) const {
        const auto it = windows_.find(handle);
        return it == windows_.end() ? nullptr : it->second;
    }

private:
    WindowHandle next_ = 1;
    std::map<WindowHandle, Window*> windows_;
};

}  // namespace orv
