// The skin's artwork and the image button that shows it.
#include <QColor>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "windows/ImageButton.h"
#include "windows/Skin.h"

namespace orv {
namespace {

using skin::ButtonState;
using skin::Face;
using skin::FramePart;

std::vector<Face> AllFaces() {
    std::vector<Face> faces;
    for (int i = static_cast<int>(Face::Logo); i <= static_cast<int>(Face::BoxClose); ++i)
        faces.push_back(static_cast<Face>(i));
    return faces;
}

std::vector<FramePart> AllFrameParts() {
    std::vector<FramePart> parts;
    for (int i = static_cast<int>(FramePart::TopBar); i <= static_cast<int>(FramePart::Divider); ++i)
        parts.push_back(static_cast<FramePart>(i));
    return parts;
}

std::string Name(Face face) { return "face " + std::to_string(static_cast<int>(face)); }

QImage Pixels(const QPixmap& pixmap) { return pixmap.toImage().convertToFormat(QImage::Format_ARGB32); }

int DistinctColours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

// Pixels that differ visibly, not by a rounding step.
int DifferentPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return a.width() * a.height();
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) +
                    std::abs(qAlpha(p) - qAlpha(q)) > 24)
                ++count;
        }
    return count;
}

// The warm light khaki the pictograms are drawn in.
bool IsKhaki(QRgb pixel) {
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    return qAlpha(pixel) > 200 && r > 150 && r >= g && g >= b && r - b >= 15 && r - b <= 70;
}

int KhakiPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += IsKhaki(image.pixel(x, y)) ? 1 : 0;
    return count;
}

struct Averages {
    double lightness = 0;
    double saturation = 0;
};

Averages AverageOf(const QImage& image, QRect area) {
    Averages sum;
    int count = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor colour = QColor::fromRgba(image.pixel(x, y));
            if (colour.alpha() < 128) continue;
            sum.lightness += colour.lightnessF();
            sum.saturation += colour.hsvSaturationF();
            ++count;
        }
    if (count > 0) {
        sum.lightness /= count;
        sum.saturation /= count;
    }
    return sum;
}

int FirstOpaqueRow(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128) return y;
    return -1;
}

bool FullyOpaque(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 255) return false;
    return true;
}

// ---------------------------------------------------------------------------
// Button faces

TEST(SkinFaces, EveryFaceRendersAPictogramAtEverySize) {
    const std::vector<QSize> sizes = {{16, 16}, {24, 24}, {26, 24}, {32, 32}, {34, 30}, {40, 32}, {48, 48}, {64, 64}};
    for (const Face face : AllFaces())
        for (const QSize size : sizes) {
            SCOPED_TRACE(Name(face) + " at " + std::to_string(size.width()) + "x" + std::to_string(size.height()));
            const QPixmap picture = skin::ButtonPicture(face, size);
            ASSERT_EQ(picture.size(), size);
            const QImage image = Pixels(picture);
            EXPECT_GE(DistinctColours(image), 8);
            // The pictogram itself, not only the key cap, must be there.
            EXPECT_GE(KhakiPixels(image), 3);
            // Rounded caps let the bar behind show through their corners.
            EXPECT_LT(qAlpha(image.pixel(0, 0)), 32);
            EXPECT_LT(qAlpha(image.pixel(size.width() - 1, 0)), 32);
        }
}

TEST(SkinFaces, NoTwoFacesLookAlike) {
    const QSize size(32, 32);
    std::vector<QImage> images;
    for (const Face face : AllFaces()) images.push_back(Pixels(skin::ButtonPicture(face, size)));
    for (std::size_t i = 0; i < images.size(); ++i)
        for (std::size_t j = i + 1; j < images.size(); ++j)
            EXPECT_GE(DifferentPixels(images[i], images[j]), 12)
                << Name(static_cast<Face>(i)) << " vs " << Name(static_cast<Face>(j));
}

TEST(SkinFaces, PauseAndPlayAndTheDigitKeysAreTellableApart) {
    EXPECT_GE(DifferentPixels(Pixels(skin::ButtonPicture(Face::Pause, {40, 32})),
                              Pixels(skin::ButtonPicture(Face::Play, {40, 32}))),
              30);

    std::vector<QImage> digits;
    for (int d = 0; d <= 9; ++d) digits.push_back(Pixels(skin::ButtonPicture(skin::DigitFace(d), {40, 32})));
    for (int a = 0; a <= 9; ++a)
        for (int b = a + 1; b <= 9; ++b)
            EXPECT_GE(DifferentPixels(digits[static_cast<std::size_t>(a)], digits[static_cast<std::size_t>(b)]), 20)
                << "digits " << a << " and " << b;
    EXPECT_EQ(skin::DigitFace(0), Face::Digit0);
    EXPECT_EQ(skin::DigitFace(7), Face::Digit7);
    EXPECT_EQ(skin::DigitFace(9), Face::Digit9);
}

TEST(SkinFaces, EmptySizeGivesNoPicture) {
    EXPECT_TRUE(skin::ButtonPicture(Face::Save, {0, 0}).isNull());
    EXPECT_TRUE(skin::ButtonPicture(Face::Save, {20, 0}).isNull());
}

// ---------------------------------------------------------------------------
// Button states

TEST(SkinStates, HoverLightsPressedSinksDisabledFades) {
    const QSize size(34, 30);
    for (const Face face : AllFaces()) {
        SCOPED_TRACE(Name(face));
        const QImage normal = Pixels(skin::ButtonPicture(face, size, ButtonState::Normal));
        const QImage hover = Pixels(skin::ButtonPicture(face, size, ButtonState::Hover));
        const QImage pressed = Pixels(skin::ButtonPicture(face, size, ButtonState::Pressed));
        const QImage disabled = Pixels(skin::ButtonPicture(face, size, ButtonState::Disabled));
        EXPECT_GE(DifferentPixels(normal, hover), 10);
        EXPECT_GE(DifferentPixels(normal, pressed), 10);
        EXPECT_GE(DifferentPixels(normal, disabled), 10);
        EXPECT_GE(DifferentPixels(hover, pressed), 10);

        const Averages plain = AverageOf(normal, normal.rect());
        EXPECT_GT(AverageOf(hover, hover.rect()).lightness, plain.lightness);
        EXPECT_LT(AverageOf(pressed, pressed.rect()).lightness, plain.lightness);
        const Averages faded = AverageOf(disabled, disabled.rect());
        EXPECT_LT(faded.saturation, plain.saturation);
        EXPECT_LE(faded.lightness, plain.lightness);
        EXPECT_EQ(KhakiPixels(disabled), 0);

        EXPECT_EQ(FirstOpaqueRow(pressed), FirstOpaqueRow(normal) + 1);
    }
}

// ---------------------------------------------------------------------------
// Frame, splash, icon

TEST(SkinFrame, PicturesFillExactlyTheRequestedSize) {
    const std::vector<QSize> sizes = {{640, 33}, {640, 48}, {6, 400}, {158, 339}, {460, 4}, {3, 3}, {1, 1}};
    for (const FramePart part : AllFrameParts())
        for (const QSize size : sizes) {
            SCOPED_TRACE("part " + std::to_string(static_cast<int>(part)) + " at " + std::to_string(size.width()) +
                         "x" + std::to_string(size.height()));
            const QPixmap picture = skin::FramePicture(part, size);
            ASSERT_EQ(picture.size(), size);
            // Backgrounds: anything see-through would show stale pixels.
            EXPECT_TRUE(FullyOpaque(Pixels(picture)));
        }
    EXPECT_TRUE(skin::FramePicture(FramePart::TopBar, {0, 33}).isNull());
}

TEST(SkinFrame, PiecesAreShadedNotFlat) {
    for (const FramePart part : AllFrameParts()) {
        SCOPED_TRACE("part " + std::to_string(static_cast<int>(part)));
        EXPECT_GE(DistinctColours(Pixels(skin::FramePicture(part, {200, 48}))), 6);
    }
    EXPECT_GE(DifferentPixels(Pixels(skin::FramePicture(FramePart::TopBar, {640, 33})),
                              Pixels(skin::FramePicture(FramePart::BottomBar, {640, 33}))),
              100);
}

TEST(SkinSplash, ColourfulPictureWithRoomForTheName) {
    const QImage splash = Pixels(skin::SplashPicture());
    ASSERT_EQ(splash.size(), QSize(400, 270));
    EXPECT_TRUE(FullyOpaque(splash));
    EXPECT_GE(DistinctColours(splash), 100);

    int vivid = 0;
    for (int y = 0; y < splash.height(); ++y)
        for (int x = 0; x < splash.width(); ++x) {
            const QColor colour = QColor::fromRgb(splash.pixel(x, y));
            vivid += colour.hsvSaturationF() > 0.5 && colour.valueF() > 0.5 ? 1 : 0;
        }
    EXPECT_GE(vivid, 2000);

    // Light bold text is written over the middle: it must stay dark there.
    EXPECT_LT(AverageOf(splash, QRect(50, 90, 300, 60)).lightness, 0.25);
    EXPECT_LT(AverageOf(splash, QRect(80, 165, 240, 30)).lightness, 0.25);
}

TEST(SkinIcon, SquareAtEveryRequestedSize) {
    for (const int size : {16, 24, 32, 48, 64, 256}) {
        SCOPED_TRACE(size);
        const QPixmap icon = skin::ProgramIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        EXPECT_GE(DistinctColours(Pixels(icon)), 10);
    }
    EXPECT_TRUE(skin::ProgramIcon(0).isNull());
}

// ---------------------------------------------------------------------------
// ImageButton

// Buttons live on a bar, so they get a parent: grabbing a top-level widget
// would also paint a window background behind the rounded corners.
class ImageButtonTest : public testing::Test {
protected:
    QWidget host;
};

QImage Grab(ImageButton& button) { return button.grab().toImage().convertToFormat(QImage::Format_ARGB32); }

// What a grab of the button should show for `picture`: grabbing paints the
// window colour behind the widget first.
QImage AsGrabbed(const ImageButton& button, const QPixmap& picture) {
    QImage expected(button.size(), QImage::Format_ARGB32);
    expected.fill(button.palette().color(QPalette::Window));
    QPainter p(&expected);
    p.drawPixmap(0, 0, picture);
    return expected;
}

TEST_F(ImageButtonTest, TakesNameHintAndFixedSize) {
    ImageButton button(QStringLiteral("bSave"), Face::Save, {26, 24}, QStringLiteral("Save page"), &host);
    EXPECT_EQ(button.objectName(), QStringLiteral("bSave"));
    EXPECT_EQ(button.toolTip(), QStringLiteral("Save page"));
    EXPECT_EQ(button.size(), QSize(26, 24));
    EXPECT_EQ(button.minimumSize(), QSize(26, 24));
    EXPECT_EQ(button.maximumSize(), QSize(26, 24));
    EXPECT_EQ(button.sizeHint(), QSize(26, 24));
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(button.SkinFace(), Face::Save);
}

TEST_F(ImageButtonTest, ClickEmitsOnlyWhileEnabled) {
    ImageButton button(QStringLiteral("bPrint"), Face::Print, {26, 24}, QStringLiteral("Print"), &host);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);

    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(ImageButtonTest, PaintsTheSkinFaceInItsCurrentState) {
    ImageButton button(QStringLiteral("bKey"), Face::Digit1, {40, 32}, QString(), &host);
    const QImage normal = Grab(button);
    EXPECT_GE(KhakiPixels(normal), 10);

    button.SetSkinFace(Face::Digit7);
    EXPECT_EQ(button.SkinFace(), Face::Digit7);
    EXPECT_GE(DifferentPixels(normal, Grab(button)), 20);
    button.SetSkinFace(Face::Digit1);
    EXPECT_EQ(DifferentPixels(normal, Grab(button)), 0);

    button.setDown(true);
    EXPECT_GE(DifferentPixels(normal, Grab(button)), 20);
    button.setDown(false);

    button.setEnabled(false);
    EXPECT_EQ(KhakiPixels(Grab(button)), 0);
    button.setEnabled(true);
}

TEST_F(ImageButtonTest, LightsUpWhileTheMouseIsOver) {
    ImageButton button(QStringLiteral("bHelp"), Face::Help, {26, 24}, QString(), &host);
    const QImage normal = Grab(button);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
    const QImage hover = Grab(button);
    EXPECT_GE(DifferentPixels(normal, hover), 10);
    EXPECT_GT(AverageOf(hover, hover.rect()).lightness, AverageOf(normal, normal.rect()).lightness);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
    EXPECT_EQ(DifferentPixels(normal, Grab(button)), 0);
}

TEST_F(ImageButtonTest, PictureFromOutsideReplacesTheFace) {
    ImageButton button(QStringLiteral("bPause"), Face::Pause, {40, 32}, QString(), &host);
    QPixmap red(8, 8);
    red.fill(QColor(220, 20, 30));
    button.SetPicture(red);
    EXPECT_EQ(button.Picture().size(), QSize(8, 8));
    const QImage shown = Grab(button);
    EXPECT_EQ(shown.pixel(20, 16), QColor(220, 20, 30).rgb());
    // Scaled over the whole button, not drawn at its own size.
    EXPECT_EQ(shown.pixel(36, 28), QColor(220, 20, 30).rgb());

    // Skin faces of the other state, set as pictures, as the pause key does.
    button.SetPicture(skin::ButtonPicture(Face::Play, {40, 32}));
    EXPECT_EQ(DifferentPixels(Grab(button), AsGrabbed(button, skin::ButtonPicture(Face::Play, {40, 32}))), 0);

    button.SetPicture(QPixmap());
    EXPECT_EQ(DifferentPixels(Grab(button), AsGrabbed(button, skin::ButtonPicture(Face::Pause, {40, 32}))), 0);
}

}  // namespace
}  // namespace orv
