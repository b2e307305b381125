#include "rendering/CharacterSets.h"

#include "rendering/VTX_Languages.h"

namespace orv {

namespace {

using NationalRow = std::array<char16_t, 13>;

// The letters of each subset at the national positions # $ @ [ \ ] ^ _ ` { | } ~:
// for the header's options exactly what the Latin face draws.
constexpr std::array<NationalRow, 13> kNationalRows = {{
    {0x00A3, '$', '@', '[', 0x00BD, ']', '^', '#', 0x2014, 0x00BC, 0x2016, 0x00BE, 0x00F7},           // English
    {'#', '$', 0x00A7, 0x00C4, 0x00D6, 0x00DC, '^', '_', 0x00B0, 0x00E4, 0x00F6, 0x00FC, 0x00DF},      // German
    {'#', 0x00A4, 0x00C9, 0x00C4, 0x00D6, 0x00C5, 0x00DC, '_', 0x00E9, 0x00E4, 0x00F6, 0x00E5, 0x00FC},  // Swedish
    {0x00A3, '$', 0x00E9, 0x00B0, 0x00E7, ']', '^', '#', 0x00F9, 0x00E0, 0x00F2, 0x00E8, 0x00EC},      // Italian
    {0x00E9, 0x00EF, 0x00E0, 0x00EB, 0x00EA, 0x00F9, 0x00EE, '#', 0x00E8, 0x00E2, 0x00F4, 0x00FB, 0x00E7},  // French
    {0x00E7, '$', 0x00A1, 0x00E1, 0x00E9, 0x00ED, 0x00F3, 0x00FA, 0x00BF, 0x00FC, 0x00F1, 0x00E8, 0x00E0},  // Port./Sp.
    {'#', 0x016F, 0x010D, 0x0165, 0x017E, 0x00FD, 0x00ED, 0x0159, 0x00E9, 0x00E1, 0x011B, 0x00FA, 0x0161},  // Czech
    {'#', 0x0144, 0x0105, 0x01B5, 0x015A, 0x0141, 0x0107, 0x00F3, 0x0119, 0x017C, 0x015B, 0x0142, 0x017A},  // Polish
    {0x20BA, 0x011F, 0x0130, 0x015E, 0x00D6, 0x00C7, 0x00DC, 0x011E, 0x0131, 0x015F, 0x00F6, 0x00E7, 0x00FC},  // Turkish
    {'#', 0x00CB, 0x010C, 0x0106, 0x017D, 0x0110, 0x0160, 0x00EB, 0x010D, 0x0107, 0x017E, 0x0111, 0x0161},  // Serb./Cro.
    {'#', 0x00A4, 0x0162, 0x00C2, 0x015E, 0x01CD, 0x00CE, 0x0131, 0x0163, 0x00E2, 0x015F, 0x01CE, 0x00EE},  // Rumanian
    {'#', 0x00F5, 0x0160, 0x00C4, 0x00D6, 0x017D, 0x00DC, 0x00D5, 0x0161, 0x00E4, 0x00F6, 0x017E, 0x00FC},  // Estonian
    {'#', '$', 0x0160, 0x0117, 0x0119, 0x017D, 0x010D, 0x016B, 0x0161, 0x0105, 0x0173, 0x017E, 0x012F},  // Lettish
}};

using Letters = std::array<char16_t, 63>;  // 0x40-0x7E

constexpr Letters kSerbianCroatian = {
    0x0427, 0x0410, 0x0411, 0x0426, 0x0414, 0x0415, 0x0424, 0x0413, 0x0425, 0x0418, 0x0408, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x040C, 0x0420, 0x0421, 0x0422, 0x0423, 0x0412, 0x0403, 0x0409, 0x040A, 0x0417, 0x040B,
    0x0416, 0x0402, 0x0428, 0x040F, 0x0447, 0x0430, 0x0431, 0x0446, 0x0434, 0x0435, 0x0444, 0x0433, 0x0445, 0x0438,
    0x0458, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x045C, 0x0440, 0x0441, 0x0442, 0x0443, 0x0432, 0x0453,
    0x0459, 0x045A, 0x0437, 0x045B, 0x0436, 0x0452, 0x0448};

constexpr Letters kRussianBulgarian = {
    0x042E, 0x0410, 0x0411, 0x0426, 0x0414, 0x0415, 0x0424, 0x0413, 0x0425, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x042F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0416, 0x0412, 0x042C, 0x042A, 0x0417, 0x0428,
    0x042D, 0x0429, 0x0427, 0x042B, 0x044E, 0x0430, 0x0431, 0x0446, 0x0434, 0x0435, 0x0444, 0x0433, 0x0445, 0x0438,
    0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x044F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0436, 0x0432,
    0x044C, 0x044A, 0x0437, 0x0448, 0x044D, 0x0449, 0x0447};

constexpr Letters kUkrainian = [] {
    Letters letters = kRussianBulgarian;
    letters[0x59 - 0x40] = 0x0406;
    letters[0x5C - 0x40] = 0x0404;
    letters[0x5F - 0x40] = 0x0407;
    letters[0x79 - 0x40] = 0x0456;
    letters[0x7C - 0x40] = 0x0454;
    return letters;
}();

constexpr Letters kGreek = [] {
    Letters letters{};
    for (int i = 0; i < 63; ++i) letters[static_cast<std::size_t>(i)] = static_cast<char16_t>(0x0390 + i);
    letters[0x52 - 0x40] = 0x0374;  // no letter between rho and sigma
    return letters;
}();

using G2Table = std::array<char16_t, 96>;  // 0x20-0x7F

constexpr G2Table kLatinG2 = {
    ' ',    0x00A1, 0x00A2, 0x00A3, '$',    0x00A5, '#',    0x00A7, 0x00A4, 0x2018, 0x201C, 0x00AB,
    0x2190, 0x2191, 0x2192, 0x2193, 0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00D7, 0x00B5, 0x00B6, 0x00B7,
    0x00F7, 0x2019, 0x201D, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, ' ',    '`',    0x00B4, 0x02C6,
    0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x00A8, '.',    0x02DA, 0x00B8, '_',    0x02DD, 0x02DB, 0x02C7,
    0x2015, 0x00B9, 0x00AE, 0x00A9, 0x2122, 0x266A, 0x20A0, 0x2030, 0x03B1, ' ',    ' ',    ' ',
    0x215B, 0x215C, 0x215D, 0x215E, 0x2126, 0x00C6, 0x0110, 0x00AA, 0x0126, ' ',    0x0132, 0x013F,
    0x0141, 0x00D8, 0x0152, 0x00BA, 0x00DE, 0x0166, 0x014A, 0x0149, 0x0138, 0x00E6, 0x0111, 0x00F0,
    0x0127, 0x0131, 0x0133, 0x0140, 0x0142, 0x00F8, 0x0153, 0x00DF, 0x00FE, 0x0167, 0x014B, 0x25A0};

constexpr G2Table kCyrillicG2 = [] {
    G2Table table = kLatinG2;
    table[0x24 - 0x20] = table[0x28 - 0x20] = ' ';
    table[0x59 - 0x20] = 0x0141;
    table[0x5A - 0x20] = 0x0142;
    table[0x5B - 0x20] = 0x00DF;
    constexpr char kLatin[] = "DEFGIJKLNQRSUVWZ";
    for (int i = 0; i < 16; ++i) {
        table[static_cast<std::size_t>(0x40 + i)] = static_cast<char16_t>(kLatin[i]);
        table[static_cast<std::size_t>(0x50 + i)] = static_cast<char16_t>(kLatin[i] + 32);
    }
    return table;
}();

constexpr G2Table kGreekG2 = [] {
    G2Table table = kLatinG2;
    constexpr std::pair<int, char16_t> changes[] = {
        {0x21, 'a'}, {0x22, 'b'}, {0x24, 'e'}, {0x25, 'h'}, {0x26, 'i'}, {0x28, ':'},    {0x2B, 'k'},    {0x34, 'x'},
        {0x35, 'm'}, {0x36, 'n'}, {0x37, 'p'}, {0x3B, 't'}, {0x3F, 'x'}, {0x50, '?'},    {0x59, 0x038A}, {0x5A, 0x038E},
        {0x5B, 0x038F}, {0x6E, 0x0386}, {0x6F, 0x0389}, {0x7E, 0x0388}, {0x7F, 0x25A0}};
    constexpr char kLatin[] = "CDFGJLQRSUVWYZ";
    for (int i = 0; i < 14; ++i) {
        table[static_cast<std::size_t>(0x40 + i)] = static_cast<char16_t>(kLatin[i]);
        table[static_cast<std::size_t>(0x50 + i)] = static_cast<char16_t>(kLatin[i] + 32);
    }
    for (const auto& [code, c] : changes) table[static_cast<std::size_t>(code - 0x20)] = c;
    return table;
}();

int NationalPositionOf(std::uint8_t code) { return detail::NationalPosition(code); }

// The subset a Latin designation names, by code; -1 for none.
constexpr std::array<std::int8_t, 32> kLatinByCode = {
    // group 0: Western and Central Europe (7 as the header's option 7)
    0, 1, 2, 3, 4, 5, 6, 7,
    // group 1: Eastern Europe
    7, 1, 2, 3, 4, -1, 6, -1,
    // group 2: Western Europe and Turkey
    0, 1, 2, 3, 4, 5, 8, -1,
    // group 3: Central and Southeast Europe
    -1, -1, -1, -1, -1, 9, -1, 10,
};

}  // namespace

CharacterSet NationalOptionSet(std::uint8_t option) {
    return {G0Set::Latin, static_cast<NationalSubset>(option & 7), G2Set::Latin};
}

std::optional<CharacterSet> DesignatedSet(std::uint8_t code) {
    const auto latin = [](int subset) {
        return CharacterSet{G0Set::Latin, static_cast<NationalSubset>(subset), G2Set::Latin};
    };
    if (code < 32) {
        const int subset = kLatinByCode[code];
        if (subset < 0) return std::nullopt;
        return latin(subset);
    }
    switch (code) {
    case 32: return CharacterSet{G0Set::CyrillicSerbianCroatian, NationalSubset::English, G2Set::Cyrillic};
    case 33: return latin(static_cast<int>(NationalSubset::German));
    case 34: return latin(static_cast<int>(NationalSubset::Estonian));
    case 35: return latin(static_cast<int>(NationalSubset::LettishLithuanian));
    case 36: return CharacterSet{G0Set::CyrillicRussianBulgarian, NationalSubset::English, G2Set::Cyrillic};
    case 37: return CharacterSet{G0Set::CyrillicUkrainian, NationalSubset::English, G2Set::Cyrillic};
    case 38: return latin(static_cast<int>(NationalSubset::CzechSlovak));
    case 54: return latin(static_cast<int>(NationalSubset::Turkish));
    case 55: return CharacterSet{G0Set::Greek, NationalSubset::English, G2Set::Greek};
    // Latin with the Arabic G2 set: the Latin G2 set stands in for it.
    case 64: return latin(static_cast<int>(NationalSubset::English));
    case 68: return latin(static_cast<int>(NationalSubset::French));
    default: return std::nullopt;  // Arabic and Hebrew, and codes that name nothing
    }
}

namespace {

// Unicode of a G0 code (0x20-0x7E; the rest stay as they are).
constexpr char16_t ComputeG0Char(G0Set g0, int subset, std::uint8_t code) {
    if (code < 0x20 || code >= 0x7F) return code;
    switch (g0) {
    case G0Set::Latin:
        if (const int p = detail::NationalPosition(code))
            return kNationalRows[static_cast<std::size_t>(subset)][static_cast<std::size_t>(p - 1)];
        return code;
    case G0Set::Greek:
        if (code == 0x3C) return 0x00AB;
        if (code == 0x3E) return 0x00BB;
        return code < 0x40 ? code : kGreek[code - 0x40];
    case G0Set::CyrillicSerbianCroatian: return code < 0x40 ? code : kSerbianCroatian[code - 0x40];
    case G0Set::CyrillicRussianBulgarian:
        if (code == 0x26) return 0x044B;
        return code < 0x40 ? code : kRussianBulgarian[code - 0x40];
    case G0Set::CyrillicUkrainian:
        if (code == 0x26) return 0x0457;
        return code < 0x40 ? code : kUkrainian[code - 0x40];
    }
    return code;
}

// One table per Latin subset, then one per other G0 set: a lookup per cell.
constexpr int kLatinSubsets = 13;
using G0Letters = std::array<char16_t, 128>;
constexpr std::array<G0Letters, kLatinSubsets + 4> kG0Tables = [] {
    std::array<G0Letters, kLatinSubsets + 4> tables{};
    for (int t = 0; t < kLatinSubsets + 4; ++t) {
        const G0Set g0 = t < kLatinSubsets ? G0Set::Latin : static_cast<G0Set>(t - kLatinSubsets + 1);
        for (int code = 0; code < 128; ++code)
            tables[static_cast<std::size_t>(t)][static_cast<std::size_t>(code)] =
                ComputeG0Char(g0, t < kLatinSubsets ? t : 0, static_cast<std::uint8_t>(code));
    }
    return tables;
}();

}  // namespace

const std::array<char16_t, 128>& G0Table(const CharacterSet& set) {
    const int table = set.G0 == G0Set::Latin ? static_cast<int>(set.Subset) : kLatinSubsets + static_cast<int>(set.G0) - 1;
    return kG0Tables[static_cast<std::size_t>(table)];
}

char16_t G0Char(const CharacterSet& set, std::uint8_t code) {
    if (code >= 0x80) return code;  // no page character: rows hold 7-bit codes
    return G0Table(set)[code];
}

char16_t G2Char(G2Set set, std::uint8_t code) {
    code &= 0x7F;
    if (code < 0x20) return ' ';
    const G2Table& table = set == G2Set::Cyrillic ? kCyrillicG2 : set == G2Set::Greek ? kGreekG2 : kLatinG2;
    return table[code - 0x20];
}

char16_t MarkedChar(char16_t letter, int mark) {
    if (mark <= 0 || mark > 15) return letter;
    const char16_t composed = ComposeLetter(letter, mark);
    return composed ? composed : letter;
}

char16_t BlastThroughChar(std::uint8_t code) {
    if (code >= 0x40 && code <= 0x5A) return code;
    constexpr char16_t tail[] = {0x00C4, 0x00D6, 0x00DC, '^', 0x2014};
    if (code >= 0x5B && code <= 0x5F) return tail[code - 0x5B];
    return ' ';
}

bool IsCapitalLetter(char16_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z';
    if (c >= 0xC0 && c <= 0xDE) return c != 0xD7;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c % 2 == 0;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c % 2 == 1;
    if (c == 0x178) return true;
    return (c >= 0x386 && c <= 0x3AB && c != 0x387) || (c >= 0x400 && c <= 0x42F);
}

CodePage TextCodePageOf(const CharacterSet& set) {
    switch (set.G0) {
    case G0Set::Greek: return CodePage::Windows1253;
    case G0Set::CyrillicSerbianCroatian:
    case G0Set::CyrillicRussianBulgarian:
    case G0Set::CyrillicUkrainian: return CodePage::Windows1251;
    case G0Set::Latin: break;
    }
    switch (set.Subset) {
    case NationalSubset::CzechSlovak:
    case NationalSubset::Polish:
    case NationalSubset::SerbianCroatianSlovenian:
    case NationalSubset::Rumanian:
    case NationalSubset::LettishLithuanian: return CodePage::Windows1250;
    case NationalSubset::Turkish: return CodePage::Windows1254;
    default: return CodePage::Windows1252;
    }
}

Glyph G0Glyph(const CharacterSet& set, std::uint8_t code) {
    switch (set.G0) {
    case G0Set::Greek: return {&kGreekFace, code};
    case G0Set::CyrillicSerbianCroatian: return {&kSerbianFace, code};
    case G0Set::CyrillicRussianBulgarian: return {&kCyrillicFace, code};
    case G0Set::CyrillicUkrainian: return {&kUkrainianFace, code};
    case G0Set::Latin: break;
    }
    const auto subset = static_cast<int>(set.Subset);
    if (subset < kNationalOptionCount) return {&kLatinFace, NationalGlyph(static_cast<std::uint8_t>(subset), code)};
    // Turkish, Serbian/Croatian/Slovenian, Rumanian, Estonian and Lettish/Lithuanian
    // have rows of their own at 0x80, 0x90 ... of the extra national face.
    const int p = NationalPositionOf(code);
    if (p == 0) return {&kLatinFace, code};
    return {&kLatinNationalFace, static_cast<std::uint8_t>(0x80 + 16 * (subset - kNationalOptionCount) + p - 1)};
}

Glyph G2Glyph(G2Set set, std::uint8_t code) {
    const FaceNames* face = set == G2Set::Cyrillic ? &kCyrillicG2Face : set == G2Set::Greek ? &kGreekG2Face : &kLatinG2Face;
    return {face, code};
}

Glyph MarkGlyph(int mark, bool capital) {
    return {&kMarksFace, static_cast<std::uint8_t>((capital ? 0x60 : 0x40) + (mark & 15))};
}

}  // namespace orv
