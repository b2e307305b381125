// What a click on a page names, and the command that opens a web address.
// Page text comes from the broadcast: every word is taken as it stands and
// only ever handed on as one argument.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/UTeletextTypes.h"
#include "platform/TextView.h"

namespace orv {

// "start " + the address, with "http://" put in front unless the address
// begins with "HTTP://" in any letter case.
std::string WebAddressCommand(std::string_view address);

// A word worth opening: it holds "WWW" or "HTTP:" in any letter case.
bool IsWebWord(std::string_view word);

// A click in the text view at the caret: a page number when the caret stands
// behind a red run (the marking of page numbers and web addresses) whose
// first three characters read as a page from 100 to 899; otherwise the word
// around the caret, up to the nearest spaces or line ends, without
// surrounding blanks.
struct TextClick {
    std::uint16_t Page = 0;
    std::string Word;
};
TextClick TextClickAt(const TextView& view, int caret);

// The fastext link (FlofLinks::Red, Green, Yellow or Cyan) whose colour the
// cell at (x, y) of the page's graphics shows in row 24; -1 elsewhere.
int FastextLinkAt(const tPageImage& page, int x, int y);

}  // namespace orv
