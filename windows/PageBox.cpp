#include "windows/PageBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace orv {

PageBox::PageBox(Canvas& canvas, QWidget* parent) : QWidget(parent), canvas_(canvas) {
    setObjectName("VTXBox");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PageBox::CanvasChanged(const QRect& area) {
    canvasFresh_ = true;
    update(area);
}

QImage CanvasImage(const Canvas& canvas) {
    const auto pixels = canvas.Pixels();
    return QImage(reinterpret_cast<const uchar*>(pixels.data()), canvas.Width(), canvas.Height(), canvas.Width() * 4,
                  QImage::Format_RGB32);
}

QImage PageBox::Image() const { return CanvasImage(canvas_); }

void PageBox::paintEvent(QPaintEvent* event) {
    // A paint we asked for shows what was just drawn; any other one (the
    // window was uncovered) first lets the window draw its page again.
    if (!canvasFresh_ && OnSystemPaint) OnSystemPaint();
    canvasFresh_ = false;
    QPainter painter(this);
    const QImage image = Image();
    // Only what the canvas does not cover needs the black behind it.
    const QRegion uncovered = QRegion(event->rect()).subtracted(image.rect());
    for (const QRect& r : uncovered) painter.fillRect(r, Qt::black);
    painter.drawImage(event->rect().topLeft(), image, event->rect());
}

void PageBox::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a release over the box; one dragged off it clicks nothing.
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && rect().contains(at) && OnClick) OnClick(at);
}

}  // namespace orv
