// A drawing surface over a 32-bit pixel buffer with the state the page
// renderer works with: a current face (by name, from the font table), font
// height, foreground and background colour, a clip rectangle and a one-pixel
// black pen. Text output is opaque: every glyph paints its whole cell.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class FontTable;
struct BitmapFace;

// A Windows colour value, 0x00BBGGRR.
using ColorRef = std::uint32_t;

// Right and bottom are exclusive.
struct Rect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const Rect&) const = default;
};

class Canvas {
public:
    Canvas(int width, int height, const FontTable& fonts);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Pixels row by row from the top, each 0xFFRRGGBB (what a 32-bit RGB image
    // of the window system takes as it is).
    std::span<const std::uint32_t> Pixels() const { return pixels_; }
    std::span<std::uint32_t> Pixels() { return pixels_; }
    ColorRef ColourAt(int x, int y) const;

    // Selects a face by name; unknown names leave no face (text draws nothing).
    void SetFace(std::string_view name);
    const std::string& Face() const { return faceName_; }
    void SetFontHeight(int height) { fontHeight_ = height; }
    int FontHeight() const { return fontHeight_; }
    void SetForeground(ColorRef colour) { foreground_ = colour; }
    ColorRef Foreground() const { return foreground_; }
    void SetBackground(ColorRef colour) { background_ = colour; }
    ColorRef Background() const { return background_; }
    void SetClip(Rect clip);
    Rect Clip() const { return clip_; }

    // Glyphs of the current face at (x, y), opaque, in the current colours.
    // The glyph height is the face's own (a double-height face draws 30 rows).
    void TextOut(int x, int y, std::string_view glyphs);
    // The same on another background for this output only.
    void TextOut(int x, int y, std::string_view glyphs, ColorRef background);
    // Only the ink of one glyph, in the foreground colour: an overlay such
    // as a diacritical mark over a letter already drawn.
    void InkOut(int x, int y, std::uint8_t glyph);
    // Absolute measures of the current face: the width of "W" and the height.
    int TextWidth(std::string_view text) const;
    int AbsoluteFontHeight() const;

    void FillRect(Rect rect, ColorRef colour);
    // A one-pixel frame just inside the rectangle.
    void FrameRect(Rect rect, ColorRef colour);
    // Filled with the background colour, outlined with the black pen.
    void Rectangle(Rect rect);

private:
    Rect Clipped(Rect rect) const;
    void PutPixel(int x, int y, std::uint32_t pixel) {
        pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = pixel;
    }

    int width_;
    int height_;
    std::vector<std::uint32_t> pixels_;
    const FontTable& fonts_;
    const BitmapFace* face_ = nullptr;
    std::string faceName_;
    // The faces looked up last: a page with enhancements changes faces from
    // cell to cell, and a lookup in the font table compares every name.
    struct KnownFace {
        std::string Name;
        const BitmapFace* Face = nullptr;
    };
    std::array<KnownFace, 8> knownFaces_;
    std::size_t nextKnown_ = 0;
    int fontHeight_ = 15;
    ColorRef foreground_ = 0xFFFFFF;
    ColorRef background_ = 0x000000;
    Rect clip_;
};

// 0x00BBGGRR to 0xFFRRGGBB and back.
constexpr std::uint32_t PixelOf(ColorRef c) {
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr ColorRef ColourOf(std::uint32_t pixel) {
    return ((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16);
}

}  // namespace orv
