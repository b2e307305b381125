#include "acquisition/SubtitlePages.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace orv {
namespace {

TEST(SubtitlePages, DescriptorSubtitlesFirstThenPagesSeenWithC6OrC5) {
    SubtitlePages pages;
    const auto seen = [&](std::uint16_t number, bool subtitle, bool newsflash) {
        auto page = test::MakePage(number, 0);
        page->Subtitle = subtitle;
        page->Newsflash = newsflash;
        pages.PageSeen(*page);
    };
    seen(0x150, false, true);
    seen(0x888, true, false);
    seen(0x100, false, false);  // neither: not listed
    seen(0x150, true, false);   // a newsflash page found to carry subtitles
    pages.SetDescriptor({{"ita", 1, 0x100}, {"fra", 5, 0x888}, {"eng", 2, 0x778}});
    const std::vector<SubtitlePage> expected = {
        {0x888, "fra", 5, false}, {0x778, "eng", 2, false}, {0x150, "", 0, false}};
    EXPECT_EQ(pages.List(), expected);
    pages.ClearSeen();
    EXPECT_EQ(pages.List().size(), 2u);
    pages.Clear();
    EXPECT_TRUE(pages.List().empty());
}

}  // namespace
}  // namespace orv
