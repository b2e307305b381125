// A picture of a face for looking at its drawings: the 256 cells in 16 rows of 16, each pixel
// drawn as a square, the cells parted by grey lines. Written as a binary PGM (P5) file.
#pragma once

#include <cstdint>
#include <vector>

#include "rendering/FontTable.h"

namespace orv::fontgen {

std::vector<std::uint8_t> GlyphSheetPgm(const BitmapFace& face, int scale);

}  // namespace orv::fontgen
