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
    if (keyTransparent_) {
        PaintKeyedImage(painter, event->rect());
        return;
    }
    const QImage image = Image();
    // Only what the canvas does not cover needs the black behind it.
    const QRegion uncovered = QRegion(event->rect()).subtracted(image.rect());
    for (const QRect& r : uncovered) painter.fillRect(r, Qt::black);
    painter.drawImage(event->rect().topLeft(), image, event->rect());
}

void PageBox::SetKeyColourTransparent(bool on) {
    keyTransparent_ = on;
    setAttribute(Qt::WA_OpaquePaintEvent, !on);
    update();
}

void PageBox::PaintKeyedImage(QPainter& painter, const QRect& area) const {
    const QImage page = Image();
    const QRect part = area.intersected(page.rect());
    if (part.isEmpty()) return;
    QImage keyed(part.size(), QImage::Format_ARGB32_Premultiplied);
    constexpr QRgb kKey = 0xFF00FFu;
    for (int y = 0; y < part.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(page.constScanLine(part.top() + y)) + part.left();
        auto* to = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < part.width(); ++x) to[x] = (from[x] & 0xFFFFFFu) == kKey ? 0u : (from[x] | 0xFF000000u);
    }
    painter.drawImage(part.topLeft(), keyed);
}

void PageBox::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a release over the box; one dragged off it clicks nothing.
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && rect().contains(at) && OnClick) OnClick(at);
}

}  // namespace orv
