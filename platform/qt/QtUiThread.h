// The UI thread of the Qt event loop: steps handed over by worker threads are
// served whenever the loop runs, nested loops of modal dialogs included, and
// while the UI thread waits for a worker to stop.
#pragma once

#include <QObject>

#include "platform/UiThread.h"

namespace orv {

class QtUiThread : public QObject, public EventLoopUiThread {
public:
    // Create on the thread that runs the Qt event loop.
    QtUiThread();

protected:
    void OnQueued() override;
    bool event(QEvent* e) override;
};

}  // namespace orv
