#include "windows/Skin.h"

#include <QFont>
#include <QImage>
#include <QLabel>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QRadialGradient>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <string_view>
#include <utility>

namespace orv::skin {
namespace {

// ---------------------------------------------------------------------------
// Palette

QColor Accent() { return {0xBF, 0xB2, 0x9A}; }

QColor Shade(int rgb, int alpha = 255) {
    QColor colour{QRgb(rgb)};
    colour.setAlpha(alpha);
    return colour;
}

QColor White(int alpha) { return {255, 255, 255, alpha}; }
QColor Black(int alpha) { return {0, 0, 0, alpha}; }

// Teletext's colours, a little softened so they do not glare next to the
// graphite.
namespace tt {
QColor Red() { return Shade(0xE2403A); }
QColor Green() { return Shade(0x45C453); }
QColor Yellow() { return Shade(0xF2D64B); }
QColor Blue() { return Shade(0x2F5FD6); }
QColor Magenta() { return Shade(0xCC4FD6); }
QColor Cyan() { return Shade(0x45CCDC); }
QColor White() { return Shade(0xEEEEEA); }
}  // namespace tt

using Stops = std::initializer_list<std::pair<qreal, QColor>>;

// ---------------------------------------------------------------------------
// Painting helpers

QImage NewImage(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QLinearGradient Gradient(QPointF from, QPointF to, Stops stops) {
    QLinearGradient gradient(from, to);
    for (const auto& [at, colour] : stops) gradient.setColorAt(at, colour);
    return gradient;
}

QLinearGradient Vertical(const QRectF& r, Stops stops) { return Gradient(r.topLeft(), r.bottomLeft(), stops); }
QLinearGradient Horizontal(const QRectF& r, Stops stops) { return Gradient(r.topLeft(), r.topRight(), stops); }

// A fixed pseudo-random sequence, so the grain is the same on every run and
// every redraw.
class Grain {
public:
    explicit Grain(std::uint32_t seed) : state_(seed) {}
    int Next(int range) {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<int>((state_ >> 8) % static_cast<std::uint32_t>(range));
    }

private:
    std::uint32_t state_;
};

// Fine streaks along the grain, as on brushed metal.
void BrushStreaks(QPainter& p, const QRect& r, Qt::Orientation grain, std::uint32_t seed, int strength) {
    Grain noise(seed);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const int count = grain == Qt::Horizontal ? r.height() : r.width();
    for (int i = 0; i < count; ++i) {
        const int alpha = noise.Next(strength + 1);
        p.setPen(noise.Next(2) != 0 ? White(alpha) : Black(alpha + alpha / 2));
        if (grain == Qt::Horizontal)
            p.drawLine(r.left(), r.top() + i, r.right(), r.top() + i);
        else
            p.drawLine(r.left() + i, r.top(), r.left() + i, r.bottom());
    }
    p.restore();
}

// Single-pixel lines for bevels; rows and columns outside the picture are
// skipped so thin strips stay valid.
void Row(QPainter& p, const QRect& r, int y, const QColor& colour) {
    if (y < 0 || y >= r.height()) return;
    p.fillRect(QRect(r.left(), r.top() + y, r.width(), 1), colour);
}

void Column(QPainter& p, const QRect& r, int x, const QColor& colour) {
    if (x < 0 || x >= r.width()) return;
    p.fillRect(QRect(r.left() + x, r.top(), 1, r.height()), colour);
}

// ---------------------------------------------------------------------------
// Frame pictures

void PaintTopBar(QPainter& p, const QRect& r) {
    p.fillRect(r, Vertical(r, {{0, Shade(0x45484D)}, {0.5, Shade(0x303236)}, {1, Shade(0x232528)}}));
    BrushStreaks(p, r, Qt::Horizontal, 0x7071u, 8);
    p.fillRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.45),
               Vertical(QRectF(r), {{0, White(22)}, {0.45, White(0)}}));
    Row(p, r, 0, White(60));
    Row(p, r, r.height() - 2, Accent().darker(150));
    Row(p, r, r.height() - 1, Shade(0x0A0B0C));
}

void PaintBottomBar(QPainter& p, const QRect& r) {
    p.fillRect(r, Vertical(r, {{0, Shade(0x36393D)}, {0.5, Shade(0x27292C)}, {1, Shade(0x1A1B1E)}}));
    BrushStreaks(p, r, Qt::Horizontal, 0xB0B0u, 8);
    Row(p, r, 0, Shade(0x0A0B0C));
    Row(p, r, 1, Accent().darker(160));
    Row(p, r, 2, White(34));
    Row(p, r, r.height() - 1, Shade(0x08090A));
}

// The side pieces: lit on the outer edge, falling into shadow towards the
// page. `outerOnLeft` mirrors the piece for the right-hand side.
void PaintEdge(QPainter& p, const QRect& r, bool outerOnLeft) {
    const QColor outer = Shade(0x3C3F44), middle = Shade(0x2A2C30), inner = Shade(0x17181A);
    p.fillRect(r, outerOnLeft ? Horizontal(r, {{0, outer}, {0.5, middle}, {1, inner}})
                              : Horizontal(r, {{0, inner}, {0.5, middle}, {1, outer}}));
    BrushStreaks(p, r, Qt::Vertical, outerOnLeft ? 0x1EF7u : 0x7E91u, 7);
    const int last = r.width() - 1;
    Column(p, r, outerOnLeft ? 0 : last, Shade(0x0A0B0C));
    Column(p, r, outerOnLeft ? 1 : last - 1, White(40));
    Column(p, r, outerOnLeft ? last : 0, Shade(0x050506));
}

// Thin strips above and below the page, shading into the black page.
void PaintPageStrip(QPainter& p, const QRect& r, bool pageBelow) {
    const QColor lit = Shade(0x2C2E32), deep = Shade(0x0C0D0E);
    p.fillRect(r, pageBelow ? Vertical(r, {{0, lit}, {1, deep}}) : Vertical(r, {{0, deep}, {1, lit}}));
    Row(p, r, pageBelow ? 0 : r.height() - 1, White(26));
    Row(p, r, pageBelow ? r.height() - 1 : 0, Shade(0x000000));
}

void PaintPadBack(QPainter& p, const QRect& r) {
    p.fillRect(r, Vertical(r, {{0, Shade(0x2F3135)}, {0.6, Shade(0x25272A)}, {1, Shade(0x1C1D20)}}));
    BrushStreaks(p, r, Qt::Horizontal, 0x9AD5u, 6);
    // A recessed panel: shadow on the upper and left edges, light below.
    Row(p, r, 0, Shade(0x0C0D0E));
    Column(p, r, 0, Shade(0x0C0D0E));
    Row(p, r, r.height() - 1, White(24));
    Column(p, r, r.width() - 1, White(24));
}

// A groove, across the thinner direction of the strip.
void PaintDivider(QPainter& p, const QRect& r) {
    const bool upright = r.width() <= r.height();
    p.fillRect(r, upright ? Horizontal(r, {{0, Shade(0x2A2C30)}, {0.5, Shade(0x1B1C1F)}, {1, Shade(0x2A2C30)}})
                          : Vertical(r, {{0, Shade(0x2A2C30)}, {0.5, Shade(0x1B1C1F)}, {1, Shade(0x2A2C30)}}));
    const int middle = (upright ? r.width() : r.height()) / 2;
    if (upright) {
        Column(p, r, middle - 1, Shade(0x08090A));
        Column(p, r, middle, White(34));
    } else {
        Row(p, r, middle - 1, Shade(0x08090A));
        Row(p, r, middle, White(34));
    }
}

// ---------------------------------------------------------------------------
// Pictogram geometry. Every pictogram is a filled path on a 24 x 24 grid,
// scaled to the key it sits on.

constexpr qreal kGrid = 24.0;

QPainterPath Box(qreal x, qreal y, qreal w, qreal h, qreal radius = 0) {
    QPainterPath path;
    if (radius > 0)
        path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
    else
        path.addRect(QRectF(x, y, w, h));
    return path;
}

QPainterPath Disc(QPointF centre, qreal radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath Stroke(const QPainterPath& path, qreal width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path).simplified();
}

QPainterPath Line(QPointF from, QPointF to, qreal width) {
    QPainterPath path(from);
    path.lineTo(to);
    return Stroke(path, width);
}

// A polygon with its corners rounded by `radius` (it grows by that much).
QPainterPath RoundedPolygon(std::initializer_list<QPointF> corners, qreal radius) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(corners)));
    path.closeSubpath();
    return path.united(Stroke(path, 2 * radius));
}

QFont BoldSans(int pixelSize) {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(pixelSize);
    return font;
}

// Text as a path, `height` tall and centred on `centre`.
QPainterPath TextPath(const QString& text, qreal height, QPointF centre) {
    QPainterPath path;
    path.addText(0, 0, BoldSans(100), text);
    const QRectF bounds = path.boundingRect();
    if (bounds.isEmpty()) return path;
    const qreal scale = height / bounds.height();
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.scale(scale, scale);
    t.translate(-bounds.center().x(), -bounds.center().y());
    return t.map(path);
}

QPainterPath SaveGlyph() {
    return RoundedPolygon({{4, 4}, {16.5, 4}, {20, 7.5}, {20, 20}, {4, 20}}, 1.0)
        .subtracted(Box(7.5, 4.8, 8.6, 5.2, 0.5))    // shutter
        .united(Box(12.8, 5.8, 2.2, 3.2))            // its window
        .subtracted(Box(6.8, 12.2, 10.4, 6.6, 0.6));  // label
}

QPainterPath PrintGlyph() {
    const QPainterPath paperIn = Box(6.5, 2.5, 11, 5.2, 0.6);
    const QPainterPath body = Box(2.5, 8.6, 19, 9.4, 2.2)
                                  .subtracted(Box(5.2, 13.4, 13.6, 10))
                                  .subtracted(Disc({18.4, 11.3}, 1.1));
    const QPainterPath paperOut = Box(6.5, 14.6, 11, 7.4, 0.5)
                                      .subtracted(Box(8.2, 16.6, 7.6, 1.2))
                                      .subtracted(Box(8.2, 18.9, 5.2, 1.2));
    return paperIn.united(body).united(paperOut);
}

QPainterPath CopyGlyph() {
    const QPainterPath sheet = RoundedPolygon({{10, 8.5}, {16, 8.5}, {20, 12.5}, {20, 20.5}, {10, 20.5}}, 0.8);
    const QPainterPath front = sheet.subtracted(Box(12, 13.6, 6, 1.3))
                                   .subtracted(Box(12, 16.1, 6, 1.3))
                                   .subtracted(Box(12, 18.6, 4, 1.3));
    const QPainterPath back =
        Stroke(Box(4, 3.5, 10.5, 13.5, 1.2), 1.9).subtracted(sheet.united(Stroke(sheet, 3.2)));
    return back.united(front);
}

QPainterPath DisplayModeGlyph() {
    const QPainterPath monitor = Box(2, 3, 20, 14.5, 2).subtracted(Box(4, 5, 16, 10.5, 0.8));
    const QPainterPath letterT = Box(5.6, 6.6, 6, 1.9).united(Box(7.65, 6.6, 1.9, 7.4));
    const QPainterPath lines = Box(12.6, 7.1, 5.8, 1.4).united(Box(12.6, 9.8, 5.8, 1.4)).united(Box(12.6, 12.5, 4, 1.4));
    const QPainterPath stand = Box(10.6, 17.4, 2.8, 2.3).united(Box(7, 19.4, 10, 2, 0.9));
    return monitor.united(letterT).united(lines).united(stand);
}

// A mast sending waves: where the pictures come from.
QPainterPath SourceGlyph() {
    const QPointF top(12, 8);
    QPainterPath waves;
    for (const qreal radius : {4.6, 8.0}) {
        const QRectF ring(top.x() - radius, top.y() - radius, 2 * radius, 2 * radius);
        QPainterPath arcs;
        arcs.arcMoveTo(ring, -40);
        arcs.arcTo(ring, -40, 80);
        arcs.arcMoveTo(ring, 140);
        arcs.arcTo(ring, 140, 80);
        waves = waves.united(Stroke(arcs, 1.9));
    }
    QPainterPath mast;
    mast.moveTo(7.6, 21.5);
    mast.lineTo(12, 9.8);
    mast.lineTo(16.4, 21.5);
    mast.moveTo(9.3, 17.2);
    mast.lineTo(14.7, 17.2);
    return waves.united(Stroke(mast, 1.9)).united(Disc(top, 2.1));
}

QPainterPath SearchGlyph() {
    const QPointF centre(10, 10);
    QPainterPath glint;
    const QRectF inner(centre.x() - 3.3, centre.y() - 3.3, 6.6, 6.6);
    glint.arcMoveTo(inner, 105);
    glint.arcTo(inner, 105, 60);
    return Stroke(Disc(centre, 6.2), 2.5)
        .united(Line({14.7, 14.7}, {20.2, 20.2}, 3.8))
        .united(Stroke(glint, 1.3));
}

QPainterPath HelpGlyph() {
    QPainterPath hook(QPointF(7.6, 8.4));
    hook.cubicTo(7.6, 5.5, 9.6, 3.7, 12.2, 3.7);
    hook.cubicTo(14.9, 3.7, 16.7, 5.5, 16.7, 7.9);
    hook.cubicTo(16.7, 10.3, 14.9, 11.2, 13.7, 12.1);
    hook.cubicTo(12.6, 12.9, 12.2, 13.7, 12.2, 15.2);
    return Stroke(hook, 2.9).united(Disc({12.2, 19.4}, 1.8));
}

QPainterPath CrossGlyph(qreal inset, qreal width) {
    const qreal far = kGrid - inset;
    return Line({inset, inset}, {far, far}, width).united(Line({far, inset}, {inset, far}, width));
}

QPainterPath PauseGlyph() { return Box(6.5, 5, 4, 14, 1).united(Box(13.5, 5, 4, 14, 1)); }

QPainterPath PlayGlyph() { return RoundedPolygon({{8.6, 5.6}, {18.6, 12}, {8.6, 18.4}}, 1.0); }

// A bold arrow to the right, turned by `degrees` (clockwise) for the others.
QPainterPath ArrowGlyph(qreal degrees) {
    const QPainterPath arrow =
        RoundedPolygon({{11.6, 5.2}, {19.4, 12}, {11.6, 18.8}}, 0.8).united(Box(4.4, 9.9, 8.6, 4.2, 0.9));
    QTransform turn;
    turn.translate(kGrid / 2, kGrid / 2);
    turn.rotate(degrees);
    turn.translate(-kGrid / 2, -kGrid / 2);
    return turn.map(arrow);
}

QPainterPath WindowShape(const QRectF& r) {
    return Stroke(Box(r.x(), r.y(), r.width(), r.height(), 0.8), 1.6).united(Box(r.x(), r.y(), r.width(), 2.8, 0.6));
}

QPainterPath NewWindowGlyph() {
    const QRectF backRect(2.5, 2.5, 12, 9), frontRect(6.5, 7, 12, 9.2);
    const QPainterPath front = WindowShape(frontRect);
    const QPainterPath frontArea = Box(frontRect.x(), frontRect.y(), frontRect.width(), frontRect.height());
    const QPainterPath back = WindowShape(backRect).subtracted(Stroke(frontArea, 3.2).united(frontArea));
    const QPainterPath plus = Box(15.2, 17.6, 7.2, 2.4, 0.6).united(Box(17.6, 15.2, 2.4, 7.2, 0.6));
    return back.united(front).subtracted(Stroke(plus, 2.8)).united(plus);
}

// A return arrow, the key that starts the search.
QPainterPath StartSearchGlyph() {
    QPainterPath bend(QPointF(18, 4.5));
    bend.lineTo(18, 14.5);
    bend.lineTo(9.5, 14.5);
    return Stroke(bend, 3.2).united(RoundedPolygon({{3.8, 14.5}, {10.6, 8.6}, {10.6, 20.4}}, 0.8));
}

QPainterPath StarGlyph() {
    constexpr int kPoints = 5;
    const QPointF centre(12, 12.9);
    QPolygonF star;
    for (int i = 0; i < 2 * kPoints; ++i) {
        const qreal radius = i % 2 == 0 ? 9.4 : 3.9;
        const qreal angle = -std::numbers::pi / 2 + i * std::numbers::pi / kPoints;
        star << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    QPainterPath path;
    path.addPolygon(star);
    path.closeSubpath();
    return path.united(Stroke(path, 1.2));
}

QPainterPath DigitGlyph(Face face) {
    const int digit = static_cast<int>(face) - static_cast<int>(Face::Digit0);
    return TextPath(QString::number(digit), 17.5, {12, 12});
}

QPainterPath GlyphPath(Face face) {
    switch (face) {
        case Face::Logo: return {};  // painted in colour, see PaintLogo
        case Face::Save: return SaveGlyph();
        case Face::Print: return PrintGlyph();
        case Face::Copy: return CopyGlyph();
        case Face::DisplayMode: return DisplayModeGlyph();
        case Face::Source: return SourceGlyph();
        case Face::Search: return SearchGlyph();
        case Face::Help: return HelpGlyph();
        case Face::Minimize: return Box(5.5, 16, 13, 3.4, 1.2);
        case Face::Close: return CrossGlyph(6.5, 3.2);
        case Face::Digit0:
        case Face::Digit1:
        case Face::Digit2:
        case Face::Digit3:
        case Face::Digit4:
        case Face::Digit5:
        case Face::Digit6:
        case Face::Digit7:
        case Face::Digit8:
        case Face::Digit9: return DigitGlyph(face);
        case Face::Pause: return PauseGlyph();
        case Face::Play: return PlayGlyph();
        case Face::PagePrev: return ArrowGlyph(180);
        case Face::PageNext: return ArrowGlyph(0);
        case Face::ChannelUp: return ArrowGlyph(-90);
        case Face::ChannelDown: return ArrowGlyph(90);
        case Face::NewWindow: return NewWindowGlyph();
        case Face::Favorite: return StarGlyph();
        case Face::StartSearch: return StartSearchGlyph();
        case Face::BoxClose: return CrossGlyph(8, 2.5);
    }
    return {};
}

// ---------------------------------------------------------------------------
// Teletext pictures: the little screens on the logo, the icon and the splash.

// "ORV" in teletext mosaic pixels, five rows tall.
constexpr std::array<std::string_view, 5> kMosaicOrv = {
    "### ##  # #",
    "# # # # # #",
    "# # ##  # #",
    "# # # # # #",
    "### # #  # ",
};

void PaintMosaic(QPainter& p, const QRectF& area, const QColor& colour) {
    const int columns = static_cast<int>(kMosaicOrv[0].size());
    const int rows = static_cast<int>(kMosaicOrv.size());
    const qreal cell = std::min(area.width() / columns, area.height() / rows);
    const QPointF origin = area.center() - QPointF(cell * columns / 2, cell * rows / 2);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            if (kMosaicOrv[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#')
                p.fillRect(QRectF(origin.x() + x * cell, origin.y() + y * cell, cell, cell), colour);
}

// A line of "text" as a rounded bar: at these sizes real letters would only
// be noise.
void TextBar(QPainter& p, const QRectF& screen, qreal x0, qreal x1, qreal y, qreal height, const QColor& colour) {
    const QRectF bar(screen.x() + x0 * screen.width(), screen.y() + y * screen.height(), (x1 - x0) * screen.width(),
                     height * screen.height());
    const qreal radius = std::min(bar.height(), bar.width()) / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(bar, radius, radius);
}

void PaintFastext(QPainter& p, const QRectF& screen, qreal y, qreal height) {
    const std::array<QColor, 4> keys = {tt::Red(), tt::Green(), tt::Yellow(), tt::Cyan()};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const qreal x0 = 0.05 + 0.23 * static_cast<qreal>(i);
        TextBar(p, screen, x0, x0 + 0.19, y, height, keys[i]);
    }
}

// A whole page in miniature: header, a mosaic banner, text and the fastext
// row.
void PaintTeletextPage(QPainter& p, const QRectF& screen) {
    p.fillRect(screen, Qt::black);
    TextBar(p, screen, 0.05, 0.22, 0.06, 0.08, Accent());
    TextBar(p, screen, 0.30, 0.62, 0.06, 0.08, tt::White());
    TextBar(p, screen, 0.70, 0.95, 0.06, 0.08, tt::Yellow());
    const QRectF banner(screen.x(), screen.y() + 0.19 * screen.height(), screen.width(), 0.34 * screen.height());
    p.fillRect(banner, tt::Blue());
    if (banner.height() >= 8)
        PaintMosaic(p, banner.adjusted(banner.width() * 0.1, banner.height() * 0.14, -banner.width() * 0.1,
                                       -banner.height() * 0.14),
                    tt::Yellow());
    else
        TextBar(p, screen, 0.2, 0.8, 0.30, 0.12, tt::Yellow());
    TextBar(p, screen, 0.05, 0.55, 0.60, 0.07, tt::White());
    TextBar(p, screen, 0.62, 0.92, 0.60, 0.07, tt::Cyan());
    TextBar(p, screen, 0.05, 0.40, 0.71, 0.07, tt::Green());
    TextBar(p, screen, 0.46, 0.80, 0.71, 0.07, tt::White());
    PaintFastext(p, screen, 0.84, 0.09);
}

void PaintGlass(QPainter& p, const QRectF& screen) {
    QPainterPath sheen;
    sheen.moveTo(screen.topLeft());
    sheen.lineTo(screen.x() + screen.width() * 0.62, screen.y());
    sheen.lineTo(screen.x() + screen.width() * 0.30, screen.bottom());
    sheen.lineTo(screen.bottomLeft());
    sheen.closeSubpath();
    p.fillPath(sheen, Gradient(screen.topLeft(), screen.bottomLeft(), {{0, White(34)}, {1, White(4)}}));
}

// ---------------------------------------------------------------------------
// Key caps

struct Ink {
    QColor top;
    QColor bottom;
    QColor shadow;
};

Ink InkFor(ButtonState state) {
    const QColor accent = Accent();
    switch (state) {
        case ButtonState::Hover: return {accent.lighter(128), accent.lighter(110), Black(180)};
        case ButtonState::Pressed: return {accent.darker(115), accent.darker(125), Black(120)};
        case ButtonState::Normal:
        case ButtonState::Disabled: break;
    }
    return {accent.lighter(112), accent.darker(106), Black(160)};
}

struct CapLook {
    QColor top;
    QColor middle;
    QColor bottom;
};

CapLook CapLookFor(ButtonState state) {
    switch (state) {
        case ButtonState::Hover: return {Shade(0x6A6D73), Shade(0x4A4D52), Shade(0x36383C)};
        case ButtonState::Pressed: return {Shade(0x1C1D20), Shade(0x25272A), Shade(0x2E3034)};
        case ButtonState::Normal:
        case ButtonState::Disabled: break;
    }
    return {Shade(0x575A5F), Shade(0x3A3C40), Shade(0x2A2C2F)};
}

qreal CapRadius(const QRectF& cap) { return std::clamp(std::min(cap.width(), cap.height()) * 0.2, 2.5, 9.0); }

// The cap leaves its bottom pixel for the drop shadow; pressed, it sinks onto
// it.
QRectF CapRect(QSize size, ButtonState state) {
    const QRectF cap(0, 0, size.width(), std::max(1, size.height() - 1));
    return state == ButtonState::Pressed ? cap.translated(0, 1) : cap;
}

void PaintCapHighlight(QPainter& p, const QRectF& body, qreal radius, ButtonState state) {
    const bool pressed = state == ButtonState::Pressed;
    const QRectF edge = body.adjusted(0.5, 0.5, -0.5, -0.5);
    const QLinearGradient light =
        pressed ? Vertical(edge, {{0, Black(110)}, {0.4, Black(0)}, {1, White(18)}})
                : Vertical(edge, {{0, White(state == ButtonState::Hover ? 110 : 80)}, {0.5, White(0)}, {1, Black(40)}});
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(light), 1));
    p.drawRoundedRect(edge, radius - 0.5, radius - 0.5);
}

void PaintCap(QPainter& p, const QRectF& cap, ButtonState state) {
    const qreal radius = CapRadius(cap);
    p.setPen(Qt::NoPen);
    if (state != ButtonState::Pressed) {
        p.setBrush(Black(120));
        p.drawRoundedRect(cap.translated(0, 1), radius, radius);
    }
    p.setBrush(Shade(0x0B0C0D));
    p.drawRoundedRect(cap, radius, radius);

    const QRectF body = cap.adjusted(1, 1, -1, -1);
    const CapLook look = CapLookFor(state);
    QPainterPath bodyPath;
    bodyPath.addRoundedRect(body, radius - 1, radius - 1);
    p.fillPath(bodyPath, Vertical(body, {{0, look.top}, {0.55, look.middle}, {1, look.bottom}}));
    p.save();
    p.setClipPath(bodyPath);
    BrushStreaks(p, body.toAlignedRect(), Qt::Horizontal, 0xCA95u, 6);
    p.restore();
    PaintCapHighlight(p, body, radius - 1, state);

    if (state == ButtonState::Hover) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(Accent().red(), Accent().green(), Accent().blue(), 150), 1));
        p.drawRoundedRect(cap.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    }
}

// The square the pictogram is drawn in; small keys give it a larger share so
// the pictogram stays readable.
QRectF GlyphBox(const QRectF& cap) {
    const qreal shortest = std::min(cap.width(), cap.height());
    const qreal share = std::clamp(0.80 - (shortest - 16) * 0.005, 0.64, 0.80);
    const qreal side = shortest * share;
    return {cap.center().x() - side / 2, cap.center().y() - side / 2, side, side};
}

QTransform GridToBox(const QRectF& box) {
    QTransform t;
    t.translate(box.x(), box.y());
    t.scale(box.width() / kGrid, box.height() / kGrid);
    return t;
}

// The pictogram stands on the cap: a dark shadow a pixel below, then the ink.
void PaintGlyph(QPainter& p, const QPainterPath& path, const QRectF& box, const Ink& ink) {
    const QPainterPath shape = GridToBox(box).map(path);
    p.fillPath(shape.translated(0, 1), ink.shadow);
    p.fillPath(shape, Vertical(shape.boundingRect(), {{0, ink.top}, {1, ink.bottom}}));
}

// The product mark: a small television showing a teletext page, with the
// name beside it when the key is wide enough.
void PaintLogo(QPainter& p, const QRectF& cap, const Ink& ink) {
    const bool wide = cap.width() >= 1.8 * cap.height();
    QRectF box = GlyphBox(cap);
    if (wide) box.moveLeft(cap.x() + cap.height() * 0.22);

    const QPainterPath set = Box(2, 5, 20, 15, 2.4)
                                 .subtracted(Box(4, 7, 16, 11, 0.8))
                                 .united(Line({12, 5}, {8.2, 1.4}, 1.5))
                                 .united(Line({12, 5}, {15.8, 1.4}, 1.5))
                                 .united(Box(5.5, 19.5, 3, 2.2, 0.6))
                                 .united(Box(15.5, 19.5, 3, 2.2, 0.6));
    PaintGlyph(p, set, box, ink);
    const QRectF screen = GridToBox(box).mapRect(QRectF(4, 7, 16, 11));
    PaintTeletextPage(p, screen);
    PaintGlass(p, screen);

    if (wide) {
        const qreal textLeft = box.right() + cap.height() * 0.18;
        const qreal textWidth = cap.right() - textLeft - cap.height() * 0.2;
        const QPainterPath name =
            TextPath(QStringLiteral("ORV"), box.height() * 0.5, {textLeft + textWidth / 2, cap.center().y()});
        p.fillPath(name.translated(0, 1), ink.shadow);
        p.fillPath(name, Vertical(name.boundingRect(), {{0, ink.top}, {1, ink.bottom}}));
    }
}

void PaintFace(QPainter& p, Face face, const QRectF& cap, ButtonState state) {
    const Ink ink = InkFor(state);
    if (face == Face::Logo)
        PaintLogo(p, cap, ink);
    else
        PaintGlyph(p, GlyphPath(face), GlyphBox(cap), ink);
}

// Disabled keys: grey and dimmer, whatever their colours were.
void Desaturate(QImage& image) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]) * 6 / 10 + 10;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
}

// ---------------------------------------------------------------------------
// Splash

constexpr QSize kSplashSize(400, 270);

void PaintSplashBackground(QPainter& p, const QRectF& r) {
    p.fillRect(r, Vertical(r, {{0, Shade(0x1E2126)}, {1, Shade(0x08090A)}}));
    QRadialGradient glow(r.center() - QPointF(0, 20), r.width() * 0.65);
    glow.setColorAt(0, QColor(80, 92, 112, 70));
    glow.setColorAt(1, QColor(80, 92, 112, 0));
    p.fillRect(r, glow);
}

void PaintTvCabinet(QPainter& p, const QRectF& cabinet) {
    QPainterPath shape;
    shape.addRoundedRect(cabinet, 16, 16);
    p.fillPath(shape.translated(0, 3), Black(120));
    p.fillPath(shape, Vertical(cabinet, {{0, Shade(0x4A4D52)}, {0.1, Shade(0x35373B)}, {1, Shade(0x1A1B1E)}}));
    p.save();
    p.setClipPath(shape);
    BrushStreaks(p, cabinet.toAlignedRect(), Qt::Horizontal, 0x5EEDu, 7);
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Accent().darker(135), 1));
    p.drawRoundedRect(cabinet.adjusted(0.5, 0.5, -0.5, -0.5), 15.5, 15.5);
    p.setPen(QPen(White(50), 1));
    p.drawRoundedRect(cabinet.adjusted(1.5, 1.5, -1.5, -1.5), 14.5, 14.5);
}

// Below the screen: a speaker grille, two knobs and the power light.
void PaintTvControls(QPainter& p, const QRectF& chin) {
    p.setPen(QPen(Black(150), 1.2));
    for (int i = 0; i < 9; ++i) {
        const qreal x = chin.left() + 10 + i * 5;
        p.drawLine(QPointF(x, chin.top() + 8), QPointF(x, chin.bottom() - 8));
    }
    for (int i = 0; i < 2; ++i) {
        const QPointF centre(chin.right() - 44 + i * 18, chin.center().y());
        p.setPen(QPen(Black(160), 1));
        p.setBrush(Vertical(QRectF(centre - QPointF(6, 6), QSizeF(12, 12)), {{0, Shade(0x6A6D72)}, {1, Shade(0x26282B)}}));
        p.drawEllipse(centre, 6, 6);
    }
    const QPointF led(chin.right() - 10, chin.center().y());
    QRadialGradient halo(led, 6);
    halo.setColorAt(0, QColor(110, 255, 130, 200));
    halo.setColorAt(1, QColor(110, 255, 130, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(led, 6, 6);
    p.setBrush(tt::Green().lighter(120));
    p.drawEllipse(led, 2, 2);
}

// The header row of the page: page number, service name, clock.
void PaintSplashHeader(QPainter& p, const QRectF& screen) {
    TextBar(p, screen, 0.035, 0.13, 0.045, 0.035, Accent());
    TextBar(p, screen, 0.17, 0.30, 0.045, 0.035, tt::White());
    TextBar(p, screen, 0.32, 0.42, 0.045, 0.035, tt::White());
    TextBar(p, screen, 0.46, 0.55, 0.045, 0.035, tt::Cyan());
    TextBar(p, screen, 0.72, 0.83, 0.045, 0.035, tt::White());
    TextBar(p, screen, 0.85, 0.965, 0.045, 0.035, tt::Yellow());
}

// A skyline of mosaic blocks across the top of the screen, in bands of the
// teletext colours.
void PaintSplashMosaic(QPainter& p, const QRectF& band) {
    const std::array<QColor, 6> colours = {tt::Red(), tt::Yellow(), tt::Green(), tt::Cyan(), tt::Blue(), tt::Magenta()};
    constexpr int kColumns = 48;
    constexpr int kRows = 6;
    const qreal cellW = band.width() / kColumns, cellH = band.height() / kRows;
    for (int x = 0; x < kColumns; ++x) {
        const qreal wave = 0.5 + 0.5 * std::sin(x * 0.34) * std::cos(x * 0.11);
        const int height = 1 + static_cast<int>(std::lround(wave * (kRows - 1)));
        const QColor colour = colours[static_cast<std::size_t>(x * 6 / kColumns)];
        for (int y = 0; y < height; ++y) {
            const QRectF cell(band.x() + x * cellW, band.bottom() - (y + 1) * cellH, cellW, cellH);
            p.fillRect(cell.adjusted(0.5, 0.5, -0.5, -0.5), y + 1 == height ? colour.lighter(125) : colour);
        }
    }
}

void PaintScanlines(QPainter& p, const QRectF& screen) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Black(46));
    for (int y = static_cast<int>(screen.top()) + 1; y < screen.bottom(); y += 2)
        p.drawLine(QPointF(screen.left(), y), QPointF(screen.right(), y));
    p.restore();
}

// The screen keeps its upper middle (the product name) and lower middle (the
// version) dark and quiet.
void PaintSplashScreen(QPainter& p, const QRectF& screen) {
    QPainterPath shape;
    shape.addRoundedRect(screen, 9, 9);
    QRadialGradient phosphor(screen.center(), screen.width() * 0.6);
    phosphor.setColorAt(0, Shade(0x141C2A));
    phosphor.setColorAt(1, Shade(0x020304));
    p.fillPath(shape, phosphor);
    p.save();
    p.setClipPath(shape);
    PaintSplashHeader(p, screen);
    PaintSplashMosaic(p, QRectF(screen.x(), screen.y() + screen.height() * 0.11, screen.width(), screen.height() * 0.2));
    PaintFastext(p, screen, 0.905, 0.045);
    PaintScanlines(p, screen);
    PaintGlass(p, screen);
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Black(220), 2));
    p.drawRoundedRect(screen, 9, 9);
}

// ---------------------------------------------------------------------------
// Program icon

void PaintIconCabinet(QPainter& p, const QRectF& cabinet, qreal unit) {
    const qreal radius = cabinet.width() * 0.13;
    QPainterPath shape;
    shape.addRoundedRect(cabinet, radius, radius);
    p.fillPath(shape, Vertical(cabinet, {{0, Shade(0x55585D)}, {0.5, Shade(0x36383C)}, {1, Shade(0x222427)}}));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Accent(), std::max(1.0, unit * 0.7)));
    p.drawPath(shape);
    const QRectF bezel = cabinet.adjusted(2.2 * unit, 2.2 * unit, -2.2 * unit, -2.2 * unit);
    p.setPen(QPen(Black(170), std::max(1.0, unit * 0.5)));
    p.setBrush(Shade(0x141517));
    p.drawRoundedRect(bezel, radius * 0.5, radius * 0.5);
}

}  // namespace

QPixmap FramePicture(FramePart part, QSize size) {
    if (size.isEmpty()) return {};
    QImage image = NewImage(size);
    {
        QPainter p(&image);
        const QRect r = image.rect();
        switch (part) {
            case FramePart::TopBar: PaintTopBar(p, r); break;
            case FramePart::BottomBar: PaintBottomBar(p, r); break;
            case FramePart::LeftEdge: PaintEdge(p, r, true); break;
            case FramePart::RightEdge: PaintEdge(p, r, false); break;
            case FramePart::PageTop: PaintPageStrip(p, r, true); break;
            case FramePart::PageBottom: PaintPageStrip(p, r, false); break;
            case FramePart::PadBack: PaintPadBack(p, r); break;
            case FramePart::Divider: PaintDivider(p, r); break;
        }
    }
    return QPixmap::fromImage(std::move(image));
}

Face DigitFace(int digit) { return static_cast<Face>(static_cast<int>(Face::Digit0) + std::clamp(digit, 0, 9)); }

QPixmap ButtonPicture(Face face, QSize size, ButtonState state) {
    if (size.isEmpty()) return {};
    QImage image = NewImage(size);
    const ButtonState look = state == ButtonState::Disabled ? ButtonState::Normal : state;
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF cap = CapRect(size, look);
        PaintCap(p, cap, look);
        PaintFace(p, face, cap, look);
    }
    if (state == ButtonState::Disabled) Desaturate(image);
    return QPixmap::fromImage(std::move(image));
}

QPixmap SplashPicture() {
    QImage image = NewImage(kSplashSize);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        PaintSplashBackground(p, image.rect());
        const QRectF cabinet(16, 10, 368, 250);
        PaintTvCabinet(p, cabinet);
        const QRectF screen(30, 22, 340, 196);
        PaintSplashScreen(p, screen);
        PaintTvControls(p, QRectF(cabinet.left() + 14, screen.bottom() + 4, cabinet.width() - 28,
                                  cabinet.bottom() - screen.bottom() - 8));
    }
    return QPixmap::fromImage(std::move(image));
}

QPixmap ProgramIcon(int size) {
    if (size <= 0) return {};
    QImage image = NewImage({size, size});
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 32.0;
        const QRectF cabinet(1.5 * unit, 4 * unit, 29 * unit, 23 * unit);
        p.setPen(Qt::NoPen);
        p.setBrush(Shade(0x1A1B1E));
        p.drawRoundedRect(QRectF(7 * unit, 26 * unit, 4 * unit, 3.5 * unit), unit, unit);
        p.drawRoundedRect(QRectF(21 * unit, 26 * unit, 4 * unit, 3.5 * unit), unit, unit);
        PaintIconCabinet(p, cabinet, unit);
        const QRectF screen = cabinet.adjusted(3 * unit, 3 * unit, -3 * unit, -3 * unit);
        PaintTeletextPage(p, screen);
        PaintGlass(p, screen);
    }
    return QPixmap::fromImage(std::move(image));
}

QLabel* BoldLabel(QWidget* parent, const char* name, const QString& text, int pixels, QColor colour, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);  // station and channel names come from outside
    QFont font("Arial");
    font.setBold(true);
    font.setPixelSize(pixels);
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    label->setGeometry(geometry);
    return label;
}

}  // namespace orv::skin
