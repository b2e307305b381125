// Text inside the program is Unicode: UTF-16 for page text (one unit per
// page cell), UTF-8 for words handed on. Bytes of a Windows code page are made
// only where text leaves as bytes (saved text files, ttxdump), each page in the
// code page that holds its letters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

enum class CodePage : std::uint8_t {
    Windows1252,  // Western European
    Windows1250,  // Central European
    Windows1251,  // Cyrillic
    Windows1253,  // Greek
    Windows1254,  // Turkish
};

// The character of a byte; the bytes a code page leaves unassigned stand for
// the C1 control of the same value.
char16_t DecodeCodePage(std::uint8_t byte, CodePage codePage);
std::u16string DecodeCodePage(std::string_view bytes, CodePage codePage);

// The byte of a character. A character the code page lacks becomes the
// nearest plain letter (é -> e, ł -> l) or sign (← -> <), else '?'.
char EncodeCodePage(char16_t c, CodePage codePage);
std::string EncodeCodePage(std::u16string_view text, CodePage codePage);

// A letter without its diacritical mark (é -> e); the character itself when
// it has none.
char16_t PlainLetter(char16_t c);

// The precomposed letter of a base letter and a teletext diacritical mark
// (1 grave ... 15 caron, the order of the G2 sets' column 4); 0 when Unicode
// has no such letter.
char16_t ComposeLetter(char16_t base, int mark);

// UTF-8 to UTF-16; a byte that is no part of sound UTF-8 is read as
// Windows-1252, so text from a C locale still arrives.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Upper case for searching: ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic letters; everything else unchanged.
char16_t UpperCaseBeyondAscii(char16_t c);
inline char16_t UpperCase(char16_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 32) : c;
    return UpperCaseBeyondAscii(c);
}

}  // namespace orv
