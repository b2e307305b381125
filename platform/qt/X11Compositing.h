// Whether the desktop composites windows, so that a window's transparent
// background shows what lies under it. On X11 a compositing manager owns the
// selection _NET_WM_CM_S<screen> (Qt has no public call for it, so the X
// server is asked); other window systems (Wayland) always composite.
#pragma once

#include <string>

struct xcb_connection_t;

namespace orv {

// Asks Qt's own connection when Qt runs on X11; true on every other platform.
bool DesktopComposites();

// The selection a compositing manager of that X screen owns: "_NET_WM_CM_S0".
std::string CompositingSelection(int screen);

// True when some client owns the compositing selection of the screen.
bool CompositingManagerRuns(xcb_connection_t* connection, int screen);

}  // namespace orv
