#include "windows/PageBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace orv {

PageBox::PageBox(Canvas& canvas, QWidget* parent) : QWidget(parent), canvas_(canvas) {
    setObjectName("VTXBox");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PageBox::CanvasChanged() {
    canvasFresh_ = true;
    update();
}

QImage PageBox::Image() const {
    // Pixels are 0xFFRRGGBB, which is what a 32-bit RGB image holds.
    const auto pixels = canvas_.Pixels();
    return QImage(reinterpret_cast<const uchar*>(pixels.data()), canvas_.Width(), canvas_.Height(),
                  canvas_.Width() * 4, QImage::Format_RGB32);
}

void PageBox::paintEvent(QPaintEvent* event) {
    // A paint we asked for shows what was just drawn; any other one (the
    // window was uncovered) first lets the window draw its page again.
    if (!canvasFresh_ && OnSystemPaint) OnSystemPaint();
    canvasFresh_ = false;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(event->rect().topLeft(), Image(), event->rect());
}

void PageBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnClick) OnClick(event->position().toPoint());
}

}  // namespace orv
