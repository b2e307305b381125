#include "rendering/TextPageView.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

#include "rendering/TextEncoding.h"
#include "rendering/VTX_Graphics_Display.h"
#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {

namespace {

constexpr std::size_t kRowAreaSize = sizeof(tPageImage::Rows);
static_assert(kRowAreaSize == 1200);

bool SameRows(const tPageImage& a, const tPageImage& b) {
    return std::memcmp(a.Rows.data(), b.Rows.data(), kRowAreaSize) == 0;
}

bool IsDigit(char16_t c) { return c >= '0' && c <= '9'; }

// What ends an address: a space or a line break.
constexpr char16_t kWordEnds[] = u" \r\n";

// Digits past either end of the text count as no digit.
bool DigitAt(const std::u16string& text, std::size_t i) { return i < text.size() && IsDigit(text[i]); }

char16_t AsciiLower(char16_t c) { return c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c - 'A' + 'a') : c; }

// The prefixes are plain ASCII, so only ASCII letters fold.
std::size_t FindNoCase(const std::u16string& text, std::u16string_view prefix, std::size_t from) {
    const auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), prefix.begin(),
                                prefix.end(), [](char16_t a, char16_t b) { return AsciiLower(a) == AsciiLower(b); });
    return it == text.end() ? std::u16string::npos : static_cast<std::size_t>(it - text.begin());
}

// The message's two "%s" in turn: the wanted page, then the arriving one.
std::u16string WaitingLine(int wantedPage, std::string_view arriving) {
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, "%.3X", static_cast<unsigned>(wantedPage));
    std::string text;
    std::string_view rest = kSearchPageMessage;
    for (const std::string_view argument : {std::string_view(wanted), arriving}) {
        const auto at = rest.find("%s");
        if (at == std::string_view::npos) break;
        text.append(rest.substr(0, at)).append(argument);
        rest.remove_prefix(at + 2);
    }
    text.append(rest);
    return Utf8ToUtf16(text);
}

// Puts a line first in the view: replaces line 0 when it differs, adds it to
// an empty view. The view keeps its content when it fails.
void PutFirstLine(TextView& view, const std::u16string& line) {
    try {
        if (view.LineCount() == 0)
            view.AddLine(line);
        else if (view.Line(0) != line)
            view.ReplaceLine(0, line);
    } catch (const std::exception&) {
        // A header that cannot be written now is written with the next page.
    }
}

}  // namespace

void TextPageView::RenderPageText(const tPageImage& page, const PageEnhancements* enhancements, bool headerOnly) {
    if (!view_) return;
    if (SameRows(page, lastPage_) && enhancements == lastEnhancements_ && (headerOnly || shownInFull_)) return;
    std::memcpy(&lastPage_, &page, sizeof lastPage_);
    lastEnhancements_ = enhancements;
    shownInFull_ = false;
    if (headerOnly) {
        PutFirstLine(*view_, PageHeaderText(page, enhancements));
        return;
    }
    RenderFullPage(page, enhancements);
    shownInFull_ = true;
}

void TextPageView::RenderFullPage(const tPageImage& page, const PageEnhancements* enhancements) {
    TextViewUpdateGuard guard(*view_);
    view_->SetText(PageText(page, enhancements));
    const std::u16string text = view_->Text();
    MarkPageNumbers(text);
    MarkAddresses(text, u"www.");
    MarkAddresses(text, u"http://");
}

// Exactly three digits standing alone make a page number; only 100-899 are
// pages, but every such run is stepped over as a whole.
void TextPageView::MarkPageNumbers(const std::u16string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const bool alone = (i == 0 || !IsDigit(text[i - 1])) && DigitAt(text, i) && DigitAt(text, i + 1) &&
                           DigitAt(text, i + 2) && !DigitAt(text, i + 3);
        if (!alone) {
            ++i;
            continue;
        }
        const int n = (text[i] - '0') * 0x100 + (text[i + 1] - '0') * 0x10 + (text[i + 2] - '0');
        Mark(static_cast<int>(i), 3, n >= 0x100 && n <= 0x899);
        i += 3;
    }
}

// An address runs to the next space, the end of its line or the end of the
// text: a page row is a line of its own, so an address in the last columns
// never takes in the start of the next row.
void TextPageView::MarkAddresses(const std::u16string& text, std::u16string_view prefix) {
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t begin = FindNoCase(text, prefix, from);
        if (begin == std::u16string::npos) return;
        std::size_t end = text.find_first_of(kWordEnds, begin);
        if (end == std::u16string::npos) end = text.size();
        Mark(static_cast<int>(begin), static_cast<int>(end - begin), true);
        from = end;
    }
}

void TextPageView::Mark(int position, int length, bool colour) {
    view_->Select(position, length);
    if (colour) view_->SetSelectionColour(kTextLinkColour);
    view_->Select(position, 0);
    view_->SetInsertColour(kTextPlainColour);
}

void TextPageView::SelectTextHit(int row, int column, int length) {
    if (!view_) return;
    view_->Select(kTextLineLength * row + column + 1, length);
}

void TextPageView::TextWaitingLine(int wantedPage, std::string_view arrivingPageText) {
    if (!view_) return;
    // Line 0 no longer shows the cached page's header.
    shownInFull_ = false;
    PutFirstLine(*view_, WaitingLine(wantedPage, arrivingPageText));
}

}  // namespace orv
