#include "platform/qt/QtUiThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <memory>

namespace orv {

namespace {
const QEvent::Type kServeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}

QtUiThread::QtUiThread() = default;

void QtUiThread::OnQueued() {
    // Only a wake-up call: the step itself stays in our own locked queue, so
    // nothing is handed over through the toolkit's internals.
    auto wake = std::make_unique<QEvent>(kServeEvent);
    QCoreApplication::postEvent(this, wake.release());  // the queue takes it over
}

bool QtUiThread::event(QEvent* e) {
    if (e->type() != kServeEvent) return QObject::event(e);
    ServePending();
    return true;
}

}  // namespace orv
