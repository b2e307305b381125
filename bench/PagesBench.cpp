// The text form of a page, a search that finds nothing over 2,000 stored
// sub-pages, storing (new sub-pages, sub-pages sent again, a flood beyond the
// store's limits), and the memory one stored sub-page costs.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>

#include "BenchStreams.h"
#include "acquisition/Pages.h"
#include "rendering/VTX_TEXT_DISPLAY.h"

namespace orv::bench {
namespace {

void BM_PageText(benchmark::State& state) {
    const auto pages = ReceivedPages(DemoStream(20 * 1600));
    std::size_t i = 0;
    for (auto _ : state) {
        std::u16string text = PageText(*pages[i]);
        benchmark::DoNotOptimize(text.data());
        i = (i + 1) % pages.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PageText);

void BM_SearchNoHit2000(benchmark::State& state) {
    PageDatabase db;
    for (const TtiPage& page : SyntheticPages(2000, 7)) db.StorePage(PageImageOf(page));
    if (db.PageCount() != 2000) state.SkipWithError("expected 2000 stored sub-pages");
    for (auto _ : state) {
        tVTXSearchRec rec;
        benchmark::DoNotOptimize(db.SearchFirst("NOWHERE TO BE FOUND", rec));
    }
    state.counters["subpages"] = db.PageCount();
}
BENCHMARK(BM_SearchNoHit2000)->Unit(benchmark::kMillisecond);

// Storing distinct sub-pages in ascending and in descending key order: both
// must stay O(log n) a page.
void BM_Store(benchmark::State& state, bool descending) {
    const auto count = static_cast<int>(state.range(0));
    std::vector<std::pair<std::uint16_t, std::int32_t>> keys;
    for (int i = 0; i < count; ++i) keys.emplace_back(static_cast<std::uint16_t>(0x100 + i / 100), i % 100);
    if (descending) std::reverse(keys.begin(), keys.end());
    tPageImage blank{};
    for (auto _ : state) {
        PageDatabase db;
        for (const auto& [pageNo, subCode] : keys) {
            auto page = std::make_unique<tPageImage>(blank);
            page->PageNo = pageNo;
            page->SubCode = subCode;
            db.StorePage(std::move(page));
        }
        if (db.PageCount() != count) state.SkipWithError("not all stored");
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK_CAPTURE(BM_Store, ascending, false)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Store, descending, true)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond);

// What a service does all day: its 2,000 sub-pages sent again and again, each
// replacing its older copy.
void BM_StoreAgain(benchmark::State& state) {
    PageDatabase db;
    std::vector<std::pair<std::uint16_t, std::int32_t>> keys;
    for (int i = 0; i < 2000; ++i) keys.emplace_back(static_cast<std::uint16_t>(0x100 + i / 4), i % 4);
    tPageImage blank{};
    std::size_t next = 0;
    for (auto _ : state) {
        auto page = std::make_unique<tPageImage>(blank);
        page->PageNo = keys[next].first;
        page->SubCode = keys[next].second;
        db.StorePage(std::move(page));
        next = (next + 1) % keys.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StoreAgain);

// A hostile signal: ever new sub-codes on every page (or on one), far beyond
// the limits, each new sub-page dropping the one stored longest ago.
void BM_StoreBeyondTheLimits(benchmark::State& state, std::uint32_t pages) {
    PageDatabase db;
    tPageImage blank{};
    std::uint32_t next = 0;
    for (auto _ : state) {
        auto page = std::make_unique<tPageImage>(blank);
        page->PageNo = static_cast<std::uint16_t>(0x100 + next % pages);
        page->SubCode = static_cast<std::int32_t>(next / pages);
        db.StorePage(std::move(page));
        ++next;
    }
    state.counters["stored"] = db.PageCount();
    state.counters["dropped"] = static_cast<double>(db.DroppedCount());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_StoreBeyondTheLimits, all_pages, 0x800)->Iterations(400000);
BENCHMARK_CAPTURE(BM_StoreBeyondTheLimits, one_page, 1)->Iterations(400000);

void BM_MemoryPerSubPage(benchmark::State& state) {
    const auto pages = SyntheticPages(2000, 9);
    double perPage = 0;
    for (auto _ : state) {
        const auto before = mallinfo2().uordblks;
        {
            PageDatabase db;
            // Each record is allocated as the assembly posts it, then stored.
            for (const TtiPage& page : pages) db.StorePage(PageImageOf(page));
            perPage = static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(db.PageCount());
        }
    }
    state.counters["bytes_per_subpage"] = perPage;
}
BENCHMARK(BM_MemoryPerSubPage)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv::bench
