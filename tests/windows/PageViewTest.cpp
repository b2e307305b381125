// The page display rules without a window: what RefreshPage draws, where, and
// which state it changes.
#include "windows/PageView.h"

#include <gtest/gtest.h>

#include <cstring>

#include "TestTextView.h"
#include "rendering/FontTable.h"

namespace orv {
namespace {

std::unique_ptr<tPageImage> MakePage(std::uint16_t pageNo, std::int32_t subCode, const char* row1) {
    auto page = std::make_unique<tPageImage>();
    page->PageNo = pageNo;
    page->SubCode = subCode;
    for (auto& row : page->Rows) std::memset(row.data(), ' ', row.size());
    std::memcpy(page->Rows[1].data(), row1, std::strlen(row1));
    std::memcpy(page->Rows[0].data() + 32, "12:00:00", 8);
    return page;
}

class Surface : public PageViewSurface {
public:
    Surface() : canvas(490, 388, fonts), text(&view) {
        fonts.AddFontMemory(TeletextFontResource(), "TTX_FONT");
        renderer.PreparePageCanvas(&canvas);
    }
    Canvas& PageCanvas() override { return canvas; }
    void PageCanvasChanged() override { ++changes; }
    TextPageView& TextPage() override { return text; }
    void SetPageNumberCaption(const std::string& c) override { caption = c; }

    FontTable fonts;
    GraphicsRenderer renderer;
    Canvas canvas;
    test::MemoryTextView view;
    TextPageView text;
    std::string caption;
    int changes = 0;
};

// The same drawing on a fresh canvas, to compare header cells.
bool HeaderShows(Surface& s, const std::function<void(GraphicsRenderer&, Canvas&)>& draw, int lastColumn) {
    Canvas expected(490, 388, s.fonts);
    s.renderer.PreparePageCanvas(&expected);
    draw(s.renderer, expected);
    for (int y = 0; y < kCellHeight; ++y)
        for (int x = 0; x < (lastColumn + 1) * kCellWidth; ++x)
            if (expected.ColourAt(x, y) != s.canvas.ColourAt(x, y)) return false;
    return true;
}

TEST(PageView, LookUpTakesTheSubPageWhileArrivingSubPagesDoNotChangeIt) {
    PageDatabase db;
    const PageRef first = db.Store(MakePage(0x150, 1, "first"));
    const PageRef second = db.Store(MakePage(0x150, 2, "second"));
    Surface s;
    PageView view(&db, s.renderer, s);
    view.PageEntry = "150";
    view.GoToEnteredPage(0);
    EXPECT_FALSE(view.WaitingForPage);
    EXPECT_EQ(view.ShownPage, first);  // sub-page 0: the first stored one
    EXPECT_EQ(view.CurrentSubPage, 1u);
    EXPECT_EQ(s.caption, "150");
    EXPECT_EQ(std::memcmp(&view.PageSnapshot, first.get(), sizeof(tPageImage)), 0);

    view.RefreshPage(second, 0x150);  // a rotating sub-page is drawn as it arrives ...
    EXPECT_EQ(view.ShownPage, second);
    EXPECT_EQ(view.CurrentSubPage, 1u);  // ... but the wanted sub-page stays
    view.RefreshPage(nullptr, 0);        // so a repaint shows the looked-up one
    EXPECT_EQ(view.ShownPage, first);

    // The window keeps its record when the database lets go of it.
    db.ClearPageDatabase();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.ShownPage->Rows[1].data()), 5), "first");
}

TEST(PageView, WaitingAndHeaderOnlyRefreshInBothModes) {
    PageDatabase db;
    Surface s;
    PageView view(&db, s.renderer, s);
    view.PageEntry = "123";
    view.GoToEnteredPage(0);
    EXPECT_TRUE(view.WaitingForPage);
    EXPECT_TRUE(HeaderShows(s, [](GraphicsRenderer& r, Canvas& c) { r.DrawWaitingHeader(c, 0x123, "000", false); }, 21));
    const PageRef other = db.Store(MakePage(0x1A4, 0, "other"));
    view.RefreshPage(other, 0x1A4);
    EXPECT_TRUE(HeaderShows(s, [](GraphicsRenderer& r, Canvas& c) { r.DrawWaitingHeader(c, 0x123, "1A4", false); }, 21));

    view.DisplayMode = kModeText;
    view.RefreshPage(other, 0x1A4);
    ASSERT_GE(s.view.LineCount(), 1);
    EXPECT_EQ(s.view.LineUtf8(0), "Search page 123...1A4");

    // Page 123 arrives: drawn in full; then another page only touches the header.
    view.DisplayMode = kModeTeletext;
    const PageRef wanted = db.Store(MakePage(0x123, 0, "wanted"));
    view.RefreshPage(wanted, 0x123);
    EXPECT_FALSE(view.WaitingForPage);
    EXPECT_EQ(view.ShownPage, wanted);
    // Nothing of the "Search page" line stays in the window's own cells.
    EXPECT_TRUE(HeaderShows(s, [](GraphicsRenderer& r, Canvas& c) { r.DrawHeaderPageNumber(c, 0x123, false); }, 10));
    auto later = MakePage(0x456, 0, "later");
    std::memcpy(later->Rows[0].data() + 32, "12:00:01", 8);
    view.RefreshPage(PageRef(std::move(later)), 0x456);
    EXPECT_EQ(view.ShownPage, wanted);
    EXPECT_EQ(view.CurrentPage, 0x123);
    EXPECT_TRUE(HeaderShows(s, [](GraphicsRenderer& r, Canvas& c) { r.DrawHeaderPageNumber(c, 0x123, false); }, 10));

    view.DisplayMode = kModeText;
    view.RefreshPage(nullptr, view.CurrentPage);  // a mode change redraws at once
    EXPECT_NE(s.view.Utf8().find("wanted"), std::string::npos);
    EXPECT_EQ(s.view.LineUtf8(0).substr(0, 12), std::string(12, ' '));
}

TEST(PageView, RefusedAndUnreadableEntriesKeepThePage) {
    PageDatabase db;
    const PageRef page100 = db.Store(MakePage(0x100, 0, "index"));
    Surface s;
    PageView view(&db, s.renderer, s);
    view.PageEntry = "100";
    view.GoToEnteredPage(0);
    ASSERT_EQ(view.ShownPage, page100);

    EXPECT_FALSE(view.EnterDigit('9'));
    EXPECT_FALSE(view.EnterDigit('9'));
    EXPECT_EQ(s.caption, "99");
    view.RefreshPage(page100, 0x100);  // the page in view comes round again
    EXPECT_EQ(view.ShownPage, page100);
    EXPECT_EQ(s.caption, "99");        // without hiding the digits typed
    EXPECT_TRUE(view.EnterDigit('9'));  // complete, but refused
    EXPECT_EQ(view.PageEntry, "");
    EXPECT_EQ(s.caption, "");
    view.GoToEnteredPage(0);
    EXPECT_EQ(view.CurrentPage, 0x100);
    // The digits shown at the top left are wiped.
    EXPECT_TRUE(HeaderShows(s, [](GraphicsRenderer& r, Canvas& c) { r.DrawHeaderText(c, "   ", false); }, 2));
    view.RefreshPage(page100, 0x100);
    EXPECT_EQ(s.caption, "100");  // the emptied label gets the page's number back

    for (const char* refused : {"89A", "050", "8A0"}) {
        for (const char* c = refused; *c; ++c) view.EnterDigit(*c);
        EXPECT_EQ(view.PageEntry, "") << refused;
    }
    for (const char c : {'8', '9', '9'}) view.EnterDigit(c);
    EXPECT_EQ(view.PageEntry, "899");

    view.PageEntry = "1x3";  // cannot be read as a number
    view.GoToEnteredPage(0);
    EXPECT_EQ(view.CurrentPage, 0x100);
    EXPECT_TRUE(HeaderShows(s, [](GraphicsRenderer& r, Canvas& c) { r.DrawHeaderMessage(c, kWrongPageMessage, false); },
                            39));
}

TEST(PageView, PageNumbersAreThreeUpperCaseHexDigits) {
    EXPECT_EQ(PageNumberText(0x1a4), "1A4");
    EXPECT_EQ(PageNumberText(0x100), "100");
    unsigned v = 0;
    EXPECT_TRUE(ReadPageNumber("8ff", v));
    EXPECT_EQ(v, 0x8FFu);
    EXPECT_FALSE(ReadPageNumber("", v));
    EXPECT_FALSE(ReadPageNumber("1000", v));
    EXPECT_FALSE(ReadPageNumber("1 0", v));
}

}  // namespace
}  // namespace orv
