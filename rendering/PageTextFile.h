// Text files of saved pages: each page is one block (title, a line of 40 "=",
// the 25 text lines, an empty line, the separator, an empty line), CR LF line
// endings, each block's characters in the code page that holds its page's
// letters (Windows-1252, -1250, -1251, -1253 or -1254). Blocks are only ever
// appended.
#pragma once

#include <string>
#include <string_view>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"

namespace orv {

inline constexpr std::string_view kPageTextSeparator = "========================================";

// The block of one page as it is written to a text file.
std::string PageTextBlock(std::string_view title, const tPageImage& page,
                          const PageEnhancements* enhancements = nullptr);
// The same block as UTF-8.
std::string PageTextBlockUtf8(std::string_view title, const tPageImage& page,
                              const PageEnhancements* enhancements = nullptr);

// Appends the page's block to the file, creating it when it does not exist.
// True when every write and the final close succeeded.
bool SavePageText(const std::string& fileName, const tPageImage& page, std::string_view title,
                  const PageEnhancements* enhancements = nullptr);

// Writes text to a file, appended at its end (the file made when missing) or
// replacing it. A read-only file is left as it is. True when every write and
// the final close succeeded.
bool WriteTextFile(const std::string& fileName, std::string_view text, bool append);

// "100/0000" -> "100-0000", the name a saved page carries.
std::string SavedPageName(std::string_view key);

}  // namespace orv
