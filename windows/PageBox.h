// VTXBox: the paint box of the graphics page. The page renderer draws on a
// canvas that keeps its pixels between paints; the box shows them through an
// image over the same memory.
#pragma once

#include <QWidget>
#include <functional>

#include "rendering/Canvas.h"

namespace orv {

// The canvas's pixels as an image over the same memory (0xFFRRGGBB is what a
// 32-bit RGB image holds); valid as long as the canvas is.
QImage CanvasImage(const Canvas& canvas);

class PageBox : public QWidget {
    Q_OBJECT
public:
    PageBox(Canvas& canvas, QWidget* parent);

    // The canvas was drawn on in that area: show it (no page refresh before
    // this paint).
    void CanvasChanged(const QRect& area);
    // Called before a paint the window system asked for (the box was
    // uncovered or shown): the window redraws its page first.
    std::function<void()> OnSystemPaint;
    // Mouse clicks on the page, in box coordinates.
    std::function<void(QPoint)> OnClick;

    QImage Image() const;

    // Mix mode: pixels of the key colour are left unpainted, so that the TV
    // picture of the video window beneath shows through them.
    void SetKeyColourTransparent(bool on);
    // A repaint is coming that only the picture beneath asked for: the page
    // drawn is still right.
    void KeepCanvas() { canvasFresh_ = true; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void PaintKeyedImage(QPainter& painter, const QRect& area) const;

    Canvas& canvas_;
    bool canvasFresh_ = false;
    bool keyTransparent_ = false;
};

}  // namespace orv
