// The character sets of teletext pages: the Latin G0 set with its national
// subsets, the Cyrillic and Greek G0 sets and the G2 supplementary sets. For
// each code: the Unicode character, the face and glyph that draw it, and the
// code page that holds the text of a page in that set.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "rendering/TextEncoding.h"

namespace orv {

enum class G0Set : std::uint8_t { Latin, CyrillicSerbianCroatian, CyrillicRussianBulgarian, CyrillicUkrainian, Greek };

// The header's options 0-7 first, in their order (7 is Polish, as the Latin
// face draws it), then the subsets only a designation chooses.
enum class NationalSubset : std::uint8_t {
    English,
    German,
    SwedishFinnishHungarian,
    Italian,
    French,
    PortugueseSpanish,
    CzechSlovak,
    Polish,
    Turkish,
    SerbianCroatianSlovenian,
    Rumanian,
    Estonian,
    LettishLithuanian,
};

enum class G2Set : std::uint8_t { Latin, Cyrillic, Greek };

struct CharacterSet {
    G0Set G0 = G0Set::Latin;
    NationalSubset Subset = NationalSubset::English;  // Latin only
    G2Set G2 = G2Set::Latin;
    bool operator==(const CharacterSet&) const = default;
};

// What a level-1 page's national option stands for.
CharacterSet NationalOptionSet(std::uint8_t option);
// The set a designation code (group * 8 + national option, 7 bits) names;
// none for the codes that name no set this viewer has.
std::optional<CharacterSet> DesignatedSet(std::uint8_t code);

// Unicode of a code 0x20-0x7F; the G0 sets keep 0x7F as it is, as the text
// form always did.
char16_t G0Char(const CharacterSet& set, std::uint8_t code);
// The same for every code 0x00-0x7F at once: what the text form looks up per cell.
const std::array<char16_t, 128>& G0Table(const CharacterSet& set);
char16_t G2Char(G2Set set, std::uint8_t code);
// A letter with a diacritical mark (1-15) as one character; the letter alone
// where Unicode has no such letter.
char16_t MarkedChar(char16_t letter, int mark);
// What a mosaic run shows of the codes 0x40-0x5F: @, A-Z, Ä, Ö, Ü, ^ and the
// long bar; a space for every other code.
char16_t BlastThroughChar(std::uint8_t code);
// True for a capital letter: a mark goes above its top.
bool IsCapitalLetter(char16_t c);

// The code page of a page's text in that set.
CodePage TextCodePageOf(const CharacterSet& set);

// A face in its two heights.
struct FaceNames {
    std::string_view Single, Double;
};
inline constexpr FaceNames kLatinFace = {"TTXCHAR", "DTTXCHAR"};
inline constexpr FaceNames kCyrillicFace = {"RUSCHAR", "DRUSCHAR"};
inline constexpr FaceNames kLatinNationalFace = {"TTXLATX", "DTTXLATX"};
inline constexpr FaceNames kSerbianFace = {"CYRCHAR1", "DCYRCHAR1"};
inline constexpr FaceNames kUkrainianFace = {"CYRCHAR3", "DCYRCHAR3"};
inline constexpr FaceNames kGreekFace = {"GRKCHAR", "DGRKCHAR"};
inline constexpr FaceNames kLatinG2Face = {"TTXG2", "DTTXG2"};
inline constexpr FaceNames kCyrillicG2Face = {"CYRG2", "DCYRG2"};
inline constexpr FaceNames kGreekG2Face = {"GRKG2", "DGRKG2"};
inline constexpr FaceNames kMarksFace = {"TTXMARKS", "DTTXMARKS"};

struct Glyph {
    const FaceNames* Face = &kLatinFace;
    std::uint8_t Code = 0x20;
};

Glyph G0Glyph(const CharacterSet& set, std::uint8_t code);
Glyph G2Glyph(G2Set set, std::uint8_t code);
// The overlay of a mark (1-15) for a small letter or a capital.
Glyph MarkGlyph(int mark, bool capital);

}  // namespace orv
