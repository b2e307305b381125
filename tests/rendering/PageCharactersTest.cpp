// Level 1.5: character sets designated by X/28/0 and M/29/0, ESC to the second
// G0 set, and the characters X/26 places, in the graphics view (compared with
// the glyphs of the real font) and in the text form.
#include "rendering/PageCharacters.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "rendering/BoxedText.h"
#include "rendering/CaptionPicture.h"
#include "rendering/FontTable.h"
#include "rendering/VTX_Graphics_Display.h"
#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv {
namespace {

Triplet T(int address, int mode, int data) {
    return {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(data), true};
}

// The first two triplets of X/28/0 format 1 or M/29/0: a level-1 page, its
// default G0/G2 set and its second G0 set.
TripletPacket Designation(int primary, int second) {
    const std::uint32_t bits = static_cast<std::uint32_t>(primary) << 7 | static_cast<std::uint32_t>(second & 15) << 14;
    TripletArray packet{};
    packet[0] = T(static_cast<int>(bits & 0x3F), static_cast<int>((bits >> 6) & 0x1F), static_cast<int>(bits >> 11));
    packet[1] = T(second >> 4, 0, 0);
    return TripletPacket::FromTriplets(packet);
}

std::string Line(const tPageImage& page, const PageEnhancements* e, int row) {
    return Utf16ToUtf8(PageText(page, e).substr(static_cast<std::size_t>(row) * 42, 40));
}

class Level15 : public ::testing::Test {
protected:
    Level15() { fonts.AddFontMemory(TeletextFontResource(), "TTX_FONT"); }

    void Draw(const tPageImage& page, const PageEnhancements* e) { renderer.DrawPage(canvas, page, e, false, false); }

    // The cell shows that glyph (and that mark over it), white on black.
    bool CellIs(int row, int column, std::string_view face, std::uint8_t code, std::uint8_t mark = 0,
                bool capital = false) {
        Canvas reference(12, 30, fonts);
        reference.SetFace(face);
        reference.TextOut(0, 0, std::string_view(reinterpret_cast<const char*>(&code), 1));
        if (mark) {
            reference.SetFace(face.starts_with('D') ? "DTTXMARKS" : "TTXMARKS");
            reference.InkOut(0, 0, static_cast<std::uint8_t>((capital ? 0x60 : 0x40) + mark));
        }
        const int height = face.starts_with('D') ? 30 : 15;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < 12; ++x)
                if (canvas.ColourAt(column * 12 + x, row * 15 + y) != reference.ColourAt(x, y)) return false;
        return true;
    }

    FontTable fonts;
    GraphicsRenderer renderer;
    Canvas canvas{490, 388, fonts};
};

TEST_F(Level15, DesignationChoosesTheSetAndTheHeaderTheOptionWithinItsGroup) {
    // Group 4: Russian is its option 4, which the header gives (C12).
    auto page = test::MakePage(0x100, 0, {{1, "Priwet ["}}, 4);
    PageEnhancements russian;
    russian.X28_0 = Designation(36, 36);
    EXPECT_EQ(Line(*page, &russian, 1).substr(0, 12), "\u041F\u0440\u0438\u0432\u0435\u0442");
    EXPECT_EQ(PageTextCodePage(*page, &russian), CodePage::Windows1251);
    EXPECT_EQ(EncodeCodePage(PageText(*page, &russian).substr(42, 6), CodePage::Windows1251), "\xCF\xF0\xE8\xE2\xE5\xF2");
    Draw(*page, &russian);
    EXPECT_TRUE(CellIs(1, 0, "RUSCHAR", 'P'));
    EXPECT_EQ(Line(*page, nullptr, 1).substr(0, 9), "Priwet \u00EB");  // level 1: French, as the header says

    // The magazine's M/29/0 counts where the page has no X/28/0 of its own
    // (Greek is option 7 of group 6; the header's option 4 names nothing there).
    PageEnhancements greek;
    greek.Magazine = std::make_shared<MagazineEnhancements>(MagazineEnhancements{Designation(55, 55), {}, {}});
    EXPECT_EQ(Line(*page, &greek, 1).substr(0, 2), "\u03A0");
    russian.Magazine = greek.Magazine;
    EXPECT_EQ(Line(*page, &russian, 1).substr(0, 2), "\u041F");

    // Group 4 with the header's option 1 is German, whatever the designation's own option.
    page->NationalOption = 1;
    PageEnhancements group4;
    group4.X28_0 = Designation(32, 32);
    EXPECT_EQ(Line(*page, &group4, 1).substr(7, 2), "\u00C4");
    // A designated page keeps its own faces whatever NationalFont chose for level-1 pages.
    renderer.SelectFontSet(1);
    Draw(*page, &group4);
    EXPECT_TRUE(CellIs(1, 7, "TTXCHAR", NationalGlyph(1, '[')));
    Draw(*page, nullptr);
    EXPECT_TRUE(CellIs(1, 0, "RUSCHAR", 'P'));
}

TEST_F(Level15, EscSwitchesToTheSecondSetAndEveryRowStartsInTheFirst) {
    auto page = test::MakePage(0x100, 0, {{2, "A\x1B" "A\x1B" "A"}, {3, "A"}});
    PageEnhancements two;
    two.X28_0 = Designation(0, 55);
    EXPECT_EQ(Line(*page, &two, 2).substr(0, 6), "A \u0391 A");
    EXPECT_EQ(Line(*page, &two, 3).substr(0, 1), "A");
    Draw(*page, &two);
    EXPECT_TRUE(CellIs(2, 2, "GRKCHAR", 'A'));
    EXPECT_TRUE(CellIs(2, 4, "TTXCHAR", 'A'));
    EXPECT_TRUE(CellIs(3, 0, "TTXCHAR", 'A'));
    EXPECT_EQ(Line(*page, nullptr, 2).substr(0, 5), "A A A");  // no second set: ESC does nothing
}

TEST_F(Level15, X26PlacesLettersWithMarksAndG2CharactersOnTheirCells) {
    auto page = test::MakePage(0x100, 0, {{3, "  E  x"}, {5, "\x0D" "x"}, {24, "          x"}});
    PageEnhancements e;
    TripletArray first{};
    first[0] = T(43, 0x04, 0);         // row 3
    first[1] = T(2, 0x12, 'E');        // E with an acute
    first[2] = T(5, 0x12, 'i');        // i with an acute
    first[3] = Triplet{};              // damaged: skipped
    first[4] = T(45, 0x04, 0);         // row 5, double height there
    first[5] = T(1, 0x0F, 0x55);       // G2: eighth note
    first[6] = T(40, 0x04, 0);         // 40 is row 24
    first[7] = T(10, 0x10, 0x2A);      // "*" without a mark stands for "@"
    first[8] = T(63, 0x1F, 0);         // the end
    first[9] = T(11, 0x0F, 0x23);      // after the end: ignored
    e.SetX26(0, TripletPacket::FromTriplets(first));

    EXPECT_EQ(Line(*page, &e, 3).substr(0, 8), "  \u00C9  \u00ED");
    EXPECT_EQ(Line(*page, &e, 5).substr(0, 4), " \u266A");
    EXPECT_EQ(Line(*page, &e, 24).substr(9, 3), " @ ");
    EXPECT_EQ(Line(*page, nullptr, 3).substr(0, 6), "  E  x");

    Draw(*page, &e);
    EXPECT_TRUE(CellIs(3, 2, "TTXCHAR", 'E', 2, true));
    EXPECT_TRUE(CellIs(3, 5, "TTXG2", 0x75, 2));  // the dotless i under the accent
    EXPECT_TRUE(CellIs(5, 1, "DTTXG2", 0x55));    // double height reaches into row 6
    EXPECT_TRUE(CellIs(24, 10, "TTXCHAR", '@'));
    EXPECT_TRUE(CellIs(24, 11, "TTXCHAR", ' '));
}

TEST(BoxedText, BoxesRunFromAfterStartBoxToTheEndBoxAndTheLowerHalfOfTallRowsIsNone) {
    auto page = test::MakePage(0x888, 0,
                               {{20, "\x0D\x0B\x0B  Bonjour \x0A\x0A unboxed"},
                                {21, "\x0B\x0Bcovered by row 20"},
                                {22, "   \x0B\x0Bl'\x7Bt\x7B\x0A\x0A"},
                                {23, "no box at all"}},
                               4);
    const PageBoxes boxes = FindBoxes(*page);
    EXPECT_EQ(boxes.Cells[20].to_string().substr(40 - 15), "011111111111100");  // columns 14 down to 0
    EXPECT_TRUE(boxes.Cells[21].none());
    EXPECT_EQ(boxes.Cells[22].count(), 7u);
    EXPECT_EQ(BoxedLines(*page), (std::vector<std::u16string>{u"Bonjour", u"l'\u00E2t\u00E2"}));
    EXPECT_FALSE(FindBoxes(*test::MakePage(0x100, 0, {{1, "plain"}})).Any());
}

// The caption: only the boxed runs, each on the background in force where it
// starts, rows stacked from the bottom, scaled by the width (or the height
// when the lines would not fit); the same text again is no change.
TEST(CaptionPicture, RunsOfBoxedCellsStackedFromTheBottomAndScaled) {
    FontTable fonts;
    fonts.AddFontMemory(TeletextFontResource(), "TTX_FONT");
    GraphicsRenderer renderer;
    CaptionPicture caption(fonts);
    auto page = test::MakePage(0x888, 0,
                               {{20, "\x0D\x0B\x0BHello\x0A\x0A outside"},
                                {22, "\x06\x1D\x07\x0D\x0B\x0BWorld\x0A\x0A"}});
    ASSERT_TRUE(caption.Take(*page, nullptr, renderer));
    EXPECT_FALSE(caption.Take(*page, nullptr, renderer));

    const auto pieces = caption.Layout(kPagePictureWidth, kPagePictureHeight);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], (CaptionPiece{{24, 300, 108, 330}, {24, 315, 108, 345}, kTeletextColours[0]}));
    EXPECT_EQ(pieces[1], (CaptionPiece{{60, 330, 144, 360}, {60, 345, 144, 375}, kTeletextColours[6]}));
    // Twice as wide but too low for four rows at that size: the height decides, centred.
    EXPECT_EQ(caption.Layout(960, 100)[0].Target, (Rect{120, 0, 260, 50}));

    // White letters on black in the first run, white on cyan in the second.
    auto inks = [&](const Rect& r, ColorRef background) {
        int count = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) {
                const ColorRef c = caption.Page().ColourAt(x, y);
                count += c == kTeletextColours[7];
                if (c != kTeletextColours[7]) {
                    EXPECT_EQ(c, background) << x << "," << y;
                }
            }
        return count;
    };
    EXPECT_GT(inks(pieces[0].Source, kTeletextColours[0]), 50);
    EXPECT_GT(inks(pieces[1].Source, kTeletextColours[6]), 50);

    page->Rows[22][6] = 'w';  // one letter is a change
    EXPECT_TRUE(caption.Take(*page, nullptr, renderer));
    auto erased = test::MakePage(0x888, 0);
    erased->ErasePage = 1;
    EXPECT_TRUE(caption.Take(*erased, nullptr, renderer));
    EXPECT_TRUE(caption.Empty());
    EXPECT_TRUE(caption.Layout(480, 375).empty());
    EXPECT_FALSE(caption.Clear());
}

}  // namespace
}  // namespace orv
