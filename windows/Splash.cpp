#include "windows/Splash.h"

#include <QLabel>
#include <QGuiApplication>
#include <QScreen>

#include "windows/Skin.h"

namespace orv {

namespace {

// Name and version are written twice, black and then white one pixel
// further right and down, which gives the white text a shadow.
QLabel* ShadowText(QWidget* parent, const char* name, const QString& text, int pixels, QColor colour, QRect geometry,
                   Qt::Alignment align) {
    QLabel* label = skin::BoldLabel(parent, name, text, pixels, colour, geometry);
    label->setAlignment(align);
    return label;
}

}  // namespace

TFSplash::TFSplash(const std::string& versionString)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName("FSplash");
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(skin::SplashPicture());
    Image1->resize(Image1->pixmap().size());  // sized to its picture

    const QRect nameRect(0, 98, Image1->width(), 44);
    sName1 = ShadowText(this, "sName1", "ORV Teletext", 35, Qt::black, nameRect, Qt::AlignHCenter);
    sName2 = ShadowText(this, "sName2", "ORV Teletext", 35, Qt::white, nameRect.translated(1, 1), Qt::AlignHCenter);
    const QRect verRect((Image1->width() - 200) / 2, 168, 200, 26);
    sVer1 = ShadowText(this, "sVer1", QString::fromStdString(versionString), 19, Qt::black, verRect,
                       Qt::AlignHCenter);
    sVer2 = ShadowText(this, "sVer2", sVer1->text(), 19, Qt::white, verRect.translated(1, 1), Qt::AlignHCenter);

    // The window takes the picture's size.
    setFixedSize(Image1->size());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

}  // namespace orv
