// The page renderer, checked pixel by pixel with a synthetic font whose glyphs
// spell out their own code and face: row pixels 0-7 are the code's bits, 8-11
// the face number. So a cell tells which glyph of which face was drawn, in
// which colours.
#include "rendering/VTX_Graphics_Display.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "rendering/FontTable.h"

namespace orv {
namespace {

constexpr const char* kFaceNames[] = {"TTXCHAR", "DTTXCHAR", "TTXGRAF", "DTTXGRAF", "RUSCHAR", "DRUSCHAR"};
enum Face { kChar = 0, kDoubleChar, kGraf, kDoubleGraf, kRus, kDoubleRus };

FontTable SyntheticFonts() {
    std::vector<BitmapFace> faces;
    for (int f = 0; f < 6; ++f) {
        BitmapFace face;
        face.Name = kFaceNames[f];
        face.Height = f % 2 ? 30 : 15;
        face.Bits.resize(256 * static_cast<std::size_t>(face.Height));
        for (int code = 0; code < 256; ++code)
            for (int row = 0; row < face.Height; ++row)
                face.Bits[static_cast<std::size_t>(code * face.Height + row)] =
                    static_cast<std::uint16_t>((code << 8) | ((f + 1) << 4));
        faces.push_back(std::move(face));
    }
    FontTable fonts;
    fonts.AddFontMemory(WriteFonFile(faces, "synthetic"), "synthetic");
    return fonts;
}

// Face number from pixels 8-11: the glyph row is (code << 8) | ((face + 1) << 4),
// so pixels 8-11 show face + 1.
int FaceOf(const Canvas& canvas, int x, int y, ColorRef paper) {
    int face = 0;
    for (int i = 8; i < 12; ++i) face = face << 1 | (canvas.ColourAt(x + i, y) != paper);
    return face - 1;
}

class Renderer : public ::testing::Test {
protected:
    FontTable fonts = SyntheticFonts();
    GraphicsRenderer renderer;
    Canvas canvas{490, 388, fonts};

    std::unique_ptr<tPageImage> Page(std::vector<std::pair<int, std::string_view>> rows) {
        return test::MakePage(0x100, 0, std::move(rows));
    }
    // Code, face, ink and paper of cell (row, column), assuming the given paper colour.
    std::tuple<int, int, ColorRef> At(int row, int column, ColorRef paper) const {
        const int x = column * kCellWidth, y = row * kCellHeight;
        int code = 0;
        ColorRef ink = paper;
        for (int i = 0; i < 8; ++i) {
            const ColorRef c = canvas.ColourAt(x + i, y);
            code = code << 1 | (c != paper);
            if (c != paper) ink = c;
        }
        return {code, FaceOf(canvas, x, y, paper), ink};
    }
};

constexpr ColorRef kBlack = 0x000000, kWhite = 0xFFFFFF, kRed = 0x0000FF, kGreen = 0x008000, kYellow = 0x00FFFF,
                   kBlue = 0xFF0000, kMagenta = 0xF001F0;

TEST_F(Renderer, ColourAndMosaicChangesTakeEffectAfterTheirCell) {
    renderer.DrawPage(canvas, *Page({{1, "\x01" "AB\x12\x7F"}}), false, false);
    EXPECT_EQ(At(1, 0, kBlack), std::make_tuple(0x20, kChar, kWhite));
    EXPECT_EQ(At(1, 1, kBlack), std::make_tuple(0x41, kChar, kRed));
    EXPECT_EQ(At(1, 2, kBlack), std::make_tuple(0x42, kChar, kRed));
    EXPECT_EQ(At(1, 3, kBlack), std::make_tuple(0x20, kChar, kRed));
    EXPECT_EQ(At(1, 4, kBlack), std::make_tuple(0x7F, kGraf, kGreen));
    // The colours with their exact values: each dot follows its colour code.
    renderer.DrawPage(canvas, *Page({{2, "\x01.\x02.\x03.\x04.\x05.\x06.\x07."}}), false, false);
    const ColorRef expected[] = {kRed, kGreen, kYellow, kBlue, kMagenta, 0xFFFF00, kWhite};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(std::get<2>(At(2, 2 * i + 1, kBlack)), expected[i]) << i;
}

TEST_F(Renderer, SeparatedMosaicsAndBlastThroughCapitals) {
    renderer.DrawPage(canvas, *Page({{1, "\x17\x7F\x41\x1A\x7F\x41\x19\x7F"}}), false, false);
    EXPECT_EQ(At(1, 1, kBlack), std::make_tuple(0x7F, kGraf, kWhite));
    EXPECT_EQ(At(1, 2, kBlack), std::make_tuple(0x41, kGraf, kWhite));
    EXPECT_EQ(At(1, 3, kBlack), std::make_tuple(0x20, kGraf, kWhite));  // separation starts after its code
    EXPECT_EQ(At(1, 4, kBlack), std::make_tuple(0xFF, kGraf, kWhite));
    EXPECT_EQ(At(1, 5, kBlack), std::make_tuple(0xC1, kGraf, kWhite));
    EXPECT_EQ(At(1, 6, kBlack), std::make_tuple(0xA0, kGraf, kWhite));  // and ends after its code
    EXPECT_EQ(At(1, 7, kBlack), std::make_tuple(0x7F, kGraf, kWhite));
}

TEST_F(Renderer, HoldRepeatsTheLastCharacterInMosaicColourCells) {
    renderer.DrawPage(canvas, *Page({{1, "\x1E\x11\x35\x12\x1F\x13"}}), false, false);
    EXPECT_EQ(At(1, 0, kBlack), std::make_tuple(0x20, kChar, kWhite));
    EXPECT_EQ(At(1, 1, kBlack), std::make_tuple(0x20, kChar, kWhite));  // nothing held yet
    EXPECT_EQ(At(1, 2, kBlack), std::make_tuple(0x35, kGraf, kRed));
    EXPECT_EQ(At(1, 3, kBlack), std::make_tuple(0x35, kGraf, kRed));  // held, still in red
    EXPECT_EQ(At(1, 5, kBlack), std::make_tuple(0x20, kGraf, kGreen));  // released: a space again
}

TEST_F(Renderer, ConcealHidesTheCodeCellAndOneMore) {
    renderer.DrawPage(canvas, *Page({{1, "\x18SECRET"}}), false, false);
    EXPECT_EQ(std::get<0>(At(1, 0, kBlack)), 0x20);
    EXPECT_EQ(std::get<0>(At(1, 1, kBlack)), 0x20);
    EXPECT_EQ(std::get<0>(At(1, 2, kBlack)), 'E');
    EXPECT_EQ(std::get<0>(At(1, 6, kBlack)), 'T');
}

TEST_F(Renderer, BackgroundCodesAreSetAtTheirCell) {
    renderer.DrawPage(canvas, *Page({{1, "\x04\x1D\x03X\x1CY"}}), false, false);
    // New background at once: the code cell is already blue (blue text on blue).
    for (int x = 12; x < 36; ++x) EXPECT_EQ(canvas.ColourAt(x, 15 + 2), kBlue) << x;
    EXPECT_EQ(At(1, 3, kBlue), std::make_tuple('X', kChar, kYellow));
    EXPECT_EQ(At(1, 5, kBlack), std::make_tuple('Y', kChar, kYellow));
}

TEST_F(Renderer, DoubleHeightCoversTheRowBelowAndShadesItsLeft) {
    // Row 5: blue background from column 1, double height from column 10 to 20.
    std::string row5(40, ' ');
    row5[0] = 0x04;
    row5[1] = 0x1D;
    row5[2] = 0x07;
    row5[10] = 0x0D;
    row5.replace(11, 4, "BIG!");
    row5[21] = 0x0C;
    const std::string row6 = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    const std::string row7 = "normal";
    canvas.FillRect({0, 0, 490, 388}, 0x123456);  // marks what is never drawn
    renderer.DrawPage(canvas, *Page({{5, row5}, {6, row6}, {7, row7}}), false, false);

    EXPECT_EQ(At(5, 11, kBlue), std::make_tuple('B', kDoubleChar, kWhite));
    // The lower half of the tall glyph is its own row 15: the code again.
    EXPECT_EQ(canvas.ColourAt(11 * 12 + 1, 6 * 15), kWhite);  // 'B' = 0x42: pixel 1 ink
    // Columns 10-20 of row 6 are not drawn (the tall glyphs stay), 1-9 are
    // painted in row 5's background with their text in the same colour.
    for (int column = 1; column <= 9; ++column)
        for (int i = 0; i < 12; ++i) EXPECT_EQ(canvas.ColourAt(column * 12 + i, 6 * 15 + 3), kBlue) << column;
    EXPECT_EQ(At(6, 0, kBlack), std::make_tuple('a', kChar, kWhite));
    // Column 21 on: not covered; the shade colours stay in force.
    EXPECT_EQ(canvas.ColourAt(21 * 12 + 11, 6 * 15), kBlue);
    // Row 7 is drawn normally.
    EXPECT_EQ(At(7, 0, kBlack), std::make_tuple('n', kChar, kWhite));
    EXPECT_EQ(canvas.ColourAt(15 * 12, 7 * 15), kBlack);
}

TEST_F(Renderer, HeaderRulesSuppressionAndHeaderOnly) {
    auto page = Page({{0, "\x01\x02\x03\x04\x05\x06\x07\x08" "100 ORV-DEMO"}, {1, "row one"}});
    canvas.FillRect({0, 0, 490, 388}, 0x123456);
    renderer.DrawPage(canvas, *page, true, false);
    EXPECT_EQ(canvas.ColourAt(5, 3), 0x123456u);  // columns 0-10 are the window's
    EXPECT_EQ(At(0, 12, kBlack), std::make_tuple('O', kChar, kWhite));
    EXPECT_EQ(canvas.ColourAt(5, 20), 0x123456u);  // rows 1-24 untouched

    page->SuppressHeader = 1;
    canvas.FillRect({0, 0, 490, 388}, 0x123456);
    canvas.SetClip({0, 0, 480, 388});
    renderer.DrawPage(canvas, *page, false, false);
    for (int x : {0, 100, 479}) EXPECT_EQ(canvas.ColourAt(x, 7), kBlack);  // a black band over the clip width
    EXPECT_EQ(canvas.ColourAt(485, 7), 0x123456u);
    renderer.DrawPage(canvas, *page, false, true);
    EXPECT_EQ(canvas.ColourAt(100, 7), kKeyColour);  // mix mode: the band in the key colour
    EXPECT_EQ(canvas.ColourAt(0, 0), kBlack);         // outlined by the black pen
}

TEST_F(Renderer, MixModePaintsBackgroundsInTheKeyColour) {
    renderer.DrawPage(canvas, *Page({{1, "\x04\x1D\x07Hi"}}), false, true);
    EXPECT_EQ(At(1, 3, kKeyColour), std::make_tuple('H', kChar, kWhite));
    EXPECT_EQ(canvas.ColourAt(5 * 12, 15 + 2), kKeyColour);  // pixel 0 of a space is paper
}

TEST_F(Renderer, HeaderTextsAndSearchFrame) {
    ASSERT_FALSE(renderer.PreparePageCanvas(nullptr));
    ASSERT_TRUE(renderer.PreparePageCanvas(&canvas));
    renderer.DrawWaitingHeader(canvas, 0x123, "1A4", false);
    const std::string expected = "Search page 123...1A4";
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(std::get<0>(At(0, static_cast<int>(i), kBlack)), static_cast<unsigned char>(expected[i])) << i;

    renderer.DrawHeaderPageNumber(canvas, 0x1A0, false);
    EXPECT_EQ(std::get<0>(At(0, 0, kBlack)), '1');
    EXPECT_EQ(std::get<0>(At(0, 2, kBlack)), '0');
    EXPECT_EQ(std::get<0>(At(0, 10, kBlack)), ' ');
    EXPECT_EQ(std::get<0>(At(0, 12, kBlack)), '1');  // column 11 on was not touched

    canvas.SetClip({0, 0, 480, 375});
    renderer.DrawHeaderMessage(canvas, "Wrong page numner", false);
    EXPECT_EQ(std::get<0>(At(0, 3, kBlack)), 'W');
    EXPECT_EQ(canvas.ColourAt(479, 0), kBlack);

    canvas.FillRect({0, 0, 490, 388}, kWhite);
    renderer.PreparePageCanvas(&canvas);
    renderer.FrameSearchHit(canvas, -1, 0, 3);
    EXPECT_EQ(canvas.ColourAt(0, 0), kWhite);
    renderer.FrameSearchHit(canvas, 3, -1, 4);
    EXPECT_EQ(canvas.ColourAt(0, 45), kRed);
    EXPECT_EQ(canvas.ColourAt(47, 59), kRed);
    EXPECT_EQ(canvas.ColourAt(48, 45), kWhite);
    EXPECT_EQ(canvas.ColourAt(20, 50), kWhite);
}

// A hit joins rows, so its frame may run past the right edge or the last row;
// and the face the last drawn cell left selected (double height) must not
// change the cell size.
TEST_F(Renderer, SearchFrameStaysInsideTheCanvasWhateverFaceIsSelected) {
    renderer.PreparePageCanvas(&canvas);
    canvas.SetFace("DTTXCHAR");
    canvas.FillRect({0, 0, 490, 388}, kWhite);
    renderer.FrameSearchHit(canvas, 3, 37, 5);  // column 38 on, past the right edge
    EXPECT_EQ(canvas.ColourAt(38 * 12, 45), kRed);
    EXPECT_EQ(canvas.ColourAt(489, 45), kRed);
    EXPECT_EQ(canvas.ColourAt(489, 59), kRed);
    EXPECT_EQ(canvas.ColourAt(489, 60), kWhite);  // one row high, not two
    EXPECT_EQ(canvas.ColourAt(0, 60), kWhite);  // nothing wrapped into the next row
    for (const auto& [row, column, length] : {std::tuple{0, -1, 1}, {25, 38, 3}, {30, 40, 10}, {3, 1000, 5},
                                              {0, -5, 2}, {1 << 20, 0, 1}, {2, 0x7FFFFF00, 0x7F}}) {
        renderer.FrameSearchHit(canvas, row, column, length);  // any hit: no write outside the pixels
    }
    EXPECT_EQ(canvas.ColourAt(0, 0), kRed);
    canvas.FillRect({-50, -50, -10, -10}, kBlue);
    canvas.FillRect({600, 0, 700, 10}, kBlue);
    canvas.FillRect({0, 400, 10, 500}, kBlue);
    EXPECT_EQ(canvas.ColourAt(0, 1), kRed);
}

TEST_F(Renderer, HitTestFindsPageNumbersAndWebAddresses) {
    auto page = Page({{2, "See 123 or www.Example.org/x for more"}, {4, "code 000 and 4567"}});
    renderer.PreparePageCanvas(&canvas);
    canvas.SetFace("DTTXCHAR");  // left by a double-height row: cells stay 12 x 15
    std::string link;
    // The grid point nearest the pointer decides; the cell left of it is
    // examined, in the row the point rounds to (y 33 rounds to row 2).
    const int y2 = 2 * 15 + 3, y4 = 4 * 15 + 3;
    for (int column = 4; column <= 6; ++column)
        for (int dx : {7, 11})  // the right half of the digit's cell
            EXPECT_EQ(renderer.HitTest(*page, column * 12 + dx, y2, link), 0x123) << column;
    EXPECT_EQ(renderer.HitTest(*page, 4 * 12 + 2, y2, link), 0);  // left half: the space before
    EXPECT_EQ(renderer.HitTest(*page, 5 * 12 + 8, 2 * 15 + 10, link), 0);  // lower half: the next row

    EXPECT_EQ(renderer.HitTest(*page, 14 * 12 + 8, y2, link), -1);
    EXPECT_EQ(link, "www.Example.org/x");
    EXPECT_EQ(renderer.HitTest(*page, 6 * 12 + 8, y4, link), 0);  // "000" is no number
    EXPECT_EQ(renderer.HitTest(*page, 15 * 12 + 8, y4, link), 0x456);  // the first three of 4567
    EXPECT_EQ(renderer.HitTest(*page, 30 * 12 + 8, 10 * 15 + 3, link), 0);
    EXPECT_EQ(link, "");
    EXPECT_EQ(renderer.HitTest(*page, -100, -100, link), 0);
    EXPECT_EQ(renderer.HitTest(*page, 5000, 5000, link), 0);
}

// Each row is a line of its own: what is clicked never takes in a cell of the
// row above or below, at either end of a row.
TEST_F(Renderer, HitTestKeepsWordsAndNumbersInTheirRow) {
    const std::string address = std::string(29, ' ') + "www.end.com";  // ends in the last column
    const std::string zz = "Nextline" + std::string(30, ' ') + "ZZ";
    const std::string twelve = "see page" + std::string(30, ' ') + "12";
    auto page = Page({{6, address}, {7, zz}, {8, "www.start.de next"}, {9, twelve}, {10, "3 more"}});
    renderer.PreparePageCanvas(&canvas);
    const auto at = [&](int row, int column) {  // the right half of the cell
        std::string link;
        const int found = renderer.HitTest(*page, column * 12 + 8, row * 15 + 3, link);
        return found == -1 ? link : std::to_string(found);
    };
    for (int column = 29; column <= 39; ++column) EXPECT_EQ(at(6, column), "www.end.com") << column;
    const std::pair<std::pair<int, int>, std::string> cases[] = {
        {{8, 0}, "www.start.de"},  // no "ZZ" from the end of the row above
        {{8, 5}, "www.start.de"},
        {{9, 38}, "0"},            // "12": no "3" from the start of the row below
        {{9, 39}, "0"},
        {{10, 0}, "0"},
    };
    for (const auto& [cell, expected] : cases)
        EXPECT_EQ(at(cell.first, cell.second), expected) << cell.first << "," << cell.second;
}

}  // namespace
}  // namespace orv
