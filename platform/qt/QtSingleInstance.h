// One viewer per user and desktop: another copy is seen by its main window's
// X11 class, and, where window classes cannot be seen (Wayland, offscreen),
// by a local socket that the running copy listens on. The socket is named
// after the display, so a second desktop of the same user (another X
// display, a nested or remote session) runs a viewer of its own, and it lies
// in a folder only this user can enter, so no one else can hold it.
#pragma once

#include <QString>

#include <memory>

#include "platform/SingleInstance.h"
#include "platform/WindowProbe.h"

class QLocalServer;

namespace orv {

class QtSingleInstance : public SingleInstance {
public:
    // display: the key of the display this copy runs on (DisplayKey).
    QtSingleInstance(WindowProbe& probe, QString display);
    ~QtSingleInstance() override;
    QtSingleInstance(const QtSingleInstance&) = delete;
    QtSingleInstance& operator=(const QtSingleInstance&) = delete;

    bool OtherInstanceRunning() override;
    void Claim() override;

    // The display a Qt platform connects to, one name for each: an X display
    // without its screen and with "unix" or no host alike (":0", ":0.0" and
    // "unix:0" are ":0"), the Wayland display, else the platform's name.
    // The platform decides which of DISPLAY and WAYLAND_DISPLAY is in use
    // (XWayland sets both).
    static QString DisplayKey(const QString& platform, const QString& xDisplay, const QString& waylandDisplay);
    // The key of the display the running application uses; xDisplayArgument
    // is a "-display" given on the command line, which the X11 platform takes
    // before DISPLAY.
    static QString CurrentDisplayKey(const QString& xDisplayArgument = {});

    // The user's own folder for the socket: $XDG_RUNTIME_DIR, else
    // <temp>/orvtt-<uid> (made when missing); each only when it is a real
    // folder (no link) of this user that no one else may enter. Empty when
    // there is none: then only the window class tells.
    static QString SocketFolder();
    // <folder>/ORV_Teletext-<display>; empty without a folder.
    static QString SocketPath(const QString& display);

private:
    WindowProbe& probe_;
    QString display_;
    std::unique_ptr<QLocalServer> server_;
};

// The value of a "-display" (or "--display") argument, as the X11 platform
// takes it; empty when there is none.
QString DisplayArgument(int argc, char** argv);

}  // namespace orv
