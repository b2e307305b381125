#include "rendering/VTX_TEXT_DISPLAY.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "rendering/PageTextFile.h"

namespace orv {
namespace {

using test::MakePage;

std::string Line(const std::u16string& text, int row) {
    return Utf16ToUtf8(text.substr(static_cast<std::size_t>(row) * 42, 40));
}

TEST(PageText, LayoutAndHeaderBlank) {
    auto page = MakePage(0x100, 0, {{0, "\x01\x02\x03\x04\x05\x06\x07\x08" "100 ORV-DEMO Tue 08 Dec 12:34:56"}});
    const std::u16string text = PageText(*page);
    ASSERT_EQ(text.size(), 1050u);
    for (int r = 0; r < 25; ++r) EXPECT_EQ(text.substr(static_cast<std::size_t>(r) * 42 + 40, 2), u"\r\n");
    EXPECT_EQ(Line(text, 0), std::string(12, ' ') + "ORV-DEMO Tue 08 Dec 12:34:56");
}

TEST(PageText, NationalCharactersMosaicsConcealAndHold) {
    auto page = MakePage(0x470, 0,
                         {{3, "\x07Str{~e"},
                          {4, "\x17\x7F\x7FGRAPHICS"},
                          {5, "A\x18secret B"},
                          {6, "x\x1E\x11y\x1F\x12z"},
                          {7, "\x11\x7F\x1E\x12\x07text"}},
                         1);
    const std::u16string text = PageText(*page);
    EXPECT_EQ(Line(text, 3).substr(0, 9), " Str\u00E4\u00DF" "e");
    // Mosaics are spaces; capitals blasting through a mosaic run stay letters.
    EXPECT_EQ(Line(text, 4), "   GRAPHICS" + std::string(29, ' '));
    EXPECT_EQ(Line(text, 5).substr(0, 10), "A  ecret B");  // the conceal code and one cell after it
    // Hold on in alpha mode: a mosaic colour code repeats the held character.
    EXPECT_EQ(Line(text, 6).substr(0, 7), "x x    ");
    EXPECT_EQ(Line(text, 7).substr(0, 9), "     text");
    EXPECT_EQ(Line(text, 8), std::string(40, ' '));
}

TEST(PageText, HeldCharacterRepeatsInAlphaModeAndBlastsThroughMosaics) {
    TextCellState state;
    TextCell(state, true, 0, 0);
    EXPECT_EQ(TextCell(state, false, 0, 'Q'), 'Q');
    EXPECT_EQ(TextCell(state, false, 0, 0x1E), ' ');
    EXPECT_EQ(TextCell(state, false, 0, 0x11), 'Q');  // set-at: still alpha, hold repeats 'Q'
    EXPECT_EQ(TextCell(state, false, 0, 0x12), 'Q');  // in mosaic mode the held capital blasts through
    EXPECT_EQ(TextCell(state, false, 0, 'q'), ' ');   // a mosaic
    EXPECT_EQ(TextCell(state, false, 0, 0x13), ' ');  // held now: the mosaic 'q'
    EXPECT_EQ(TextCell(state, false, 0, 0x07), ' ');
    EXPECT_EQ(TextCell(state, false, 0, 'R'), 'R');
    TextCell(state, true, 0, 0);
    EXPECT_FALSE(state.Hold);
    EXPECT_EQ(state.HeldChar, 0x20);
}

TEST(PageTextFile, BlocksAreAppendedNeverOverwritten) {
    const auto path = (std::filesystem::temp_directory_path() / "orvtt_block_test.txt").string();
    std::filesystem::remove(path);
    auto page = MakePage(0x123, 0, {{1, "Hello"}});
    ASSERT_TRUE(SavePageText(path, *page, "123"));
    ASSERT_TRUE(SavePageText(path, *page, "123-0000"));
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string block = PageTextBlock("123", *page);
    EXPECT_EQ(block.substr(0, 5), "123\r\n");
    EXPECT_EQ(block.substr(5, 42), std::string(40, '=') + "\r\n");
    EXPECT_EQ(block.substr(47, 1050), EncodeCodePage(PageText(*page), CodePage::Windows1252));
    EXPECT_EQ(block.substr(1097), "\r\n" + std::string(40, '=') + "\r\n\r\n");
    EXPECT_EQ(content.str(), block + PageTextBlock("123-0000", *page));
    std::filesystem::remove(path);

    EXPECT_FALSE(SavePageText("/nonexistent-folder/x.txt", *page, "123"));
    EXPECT_EQ(SavedPageName("100/0001"), "100-0001");
}

}  // namespace
}  // namespace orv
