// The text form of a page, a search that finds nothing over 2,000 stored
// sub-pages, and the memory one stored sub-page costs.
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
BENCHMARK_CAPTURE(BM_Store, ascending, false)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Store, descending, true)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond);

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
