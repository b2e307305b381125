// What a page window shows and why: the page wanted, the page drawn, the
// page-number entry, and the one routine (RefreshPage) that decides what to
// draw when a page arrives, when the window repaints, when another page is
// chosen and when the display mode changes. The main window and the extra page
// windows each own one. No toolkit here: the window hands over its drawing
// surfaces through PageViewSurface.
#pragma once

#include <cstdint>
#include <string>

#include "acquisition/Pages.h"
#include "rendering/Canvas.h"
#include "rendering/TextPageView.h"
#include "rendering/VTX_Graphics_Display.h"

namespace orv {

// Display modes, the tags of the mode menu minus 10.
enum : std::uint8_t {
    kModeTeletext = 0,     // "Teletext view"
    kModeTeletextTV = 1,   // "Teletext view + TV (mix)"
    kModeText = 2,         // "Text view"
    kModeTextTV = 3,       // "Text view + TV"
};

inline constexpr int kFirstPage = 0x100;
inline constexpr int kLastPage = 0x899;
inline constexpr char kWrongPageMessage[] = "Wrong page numner";

// The window side: its graphics page, its text page and its page-number label.
class PageViewSurface {
public:
    virtual ~PageViewSurface() = default;
    virtual Canvas& PageCanvas() = 0;
    // The graphics page changed and must reach the screen; or only its
    // header line (the top 15 pixel rows), which is all a running clock or a
    // typed page number changes.
    virtual void PageCanvasChanged() = 0;
    virtual void PageHeaderChanged() { PageCanvasChanged(); }
    virtual TextPageView& TextPage() = 0;
    // sSearchStr: set and repainted at once.
    virtual void SetPageNumberCaption(const std::string& caption) = 0;
    // A page was drawn in full; a new page number was taken (extra windows
    // show both in their caption).
    virtual void PageDrawnInFull(std::uint16_t /*number*/) {}
    virtual void PageNumberTaken(std::uint16_t /*number*/) {}
};

// "%.03X": three upper-case hexadecimal digits.
std::string PageNumberText(unsigned page);
// The value of up to three hex digits; false when the text is not hex.
bool ReadPageNumber(const std::string& text, unsigned& value);

class PageView {
public:
    PageView(const PageDatabase* pages, GraphicsRenderer& renderer, PageViewSurface& surface)
        : pages_(pages), renderer_(renderer), surface_(surface) {}

    // The database to look pages up in (none: nothing is ever found).
    void SetPages(const PageDatabase* pages) { pages_ = pages; }

    // Decides what to draw for a page that arrived (record and its number),
    // or, with no record and number 0, for a repaint or a new choice.
    void RefreshPage(const PageRef& record, std::uint16_t number);

    // One typed digit ("0"-"9", "A"-"F"). True when three digits are complete
    // (valid or refused): the window then records history and calls GoToEnteredPage.
    bool EnterDigit(char digit);
    // Makes PageEntry the page shown (or awaited), looking for that sub-page.
    void GoToEnteredPage(std::int32_t subPage);

    // The text search over the stored pages: goes on from the current hit
    // while the text (UTF-8) is the one searched for, else starts at the
    // first stored page. True on a hit; without one no hit is current, so the
    // next search starts again from the first page.
    bool FindNextHit(const std::string& text);
    // The text (UTF-8) is the one the current search looks for, letter case aside.
    bool IsCurrentSearch(const std::string& text) const;
    // The current hit becomes the page shown: its number in the header, then
    // exactly that sub-page looked up; the full draw marks the hit.
    void GoToSearchHit();

    bool GraphicsMode() const { return DisplayMode == kModeTeletext || DisplayMode == kModeTeletextTV; }
    bool MixMode() const { return DisplayMode == kModeTeletextTV; }

    // The enhancements a page is drawn with: none at level 1.
    const PageEnhancements* Drawn(const PageEnhancements* enhancements) const {
        return Level15 ? enhancements : nullptr;
    }
    const PageEnhancements* SnapshotDrawn() const { return Drawn(SnapshotEnhancements.get()); }
    // The fastext links of the page on view (at either level); none when it has none.
    std::optional<FlofLinks> Links() const;

    // Steps to the next (1) or the previous (-1) stored sub-page of the page
    // on view, round, and holds it until another page is chosen. False when
    // the page has no other sub-page.
    bool StepSubPage(int direction);
    // "2/4": the held sub-page's place among the stored ones; empty when none is held.
    std::string SubPagePosition() const;

    std::uint8_t DisplayMode = kModeTeletext;
    std::uint16_t CurrentPage = 0;
    std::uint32_t CurrentSubPage = 0;
    std::string PageEntry;
    bool WaitingForPage = false;
    PageRef ShownPage;        // the stored record last drawn in full
    tPageImage PageSnapshot{};  // a copy of it for printing and copying
    std::shared_ptr<const PageEnhancements> SnapshotEnhancements;  // what came with it
    bool Level15 = true;         // pages are drawn with their enhancements
    bool HoldSubPage = false;    // a sub-page chosen with the page keys is kept
    bool SnapshotTaken = false;  // a page was drawn in full at least once
    tVTXSearchRec SearchRec;
    bool SearchActive = false;

private:
    void DrawFull(const PageRef& page, std::uint16_t number);
    std::string PageNumberCaption(std::uint16_t number) const;
    void DrawWaiting(std::uint16_t number);
    void DrawHeaderOnly(const PageRef& page);
    void DrawPageEntry();
    void DrawHeaderDigits(std::string text);

    const PageDatabase* pages_;
    GraphicsRenderer& renderer_;
    PageViewSurface& surface_;
};

}  // namespace orv
