#include "rendering/VTX_TEXT_DISPLAY.h"

#include <algorithm>

#include "rendering/VTX_Languages.h"

namespace orv {

namespace {

inline char ConvertCell(TextCellState& s, const std::uint8_t* textMap, std::uint8_t b) {
    // Set-at: which code the cell shows.
    std::uint8_t d;
    if (b >= 0x20) {
        s.HeldChar = b;
        d = b;
    } else if (b >= 0x10 && b <= 0x17) {
        d = s.Hold ? s.HeldChar : 0x20;
    } else {
        if (b == 0x18) s.Conceal = true;
        if (b == 0x1E) s.Hold = true;
        d = 0x20;
    }

    char result;
    if (s.Conceal) {
        result = ' ';
        s.Conceal = false;
    } else if (s.Mosaic || d == 0x20) {
        result = ' ';
    } else {
        result = static_cast<char>(textMap[d]);
    }

    // Set-after: the attribute takes effect from the next cell on.
    if (b < 0x20) {
        if (b <= 0x07) s.Mosaic = false;
        else if (b >= 0x10 && b <= 0x17) s.Mosaic = true;
        else if (b == 0x18) s.Conceal = true;
        else if (b == 0x19) s.Separated = false;
        else if (b == 0x1A) s.Separated = true;
        else if (b == 0x1E) s.Hold = true;
        else if (b == 0x1F) s.Hold = false;
    }
    return result;
}

}  // namespace

char TextCell(TextCellState& state, bool reset, std::uint8_t option, std::uint8_t code) {
    if (reset) {
        state = TextCellState{};
        return ' ';
    }
    return ConvertCell(state, kNationalTextMap[option < kNationalOptionCount ? option : 0].data(),
                       code);
}

void PageTextRows(const tPageImage& page, PageTextCells& cells) {
    const std::uint8_t option = page.NationalOption < kNationalOptionCount ? page.NationalOption : 0;
    const std::uint8_t* textMap = kNationalTextMap[option].data();
    char* out = cells.data();
    for (int r = 0; r < kTextRows; ++r) {
        TextCellState state;
        const auto& row = page.Rows[r];
        int k = 0;
        if (r == 0)
            for (; k < kHeaderBlankColumns; ++k) *out++ = ' ';
        for (; k < kTextColumns; ++k) *out++ = ConvertCell(state, textMap, row[k]);
    }
}

std::string PageText(const tPageImage& page) {
    PageTextCells cells;
    PageTextRows(page, cells);
    std::string text(kPageTextLength, ' ');
    char* out = text.data();
    for (int r = 0; r < kTextRows; ++r) {
        std::copy_n(cells.data() + r * kTextColumns, kTextColumns, out);
        out[kTextColumns] = '\r';
        out[kTextColumns + 1] = '\n';
        out += kTextLineLength;
    }
    return text;
}

}  // namespace orv
