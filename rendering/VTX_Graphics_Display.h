// The graphics view of a page: draws the 40 x 25 cells with colours, mosaics,
// hold, conceal and double height on a canvas, writes into the header line,
// frames a search hit and turns a click on the page into a page number or a
// web address. Runs on the window thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"
#include "rendering/Canvas.h"
#include "rendering/PageCharacters.h"
#include "rendering/VTX_Languages.h"

namespace orv {

inline constexpr int kCellWidth = 12;
inline constexpr int kCellHeight = 15;
inline constexpr ColorRef kKeyColour = 0xFF00FF;        // the TV picture shows through it
inline constexpr ColorRef kSearchFrameColour = 0x0000FF;  // red

// The eight teletext colours, Windows values, by attribute code & 7.
inline constexpr std::array<ColorRef, 8> kTeletextColours = {
    0x000000, 0x0000FF, 0x008000, 0x00FFFF, 0xFF0000, 0xF001F0, 0xFFFF00, 0xFFFFFF};

// String-table message 65316.
inline constexpr std::string_view kSearchPageMessage = "Search page %s...%s";

// Attribute state of the drawing; reset at the start of every row.
struct CellState {
    bool Mosaic = false;
    bool Separated = false;
    bool DoubleHeight = false;
    bool Conceal = false;
    bool Hold = false;
    std::uint8_t HeldChar = 0x20;
    bool SecondSet = false;  // ESC switched to the page's second G0 set
};

class GraphicsRenderer {
public:
    FontFaces& Faces() { return faces_; }
    void SelectFontSet(int nationalFont) { faces_.SelectFontSet(nationalFont); }

    // Rows 0-24 (only row 0 from column 11 when headerOnly). The surface is not
    // cleared first; every drawn cell paints its own background. With
    // enhancements (Level 1.5) the page's character sets and the characters
    // its X/26 packets place are drawn; without, the page is level 1.
    void DrawPage(Canvas& canvas, const tPageImage& page, bool headerOnly, bool mixMode) {
        DrawPage(canvas, page, nullptr, headerOnly, mixMode);
    }
    void DrawPage(Canvas& canvas, const tPageImage& page, const PageEnhancements* enhancements, bool headerOnly,
                  bool mixMode);
    // One cell at (x, y); with reset only the state is reset.
    void DrawCell(Canvas& canvas, bool reset, int x, int y, std::uint8_t option, std::uint8_t code, bool mixMode);

    // Frames a search hit (column as the search reports it, the true column minus one).
    void FrameSearchHit(Canvas& canvas, int row, int column, int length);
    // "Search page 123...1A4" at the top left.
    void DrawWaitingHeader(Canvas& canvas, int wantedPage, std::string_view arriving, bool mixMode);
    void DrawHeaderText(Canvas& canvas, std::string_view text, bool mixMode);
    // "%.03x" of the page and eight spaces: header columns 0-10.
    void DrawHeaderPageNumber(Canvas& canvas, int page, bool mixMode);
    // A header band outlined in black with the text from column 3.
    void DrawHeaderMessage(Canvas& canvas, std::string_view text, bool mixMode);
    bool PreparePageCanvas(Canvas* canvas);

    // A click at (x, y) of the paint box: 0 nothing, -1 a web address (link
    // set), else a page number as three hex digits (0x123 for "123").
    int HitTest(const tPageImage& page, int x, int y, std::string& link) const;

    const CellState& State() const { return state_; }

private:
    // Where a cell stands on a page with enhancements (chars is null for level 1).
    struct CellPlace {
        const PageCharacters* Chars = nullptr;
        int Row = 0, Column = 0;
    };
    void DrawPageCell(Canvas& canvas, int x, int y, std::uint8_t option, std::uint8_t code, bool mixMode,
                      const CellPlace& place);
    // The glyph of an alphanumeric character, and of what X/26 placed.
    void SelectCharGlyph(Canvas& canvas, const CellPlace& place, std::uint8_t option, std::uint8_t d, char& glyph);
    bool DrawPlaced(Canvas& canvas, int x, int y, const CellPlace& place, ColorRef background);
    void HeaderStyle(Canvas& canvas);

    FontFaces faces_;
    CellState state_;
};

}  // namespace orv
