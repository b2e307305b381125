#include "rendering/VTX_TEXT_DISPLAY.h"

#include <algorithm>

#include "rendering/PageCharacters.h"

namespace orv {

namespace {

// The letters of the set each line starts in and of the one ESC switches to
// (none: ESC does nothing), and what X/26 placed.
struct LineSets {
    const std::array<char16_t, 128>* Primary;
    const std::array<char16_t, 128>* Second = nullptr;
    const PageCharacters* Chars = nullptr;
    const std::array<char16_t, 128>& Current(const TextCellState& s) const {
        return s.SecondSet && Second ? *Second : *Primary;
    }
};

LineSets SetsOf(const PageCharacters& chars) {
    return {&G0Table(chars.Primary()), chars.Second() ? &G0Table(*chars.Second()) : nullptr, &chars};
}

inline char16_t ConvertCell(TextCellState& s, const LineSets& sets, const PlacedChar* placed, std::uint8_t b) {
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

    char16_t result;
    if (s.Conceal) {
        result = ' ';
        s.Conceal = false;
    } else if (placed && placed->From != PlacedChar::None) {
        result = sets.Chars->Unicode(*placed);
    } else if (s.Mosaic) {
        result = BlastThroughChar(d);  // capitals blast through a mosaic run as letters
    } else if (d == 0x20) {
        result = ' ';
    } else {
        result = d < 0x80 ? sets.Current(s)[d] : d;
    }

    // Set-after: the attribute takes effect from the next cell on.
    if (b < 0x20) {
        if (b <= 0x07) s.Mosaic = false;
        else if (b >= 0x10 && b <= 0x17) s.Mosaic = true;
        else if (b == 0x18) s.Conceal = true;
        else if (b == 0x19) s.Separated = false;
        else if (b == 0x1A) s.Separated = true;
        else if (b == 0x1B && sets.Second) s.SecondSet = !s.SecondSet;
        else if (b == 0x1E) s.Hold = true;
        else if (b == 0x1F) s.Hold = false;
    }
    return result;
}

// One line of text cells, from column first on.
void ConvertRow(const tPageImage& page, const PageCharacters& chars, int row, int first, char16_t* out) {
    TextCellState state;
    const LineSets sets = SetsOf(chars);
    const bool placed = chars.AnyPlaced();
    const auto& cells = page.Rows[static_cast<std::size_t>(row)];
    for (int k = first; k < kTextColumns; ++k) {
        const std::uint8_t b = cells[static_cast<std::size_t>(k)];
        // Most cells are letters of alpha mode: straight from the set's letters.
        if (b >= 0x20 && b < 0x80 && !state.Mosaic && !state.Conceal && !placed) {
            state.HeldChar = b;
            *out++ = sets.Current(state)[b];
            continue;
        }
        *out++ = ConvertCell(state, sets, placed ? &chars.At(row, k) : nullptr, b);
    }
}

}  // namespace

char16_t TextCell(TextCellState& state, bool reset, std::uint8_t option, std::uint8_t code) {
    if (reset) {
        state = TextCellState{};
        return ' ';
    }
    return ConvertCell(state, LineSets{&G0Table(NationalOptionSet(option))}, nullptr, code);
}

void PageTextRows(const tPageImage& page, const PageEnhancements* enhancements, PageTextCells& cells) {
    const PageCharacters chars(page, enhancements);
    char16_t* out = cells.data();
    std::fill_n(out, kHeaderBlankColumns, u' ');
    ConvertRow(page, chars, 0, kHeaderBlankColumns, out + kHeaderBlankColumns);
    for (int r = 1; r < kTextRows; ++r) ConvertRow(page, chars, r, 0, out + r * kTextColumns);
}

std::u16string PageText(const tPageImage& page, const PageEnhancements* enhancements) {
    PageTextCells cells;
    PageTextRows(page, enhancements, cells);
    std::u16string text;
    text.reserve(kPageTextLength);
    for (int r = 0; r < kTextRows; ++r) text.append(cells.data() + r * kTextColumns, kTextColumns).append(u"\r\n", 2);
    return text;
}

std::u16string PageHeaderText(const tPageImage& page, const PageEnhancements* enhancements) {
    const PageCharacters chars(page, enhancements);
    std::u16string line(kTextColumns, u' ');
    ConvertRow(page, chars, 0, kHeaderBlankColumns, line.data() + kHeaderBlankColumns);
    return line;
}

CodePage PageTextCodePage(const tPageImage& page, const PageEnhancements* enhancements) {
    return TextCodePageOf(PageCharacters(page, enhancements).Primary());
}

}  // namespace orv
