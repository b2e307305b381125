// The few characters the simulated card's picture writes (digits, "AV", "S",
// the clock's ":" and "."), as 5 x 7 cells: one byte a row, bit 4 the left
// column.
#pragma once

#include <array>
#include <cstdint>

namespace orv {

inline constexpr int kTinyGlyphWidth = 5;
inline constexpr int kTinyGlyphHeight = 7;
inline constexpr int kTinyAdvance = kTinyGlyphWidth + 1;  // one empty column between characters

using TinyGlyph = std::array<std::uint8_t, kTinyGlyphHeight>;

// The glyph of c; nullptr for a character the font lacks (drawn as a gap).
inline const TinyGlyph* FindTinyGlyph(char c) {
    static constexpr TinyGlyph kDigits[10] = {
        {0b01110, 0b10001, 0b10011, 0b10101, 0b11001, 0b10001, 0b01110},
        {0b00100, 0b01100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110},
        {0b01110, 0b10001, 0b00001, 0b00010, 0b00100, 0b01000, 0b11111},
        {0b11111, 0b00010, 0b00100, 0b00010, 0b00001, 0b10001, 0b01110},
        {0b00010, 0b00110, 0b01010, 0b10010, 0b11111, 0b00010, 0b00010},
        {0b11111, 0b10000, 0b11110, 0b00001, 0b00001, 0b10001, 0b01110},
        {0b00110, 0b01000, 0b10000, 0b11110, 0b10001, 0b10001, 0b01110},
        {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b01000, 0b01000},
        {0b01110, 0b10001, 0b10001, 0b01110, 0b10001, 0b10001, 0b01110},
        {0b01110, 0b10001, 0b10001, 0b01111, 0b00001, 0b00010, 0b01100},
    };
    static constexpr TinyGlyph kA = {0b01110, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001, 0b10001};
    static constexpr TinyGlyph kV = {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01010, 0b00100};
    static constexpr TinyGlyph kS = {0b01111, 0b10000, 0b10000, 0b01110, 0b00001, 0b00001, 0b11110};
    static constexpr TinyGlyph kColon = {0, 0b01100, 0b01100, 0, 0b01100, 0b01100, 0};
    static constexpr TinyGlyph kDot = {0, 0, 0, 0, 0, 0b01100, 0b01100};
    if (c >= '0' && c <= '9') return &kDigits[c - '0'];
    switch (c) {
        case 'A': return &kA;
        case 'V': return &kV;
        case 'S': return &kS;
        case ':': return &kColon;
        case '.': return &kDot;
        default: return nullptr;
    }
}

}  // namespace orv
