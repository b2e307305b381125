// The plain-text form of a page: 25 lines of 40 characters, each followed by
// CR LF. Text view, page search, text saving and copying all use this one
// form. It is Unicode, one UTF-16 unit per cell: every national option shows
// its own letters, as the Latin faces draw them, and with enhancements (Level
// 1.5) the page's character sets and the characters X/26 places. Bytes of a
// code page are made only where text is written (PageTextCodePage).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"
#include "rendering/TextEncoding.h"

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
    bool SecondSet = false;  // ESC switched to the page's second G0 set
};

// One cell of a level-1 page as text. With reset true it only resets the
// state (the result is then a space and means nothing).
char16_t TextCell(TextCellState& state, bool reset, std::uint8_t option, std::uint8_t code);

// The 25 x 40 characters of a page, without line breaks.
using PageTextCells = std::array<char16_t, kTextRows * kTextColumns>;
void PageTextRows(const tPageImage& page, const PageEnhancements* enhancements, PageTextCells& cells);
inline void PageTextRows(const tPageImage& page, PageTextCells& cells) { PageTextRows(page, nullptr, cells); }

// The text form of a page: 1050 characters, CR LF after each line.
std::u16string PageText(const tPageImage& page, const PageEnhancements* enhancements = nullptr);
// Row 0 as text: twelve spaces, then header columns 12-39.
std::u16string PageHeaderText(const tPageImage& page, const PageEnhancements* enhancements = nullptr);

// The code page that holds the letters of a page's text.
CodePage PageTextCodePage(const tPageImage& page, const PageEnhancements* enhancements = nullptr);

}  // namespace orv
