#include "platform/qt/QtHourglass.h"

#include <QCursor>
#include <QGuiApplication>

namespace orv {

void QtBusyCursor::Begin() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

void QtBusyCursor::End() { QGuiApplication::restoreOverrideCursor(); }

}  // namespace orv
