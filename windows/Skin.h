// The viewer's artwork, drawn in code: the frame pieces around the page, the
// two bars, the faces of the image buttons, the splash picture and the
// program icon. Everything is painted with QPainter at the size asked for, so
// nothing is shipped as a binary picture.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>

class QLabel;
class QWidget;
#include <QSize>

namespace orv::skin {

// The stretched frame pictures of the main window (Image1 .. Image8).
enum class FramePart {
    TopBar,       // Panel1's background, full width x 33
    BottomBar,    // Panel2's background, full width x 48
    LeftEdge,     // left of the page area
    RightEdge,    // right of the number pad
    PageTop,      // thin strip above the page area
    PageBottom,   // thin strip below the page area
    PadBack,      // behind the number pad
    Divider,      // between the page area and the number pad
};
QPixmap FramePicture(FramePart part, QSize size);

enum class Face {
    Logo,         // bLogo: the product's mark
    Save, Print, Copy, DisplayMode, Source, Search,
    Help, Minimize, Close,
    Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
    Pause, Play,  // img_KPause, img_KPlay: the two faces of bPause
    PagePrev, PageNext, ChannelUp, ChannelDown,
    NewWindow, Favorite,
    StartSearch,  // bStartSearch in the search panel
    BoxClose,     // the about box's close button
};
Face DigitFace(int digit);

enum class ButtonState { Normal, Hover, Pressed, Disabled };
QPixmap ButtonPicture(Face face, QSize size, ButtonState state = ButtonState::Normal);

// The splash picture, 400 x 270, without the product name (the splash window
// writes that over it).
QPixmap SplashPicture();
// The program icon (window icon, about box), square.
QPixmap ProgramIcon(int size);

// The skin's lettering: a bold Arial label of that pixel height and colour.
QLabel* BoldLabel(QWidget* parent, const char* name, const QString& text, int pixels, QColor colour, QRect geometry);

}  // namespace orv::skin
