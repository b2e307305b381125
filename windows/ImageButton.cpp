#include "windows/ImageButton.h"

#include <QEnterEvent>
#include <QPainter>

namespace orv {
namespace {

skin::ButtonState StateOf(const QAbstractButton& button, bool hover) {
    if (!button.isEnabled()) return skin::ButtonState::Disabled;
    if (button.isDown()) return skin::ButtonState::Pressed;
    return hover ? skin::ButtonState::Hover : skin::ButtonState::Normal;
}

// The skin face, drawn at the screen's pixel density so it stays sharp on
// scaled displays.
void PaintSkinFace(QPainter& p, skin::Face face, QSize size, qreal pixelRatio, skin::ButtonState state) {
    QPixmap picture = skin::ButtonPicture(face, (QSizeF(size) * pixelRatio).toSize(), state);
    if (picture.isNull()) return;
    picture.setDevicePixelRatio(pixelRatio);
    p.drawPixmap(0, 0, picture);
}

// A picture from outside gets the same feedback as a skin face: it sinks
// when pressed, brightens under the mouse and fades when disabled.
void PaintPicture(QPainter& p, const QPixmap& picture, const QRect& area, skin::ButtonState state) {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect target = state == skin::ButtonState::Pressed ? area.translated(0, 1) : area;
    if (state == skin::ButtonState::Disabled) p.setOpacity(0.45);
    p.drawPixmap(target, picture);
    if (state == skin::ButtonState::Hover) {
        p.setCompositionMode(QPainter::CompositionMode_Plus);
        p.setOpacity(0.18);
        p.drawPixmap(target, picture);
    }
}

}  // namespace

ImageButton::ImageButton(const QString& name, skin::Face face, QSize size, const QString& hint, QWidget* parent)
    : QAbstractButton(parent), face_(face) {
    setObjectName(name);
    setToolTip(hint);
    setFixedSize(size);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void ImageButton::SetSkinFace(skin::Face face) {
    if (face == face_) return;
    face_ = face;
    update();
}

void ImageButton::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const skin::ButtonState state = StateOf(*this, hover_);
    if (picture_.isNull())
        PaintSkinFace(p, face_, size(), devicePixelRatioF(), state);
    else
        PaintPicture(p, picture_, rect(), state);
}

void ImageButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace orv
