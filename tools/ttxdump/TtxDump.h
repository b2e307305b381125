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
int RunTtxDump(std::span<const std::string> args, std::istream& in, std::ostream& out, std::ostream& err);

// UTF-8 text to Windows-1252 bytes (what the page text holds); characters
// outside that code page become "?".
std::string Utf8ToWindows1252(const std::string& utf8);

}  // namespace orv
