#include "windows/PageLinks.h"

#include <algorithm>

#include "rendering/TextEncoding.h"
#include "acquisition/PageEnhancements.h"
#include "rendering/TextPageView.h"
#include "rendering/VTX_Graphics_Display.h"
#include "rendering/VTX_TEXT_DISPLAY.h"
#include "windows/PageView.h"

namespace orv {

namespace {

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return upper;
}

std::string TrimBlanks(std::string_view word) {
    while (!word.empty() && static_cast<unsigned char>(word.front()) <= 0x20) word.remove_prefix(1);
    while (!word.empty() && static_cast<unsigned char>(word.back()) <= 0x20) word.remove_suffix(1);
    return std::string(word);
}

}  // namespace

std::string WebAddressCommand(std::string_view address) {
    const bool hasScheme = Upper(address.substr(0, 7)) == "HTTP://";
    return "start " + std::string(hasScheme ? "" : "http://") + std::string(address);
}

bool IsWebWord(std::string_view word) {
    const std::string upper = Upper(word);
    return upper.find("WWW") != std::string::npos || upper.find("HTTP:") != std::string::npos;
}

TextClick TextClickAt(const TextView& view, int caret) {
    TextClick click;
    const std::u16string text = view.Text();
    const int length = static_cast<int>(text.size());
    caret = std::clamp(caret, 0, length);
    if (caret > 0 && view.ColourAt(caret - 1) == kTextLinkColour) {
        int start = caret - 1;
        while (start > 0 && view.ColourAt(start - 1) == kTextLinkColour) --start;
        unsigned value = 0;
        if (start + 3 <= length && ReadPageNumber(Utf16ToUtf8(text.substr(static_cast<std::size_t>(start), 3)), value) &&
            value >= kFirstPage && value <= kLastPage) {
            click.Page = static_cast<std::uint16_t>(value);
            return click;
        }
    }
    // A word ends at a space or at the end of its line, as the marking does.
    const auto inWord = [&](int i) {
        const char16_t c = text[static_cast<std::size_t>(i)];
        return c != ' ' && c != '\r' && c != '\n';
    };
    int left = caret, right = caret;
    while (left > 0 && inWord(left - 1)) --left;
    while (right < length && inWord(right)) ++right;
    click.Word = TrimBlanks(Utf16ToUtf8(std::u16string_view(text).substr(static_cast<std::size_t>(left),
                                                                        static_cast<std::size_t>(right - left))));
    return click;
}

int FastextLinkAt(const tPageImage& page, int x, int y) {
    constexpr int kRow24 = 24;
    if (x < 0 || y < 0 || y / kCellHeight != kRow24 || x / kCellWidth >= kTextColumns) return -1;
    // The foreground in force at the cell: a colour code takes effect after its own cell.
    int colour = 7;
    const int column = x / kCellWidth;
    for (int k = 0; k < column; ++k) {
        const std::uint8_t b = page.Rows[kRow24][static_cast<std::size_t>(k)];
        if (b <= 0x07) colour = b;
        else if (b >= 0x10 && b <= 0x17) colour = b - 0x10;
    }
    switch (colour) {
    case 1: return FlofLinks::Red;
    case 2: return FlofLinks::Green;
    case 3: return FlofLinks::Yellow;
    case 6: return FlofLinks::Cyan;
    default: return -1;
    }
}

}  // namespace orv
