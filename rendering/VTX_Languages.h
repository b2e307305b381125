// National character subsets: page characters to glyph codes of the teletext
// faces and to single-byte text characters, and the choice of face family.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/TextView.h"

namespace orv {

// The thirteen national positions, in order (position 1 to 13).
inline constexpr std::string_view NationalPositions = "#$@[\\]^_`{|}~";

// Text replacements per position; Windows-1252 and Windows-1250 bytes.
inline constexpr std::array<std::uint8_t, 13> GermanTextTable = {
    0x23, 0x24, 0xA7, 0xC4, 0xD6, 0xDC, 0x5E, 0x5F, 0xB0, 0xE4, 0xF6, 0xFC, 0xDF};
inline constexpr std::array<std::uint8_t, 13> CzechTextTable = {
    0x23, 0xF9, 0xE8, 0x9D, 0x9E, 0xFD, 0xED, 0xF8, 0xE9, 0xE1, 0xEC, 0xFA, 0x9A};

inline constexpr int kNationalOptionCount = 8;

namespace detail {
// 1-based position of ch in NationalPositions, 0 when it has none.
constexpr int NationalPosition(std::uint8_t ch) {
    for (std::size_t i = 0; i < NationalPositions.size(); ++i)
        if (static_cast<std::uint8_t>(NationalPositions[i]) == ch) return static_cast<int>(i) + 1;
    return 0;
}

using CharMap = std::array<std::array<std::uint8_t, 256>, kNationalOptionCount>;

constexpr CharMap MakeGlyphMap() {
    CharMap map{};
    for (int option = 0; option < kNationalOptionCount; ++option)
        for (int ch = 0; ch < 256; ++ch) {
            const int p = NationalPosition(static_cast<std::uint8_t>(ch));
            map[option][ch] = static_cast<std::uint8_t>(
                option == 0 || p == 0 ? ch : p + 16 * option + 111);
        }
    return map;
}

constexpr CharMap MakeTextMap() {
    CharMap map{};
    for (int option = 0; option < kNationalOptionCount; ++option)
        for (int ch = 0; ch < 256; ++ch) {
            const int p = NationalPosition(static_cast<std::uint8_t>(ch));
            if (option == 0 || p == 0)
                map[option][ch] = static_cast<std::uint8_t>(ch);
            else
                map[option][ch] = option == 6 ? CzechTextTable[p - 1] : GermanTextTable[p - 1];
        }
    return map;
}
}  // namespace detail

inline constexpr detail::CharMap kNationalGlyphMap = detail::MakeGlyphMap();
inline constexpr detail::CharMap kNationalTextMap = detail::MakeTextMap();

// Glyph code in the current character face for a page character. Options
// above 7 cannot come from a header; they are treated as 0.
constexpr std::uint8_t NationalGlyph(std::uint8_t option, std::uint8_t ch) {
    return kNationalGlyphMap[option < kNationalOptionCount ? option : 0][ch];
}

// Text character (system code page) for a page character: German letters for
// every option but 6, Czech/Slovak ones for option 6, unchanged for option 0.
constexpr std::uint8_t NationalTextChar(std::uint8_t option, std::uint8_t ch) {
    return kNationalTextMap[option < kNationalOptionCount ? option : 0][ch];
}

// The code page of the text characters of a national option.
constexpr CodePage TextCodePage(std::uint8_t option) {
    return option == 6 ? CodePage::Windows1250 : CodePage::Windows1252;
}

// The four face names the graphics renderer draws with. Latin faces until
// SelectFontSet(1) switches the character faces to the Cyrillic family.
struct FontFaces {
    std::string CharFace = "TTXCHAR";
    std::string DoubleCharFace = "DTTXCHAR";
    std::string GrafFace = "TTXGRAF";
    std::string DoubleGrafFace = "DTTXGRAF";

    void SelectFontSet(int nationalFont) {
        if (nationalFont != 1) return;
        CharFace = "RUSCHAR";
        DoubleCharFace = "DRUSCHAR";
    }
};

}  // namespace orv
