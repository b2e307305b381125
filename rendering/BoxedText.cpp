#include "rendering/BoxedText.h"

#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {

namespace {

constexpr std::uint8_t kEndBox = 0x0A;
constexpr std::uint8_t kStartBox = 0x0B;
constexpr std::uint8_t kNormalSize = 0x0C;
constexpr std::uint8_t kDoubleHeight = 0x0D;

}  // namespace

bool PageBoxes::Any() const {
    for (const auto& row : Cells)
        if (row.any()) return true;
    return false;
}

PageBoxes FindBoxes(const tPageImage& page) {
    PageBoxes boxes;
    std::bitset<40> coveredByRowAbove;
    for (int r = 1; r < kTextRows; ++r) {
        const auto& row = page.Rows[static_cast<std::size_t>(r)];
        std::bitset<40> tall;
        bool boxed = false, doubleHeight = false;
        for (int c = 0; c < kTextColumns; ++c) {
            const std::uint8_t b = row[static_cast<std::size_t>(c)];
            if (b == kDoubleHeight) doubleHeight = true;  // set-at
            if (b == kNormalSize) doubleHeight = false;
            const bool covered = coveredByRowAbove[static_cast<std::size_t>(c)];
            if (boxed && !covered) {
                boxes.Cells[static_cast<std::size_t>(r)].set(static_cast<std::size_t>(c));
                if (doubleHeight && r + 1 < kTextRows) boxes.Tall[static_cast<std::size_t>(r)].set(static_cast<std::size_t>(c));
            }
            if (doubleHeight && !covered) tall.set(static_cast<std::size_t>(c));
            if (b == kStartBox) boxed = true;  // set-after: from the next cell on
            if (b == kEndBox) boxed = false;
        }
        coveredByRowAbove = tall;
    }
    return boxes;
}

std::vector<std::u16string> BoxedLines(const tPageImage& page, const PageEnhancements* enhancements) {
    const PageBoxes boxes = FindBoxes(page);
    std::vector<std::u16string> lines;
    if (!boxes.Any()) return lines;
    PageTextCells cells;
    PageTextRows(page, enhancements, cells);
    for (int r = 1; r < kTextRows; ++r) {
        const auto& boxed = boxes.Cells[static_cast<std::size_t>(r)];
        if (boxed.none()) continue;
        std::u16string line;
        for (int c = 0; c < kTextColumns; ++c)
            line.push_back(boxed[static_cast<std::size_t>(c)] ? cells[static_cast<std::size_t>(r * kTextColumns + c)] : u' ');
        const auto first = line.find_first_not_of(u' ');
        if (first == std::u16string::npos) continue;
        lines.push_back(line.substr(first, line.find_last_not_of(u' ') - first + 1));
    }
    return lines;
}

}  // namespace orv
