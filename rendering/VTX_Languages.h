// National character subsets: page characters to glyph codes of the teletext
// faces and to the letters of the text form, and the choice of face family.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "rendering/CharacterSets.h"

namespace orv {

// The thirteen national positions, in order (position 1 to 13).
inline constexpr std::string_view NationalPositions = "#$@[\\]^_`{|}~";

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

}  // namespace detail

inline constexpr detail::CharMap kNationalGlyphMap = detail::MakeGlyphMap();

// Glyph code in the current character face for a page character. Options
// above 7 cannot come from a header; they are treated as 0.
constexpr std::uint8_t NationalGlyph(std::uint8_t option, std::uint8_t ch) {
    return kNationalGlyphMap[option < kNationalOptionCount ? option : 0][ch];
}

// The letter of the text form for a page character: the letter the Latin
// face draws for that option (English for option 0), whatever NationalFont
// chooses for the graphics view.
inline char16_t NationalTextChar(std::uint8_t option, std::uint8_t ch) {
    return G0Char(NationalOptionSet(option), ch);
}

// The code page of the text of a national option.
inline CodePage TextCodePage(std::uint8_t option) { return TextCodePageOf(NationalOptionSet(option)); }

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
