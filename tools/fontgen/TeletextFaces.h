// The teletext faces, made from the glyph drawings: a table of faces, each made from one drawing
// file (the mosaic face by its bit rule, with the Latin capitals for blast-through), and the
// double-height version of each.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rendering/FontTable.h"
#include "tools/fontgen/GlyphSource.h"

namespace orv::fontgen {

// The module description of the font file, as Windows font files carry it.
inline constexpr std::string_view kTeletextFontDescription = "FONTRES 100,96,96 : ORV Teletext";

// A character set at 0x20-0x7F.
constexpr bool IsBasicCell(std::uint8_t cell) { return cell >= 0x20 && cell <= 0x7F; }
// Positions 0x0-0xC (the 13 national characters) of the rows first, first + 0x10, ... last.
constexpr bool IsNationalCell(std::uint8_t cell, std::uint8_t first, std::uint8_t last) {
    return cell >= first && cell <= last + 0xF && (cell & 0xF) <= 0xC;
}
// The national rows 1-7 at 0x80-0xEC next to the basic set.
constexpr bool IsBasicOrNationalCell(std::uint8_t cell) {
    return IsBasicCell(cell) || IsNationalCell(cell, 0x80, 0xE0);
}
// The further Latin rows at 0x80-0xCC.
constexpr bool IsFurtherNationalCell(std::uint8_t cell) { return IsNationalCell(cell, 0x80, 0xC0); }
// The fifteen marks, for small letters at 0x41-0x4F and for capitals at 0x61-0x6F.
constexpr bool IsMarkCell(std::uint8_t cell) {
    return (cell >= 0x41 && cell <= 0x4F) || (cell >= 0x61 && cell <= 0x6F);
}

// A drawing file: its name in copies ("latin" for latin.txt) and the cells it may give.
struct DrawingFile {
    std::string_view Name;
    bool (*MayGive)(std::uint8_t cell);
};

inline constexpr std::array<DrawingFile, 11> kDrawingFiles = {{
    {"latin", IsBasicOrNationalCell},
    {"cyrillic", IsBasicOrNationalCell},
    {"latin-g2", IsBasicCell},
    {"cyrillic-g2", IsBasicCell},
    {"greek-g2", IsBasicCell},
    {"greek", IsBasicCell},
    {"cyrillic-serbian", IsBasicCell},
    {"cyrillic-ukrainian", IsBasicCell},
    {"latin-national", IsFurtherNationalCell},
    {"marks", IsMarkCell},
    {"hebrew", IsBasicCell},
}};

enum class FaceKind {
    Characters,  // the cells of its drawing file
    Mosaics,     // the block mosaics, with the capitals of its drawing file at 0x40-0x5F
};

struct FaceEntry {
    std::string_view Name;   // of the single-height face; its twin is "D" + Name
    std::string_view Drawings;
    FaceKind Kind = FaceKind::Characters;
};

// In the order the font file holds them, each followed by its double-height twin.
inline constexpr std::array<FaceEntry, 12> kTeletextFaces = {{
    {"TTXCHAR", "latin"},
    {"TTXGRAF", "latin", FaceKind::Mosaics},
    {"RUSCHAR", "cyrillic"},
    {"TTXG2", "latin-g2"},
    {"CYRG2", "cyrillic-g2"},
    {"GRKG2", "greek-g2"},
    {"GRKCHAR", "greek"},
    {"CYRCHAR1", "cyrillic-serbian"},
    {"CYRCHAR3", "cyrillic-ukrainian"},
    {"TTXLATX", "latin-national"},
    {"TTXMARKS", "marks"},
    {"HEBCHAR", "hebrew"},
}};

// Every face name in file order: "TTXCHAR", "DTTXCHAR", "TTXGRAF", ...
std::vector<std::string> TeletextFaceNames();

// The drawing files by name ("latin").
using Drawings = std::map<std::string, GlyphSource, std::less<>>;

// "FILE:LINE: what" for the first fault: a cell its file may not give, a space with ink, a drawing
// without ink, a copy of a file or cell that is not there or of copies that go round in a circle.
std::optional<std::string> CheckDrawings(const Drawings& drawings);

// The drawing a cell of a file comes to, copies followed; none for a cell the file does not give.
std::optional<Drawing> Resolve(const Drawings& drawings, std::string_view file, std::uint8_t cell);

BitmapFace CharacterFace(std::string_view name, const Drawings& drawings, std::string_view file);
BitmapFace MosaicFace(std::string_view name, const BitmapFace& capitals);
// "D" + name, every pixel row twice.
BitmapFace DoubleHeight(const BitmapFace& face);

// The faces in TeletextFaceNames order; none, with CheckDrawings' reason, when the drawings are at fault.
std::optional<std::vector<BitmapFace>> BuildTeletextFaces(const Drawings& drawings, std::string* error);

}  // namespace orv::fontgen
