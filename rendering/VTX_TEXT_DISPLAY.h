// The plain-text form of a page: 25 lines of 40 single-byte characters, each
// followed by CR LF. Text view, page search, text saving and copying all use
// this one form. Characters are bytes of the system's ANSI code page
// (Windows-1252, or Windows-1250 for Czech/Slovak pages).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "acquisition/UTeletextTypes.h"

namespace orv {

inline constexpr int kTextColumns = 40;
inline constexpr int kTextLineLength = kTextColumns + 2;          // with CR LF
inline constexpr int kPageTextLength = kTextRows * kTextLineLength;  // 1050
inline constexpr int kHeaderBlankColumns = 12;  // header nibbles and page number area

// Attribute state of the text conversion; reset at the start of every line.
struct TextCellState {
    bool Mosaic = false;
    bool Separated = false;
    bool Conceal = false;
    bool Hold = false;
    std::uint8_t HeldChar = 0x20;
};

// One page cell as text. With reset true it only resets the state (the
// result is then a space and means nothing).
char TextCell(TextCellState& state, bool reset, std::uint8_t option, std::uint8_t code);

// The 25 x 40 characters of a page, without line breaks.
using PageTextCells = std::array<char, kTextRows * kTextColumns>;
void PageTextRows(const tPageImage& page, PageTextCells& cells);

// The text form of a page: 1050 characters, CR LF after each line.
std::string PageText(const tPageImage& page);

}  // namespace orv
