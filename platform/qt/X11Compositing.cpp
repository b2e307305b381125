#include "platform/qt/X11Compositing.h"

#include <QGuiApplication>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace orv {

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};

// The screen number of DISPLAY (":0.1" is screen 1); 0 when it names none.
int DisplayScreen() {
    int screen = 0;
    char* host = nullptr;
    int display = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screen)) screen = 0;
    std::free(host);
    return screen;
}

}  // namespace

std::string CompositingSelection(int screen) { return "_NET_WM_CM_S" + std::to_string(screen); }

bool CompositingManagerRuns(xcb_connection_t* connection, int screen) {
    if (!connection || xcb_connection_has_error(connection)) return false;
    const std::string name = CompositingSelection(screen);
    const auto atomCookie = xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.data());
    std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> atom(xcb_intern_atom_reply(connection, atomCookie, nullptr));
    // An atom nobody has named yet cannot be a selection anybody owns.
    if (!atom || atom->atom == XCB_ATOM_NONE) return false;
    const auto ownerCookie = xcb_get_selection_owner(connection, atom->atom);
    std::unique_ptr<xcb_get_selection_owner_reply_t, FreeReply> owner(
        xcb_get_selection_owner_reply(connection, ownerCookie, nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

bool DesktopComposites() {
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb")) return true;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 && CompositingManagerRuns(x11->connection(), DisplayScreen());
}

}  // namespace orv
