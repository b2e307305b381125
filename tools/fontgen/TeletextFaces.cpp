#include "tools/fontgen/TeletextFaces.h"

#include <algorithm>

namespace orv::fontgen {
namespace {

constexpr std::uint8_t kSpace = 0x20;
constexpr std::uint8_t kLatinRows[] = {0x80, 0xC0, 0xD0, 0xE0};  // national rows 1, 5, 6, 7, shared with Cyrillic

// Blast-through capitals at 0x5B-0x5F: A, O and U umlaut, the caret and the long low bar.
constexpr std::uint8_t kBlastThroughTail[] = {0x83, 0x84, 0x85, 0x5E, 0x60};

BitmapFace NewFace(std::string_view name, int version) {
    BitmapFace face;
    face.Name = std::string(name);
    face.Width = kCellWidth;
    face.Height = kCellHeight;
    face.Points = 8;
    face.Ascent = 8;
    face.InternalLeading = 3;
    face.Weight = 400;
    face.CharSet = 2;
    face.DefaultChar = 33;
    face.Version = version;
    face.Bits.assign(256 * kCellHeight, 0);
    return face;
}

void SetCell(BitmapFace& face, std::uint8_t code, std::span<const std::uint16_t> rows) {
    if (code <= kSpace) return;  // these stay blank in every face
    std::copy(rows.begin(), rows.end(), face.Bits.begin() + code * face.Height);
}

void SetDrawn(BitmapFace& face, std::uint8_t code, const GlyphSource& source, std::uint8_t from) {
    if (const auto drawn = source.Glyphs.find(from); drawn != source.Glyphs.end()) SetCell(face, code, drawn->second);
}

bool InNationalRow(std::uint8_t cell, std::uint8_t firstRow, std::uint8_t lastRow) {
    return cell >= firstRow && cell <= lastRow + 0xF && (cell & 0xF) <= 0xC;
}

// Columns and bands of the six blocks of a mosaic cell, [begin, end).
struct Span {
    int Begin, End;
    bool Holds(int v) const { return v >= Begin && v < End; }
};
constexpr Span kContiguousColumns[] = {{0, 6}, {6, 12}};
constexpr Span kContiguousBands[] = {{0, 5}, {5, 10}, {10, 15}};
constexpr Span kSeparatedColumns[] = {{2, 6}, {8, 12}};
constexpr Span kSeparatedBands[] = {{0, 4}, {5, 10}, {11, 15}};
// The code bit of each block, by band, then left and right.
constexpr std::uint8_t kBlockBits[3][2] = {{0x01, 0x02}, {0x04, 0x08}, {0x10, 0x40}};

std::uint16_t MosaicRow(std::uint8_t bits, int y, bool separated) {
    const auto& columns = separated ? kSeparatedColumns : kContiguousColumns;
    const auto& bands = separated ? kSeparatedBands : kContiguousBands;
    std::uint32_t row = 0;
    for (int band = 0; band < 3; ++band)
        for (int side = 0; side < 2; ++side)
            if ((bits & kBlockBits[band][side]) && bands[band].Holds(y))
                for (int x = columns[side].Begin; x < columns[side].End; ++x) row |= 0x8000u >> x;
    return static_cast<std::uint16_t>(row);
}

void SetMosaic(BitmapFace& face, std::uint8_t code, std::uint8_t bits, bool separated) {
    std::array<std::uint16_t, kCellHeight> rows{};
    for (int y = 0; y < kCellHeight; ++y) rows[static_cast<std::size_t>(y)] = MosaicRow(bits, y, separated);
    SetCell(face, code, rows);
}

std::optional<std::string> CheckCells(const GlyphSource& source, bool (*allowed)(std::uint8_t), std::string_view face) {
    for (const auto& [cell, line] : source.Lines) {
        if (!allowed(cell))
            return source.Where(cell) + "cell " + CellName(cell) + " is not one of the " + std::string(face) + " cells";
        const auto drawn = source.Glyphs.find(cell);
        if (cell == kSpace && drawn != source.Glyphs.end() &&
            std::any_of(drawn->second.begin(), drawn->second.end(), [](std::uint16_t row) { return row != 0; }))
            return source.Where(cell) + "cell 20 is the space and stays blank";
    }
    return std::nullopt;
}

}  // namespace

bool IsLatinCell(std::uint8_t cell) { return (cell >= 0x20 && cell <= 0x7F) || InNationalRow(cell, 0x80, 0xE0); }

bool IsCyrillicCell(std::uint8_t cell) { return (cell >= 0x20 && cell <= 0x7F) || InNationalRow(cell, 0x90, 0xB0); }

std::optional<std::string> CheckSources(const GlyphSource& latin, const GlyphSource& cyrillic) {
    if (auto fault = CheckCells(latin, IsLatinCell, "Latin")) return fault;
    if (!latin.Copies.empty()) {
        const std::uint8_t cell = latin.Copies.begin()->first;
        return latin.Where(cell) + "copy lines belong to the Cyrillic drawings";
    }
    if (auto fault = CheckCells(cyrillic, IsCyrillicCell, "Cyrillic")) return fault;
    for (const auto& [cell, from] : cyrillic.Copies)
        if (!IsLatinCell(from))
            return cyrillic.Where(cell) + "latin " + CellName(from) + " is not a cell of the Latin face";
    return std::nullopt;
}

BitmapFace LatinFace(const GlyphSource& latin) {
    BitmapFace face = NewFace(kTeletextFaceNames[0], 0x300);
    for (const auto& [cell, drawing] : latin.Glyphs) SetCell(face, cell, drawing);
    return face;
}

BitmapFace CyrillicFace(const GlyphSource& cyrillic, const GlyphSource& latin) {
    BitmapFace face = NewFace(kTeletextFaceNames[4], 0x300);
    for (const std::uint8_t row : kLatinRows)
        for (int position = 0; position <= 0xC; ++position) {
            const auto cell = static_cast<std::uint8_t>(row + position);
            SetDrawn(face, cell, latin, cell);
        }
    for (const auto& [cell, drawing] : cyrillic.Glyphs) SetCell(face, cell, drawing);
    for (const auto& [cell, from] : cyrillic.Copies) SetDrawn(face, cell, latin, from);
    return face;
}

BitmapFace MosaicFace(const BitmapFace& latinFace) {
    BitmapFace face = NewFace(kTeletextFaceNames[2], 0x200);
    for (int code = 0x20; code < 0x80; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        if (code >= 0x40 && code < 0x60) {
            const std::uint8_t from = code <= 0x5A ? c : kBlastThroughTail[code - 0x5B];
            SetCell(face, c, latinFace.Glyph(from));
            SetCell(face, static_cast<std::uint8_t>(c + 0x80), latinFace.Glyph(from));
        } else {
            SetMosaic(face, c, c, false);
            SetMosaic(face, static_cast<std::uint8_t>(c + 0x80), c, true);
        }
    }
    return face;
}

BitmapFace DoubleHeight(const BitmapFace& face) {
    BitmapFace twice = face;
    twice.Name = "D" + face.Name;
    twice.Height = 2 * face.Height;
    twice.Bits.clear();
    twice.Bits.reserve(2 * face.Bits.size());
    for (const std::uint16_t row : face.Bits) twice.Bits.insert(twice.Bits.end(), 2, row);
    return twice;
}

std::optional<std::vector<BitmapFace>> BuildTeletextFaces(const GlyphSource& latin, const GlyphSource& cyrillic,
                                                          std::string* error) {
    if (auto fault = CheckSources(latin, cyrillic)) {
        if (error) *error = std::move(*fault);
        return std::nullopt;
    }
    const BitmapFace character = LatinFace(latin);
    const BitmapFace mosaic = MosaicFace(character);
    const BitmapFace cyrillicFace = CyrillicFace(cyrillic, latin);
    return std::vector<BitmapFace>{character, DoubleHeight(character), mosaic,
                                   DoubleHeight(mosaic), cyrillicFace, DoubleHeight(cyrillicFace)};
}

}  // namespace orv::fontgen
