// The text view of a page: shows a page's plain text in a rich-text control,
// colours page numbers and web addresses red so that a click can follow them,
// selects search hits and writes the page search progress into the first line.
// Runs on the window thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"
#include "platform/TextView.h"

namespace orv {

// Colour of followable text (page numbers, web addresses): red, Windows value.
inline constexpr std::uint32_t kTextLinkColour = 0x0000FF;
// Insertion colour restored after each marking.
inline constexpr std::uint32_t kTextPlainColour = 0x000000;

class TextPageView {
public:
    // view may be null: then every call does nothing.
    explicit TextPageView(TextView* view) : view_(view) {}

    // Shows the page, or with headerOnly only replaces the first line by the
    // page's header. Nothing happens when the view already shows these rows
    // with these enhancements (none: the page is level 1).
    void RenderPageText(const tPageImage& page, bool headerOnly) { RenderPageText(page, nullptr, headerOnly); }
    void RenderPageText(const tPageImage& page, const PageEnhancements* enhancements, bool headerOnly);

    // Selects a search hit as the page search reports it (column is the true
    // column minus one).
    void SelectTextHit(int row, int column, int length);

    // "Search page 123...1A4" as the first line of the view.
    void TextWaitingLine(int wantedPage, std::string_view arrivingPageText);

    TextView* View() const { return view_; }

private:
    void RenderFullPage(const tPageImage& page, const PageEnhancements* enhancements);
    void MarkPageNumbers(const std::u16string& text);
    void MarkAddresses(const std::u16string& text, std::u16string_view prefix);
    void Mark(int position, int length, bool colour);

    TextView* view_;
    // The last page passed, kept per view: a cache shared between windows, or
    // one that trusted a header-only call, would skip a full render while this
    // view still shows another page's body or a "Search page" line.
    tPageImage lastPage_{};
    const PageEnhancements* lastEnhancements_ = nullptr;
    // Whether the view's text is lastPage_ in full (not just its header line).
    bool shownInFull_ = false;
};

}  // namespace orv
