#include "rendering/VTX_Graphics_Display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orv {

namespace {

bool IsDigit(std::uint8_t b) { return b >= '0' && b <= '9'; }

// The marks that sit above a letter (all but dot below, cedilla, low line and ogonek).
bool IsMarkAbove(int mark) { return mark != 0 && mark != 9 && mark != 11 && mark != 12 && mark != 14; }
constexpr std::uint8_t kDotlessI = 0x75;  // in the Latin G2 set

// Nearest integer, halves to even.
int RoundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace

void GraphicsRenderer::DrawCell(Canvas& canvas, bool reset, int x, int y, std::uint8_t option, std::uint8_t b,
                                bool mixMode) {
    if (reset) {
        state_ = CellState{};
        return;
    }
    DrawPageCell(canvas, x, y, option, b, mixMode, CellPlace{});
}

void GraphicsRenderer::DrawPageCell(Canvas& canvas, int x, int y, std::uint8_t option, std::uint8_t b, bool mixMode,
                                    const CellPlace& place) {
    CellState& s = state_;
    // Set-at: what this cell shows, and the attributes that already apply to it.
    std::uint8_t d = 0x20;
    if (b >= 0x20) {
        s.HeldChar = b;
        d = b;
    } else if (b == 0x0C) {
        s.DoubleHeight = false;
    } else if (b == 0x0D) {
        s.DoubleHeight = true;
    } else if (b >= 0x10 && b <= 0x17) {
        if (s.Hold) d = s.HeldChar;
    } else if (b == 0x18) {
        s.Conceal = true;
    } else if (b == 0x1C) {
        canvas.SetBackground(kTeletextColours[0]);
    } else if (b == 0x1D) {
        canvas.SetBackground(canvas.Foreground());
    } else if (b == 0x1E) {
        s.Hold = true;
    }

    // Draw.
    const ColorRef background = mixMode ? kKeyColour : canvas.Background();
    if (s.Conceal) {
        canvas.TextOut(x, y, " ", background);  // in whatever face the canvas has
        s.Conceal = false;
    } else if (!place.Chars || !DrawPlaced(canvas, x, y, place, background)) {
        char glyph;
        if (d == 0x20 || s.Mosaic) {
            canvas.SetFace(s.DoubleHeight ? (s.Mosaic ? faces_.DoubleGrafFace : faces_.DoubleCharFace)
                                          : (s.Mosaic ? faces_.GrafFace : faces_.CharFace));
            glyph = static_cast<char>(s.Mosaic && s.Separated ? (d + 0x80) & 0xFF : d);
        } else {
            SelectCharGlyph(canvas, place, option, d, glyph);
        }
        canvas.SetFontHeight(kCellHeight);
        canvas.TextOut(x, y, std::string_view(&glyph, 1), background);
    }

    // Set-after: attributes that apply from the next cell on. (Double height,
    // the background codes and hold were already set at their cell, and the
    // held character too; setting them again here would change nothing.)
    if (b <= 0x07) {
        canvas.SetForeground(kTeletextColours[b]);
        s.Mosaic = false;
    } else if (b >= 0x10 && b <= 0x17) {
        canvas.SetForeground(kTeletextColours[b - 0x10]);
        s.Mosaic = true;
    } else if (b == 0x18) {
        s.Conceal = true;  // hides exactly the one cell after the code too
    } else if (b == 0x19) {
        s.Separated = false;
    } else if (b == 0x1A) {
        s.Separated = true;
    } else if (b == 0x1B) {
        if (place.Chars && place.Chars->Second()) s.SecondSet = !s.SecondSet;
    } else if (b == 0x1F) {
        s.Hold = false;
    }
}

void GraphicsRenderer::SelectCharGlyph(Canvas& canvas, const CellPlace& place, std::uint8_t option, std::uint8_t d,
                                       char& glyph) {
    if (!place.Chars || !place.Chars->Designated()) {
        canvas.SetFace(state_.DoubleHeight ? faces_.DoubleCharFace : faces_.CharFace);
        glyph = static_cast<char>(NationalGlyph(option, d));
        return;
    }
    const CharacterSet& set = state_.SecondSet ? *place.Chars->Second() : place.Chars->Primary();
    const Glyph g = G0Glyph(set, d);
    canvas.SetFace(state_.DoubleHeight ? g.Face->Double : g.Face->Single);
    glyph = static_cast<char>(g.Code);
}

// A character X/26 placed here, drawn in the cell's colours and height (never
// as a mosaic); false when nothing was placed on the cell.
bool GraphicsRenderer::DrawPlaced(Canvas& canvas, int x, int y, const CellPlace& place, ColorRef background) {
    if (!place.Chars->AnyPlaced()) return false;
    const PlacedChar& placed = place.Chars->At(place.Row, place.Column);
    if (placed.From == PlacedChar::None) return false;
    const CharacterSet& set = place.Chars->Primary();
    const bool tall = state_.DoubleHeight;
    Glyph g;
    if (placed.From == PlacedChar::G2) {
        g = G2Glyph(set.G2, placed.Code);
    } else if (set.G0 == G0Set::Latin && placed.Code == 'i' && IsMarkAbove(placed.Mark)) {
        g = G2Glyph(G2Set::Latin, kDotlessI);  // an accent over an i takes the place of its dot
    } else {
        const std::uint8_t code = placed.Code == 0x2A && placed.Mark == 0 ? 0x40 : placed.Code;
        // Letters from the G0 set without national letters.
        g = G0Glyph(set.G0 == G0Set::Latin ? NationalOptionSet(0) : set, code);
    }
    canvas.SetFace(tall ? g.Face->Double : g.Face->Single);
    canvas.SetFontHeight(kCellHeight);
    const char glyph = static_cast<char>(g.Code);
    canvas.TextOut(x, y, std::string_view(&glyph, 1), background);
    if (placed.From == PlacedChar::G0 && placed.Mark) {
        const Glyph mark = MarkGlyph(placed.Mark, IsCapitalLetter(place.Chars->Unicode({PlacedChar::G0, placed.Code, 0})));
        canvas.SetFace(tall ? mark.Face->Double : mark.Face->Single);
        canvas.InkOut(x, y, mark.Code);
    }
    return true;
}

void GraphicsRenderer::DrawPage(Canvas& canvas, const tPageImage& page, const PageEnhancements* enhancements,
                                bool headerOnly, bool mixMode) {
    // Only pages with enhancements pay for working them out.
    std::optional<PageCharacters> chars;
    if (enhancements) chars.emplace(page, enhancements);
    CellPlace place;
    if (chars && (chars->Designated() || chars->AnyPlaced())) place.Chars = &*chars;

    canvas.SetFace(faces_.CharFace);
    canvas.SetForeground(kTeletextColours[7]);
    canvas.SetFontHeight(kCellHeight);
    canvas.SetBackground(kTeletextColours[0]);

    // Double height: cells under a tall glyph of the row above, and the cells
    // left of a double-height run, which the next row paints over in the run's
    // background colour.
    std::array<bool, 40> covered{};
    std::array<bool, 41> shadeLeft{};
    ColorRef shadeColour = kTeletextColours[0];
    const int h = canvas.AbsoluteFontHeight();
    const std::uint8_t option = page.NationalOption;

    const int lastRow = headerOnly ? 0 : kTextRows - 1;
    for (int i = 0; i <= lastRow; ++i) {
        DrawCell(canvas, true, 0, 0, 0, 0, mixMode);
        canvas.SetFontHeight(kCellHeight);
        canvas.SetForeground(kTeletextColours[7]);
        canvas.SetBackground(kTeletextColours[0]);
        bool rowDouble = false;
        for (int j = 0; j < 40; ++j) {
            // The header's first eleven cells are the window's own; a
            // suppressed header is not drawn at all.
            if (i == 0 && (j <= 10 || page.SuppressHeader)) continue;
            const std::uint8_t b = page.Rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            if (b == 0x0D) rowDouble = true;
            if (b == 0x0C) rowDouble = false;
            if (!covered[static_cast<std::size_t>(j)]) {
                if (shadeLeft[static_cast<std::size_t>(j)]) {
                    canvas.SetBackground(shadeColour);
                    canvas.SetForeground(shadeColour);
                }
                place.Row = i;
                place.Column = j;
                DrawPageCell(canvas, kCellWidth * j, h * i, option, b, mixMode, place);
            } else {
                rowDouble = false;
                for (int k = 1; k < j; ++k) shadeLeft[static_cast<std::size_t>(k)] = false;
            }
            if (rowDouble) {
                for (int k = 1; k < j; ++k) shadeLeft[static_cast<std::size_t>(k)] = true;
                shadeColour = canvas.Background();
                covered[static_cast<std::size_t>(j)] = true;
            } else {
                covered[static_cast<std::size_t>(j)] = false;
            }
        }
    }
    if (page.SuppressHeader) {
        const ColorRef saved = canvas.Background();
        canvas.SetBackground(mixMode ? kKeyColour : kTeletextColours[0]);
        canvas.Rectangle({0, 0, canvas.Clip().Right, h});
        canvas.SetBackground(saved);
    }
}

void GraphicsRenderer::FrameSearchHit(Canvas& canvas, int row, int column, int length) {
    if (row < 0) return;
    // The prepared cell, not the face the last drawn cell left selected (a
    // double-height face would double the rows).
    const int w = kCellWidth;
    const int h = kCellHeight;
    // Edges far outside the canvas are pulled in to just outside it, so that
    // no length a search reports can overflow the arithmetic.
    const auto x = [&](long long cells) {
        return static_cast<int>(std::clamp<long long>(cells * w, -1, canvas.Width() + 1));
    };
    const auto y = [&](long long cells) {
        return static_cast<int>(std::clamp<long long>(cells * h, -1, canvas.Height() + 1));
    };
    canvas.SetBackground(kSearchFrameColour);
    canvas.FrameRect({x(column + 1LL), y(row), x(column + 1LL + length), y(row + 1LL)}, kSearchFrameColour);
}

void GraphicsRenderer::HeaderStyle(Canvas& canvas) {
    canvas.SetFace(faces_.CharFace);
    canvas.SetForeground(kTeletextColours[7]);
    canvas.SetFontHeight(kCellHeight);
    canvas.SetBackground(kTeletextColours[0]);
}

void GraphicsRenderer::DrawHeaderText(Canvas& canvas, std::string_view text, bool mixMode) {
    HeaderStyle(canvas);
    canvas.TextOut(0, 0, text, mixMode ? kKeyColour : canvas.Background());
}

void GraphicsRenderer::DrawWaitingHeader(Canvas& canvas, int wantedPage, std::string_view arriving, bool mixMode) {
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, "%.3X", static_cast<unsigned>(wantedPage) & 0xFFFu);
    // The message's two "%s" in turn: the wanted page, the arriving one.
    std::string text;
    std::string_view rest = kSearchPageMessage;
    for (const std::string_view argument : {std::string_view(wanted), arriving}) {
        const auto at = rest.find("%s");
        text.append(rest.substr(0, at)).append(argument);
        rest.remove_prefix(at + 2);
    }
    text.append(rest);
    DrawHeaderText(canvas, text, mixMode);
}

void GraphicsRenderer::DrawHeaderPageNumber(Canvas& canvas, int page, bool mixMode) {
    char text[16];
    std::snprintf(text, sizeof text, "%.03X        ", static_cast<unsigned>(page) & 0xFFFu);
    DrawHeaderText(canvas, text, mixMode);
}

void GraphicsRenderer::DrawHeaderMessage(Canvas& canvas, std::string_view text, bool mixMode) {
    HeaderStyle(canvas);
    const int h = canvas.AbsoluteFontHeight();
    const int w = canvas.TextWidth("W");
    const ColorRef background = mixMode ? kKeyColour : canvas.Background();
    const ColorRef saved = canvas.Background();
    canvas.SetBackground(background);
    canvas.Rectangle({0, 0, canvas.Clip().Right, h});
    canvas.SetBackground(saved);
    canvas.TextOut(3 * w, 0, text, background);
}

bool GraphicsRenderer::PreparePageCanvas(Canvas* canvas) {
    if (!canvas) return false;
    canvas->SetFace(faces_.CharFace);
    canvas->SetFontHeight(kCellHeight);
    return true;
}

int GraphicsRenderer::HitTest(const tPageImage& page, int x, int y, std::string& link) const {
    link.clear();
    // The prepared cell, whatever face the last drawn cell left selected.
    const int w = kCellWidth;
    const int h = kCellHeight;
    const auto* area = &page.Rows[0][0];  // the 1200-byte row area
    constexpr int kArea = kRowCount * kRowLength;
    const auto byteAt = [&](int offset) -> int { return offset >= 0 && offset < kArea ? area[offset] : -1; };
    const auto digitAt = [&](int offset) { const int b = byteAt(offset); return b >= 0 && IsDigit(static_cast<std::uint8_t>(b)); };

    // The grid point nearest the pointer; the cell left of and above it is
    // examined. A number or an address never reaches into the row above or
    // below that cell: each row is a line of its own on the screen.
    const int col = RoundHalfEven(static_cast<double>(x) / w);
    const int row = RoundHalfEven(static_cast<double>(y) / h);
    const int idx = row * 40 + col;
    if (idx < 1 || idx > 1200) return 0;
    const int cell = idx - 1;
    const int rowStart = cell - cell % 40;
    const int rowEnd = rowStart + 40;

    int first = cell;
    while (first > rowStart && digitAt(first - 1)) --first;
    if (first + 2 < rowEnd && digitAt(first) && digitAt(first + 1) && digitAt(first + 2)) {
        const int result = (byteAt(first) - '0') * 256 + (byteAt(first + 1) - '0') * 16 + (byteAt(first + 2) - '0');
        if (result != 0) return result;
    }

    first = cell;
    while (first > rowStart && byteAt(first - 1) != ' ') --first;
    std::string word;
    for (int at = first; at < rowEnd && byteAt(at) != ' '; ++at) word.push_back(static_cast<char>(byteAt(at)));
    std::string upper = word;
    for (auto& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    if (upper.find("WWW") != std::string::npos || upper.find("HTTP:") != std::string::npos) {
        std::size_t begin = 0, end = word.size();
        while (begin < end && static_cast<unsigned char>(word[begin]) <= 0x20) ++begin;
        while (end > begin && static_cast<unsigned char>(word[end - 1]) <= 0x20) --end;
        link = word.substr(begin, end - begin);
        return -1;
    }
    return 0;
}

}  // namespace orv
