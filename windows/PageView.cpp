#include "windows/PageView.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "rendering/TextEncoding.h"

namespace orv {

std::string PageNumberText(unsigned page) {
    char text[16];
    std::snprintf(text, sizeof text, "%.03X", page & 0xFFFu);
    return text;
}

bool ReadPageNumber(const std::string& text, unsigned& value) {
    if (text.empty() || text.size() > 3) return false;
    unsigned v = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else return false;
        v = v * 16 + static_cast<unsigned>(d);
    }
    value = v;
    return true;
}

void PageView::RefreshPage(const PageRef& record, std::uint16_t number) {
    try {
        PageRef page = record;
        if (!page && pages_) {
            page = pages_->FindPage(CurrentPage, static_cast<std::int32_t>(CurrentSubPage));
            if (page) {
                WaitingForPage = false;
                CurrentSubPage = static_cast<std::uint32_t>(static_cast<std::int32_t>(page->SubCode));
                number = CurrentPage;
            }
        }
        // A held sub-page is drawn when a newer copy of it arrives, no other.
        const bool held = HoldSubPage && page && page->SubCode != static_cast<std::int32_t>(CurrentSubPage);
        if (page && number == CurrentPage && !held) {
            DrawFull(page, number);
            ShownPage = page;
        } else if (WaitingForPage) {
            DrawWaiting(number);
        } else if (page && !page->SuppressHeader) {
            // A page whose header is not for display (subtitles, newsflashes)
            // would blank the running header each time it passes.
            DrawHeaderOnly(page);
        }
    } catch (...) {
        // A page that cannot be drawn leaves the window as it was.
    }
}

void PageView::DrawFull(const PageRef& record, std::uint16_t number) {
    const tPageImage& page = *record;
    const std::shared_ptr<const PageEnhancements> enhancements = SharedEnhancementsOf(record);
    WaitingForPage = false;
    if (GraphicsMode()) {
        renderer_.DrawPage(surface_.PageCanvas(), page, Drawn(enhancements.get()), false, MixMode());
        // Cells 0-10 are the window's own, which the page does not draw: its
        // number (or the digits being typed) and blanks, so that nothing of a
        // "Search page" line or of earlier digits stays there.
        std::string own = PageEntry.empty() ? PageNumberText(number) : PageEntry;
        own.resize(11, ' ');
        renderer_.DrawHeaderText(surface_.PageCanvas(), own, MixMode());
        if (SearchActive)
            renderer_.FrameSearchHit(surface_.PageCanvas(), SearchRec.FoundRow, SearchRec.FoundColumn,
                                     SearchRec.SearchLength);
        surface_.PageCanvasChanged();
    } else {
        surface_.TextPage().RenderPageText(page, Drawn(enhancements.get()), false);
        if (SearchActive)
            surface_.TextPage().SelectTextHit(SearchRec.FoundRow, SearchRec.FoundColumn, SearchRec.SearchLength);
    }
    if (&page != &PageSnapshot) std::memcpy(&PageSnapshot, &page, sizeof PageSnapshot);
    SnapshotEnhancements = enhancements;
    SnapshotTaken = true;
    // While digits are being typed the label shows them: the page in view comes
    // round again and again (a carousel every few seconds), and putting its
    // number back would hide the digits the next key will complete.
    if (PageEntry.empty()) surface_.SetPageNumberCaption(PageNumberCaption(number));
    surface_.PageDrawnInFull(number);
}

void PageView::DrawWaiting(std::uint16_t number) {
    const std::string arriving = PageNumberText(number);
    if (GraphicsMode()) {
        renderer_.DrawWaitingHeader(surface_.PageCanvas(), CurrentPage, arriving, MixMode());
        surface_.PageHeaderChanged();
    } else {
        surface_.TextPage().TextWaitingLine(CurrentPage, arriving);
    }
}

void PageView::DrawHeaderOnly(const PageRef& record) {
    const tPageImage& page = *record;
    const PageEnhancements* enhancements = Drawn(EnhancementsOf(record));
    if (GraphicsMode()) {
        renderer_.DrawPage(surface_.PageCanvas(), page, enhancements, true, MixMode());
        renderer_.DrawHeaderPageNumber(surface_.PageCanvas(), CurrentPage, MixMode());
        surface_.PageHeaderChanged();
    } else {
        surface_.TextPage().RenderPageText(page, enhancements, true);
    }
}

bool PageView::EnterDigit(char digit) {
    if (PageEntry.size() >= 3) PageEntry.clear();
    PageEntry.push_back(digit);
    surface_.SetPageNumberCaption(PageEntry);
    if (PageEntry.size() < 3) return false;
    unsigned value = 0;
    if (!ReadPageNumber(PageEntry, value) || value < kFirstPage || value > kLastPage) {
        PageEntry.clear();
        surface_.SetPageNumberCaption(PageEntry);
    }
    return true;
}

void PageView::DrawPageEntry() { DrawHeaderDigits(PageEntry); }

void PageView::DrawHeaderDigits(std::string text) {
    if (!GraphicsMode()) return;
    // Three cells always, so that an empty entry wipes the digits shown before.
    text.resize(3, ' ');
    renderer_.DrawHeaderText(surface_.PageCanvas(), text, MixMode());
    surface_.PageHeaderChanged();
}

void PageView::GoToEnteredPage(std::int32_t subPage) {
    DrawPageEntry();
    if (PageEntry.size() < 3) return;
    unsigned value = 0;
    if (!ReadPageNumber(PageEntry, value)) {
        if (GraphicsMode()) {
            renderer_.DrawHeaderMessage(surface_.PageCanvas(), kWrongPageMessage, MixMode());
            surface_.PageHeaderChanged();
        }
        return;
    }
    PageEntry.clear();
    WaitingForPage = true;
    HoldSubPage = false;
    ShownPage.reset();
    CurrentPage = static_cast<std::uint16_t>(value);
    CurrentSubPage = static_cast<std::uint32_t>(subPage);
    surface_.PageNumberTaken(CurrentPage);
    RefreshPage(nullptr, 0);
}

bool PageView::IsCurrentSearch(const std::string& text) const {
    std::u16string upper = Utf8ToUtf16(text);
    for (char16_t& c : upper) c = UpperCase(c);
    return upper == SearchRec.SearchText;
}

bool PageView::FindNextHit(const std::string& text) {
    if (!IsCurrentSearch(text)) SearchActive = false;
    if (SearchActive) {
        SearchActive = pages_ && pages_->SearchNext(SearchRec);
        return SearchActive;
    }
    if (!pages_ || !pages_->SearchFirst(text, SearchRec)) return false;
    SearchActive = true;
    return true;
}

void PageView::GoToSearchHit() {
    try {
        DrawHeaderDigits(PageNumberText(static_cast<unsigned>(SearchRec.FoundPage)));
    } catch (...) {
        // The hit is still shown below.
    }
    PageEntry.clear();
    WaitingForPage = true;
    HoldSubPage = false;
    ShownPage.reset();
    CurrentPage = static_cast<std::uint16_t>(SearchRec.FoundPage);
    CurrentSubPage = static_cast<std::uint32_t>(SearchRec.FoundSubCode);
    surface_.PageNumberTaken(CurrentPage);
    RefreshPage(nullptr, 0);
}

std::optional<FlofLinks> PageView::Links() const {
    if (!SnapshotTaken || !SnapshotEnhancements) return std::nullopt;
    std::optional<FlofLinks> links = SnapshotEnhancements->Links();
    if (links && !links->Any()) links.reset();
    return links;
}

bool PageView::StepSubPage(int direction) {
    if (!pages_ || !ShownPage || WaitingForPage) return false;
    const std::vector<std::int32_t> codes = pages_->SubCodes(CurrentPage);
    if (codes.size() < 2) return false;
    const std::int32_t shown = ShownPage->SubCode;
    auto at = std::find(codes.begin(), codes.end(), shown);
    std::ptrdiff_t index = at == codes.end() ? 0 : at - codes.begin();
    const auto count = static_cast<std::ptrdiff_t>(codes.size());
    index = ((index + direction) % count + count) % count;
    HoldSubPage = true;
    CurrentSubPage = static_cast<std::uint32_t>(codes[static_cast<std::size_t>(index)]);
    const PageRef page = pages_->FindPage(CurrentPage, static_cast<std::int32_t>(CurrentSubPage));
    if (!page) return false;
    RefreshPage(page, CurrentPage);
    return true;
}

std::string PageView::SubPagePosition() const {
    if (!HoldSubPage || !pages_) return {};
    const std::vector<std::int32_t> codes = pages_->SubCodes(CurrentPage);
    const auto at = std::find(codes.begin(), codes.end(), static_cast<std::int32_t>(CurrentSubPage));
    if (at == codes.end()) return {};
    return std::to_string(at - codes.begin() + 1) + "/" + std::to_string(codes.size());
}

std::string PageView::PageNumberCaption(std::uint16_t number) const {
    const std::string position = SubPagePosition();
    return position.empty() ? PageNumberText(number) : PageNumberText(number) + "  " + position;
}

}  // namespace orv
