#include "tools/fontgen/TeletextFaces.h"

#include <algorithm>

namespace orv::fontgen {
namespace {

constexpr std::uint8_t kSpace = 0x20;
// Longer chains of copies than this go round in a circle.
constexpr int kMaxCopyChain = 16;

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

const DrawingFile* FindFile(std::string_view name) {
    const auto file = std::find_if(kDrawingFiles.begin(), kDrawingFiles.end(),
                                   [&](const DrawingFile& f) { return f.Name == name; });
    return file == kDrawingFiles.end() ? nullptr : &*file;
}

bool HasInk(const Drawing& drawing) {
    return std::any_of(drawing.begin(), drawing.end(), [](std::uint16_t row) { return row != 0; });
}

std::optional<std::string> CheckGlyph(const GlyphSource& source, std::uint8_t cell, const Drawing& drawing) {
    if (cell == kSpace && HasInk(drawing)) return source.Where(cell) + "cell 20 is the space and stays blank";
    if (cell != kSpace && !HasInk(drawing))
        return source.Where(cell) + "glyph " + CellName(cell) + " has no ink; leave a blank cell out";
    return std::nullopt;
}

std::optional<std::string> CheckCopy(const Drawings& drawings, const GlyphSource& source, std::uint8_t cell,
                                     const CopyOf& copy) {
    const std::string what = source.Where(cell) + "copy " + CellName(cell) + ": ";
    const DrawingFile* file = FindFile(copy.File);
    const auto from = drawings.find(copy.File);
    if (!file || from == drawings.end()) return what + "there is no drawing file \"" + copy.File + "\"";
    if (!file->MayGive(copy.Cell))
        return what + "cell " + CellName(copy.Cell) + " is not one of the " + copy.File + " cells";
    if (!from->second.Lines.count(copy.Cell))
        return what + copy.File + " does not give cell " + CellName(copy.Cell) + ", which is blank";
    return std::nullopt;
}

std::optional<std::string> CheckFile(const Drawings& drawings, const DrawingFile& file, const GlyphSource& source) {
    for (const auto& [cell, line] : source.Lines)
        if (!file.MayGive(cell))
            return source.Where(cell) + "cell " + CellName(cell) + " is not one of the " + std::string(file.Name) +
                   " cells";
    for (const auto& [cell, drawing] : source.Glyphs)
        if (auto fault = CheckGlyph(source, cell, drawing)) return fault;
    for (const auto& [cell, copy] : source.Copies)
        if (auto fault = CheckCopy(drawings, source, cell, copy)) return fault;
    return std::nullopt;
}

}  // namespace

std::vector<std::string> TeletextFaceNames() {
    std::vector<std::string> names;
    for (const FaceEntry& face : kTeletextFaces) {
        names.emplace_back(face.Name);
        names.push_back("D" + std::string(face.Name));
    }
    return names;
}

std::optional<std::string> CheckDrawings(const Drawings& drawings) {
    for (const DrawingFile& file : kDrawingFiles) {
        const auto source = drawings.find(file.Name);
        if (source == drawings.end()) return std::string(file.Name) + ".txt: the drawings are missing";
        if (auto fault = CheckFile(drawings, file, source->second)) return fault;
    }
    // Every copy leads to a cell that is there; only a circle can keep one from a drawing now.
    for (const auto& [name, source] : drawings)
        for (const auto& [cell, copy] : source.Copies)
            if (!Resolve(drawings, name, cell))
                return source.Where(cell) + "copy " + CellName(cell) + ": the copies go round in a circle";
    return std::nullopt;
}

std::optional<Drawing> Resolve(const Drawings& drawings, std::string_view file, std::uint8_t cell) {
    for (int step = 0; step <= kMaxCopyChain; ++step) {
        const auto source = drawings.find(file);
        if (source == drawings.end()) return std::nullopt;
        if (const auto drawn = source->second.Glyphs.find(cell); drawn != source->second.Glyphs.end())
            return drawn->second;
        const auto copy = source->second.Copies.find(cell);
        if (copy == source->second.Copies.end()) return std::nullopt;
        file = copy->second.File;
        cell = copy->second.Cell;
    }
    return std::nullopt;
}

BitmapFace CharacterFace(std::string_view name, const Drawings& drawings, std::string_view file) {
    BitmapFace face = NewFace(name, 0x300);
    const auto source = drawings.find(file);
    if (source == drawings.end()) return face;
    for (const auto& [cell, line] : source->second.Lines)
        if (const auto drawing = Resolve(drawings, file, cell)) SetCell(face, cell, *drawing);
    return face;
}

// FNT 2.0, as the mosaic face has always been written.
BitmapFace MosaicFace(std::string_view name, const BitmapFace& capitals) {
    BitmapFace face = NewFace(name, 0x200);
    for (int code = 0x20; code < 0x80; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        if (code >= 0x40 && code < 0x60) {
            const std::uint8_t from = code <= 0x5A ? c : kBlastThroughTail[code - 0x5B];
            SetCell(face, c, capitals.Glyph(from));
            SetCell(face, static_cast<std::uint8_t>(c + 0x80), capitals.Glyph(from));
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

std::optional<std::vector<BitmapFace>> BuildTeletextFaces(const Drawings& drawings, std::string* error) {
    if (auto fault = CheckDrawings(drawings)) {
        if (error) *error = std::move(*fault);
        return std::nullopt;
    }
    std::vector<BitmapFace> faces;
    for (const FaceEntry& entry : kTeletextFaces) {
        BitmapFace face = CharacterFace(entry.Name, drawings, entry.Drawings);
        if (entry.Kind == FaceKind::Mosaics) face = MosaicFace(entry.Name, face);
        BitmapFace twin = DoubleHeight(face);
        faces.push_back(std::move(face));
        faces.push_back(std::move(twin));
    }
    return faces;
}

}  // namespace orv::fontgen
