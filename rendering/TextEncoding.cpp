#include "rendering/TextEncoding.h"

#include <algorithm>
#include <array>

namespace orv {

namespace {

// The upper halves, 0x80-0xFF, of the code pages; 0 marks a byte the code
// page leaves unassigned.
using UpperHalf = std::array<char16_t, 128>;

constexpr UpperHalf kWindows1252 = [] {
    UpperHalf table{};
    constexpr char16_t high[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
    };
    for (int i = 0; i < 128; ++i) table[static_cast<std::size_t>(i)] = i < 32 ? high[i] : static_cast<char16_t>(0x80 + i);
    return table;
}();

constexpr UpperHalf kWindows1254 = [] {
    UpperHalf table = kWindows1252;
    table[0x8E - 0x80] = table[0x9E - 0x80] = 0;
    table[0xD0 - 0x80] = 0x011E;
    table[0xDD - 0x80] = 0x0130;
    table[0xDE - 0x80] = 0x015E;
    table[0xF0 - 0x80] = 0x011F;
    table[0xFD - 0x80] = 0x0131;
    table[0xFE - 0x80] = 0x015F;
    return table;
}();

constexpr UpperHalf kWindows1250 = {
    0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0,      0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0,      0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 98-9F
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0-A7
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8-AF
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0-B7
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // B8-BF
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // C0-C7
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // C8-CF
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0-D7
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8-DF
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // E0-E7
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // E8-EF
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0-F7
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8-FF
};

constexpr UpperHalf kWindows1251 = [] {
    UpperHalf table{};
    constexpr char16_t high[64] = {
        0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
        0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88-8F
        0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
        0,      0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98-9F
        0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0-A7
        0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8-AF
        0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0-B7
        0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8-BF
    };
    for (int i = 0; i < 128; ++i)
        table[static_cast<std::size_t>(i)] = i < 64 ? high[i] : static_cast<char16_t>(0x0410 + i - 64);
    return table;
}();

constexpr UpperHalf kWindows1253 = [] {
    UpperHalf table{};
    constexpr char16_t high[64] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
        0,      0x2030, 0,      0x2039, 0,      0,      0,      0,       // 88-8F
        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
        0,      0x2122, 0,      0x203A, 0,      0,      0,      0,       // 98-9F
        0x00A0, 0x0385, 0x0386, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // A0-A7
        0x00A8, 0x00A9, 0,      0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x2015,  // A8-AF
        0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x0384, 0x00B5, 0x00B6, 0x00B7,  // B0-B7
        0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F,  // B8-BF
    };
    for (int i = 0; i < 128; ++i) {
        const int letter = 0x0390 + i - 64;  // C0-FE: U+0390-U+03CE
        table[static_cast<std::size_t>(i)] =
            i < 64 ? high[i] : (letter == 0x03A2 || i == 127) ? 0 : static_cast<char16_t>(letter);
    }
    return table;
}();

const UpperHalf& UpperHalfOf(CodePage codePage) {
    switch (codePage) {
    case CodePage::Windows1250: return kWindows1250;
    case CodePage::Windows1251: return kWindows1251;
    case CodePage::Windows1253: return kWindows1253;
    case CodePage::Windows1254: return kWindows1254;
    case CodePage::Windows1252: break;
    }
    return kWindows1252;
}

// Letters with a mark, as base letter and teletext mark (1 grave, 2 acute,
// 3 circumflex, 4 tilde, 5 macron, 6 breve, 7 dot above, 8 diaeresis,
// 10 ring, 11 cedilla, 13 double acute, 14 ogonek, 15 caron), by letter.
struct Composed {
    char16_t Letter;
    char Base;
    std::uint8_t Mark;
};
constexpr Composed kComposed[] = {
    {0xC0, 'A', 1},  {0xC1, 'A', 2},  {0xC2, 'A', 3},  {0xC3, 'A', 4},  {0xC4, 'A', 8},  {0xC5, 'A', 10},
    {0xC7, 'C', 11}, {0xC8, 'E', 1},  {0xC9, 'E', 2},  {0xCA, 'E', 3},  {0xCB, 'E', 8},  {0xCC, 'I', 1},
    {0xCD, 'I', 2},  {0xCE, 'I', 3},  {0xCF, 'I', 8},  {0xD1, 'N', 4},  {0xD2, 'O', 1},  {0xD3, 'O', 2},
    {0xD4, 'O', 3},  {0xD5, 'O', 4},  {0xD6, 'O', 8},  {0xD9, 'U', 1},  {0xDA, 'U', 2},  {0xDB, 'U', 3},
    {0xDC, 'U', 8},  {0xDD, 'Y', 2},  {0xE0, 'a', 1},  {0xE1, 'a', 2},  {0xE2, 'a', 3},  {0xE3, 'a', 4},
    {0xE4, 'a', 8},  {0xE5, 'a', 10}, {0xE7, 'c', 11}, {0xE8, 'e', 1},  {0xE9, 'e', 2},  {0xEA, 'e', 3},
    {0xEB, 'e', 8},  {0xEC, 'i', 1},  {0xED, 'i', 2},  {0xEE, 'i', 3},  {0xEF, 'i', 8},  {0xF1, 'n', 4},
    {0xF2, 'o', 1},  {0xF3, 'o', 2},  {0xF4, 'o', 3},  {0xF5, 'o', 4},  {0xF6, 'o', 8},  {0xF9, 'u', 1},
    {0xFA, 'u', 2},  {0xFB, 'u', 3},  {0xFC, 'u', 8},  {0xFD, 'y', 2},  {0xFF, 'y', 8},
    {0x100, 'A', 5}, {0x101, 'a', 5}, {0x102, 'A', 6}, {0x103, 'a', 6}, {0x104, 'A', 14}, {0x105, 'a', 14},
    {0x106, 'C', 2}, {0x107, 'c', 2}, {0x108, 'C', 3}, {0x109, 'c', 3}, {0x10A, 'C', 7}, {0x10B, 'c', 7},
    {0x10C, 'C', 15}, {0x10D, 'c', 15}, {0x10E, 'D', 15}, {0x10F, 'd', 15}, {0x112, 'E', 5}, {0x113, 'e', 5},
    {0x114, 'E', 6}, {0x115, 'e', 6}, {0x116, 'E', 7}, {0x117, 'e', 7}, {0x118, 'E', 14}, {0x119, 'e', 14},
    {0x11A, 'E', 15}, {0x11B, 'e', 15}, {0x11C, 'G', 3}, {0x11D, 'g', 3}, {0x11E, 'G', 6}, {0x11F, 'g', 6},
    {0x120, 'G', 7}, {0x121, 'g', 7}, {0x122, 'G', 11}, {0x123, 'g', 11}, {0x124, 'H', 3}, {0x125, 'h', 3},
    {0x128, 'I', 4}, {0x129, 'i', 4}, {0x12A, 'I', 5}, {0x12B, 'i', 5}, {0x12C, 'I', 6}, {0x12D, 'i', 6},
    {0x12E, 'I', 14}, {0x12F, 'i', 14}, {0x130, 'I', 7}, {0x134, 'J', 3}, {0x135, 'j', 3}, {0x136, 'K', 11},
    {0x137, 'k', 11}, {0x139, 'L', 2}, {0x13A, 'l', 2}, {0x13B, 'L', 11}, {0x13C, 'l', 11}, {0x13D, 'L', 15},
    {0x13E, 'l', 15}, {0x143, 'N', 2}, {0x144, 'n', 2}, {0x145, 'N', 11}, {0x146, 'n', 11}, {0x147, 'N', 15},
    {0x148, 'n', 15}, {0x14C, 'O', 5}, {0x14D, 'o', 5}, {0x14E, 'O', 6}, {0x14F, 'o', 6}, {0x150, 'O', 13},
    {0x151, 'o', 13}, {0x154, 'R', 2}, {0x155, 'r', 2}, {0x156, 'R', 11}, {0x157, 'r', 11}, {0x158, 'R', 15},
    {0x159, 'r', 15}, {0x15A, 'S', 2}, {0x15B, 's', 2}, {0x15C, 'S', 3}, {0x15D, 's', 3}, {0x15E, 'S', 11},
    {0x15F, 's', 11}, {0x160, 'S', 15}, {0x161, 's', 15}, {0x162, 'T', 11}, {0x163, 't', 11}, {0x164, 'T', 15},
    {0x165, 't', 15}, {0x168, 'U', 4}, {0x169, 'u', 4}, {0x16A, 'U', 5}, {0x16B, 'u', 5}, {0x16C, 'U', 6},
    {0x16D, 'u', 6}, {0x16E, 'U', 10}, {0x16F, 'u', 10}, {0x170, 'U', 13}, {0x171, 'u', 13}, {0x172, 'U', 14},
    {0x173, 'u', 14}, {0x174, 'W', 3}, {0x175, 'w', 3}, {0x176, 'Y', 3}, {0x177, 'y', 3}, {0x178, 'Y', 8},
    {0x179, 'Z', 2}, {0x17A, 'z', 2}, {0x17B, 'Z', 7}, {0x17C, 'z', 7}, {0x17D, 'Z', 15}, {0x17E, 'z', 15},
    {0x1CD, 'A', 15}, {0x1CE, 'a', 15}, {0x1CF, 'I', 15}, {0x1D0, 'i', 15}, {0x1D1, 'O', 15}, {0x1D2, 'o', 15},
    {0x1D3, 'U', 15}, {0x1D4, 'u', 15},
};

// Characters without a mark that a code page may still lack, and what stands
// in for them.
struct Stand {
    char16_t Char;
    char16_t For;
};
constexpr Stand kStandIns[] = {
    {0x00C6, 'A'}, {0x00D0, 'D'}, {0x00D8, 'O'}, {0x00DE, 'T'}, {0x00DF, 's'}, {0x00E6, 'a'}, {0x00F0, 'd'},
    {0x00F8, 'o'}, {0x00FE, 't'}, {0x0110, 'D'}, {0x0111, 'd'}, {0x0126, 'H'}, {0x0127, 'h'}, {0x0131, 'i'},
    {0x0132, 'I'}, {0x0133, 'i'}, {0x0138, 'k'}, {0x013F, 'L'}, {0x0140, 'l'}, {0x0141, 'L'}, {0x0142, 'l'},
    {0x0149, 'n'}, {0x014A, 'N'}, {0x014B, 'n'}, {0x0152, 'O'}, {0x0153, 'o'}, {0x0166, 'T'}, {0x0167, 't'},
    {0x01B5, 0x017B}, {0x0374, '\''}, {0x0386, 0x0391}, {0x0388, 0x0395}, {0x0389, 0x0397}, {0x038A, 0x0399},
    {0x038C, 0x039F}, {0x038E, 0x03A5}, {0x038F, 0x03A9}, {0x0390, 0x03B9}, {0x03AA, 0x0399}, {0x03AB, 0x03A5},
    {0x03AC, 0x03B1}, {0x03AD, 0x03B5}, {0x03AE, 0x03B7}, {0x03AF, 0x03B9}, {0x03B0, 0x03C5}, {0x03B1, 'a'},
    {0x03CA, 0x03B9}, {0x03CB, 0x03C5}, {0x03CC, 0x03BF}, {0x03CD, 0x03C5}, {0x03CE, 0x03C9}, {0x0403, 0x0413},
    {0x040C, 0x041A}, {0x040D, 0x0418}, {0x0453, 0x0433}, {0x045C, 0x043A}, {0x045D, 0x0438}, {0x20A0, 0x20AC},
    {0x2015, '-'}, {0x2016, '|'}, {0x2126, 0x03A9}, {0x2190, '<'}, {0x2191, '^'}, {0x2192, '>'}, {0x2193, 'v'},
};

char16_t StandIn(char16_t c) {
    const auto it = std::find_if(std::begin(kStandIns), std::end(kStandIns), [c](const Stand& s) { return s.Char == c; });
    return it == std::end(kStandIns) ? 0 : it->For;
}

// The byte of a character that the code page holds; 0 when it does not.
char DirectByte(char16_t c, const UpperHalf& upper) {
    if (c < 0x80) return static_cast<char>(c);
    if (c < 0xA0 && upper[c - 0x80] == 0) return static_cast<char>(c);  // an unassigned byte as read
    const auto it = std::find(upper.begin(), upper.end(), c);
    return it == upper.end() ? 0 : static_cast<char>(0x80 + (it - upper.begin()));
}

}  // namespace

char16_t DecodeCodePage(std::uint8_t byte, CodePage codePage) {
    if (byte < 0x80) return byte;
    const char16_t c = UpperHalfOf(codePage)[byte - 0x80];
    return c ? c : byte;
}

std::u16string DecodeCodePage(std::string_view bytes, CodePage codePage) {
    std::u16string text;
    text.reserve(bytes.size());
    for (const char b : bytes) text.push_back(DecodeCodePage(static_cast<std::uint8_t>(b), codePage));
    return text;
}

char EncodeCodePage(char16_t c, CodePage codePage) {
    const UpperHalf& upper = UpperHalfOf(codePage);
    // The character, else the letter without its mark, else what stands in
    // for it (which may have a mark of its own: ΐ -> ι).
    for (int tries = 0; tries < 3 && c; ++tries) {
        if (const char b = DirectByte(c, upper); b || c == 0) return b;
        const char16_t plain = PlainLetter(c);
        if (plain != c) {
            if (const char b = DirectByte(plain, upper)) return b;
        }
        c = StandIn(plain);
    }
    return '?';
}

std::string EncodeCodePage(std::u16string_view text, CodePage codePage) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const char16_t c : text) bytes.push_back(c < 0x80 ? static_cast<char>(c) : EncodeCodePage(c, codePage));
    return bytes;
}

char16_t PlainLetter(char16_t c) {
    if (c < 0xC0) return c;
    const auto it = std::find_if(std::begin(kComposed), std::end(kComposed),
                                 [c](const Composed& entry) { return entry.Letter == c; });
    return it == std::end(kComposed) ? c : static_cast<char16_t>(it->Base);
}

char16_t ComposeLetter(char16_t base, int mark) {
    const auto it = std::find_if(std::begin(kComposed), std::end(kComposed), [base, mark](const Composed& entry) {
        return entry.Base == base && entry.Mark == mark;
    });
    return it == std::end(kComposed) ? 0 : it->Letter;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        char32_t c = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
        bool sound = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; sound && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            sound = (next & 0xC0) == 0x80;
            c = c << 6 | (next & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        sound = sound && c >= kSmallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        if (!sound) {
            out.push_back(DecodeCodePage(b, CodePage::Windows1252));
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;  // half a pair
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | c >> 6));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | c >> 12));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | c >> 18));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

char16_t UpperCaseBeyondAscii(char16_t c) {
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    if (c == 0x131) return 'I';
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return static_cast<char16_t>(c & ~1);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return static_cast<char16_t>(c % 2 ? c : c - 1);
    if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB)) return static_cast<char16_t>(c - 32);
    if (c == 0x3C2) return 0x3A3;
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return static_cast<char16_t>(c - 37);
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return static_cast<char16_t>(c - 63);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
    if (c == 0x491) return 0x490;
    return c;
}

}  // namespace orv
