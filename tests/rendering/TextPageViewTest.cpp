#include "rendering/TextPageView.h"

#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "TestTextView.h"
#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {
namespace {

using test::MakePage;
using test::MemoryTextView;

constexpr std::uint32_t kRed = 0x0000FF;

int At(int row, int column) { return 42 * row + column; }

std::vector<int> Cells(int start, int length) {
    std::vector<int> positions;
    for (int i = 0; i < length; ++i) positions.push_back(start + i);
    return positions;
}

std::unique_ptr<tPageImage> HeaderPage(std::uint16_t pageNo, std::string_view headline,
                                       std::vector<std::pair<int, std::string_view>> rows = {}) {
    auto page = MakePage(pageNo, 0, std::move(rows));
    std::string header = "\x01\x02\x03\x04\x05\x06\x07\x08" "123 ";
    header.append(headline);
    std::memcpy(page->Rows[0].data(), header.data(), std::min<std::size_t>(header.size(), kRowLength));
    return page;
}

TEST(TextPageView, FullRenderShowsThePlainTextWithNationalCharactersAndBlankedCells) {
    auto page = MakePage(0x470, 0,
                         {{0, "\x01\x02\x03\x04\x05\x06\x07\x08" "470 ORV Tue 12:34:56"},
                          {3, "\x07Str{~e"},
                          {4, "\x17\x7F\x7F"}},
                         1);
    MemoryTextView view;
    TextPageView text(&view);
    text.RenderPageText(*page, false);

    ASSERT_EQ(view.text.size(), 1050u);
    EXPECT_EQ(view.text, PageText(*page));
    EXPECT_EQ(view.LineCount(), 25);
    EXPECT_EQ(view.LineUtf8(0), std::string(12, ' ') + "ORV Tue 12:34:56" + std::string(12, ' '));
    EXPECT_EQ(view.LineUtf8(3).substr(0, 9), " Str\u00E4\u00DF" "e");
    EXPECT_EQ(view.LineUtf8(4), std::string(40, ' '));
    // The updates were suspended: one repaint for the whole page.
    EXPECT_EQ(view.repaints, 1);
    EXPECT_EQ(view.updateDepth, 0);
    EXPECT_EQ(view.insertColour, 0u);
}

TEST(TextPageView, ThreeDigitPageNumbersStandingAloneAreRed) {
    auto page = MakePage(0x100, 0,
                         {{1, "123 1234 099 900 100-199 899 8999"},
                          {2, "Tor 7:12 ab 555"},
                          {3, "see pages                            333"},
                          {4, "456 at the start"}});
    MemoryTextView view;
    TextPageView text(&view);
    text.RenderPageText(*page, false);

    std::vector<int> expected;
    for (const auto& run : {Cells(At(1, 0), 3), Cells(At(1, 17), 3), Cells(At(1, 21), 3), Cells(At(1, 25), 3),
                            Cells(At(2, 12), 3), Cells(At(3, 37), 3), Cells(At(4, 0), 3)})
        expected.insert(expected.end(), run.begin(), run.end());
    EXPECT_EQ(view.PositionsColoured(kRed), expected);
    EXPECT_EQ(view.SelectionLength(), 0);
    EXPECT_EQ(view.insertColour, 0u);
}

TEST(TextPageView, WebAddressesAreRedUpToTheNextSpaceOrTheEndOfTheirLine) {
    auto page = MakePage(0x100, 0,
                         {{1, "Info: WWW.Orf.AT/text and more"},
                          {2, "see http://example.org/a?b=1 now"},
                          {3, "continued at                 www.abcdefg"},
                          {4, "hij/k more text"},
                          {24, "end                         http://x.y/z"}});
    MemoryTextView view;
    TextPageView text(&view);
    text.RenderPageText(*page, false);

    EXPECT_EQ(view.ColourAt(At(1, 5)), 0u);
    for (int k = 6; k < 21; ++k) EXPECT_EQ(view.ColourAt(At(1, k)), kRed) << k;
    EXPECT_EQ(view.ColourAt(At(1, 21)), 0u);
    for (int k = 4; k < 28; ++k) EXPECT_EQ(view.ColourAt(At(2, k)), kRed) << k;
    EXPECT_EQ(view.ColourAt(At(2, 28)), 0u);
    // An address in the last columns ends with its line: not the line break,
    // not "hij/k" of the next line.
    for (int k = 29; k < 40; ++k) EXPECT_EQ(view.ColourAt(At(3, k)), kRed) << k;
    for (int p = At(3, 40); p <= At(4, 5); ++p) EXPECT_EQ(view.ColourAt(p), 0u) << p;
    for (int k = 28; k < 40; ++k) EXPECT_EQ(view.ColourAt(At(24, k)), kRed) << k;
    for (int p = At(24, 40); p < 1050; ++p) EXPECT_EQ(view.ColourAt(p), 0u) << p;
    EXPECT_EQ(view.insertColour, 0u);
}

TEST(TextPageView, UnchangedRowsLeaveTheViewAloneWhateverTheMode) {
    auto page = HeaderPage(0x123, "ORV 12:00:00", {{5, "page 300"}});
    MemoryTextView view;
    TextPageView text(&view);
    text.RenderPageText(*page, false);
    const std::u16string shown = view.text;
    const auto colours = view.colours;
    view.Select(10, 4);
    const int repaints = view.repaints;

    text.RenderPageText(*page, false);
    text.RenderPageText(*page, true);
    auto sameRows = HeaderPage(0x123, "ORV 12:00:00", {{5, "page 300"}});
    sameRows->PageNo = 0x456;  // only the rows count
    sameRows->SubCode = 7;
    text.RenderPageText(*sameRows, false);

    EXPECT_EQ(view.text, shown);
    EXPECT_EQ(view.colours, colours);
    EXPECT_EQ(view.repaints, repaints);
    EXPECT_EQ(view.SelectionStart(), 10);
    EXPECT_EQ(view.SelectionLength(), 4);
}

TEST(TextPageView, HeaderOnlyReplacesOnlyTheFirstLine) {
    auto body = HeaderPage(0x123, "ORV 12:00:00", {{5, "page 300"}});
    auto next = HeaderPage(0x456, "ORV 12:00:01", {{5, "other body"}});
    MemoryTextView view;
    TextPageView text(&view);
    text.RenderPageText(*body, false);
    const std::u16string before = view.text;
    const auto red = view.PositionsColoured(kRed);

    text.RenderPageText(*next, true);
    EXPECT_EQ(view.LineUtf8(0), std::string(12, ' ') + "ORV 12:00:01" + std::string(16, ' '));
    EXPECT_EQ(view.text.substr(42), before.substr(42));
    EXPECT_EQ(view.PositionsColoured(kRed), red);

    // The same header line again (other rows): the view is not touched.
    const int repaints = view.repaints;
    auto sameHeader = HeaderPage(0x789, "ORV 12:00:01", {{6, "third"}});
    text.RenderPageText(*sameHeader, true);
    EXPECT_EQ(view.repaints, repaints);

    // An empty view gets the header as its only line.
    MemoryTextView empty;
    TextPageView fresh(&empty);
    fresh.RenderPageText(*body, true);
    EXPECT_EQ(empty.LineCount(), 1);
    EXPECT_EQ(empty.LineUtf8(0), std::string(12, ' ') + "ORV 12:00:00" + std::string(16, ' '));
}

TEST(TextPageView, SearchHitSelectsFromTheReportedColumnPlusOne) {
    auto page = MakePage(0x100, 0, {{2, "Wetter heute"}});
    MemoryTextView view;
    TextPageView text(&view);
    text.RenderPageText(*page, false);
    text.SelectTextHit(2, -1, 5);
    EXPECT_EQ(view.SelectionStart(), 84);
    EXPECT_EQ(view.SelectionLength(), 5);
    EXPECT_EQ(view.Range(84, 5), "Wette");
    text.SelectTextHit(2, 6, 5);
    EXPECT_EQ(view.Range(view.SelectionStart(), view.SelectionLength()), "heute");
}

TEST(TextPageView, WaitingLineReplacesOrAddsTheFirstLine) {
    auto page = HeaderPage(0x100, "ORV", {{1, "body"}});
    MemoryTextView view;
    TextPageView text(&view);
    text.RenderPageText(*page, false);
    const std::u16string body = view.text.substr(42);

    text.TextWaitingLine(0x123, "1A4");
    EXPECT_EQ(view.LineUtf8(0), "Search page 123...1A4");
    EXPECT_EQ(view.LineCount(), 25);
    EXPECT_EQ(view.text.substr(21), u"\r\n" + body);
    text.TextWaitingLine(0x1ab, "000");
    EXPECT_EQ(view.LineUtf8(0), "Search page 1AB...000");

    MemoryTextView empty;
    TextPageView fresh(&empty);
    fresh.TextWaitingLine(0x200, "2FF");
    EXPECT_EQ(empty.LineCount(), 1);
    EXPECT_EQ(empty.LineUtf8(0), "Search page 200...2FF");
}

TEST(TextPageView, ViewErrorsOnTheFirstLineAreIgnoredAndAFailedRenderIsRetried) {
    auto page = HeaderPage(0x100, "ORV", {{1, "body 300"}});
    MemoryTextView view;
    TextPageView text(&view);
    view.failLines = true;
    EXPECT_NO_THROW(text.RenderPageText(*page, true));
    EXPECT_NO_THROW(text.TextWaitingLine(0x123, "456"));
    EXPECT_TRUE(view.text.empty());

    view.failLines = false;
    view.failSetText = true;
    EXPECT_ANY_THROW(text.RenderPageText(*page, false));
    EXPECT_EQ(view.updateDepth, 0);  // resumed on the way out

    view.failSetText = false;
    text.RenderPageText(*page, false);
    EXPECT_EQ(view.text, PageText(*page));
    EXPECT_EQ(view.PositionsColoured(kRed), Cells(At(1, 5), 3));
}

TEST(TextPageView, FullRenderFollowsAHeaderOnlyOrWaitingLineOfTheSamePage) {
    auto shown = HeaderPage(0x100, "ORV", {{1, "first body"}});
    auto page = HeaderPage(0x200, "ORV", {{1, "second body 250"}});
    MemoryTextView view;
    TextPageView text(&view);
    text.RenderPageText(*shown, false);

    // The header of 200 arrives while 100 is shown, then 200 is picked.
    text.RenderPageText(*page, true);
    text.RenderPageText(*page, false);
    EXPECT_EQ(view.text, PageText(*page));
    EXPECT_EQ(view.PositionsColoured(kRed), Cells(At(1, 12), 3));

    // Waiting for a page, then the same page comes back in full.
    text.TextWaitingLine(0x300, "000");
    text.RenderPageText(*page, false);
    EXPECT_EQ(view.text, PageText(*page));

    // Shown in full, a header-only call of it is still no change.
    const int repaints = view.repaints;
    text.RenderPageText(*page, true);
    text.RenderPageText(*page, false);
    EXPECT_EQ(view.repaints, repaints);
}

TEST(TextPageView, EachViewKeepsItsOwnLastPage) {
    auto page = HeaderPage(0x100, "ORV", {{1, "shared page 150"}});
    MemoryTextView first;
    MemoryTextView second;
    TextPageView a(&first);
    TextPageView b(&second);
    a.RenderPageText(*page, false);
    b.RenderPageText(*page, false);
    EXPECT_EQ(first.text, PageText(*page));
    EXPECT_EQ(second.text, PageText(*page));

    auto other = HeaderPage(0x200, "ORV", {{1, "other"}});
    a.RenderPageText(*other, true);
    const int repaints = second.repaints;
    b.RenderPageText(*page, false);
    EXPECT_EQ(second.repaints, repaints);
}

TEST(TextPageView, WithoutAViewNothingHappens) {
    TextPageView text(nullptr);
    auto page = HeaderPage(0x100, "ORV", {{1, "x"}});
    EXPECT_EQ(text.View(), nullptr);
    EXPECT_NO_THROW(text.RenderPageText(*page, false));
    EXPECT_NO_THROW(text.RenderPageText(*page, true));
    EXPECT_NO_THROW(text.SelectTextHit(2, -1, 5));
    EXPECT_NO_THROW(text.TextWaitingLine(0x123, "456"));

    MemoryTextView view;
    TextPageView with(&view);
    EXPECT_EQ(with.View(), &view);
}

}  // namespace
}  // namespace orv
