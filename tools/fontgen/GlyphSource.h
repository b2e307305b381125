// The glyph drawings the teletext font is made from (data/font/*.txt): "glyph XX" followed by
// 15 rows of 12 "#"/"." characters, "copy XX FILE YY" (or a run, "copy XX-ZZ FILE YY"),
// comments and empty lines between.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace orv::fontgen {

inline constexpr int kCellWidth = 12;
inline constexpr int kCellHeight = 15;

// One drawn cell: a row per pixel line, bit 15 the leftmost pixel.
using Drawing = std::array<std::uint16_t, kCellHeight>;

// A cell that repeats a cell of a drawing file: "latin" names latin.txt.
struct CopyOf {
    std::string File;
    std::uint8_t Cell = 0;
    bool operator==(const CopyOf&) const = default;
};

struct GlyphSource {
    std::string FileName;                    // as given, for messages
    std::map<std::uint8_t, Drawing> Glyphs;  // by cell
    std::map<std::uint8_t, CopyOf> Copies;   // by cell
    std::map<std::uint8_t, int> Lines;       // where each cell was given, for messages

    // "latin.txt:12: " for the line that gave the cell.
    std::string Where(std::uint8_t cell) const;
};

// "4A": a cell as the files write it.
std::string CellName(std::uint8_t cell);

// None, with "FILE:LINE: what is wrong", when a line does not follow the format or a cell is given twice.
std::optional<GlyphSource> ParseGlyphSource(std::string_view text, std::string fileName, std::string* error);
// As ParseGlyphSource; none, with a reason, when the file cannot be read.
std::optional<GlyphSource> ReadGlyphSource(const std::string& path, std::string* error);

}  // namespace orv::fontgen
