// A button that is a picture with a hint, not a standard push button: it
// paints a skin face (or a picture set from outside, as bPause does), lights
// up under the mouse and sinks while pressed.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

#include "windows/Skin.h"

namespace orv {

class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    ImageButton(const QString& name, skin::Face face, QSize size, const QString& hint, QWidget* parent);

    skin::Face SkinFace() const { return face_; }
    void SetSkinFace(skin::Face face);
    // A picture to show instead of the skin face (copied, as a picture
    // component's picture is).
    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return picture_; }
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }

    QSize sizeHint() const override { return size(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    skin::Face face_;
    QPixmap picture_;
    bool hover_ = false;
    int tag_ = 0;
};

}  // namespace orv
