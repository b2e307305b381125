// The desktop's top-level windows as the X server knows them, topmost first:
// the window manager's stacking list, then the root's children (and, below
// frames without a class, their children) in the server's stacking order for
// windows the manager does not list.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WindowProbe.h"

struct xcb_connection_t;

namespace orv {

class X11WindowProbe : public WindowProbe {
public:
    X11WindowProbe();
    ~X11WindowProbe() override;
    X11WindowProbe(const X11WindowProbe&) = delete;
    X11WindowProbe& operator=(const X11WindowProbe&) = delete;

    // Topmost first; empty when there is no X server to ask.
    std::vector<TopLevelWindow> TopLevelWindows() override;

    // Gives one of our own windows its WM_CLASS, so other programs find it by
    // class. Does nothing unless Qt runs on X11.
    static void SetWindowClass(unsigned long x11Window, const std::string& instance, const std::string& className);

private:
    struct ConnectionCloser {
        void operator()(xcb_connection_t* connection) const;
    };

    // Qt's connection when Qt runs on X11, else our own one while DISPLAY names a server.
    xcb_connection_t* Connection();

    std::mutex mutex_;
    std::unique_ptr<xcb_connection_t, ConnectionCloser> own_;
    // The atoms asked for, kept for the connection that named them; asked
    // again while one is still unknown (a window manager may start later).
    xcb_connection_t* atomsConnection_ = nullptr;
    std::array<std::uint32_t, 4> atoms_{};
};

}  // namespace orv
