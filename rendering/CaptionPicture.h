// What the caption window shows of a subtitle or newsflash page: only its
// boxed cells, drawn as the graphics view draws them (colours, double height,
// Level 1.5 letters), each run of them on a box of the background colour in
// force where the run starts. The rows that hold boxes are stacked from the
// bottom of the window up, without the empty rows between them, so that the
// last line always sits at the same place; the text keeps its columns and
// scales with the window's width (smaller only when the lines would not fit
// its height). No window system here: the window copies the pieces.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"
#include "rendering/Canvas.h"
#include "rendering/VTX_Graphics_Display.h"

namespace orv {

class FontTable;

inline constexpr int kPagePictureWidth = 40 * kCellWidth;   // 480
inline constexpr int kPagePictureHeight = kTextRows * kCellHeight;  // 375

// One run of boxed cells: where it is in the page picture, where it goes in
// the window, and the colour of the box behind it.
struct CaptionPiece {
    Rect Source;
    Rect Target;
    ColorRef Box = 0;
    bool operator==(const CaptionPiece&) const = default;
};

class CaptionPicture {
public:
    explicit CaptionPicture(const FontTable& fonts);

    // Draws the page's boxed cells. True when what the caption shows changed
    // (a transmission with the same text changes nothing).
    bool Take(const tPageImage& page, const PageEnhancements* enhancements, GraphicsRenderer& renderer);
    // Nothing shown any more; true when something was.
    bool Clear();
    bool Empty() const { return runs_.empty(); }

    // The page drawn; the pieces' sources are in it.
    const Canvas& Page() const { return canvas_; }
    // The pieces for a window of that size, in page order.
    std::vector<CaptionPiece> Layout(int width, int height) const;

private:
    struct Run {
        int Row = 0;
        int First = 0;   // first column
        int Count = 0;   // columns
        bool Tall = false;  // double height: reaches into the row below
        ColorRef Box = 0;
        bool operator==(const Run&) const = default;
    };
    static std::vector<Run> FindRuns(const tPageImage& page);
    std::vector<std::uint32_t> RunPixels(const std::vector<Run>& runs) const;

    Canvas canvas_;
    // The level-1 page last taken: the same bytes again need no drawing.
    std::array<tPageRow, kTextRows> rows_{};
    std::uint8_t option_ = 0xFF;
    std::vector<Run> runs_;
    std::vector<std::uint32_t> pixels_;  // the runs' pixels as last shown, to tell a change
};

}  // namespace orv
