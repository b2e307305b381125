// One viewer per user: another copy is seen by its main window's X11 class,
// and, where window classes cannot be seen (Wayland, offscreen), by a local
// socket that the running copy listens on.
#pragma once

#include <QString>

#include <memory>

#include "platform/SingleInstance.h"
#include "platform/WindowProbe.h"

class QLocalServer;

namespace orv {

class QtSingleInstance : public SingleInstance {
public:
    explicit QtSingleInstance(WindowProbe& probe);
    ~QtSingleInstance() override;
    QtSingleInstance(const QtSingleInstance&) = delete;
    QtSingleInstance& operator=(const QtSingleInstance&) = delete;

    bool OtherInstanceRunning() override;
    void Claim() override;

    // The per-user socket: $XDG_RUNTIME_DIR/ORV_Teletext, else
    // <temp>/ORV_Teletext-<uid>.
    static QString SocketPath();

private:
    WindowProbe& probe_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace orv
