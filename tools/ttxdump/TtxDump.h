// ttxdump: decodes a recording of raw 42-byte teletext packets (or a stretch of
// the demo broadcast) through the viewer's own assembly and page database and
// writes what was stored: the pages as text blocks, the keys, or search hits.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace orv {

// Runs the tool with its arguments (without the program name). Returns the
// exit status: 0 done, 1 nothing found, 2 bad arguments or unreadable input.
// Text is written as UTF-8 when the locale's character set is (utf8Locale) or
// --encoding utf-8 asks for it, else each page in its Windows code page.
int RunTtxDump(std::span<const std::string> args, std::istream& in, std::ostream& out, std::ostream& err,
               bool utf8Locale = false);

// True when the locale the C library resolves from LC_ALL, LC_CTYPE and LANG
// has UTF-8 as its character set.
bool LocaleIsUtf8();

}  // namespace orv
