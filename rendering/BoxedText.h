// The boxed parts of a page: what a TV set shows of a subtitle or newsflash
// page over the picture. Start Box (0x0B) and End Box (0x0A) are set-after
// codes, sent in pairs: a box begins with the cell after a Start Box and ends
// with the cell of an End Box, so a pair leaves one boxed space on each side.
// A row without Start Box has no box. The caption window draws the boxed
// cells; the SubRip writer takes their text.
#pragma once

#include <array>
#include <bitset>
#include <string>
#include <vector>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"

namespace orv {

struct PageBoxes {
    std::array<std::bitset<40>, kTextRows> Cells{};  // rows 1-24 (row 0 has no box)
    // The boxed cells drawn double height: they cover the same cells of the row below.
    std::array<std::bitset<40>, kTextRows> Tall{};
    bool Any() const;
};

PageBoxes FindBoxes(const tPageImage& page);

// The text of the boxed cells, a line for each row that has any, top to
// bottom, blanks trimmed at both ends; the lower half of a double-height row
// brings no line of its own.
std::vector<std::u16string> BoxedLines(const tPageImage& page, const PageEnhancements* enhancements = nullptr);

}  // namespace orv
