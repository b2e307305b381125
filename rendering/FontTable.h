// Raster fonts in the Windows .FON format (an NE module of FNT 2.0/3.0 font
// resources) and the table of fonts the program has added, found by face name.
// The teletext faces travel inside the program as one such file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

struct BitmapFace {
    std::string Name;                 // "TTXCHAR"
    int Width = 12;                   // every glyph, pixels
    int Height = 15;                  // pixels (30 for the double-height faces)
    int Points = 8, Ascent = 8, InternalLeading = 3, Weight = 400, CharSet = 2, DefaultChar = 33;
    int Version = 0x300;              // 0x200 or 0x300 as read or to be written
    std::vector<std::uint16_t> Bits;  // 256 * Height rows, glyph by glyph; bit 15 of a row is its leftmost pixel
    // Height rows; none when Bits is too short for 256 glyphs (never for a face that was read).
    std::span<const std::uint16_t> Glyph(std::uint8_t code) const;
    bool Pixel(std::uint8_t code, int x, int y) const;
};

// Parses a .FON (NE) file: its FNT fonts in resource order. None, with a reason, when the bytes are
// not such a file. Never reads out of bounds, whatever the bytes (it is fed hostile files in tests).
// Only fixed-pitch raster fonts up to 16 pixels wide are taken; codes outside a font's range are blank.
std::optional<std::vector<BitmapFace>> ReadFonFile(std::span<const std::uint8_t> file, std::string* error = nullptr);

// Writes a .FON holding the faces in order (FNT 2.0 or 3.0 per face.Version; a face too big for the
// 64 KB of a 2.0 font is written as 3.0). Widths are clamped to 1-16 and heights to what ReadFonFile
// takes; rows missing from a short Bits are blank.
std::vector<std::uint8_t> WriteFonFile(std::span<const BitmapFace> faces, std::string_view description);

// The fonts the program has added, by face name (compared without regard to ASCII case).
class FontTable {
public:
    int AddFontResource(const std::string& path);        // number of faces added; 0 when unreadable or not a font file
    int AddFontMemory(std::span<const std::uint8_t> file, const std::string& sourceName);
    bool RemoveFontResource(const std::string& path);    // removes the faces added from that source; false when none
    // The face added last under that name. It stays valid until its source is removed.
    const BitmapFace* Find(std::string_view faceName) const;

private:
    struct Entry {
        std::string Source;
        std::unique_ptr<const BitmapFace> Face;  // held apart so that Find's pointers survive later additions
    };
    std::vector<Entry> entries_;
};

// The program's font resource "TTX_FONT" of type "TELETEXT": the generated ORVTTX.FON, embedded.
std::span<const std::uint8_t> TeletextFontResource();

}  // namespace orv
