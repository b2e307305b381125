#include "acquisition/Pages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

namespace orv {
namespace {

using test::MakePage;

TEST(PageKeys, FormatAndDecimalTest) {
    EXPECT_EQ(PageKey(0x100, 0), "100/0000");
    EXPECT_EQ(PageKey(0x1FF, 0), "1FF/0000");
    EXPECT_EQ(PageKey(0x123, 0x0012), "123/0018");
    EXPECT_EQ(PageKey(0x123, 0x3F7F), "123/16255");
    EXPECT_TRUE(IsDecimalPageKey("100/0001"));
    EXPECT_TRUE(IsDecimalPageKey("199"));
    EXPECT_TRUE(IsDecimalPageKey(""));
    EXPECT_FALSE(IsDecimalPageKey("1FF/0000"));
    EXPECT_FALSE(IsDecimalPageKey("1A0"));
}

TEST(PageDatabase, StoreReplacesSameKeyAndKeepsOrder) {
    PageDatabase db;
    EXPECT_FALSE(db.StorePage(nullptr));
    db.StorePage(MakePage(0x100, 0, {{1, "first"}}));
    const PageRef first = db.FindPage(0x100, 0);
    db.StorePage(MakePage(0x100, 0, {{1, "second"}}));
    EXPECT_EQ(db.PageCount(), 1);
    EXPECT_EQ(test::RowText(*db.FindPage(0x100, 0), 1).substr(0, 6), "second");
    // The reader's copy is untouched by the replacement.
    EXPECT_EQ(test::RowText(*first, 1).substr(0, 5), "first");

    for (auto [page, sub] : {std::pair{0x300, 0}, {0x1FF, 0}, {0x100, 0x12}, {0x100, 3}, {0x100, 0x3F7F}})
        db.StorePage(MakePage(static_cast<std::uint16_t>(page), sub));
    std::vector<std::string> keys;
    for (const auto& entry : db.Snapshot()) keys.push_back(entry.Key);
    // Within a page, sub-codes order by their decimal text.
    EXPECT_EQ(keys, (std::vector<std::string>{"100/0000", "100/0003", "100/0018", "100/16255", "1FF/0000",
                                              "300/0000"}));
    EXPECT_EQ(db.PageCount(), 6);  // sub-pages count, not pages
}

TEST(PageDatabase, FindPageFallsBackToLowestSubPage) {
    PageDatabase db;
    db.StorePage(MakePage(0x100, 1));
    db.StorePage(MakePage(0x100, 3));
    db.StorePage(MakePage(0x200, 0));
    ASSERT_TRUE(db.FindPage(0x100, 5));
    EXPECT_EQ(db.FindPage(0x100, 5)->SubCode, 1);
    EXPECT_EQ(db.FindPage(0x100, 3)->SubCode, 3);
    EXPECT_FALSE(db.FindPage(0x101, 0));
    EXPECT_FALSE(db.FindPage(0x010, 0));
}

TEST(PageDatabase, ListPagesAddsDecimalPagesOnce) {
    PageDatabase db;
    for (auto [page, sub] : {std::pair{0x100, 0}, {0x100, 1}, {0x1FF, 0}, {0x199, 0}})
        db.StorePage(MakePage(static_cast<std::uint16_t>(page), sub));
    std::vector<std::string> list;
    EXPECT_TRUE(db.ListPages(list));
    EXPECT_EQ(list, (std::vector<std::string>{"100", "199"}));
    // Not emptied first; what is there already is not repeated.
    std::vector<std::string> existing{"199"};
    db.ListPages(existing);
    EXPECT_EQ(existing, (std::vector<std::string>{"199", "100"}));
}

TEST(PageDatabase, ClearEmptiesButHandedOutRecordsStayReadable) {
    PageDatabase db;
    db.StorePage(MakePage(0x100, 0, {{2, "still here"}}));
    const PageRef held = db.FindPage(0x100, 0);
    db.ClearPageDatabase();
    EXPECT_EQ(db.PageCount(), 0);
    EXPECT_FALSE(db.FindPage(0x100, 0));
    EXPECT_EQ(test::RowText(*held, 2).substr(0, 10), "still here");
}

// Keys in the database, in order.
std::vector<std::string> Keys(const PageDatabase& db) {
    std::vector<std::string> keys;
    for (const auto& entry : db.Snapshot()) keys.push_back(entry.Key);
    return keys;
}

// Beyond a limit the sub-page stored longest ago goes (a copy received again
// counts as new), never one that someone holds, as a window its page.
TEST(PageDatabase, LimitsDropTheOldestArrivalButNeverAHeldRecord) {
    PageDatabase db({.SubPagesPerPage = 3, .SubPages = 5});
    for (int sub : {0, 1, 2}) db.StorePage(MakePage(0x100, sub));
    db.StorePage(MakePage(0x100, 0));  // again: now the newest
    db.StorePage(MakePage(0x100, 3));
    EXPECT_EQ(Keys(db), (std::vector<std::string>{"100/0000", "100/0002", "100/0003"}));
    const PageRef onView = db.FindPage(0x100, 2);
    db.StorePage(MakePage(0x100, 4));
    EXPECT_EQ(Keys(db), (std::vector<std::string>{"100/0002", "100/0003", "100/0004"}));
    for (std::uint16_t page : {0x101, 0x102, 0x103}) db.StorePage(MakePage(page, 0));
    EXPECT_EQ(Keys(db), (std::vector<std::string>{"100/0002", "100/0004", "101/0000", "102/0000", "103/0000"}));
    EXPECT_EQ(db.DroppedCount(), 3u);
    db.ClearPageDatabase();
    EXPECT_EQ(db.DroppedCount(), 3u);  // a count of what was lost since the start

    // The limits of the viewer: a page with ever new sub-codes keeps 256.
    PageDatabase viewer;
    for (int sub = 0; sub < 300; ++sub) ASSERT_TRUE(viewer.StorePage(MakePage(0x200, sub)));
    viewer.StorePage(MakePage(0x201, 0));
    EXPECT_EQ(viewer.PageCount(), 257);
    EXPECT_EQ(viewer.DroppedCount(), 44u);
    EXPECT_EQ(viewer.FindPage(0x200, 43)->SubCode, 44);  // 0 to 43 went; the lowest left stands in
}

TEST(PageDatabase, SearchVisitsEveryHitInKeyOrder) {
    PageDatabase db;
    db.StorePage(MakePage(0x200, 0, {{1, "abcABC"}}));
    db.StorePage(MakePage(0x100, 0, {{3, "Abc at the start"}, {5, "  again abc"}}));
    db.StorePage(MakePage(0x1A0, 0, {{1, "ABC on a hex page"}}));
    db.StorePage(MakePage(0x100, 1, {{2, "xx abc"}}));

    tVTXSearchRec rec;
    EXPECT_FALSE(db.SearchFirst("", rec));
    std::vector<std::tuple<int, int, int, int>> hits;
    for (bool found = db.SearchFirst("abc", rec); found; found = db.SearchNext(rec))
        hits.emplace_back(rec.FoundPage, rec.FoundSubCode, rec.FoundRow, rec.FoundColumn);
    EXPECT_EQ(rec.SearchText, u"ABC");
    EXPECT_EQ(rec.SearchLength, 3);
    const std::vector<std::tuple<int, int, int, int>> expected = {
        {0x100, 0, 3, -1}, {0x100, 0, 5, 7}, {0x100, 1, 2, 2}, {0x200, 0, 1, -1}, {0x200, 0, 1, 2}};
    EXPECT_EQ(hits, expected);
    EXPECT_FALSE(db.SearchNext(rec));  // no wrap-around
    EXPECT_EQ(rec.FoundRow, -1);

    // Pages stored while a search stands at a hit: it goes on behind that
    // hit, neither repeating it nor skipping the pages after it.
    ASSERT_TRUE(db.SearchFirst("abc", rec));
    ASSERT_TRUE(db.SearchNext(rec));
    ASSERT_TRUE(db.SearchNext(rec));  // 100/0001
    db.StorePage(MakePage(0x099, 0, {{1, "abc before"}}));
    db.StorePage(MakePage(0x100, 0, {{1, "abc stored again"}}));
    ASSERT_TRUE(db.SearchNext(rec));
    EXPECT_EQ(rec.FoundPage, 0x200);
    EXPECT_EQ(rec.FoundColumn, -1);
}

TEST(PageDatabase, SearchFindsOverlappingHitsAndDoesNotRepeatAHitAtOffsetZero) {
    PageDatabase db;
    db.StorePage(MakePage(0x100, 0, {{1, "aaaa"}}));
    tVTXSearchRec rec;
    int hits = 0;
    for (bool found = db.SearchFirst("aa", rec); found; found = db.SearchNext(rec)) ++hits;
    EXPECT_EQ(hits, 3);

    // The header's first twelve cells are always blank, so a search for
    // blanks hits offset 0; the next call must move on, not report it again.
    PageDatabase blank;
    blank.StorePage(MakePage(0x100, 0));
    int count = 0;
    for (bool found = blank.SearchFirst(std::string(40, ' '), rec); found && count < 2000;
         found = blank.SearchNext(rec))
        ++count;
    EXPECT_EQ(count, 1000 - 40 + 1);
}

TEST(PageDatabase, SearchUsesTheNationalText) {
    PageDatabase db;
    db.StorePage(MakePage(0x470, 0, {{4, "Gr}~e"}}, 1));  // German: "Grüße"
    tVTXSearchRec rec;
    ASSERT_TRUE(db.SearchFirst("gr\xFC\xDF", rec));
    EXPECT_EQ(rec.FoundRow, 4);
    EXPECT_FALSE(db.SearchFirst("gr}~", rec));
}

TEST(PageDatabase, ConcurrentStoresClearsAndReadsAreSafe) {
    PageDatabase db;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            db.StorePage(MakePage(static_cast<std::uint16_t>(0x100 + i % 50), i % 3, {{1, "live"}}));
            if (i % 97 == 0) db.ClearPageDatabase();
        }
    });
    int seen = 0;
    for (int i = 0; i < 3000; ++i) {
        if (const PageRef page = db.FindPage(static_cast<std::uint16_t>(0x100 + i % 50), 0)) {
            seen += test::RowText(*page, 1).substr(0, 4) == "live";
        }
        std::vector<std::string> list;
        db.ListPages(list);
        tVTXSearchRec rec;
        db.SearchFirst("LIVE", rec);
    }
    stop = true;
    writer.join();
    EXPECT_GE(seen, 0);
}

}  // namespace
}  // namespace orv
