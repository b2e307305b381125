// The six teletext faces, made from the Latin and Cyrillic drawings: the character faces, the
// mosaic face (by its bit rule, with the Latin capitals for blast-through) and the double-height
// version of each.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rendering/FontTable.h"
#include "tools/fontgen/GlyphSource.h"

namespace orv::fontgen {

// The module description of the font file, as Windows font files carry it.
inline constexpr std::string_view kTeletextFontDescription = "FONTRES 100,96,96 : ORV Teletext";

// In the order the font file holds them.
inline constexpr std::array<std::string_view, 6> kTeletextFaceNames = {"TTXCHAR", "DTTXCHAR", "TTXGRAF",
                                                                       "DTTXGRAF", "RUSCHAR",  "DRUSCHAR"};

// The cells each drawing file may give: the basic set 0x20-0x7F and the national rows, positions
// 0x0-0xC of 0x80-0xE0 for the Latin face and of 0x90-0xB0 for the Cyrillic one.
bool IsLatinCell(std::uint8_t cell);
bool IsCyrillicCell(std::uint8_t cell);

// "FILE:LINE: what" for the first cell a file may not give (or a space with ink, or a copy outside
// the Cyrillic drawings or of no Latin cell); none when both are fine.
std::optional<std::string> CheckSources(const GlyphSource& latin, const GlyphSource& cyrillic);

BitmapFace LatinFace(const GlyphSource& latin);
// Its own cells, copies resolved, and the Latin national rows 1, 5, 6 and 7.
BitmapFace CyrillicFace(const GlyphSource& cyrillic, const GlyphSource& latin);
BitmapFace MosaicFace(const BitmapFace& latinFace);
// "D" + name, every pixel row twice.
BitmapFace DoubleHeight(const BitmapFace& face);

// The six faces in kTeletextFaceNames order; none, with CheckSources' reason, when the drawings are at fault.
std::optional<std::vector<BitmapFace>> BuildTeletextFaces(const GlyphSource& latin, const GlyphSource& cyrillic,
                                                          std::string* error);

}  // namespace orv::fontgen
