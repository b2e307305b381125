// The page commands: saving every stored page as text and as pictures, a
// search step to the hit drawn on the graphics page, and twenty extra page
// windows following the live demo broadcast.
//
//   build/test/bench/bench_page_commands           (offscreen without a display)
//   ORVTT_BENCH_SECONDS=20 sets how long the live windows run (default 10).
#include <QApplication>
#include <QTest>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>

#include "BenchStreams.h"
#include "BenchViewer.h"
#include "windows/MultiPage.h"
#include "windows/PageBox.h"
#include "windows/PageFiles.h"

namespace orv::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * static_cast<double>(values.size())))];
}

// A page store of synthetic sub-pages and what drawing them takes.
struct SaveSetup {
    explicit SaveSetup(std::size_t count) {
        for (const TtiPage& page : SyntheticPages(count, 11)) db.StorePage(PageImageOf(page));
        fonts.AddFontMemory(TeletextFontResource(), "TTX_FONT");
    }
    PageDatabase db;
    FontTable fonts;
    GraphicsRenderer renderer;
};

void BM_SaveAllAsText(benchmark::State& state) {
    SaveSetup setup(static_cast<std::size_t>(state.range(0)));
    auto& [db, fonts, renderer] = setup;
    const fs::path folder = BenchFolder();
    for (auto _ : state) {
        fs::remove(folder / "all.TXT");
        if (!SaveAllPages(db, renderer, fonts, (folder / "all.TXT").string(), false)) state.SkipWithError("save failed");
    }
    state.counters["subpages"] = db.PageCount();
    state.counters["MB"] = static_cast<double>(fs::file_size(folder / "all.TXT")) / 1e6;
    fs::remove_all(folder);
}
BENCHMARK(BM_SaveAllAsText)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_SaveAllAsImages(benchmark::State& state) {
    SaveSetup setup(static_cast<std::size_t>(state.range(0)));
    auto& [db, fonts, renderer] = setup;
    const fs::path folder = BenchFolder() / "pictures";
    for (auto _ : state) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        if (!SaveAllPages(db, renderer, fonts, (folder / "tele.BMP").string(), true)) state.SkipWithError("save failed");
    }
    state.counters["files"] = static_cast<double>(std::distance(fs::directory_iterator(folder), {}));
    fs::remove_all(folder.parent_path());
}
BENCHMARK(BM_SaveAllAsImages)->Arg(1000)->Unit(benchmark::kMillisecond);

// From one hit to the next, drawn framed on the window's graphics page. The
// word stands on the first and the last of 2,000 stored sub-pages, so each
// step walks the whole store.
void BM_SearchNextToHitDrawn(benchmark::State& state) {
    BenchViewer viewer;
    TMainForm& form = *viewer.Form;
    if (!viewer.WaitForPage(0x100)) {
        state.SkipWithError("the demo did not arrive");
        return;
    }
    form.SetPause(true);
    QTest::qWait(300);
    PageDatabase& db = form.Pipeline()->Pages();
    db.ClearPageDatabase();
    auto pages = SyntheticPages(2000, 13);
    // By key, the first is 100/0000 and the last 899/0001.
    for (TtiPage& page : pages)
        if ((page.PageNo == 0x100 && page.SubCode == 0) || (page.PageNo == 0x899 && page.SubCode == 1))
            std::memcpy(page.Rows[12].data() + 20, "XYZZY", 5);
    for (const TtiPage& page : pages) db.StorePage(PageImageOf(page));

    PageView& view = form.View();
    std::vector<double> samples;
    for (auto _ : state) {
        view.SearchActive = false;
        view.FindNextHit("XYZZY");  // the first hit
        const auto start = Clock::now();
        const bool hit = view.FindNextHit("XYZZY");
        view.GoToSearchHit();
        form.VTXBox->repaint();
        const auto took = Clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        samples.push_back(Milliseconds(took));
        if (!hit || view.CurrentPage != 0x899) state.SkipWithError("the second hit was not found");
    }
    state.counters["subpages"] = db.PageCount();
    state.counters["p95_ms"] = Percentile(samples, 0.95);
}
BENCHMARK(BM_SearchNextToHitDrawn)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

// An extra window that times each page it is handed, from the notification
// to its pixels on the screen.
class TimedWindow : public TFMultiPage {
public:
    TimedWindow(std::shared_ptr<PageWindowShared> shared, std::vector<double>& samples)
        : TFMultiPage(std::move(shared)), samples_(samples) {
        VTXBox->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == VTXBox && event->type() == QEvent::Paint) ++Paints;
        return TFMultiPage::eventFilter(watched, event);
    }
    long Paints = 0;
    void OnVtxPage(std::uint16_t pageNo, const PageRef& page) override {
        const auto start = Clock::now();
        TFMultiPage::OnVtxPage(pageNo, page);
        // The paint the window asked for, carried out now: what changed reaches the screen.
        QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);
        samples_.push_back(Milliseconds(Clock::now() - start));
    }

private:
    std::vector<double>& samples_;
};

// Live extra windows, each on a page of its own, beside the main window; the
// replay at the broadcast rate (1,600 packets a second), ten times that, or
// unpaced (0). The display queue is sampled every 100 ms: a queue that keeps
// up stays as small in the last second as in the first.
void BM_TwentyWindowsFollowLive(benchmark::State& state) {
    const int seconds = std::getenv("ORVTT_BENCH_SECONDS") ? std::atoi(std::getenv("ORVTT_BENCH_SECONDS")) : 10;
    for (auto _ : state) {
        BenchViewer viewer(static_cast<int>(state.range(0)));
        TMainForm& form = *viewer.Form;
        if (!viewer.WaitForPage(0x100)) {
            state.SkipWithError("the demo did not arrive");
            return;
        }
        const int kWindows = static_cast<int>(state.range(1));
        static constexpr const char* kPages[] = {"100", "101", "102", "150", "160", "170", "190",
                                                 "200", "300", "400", "470", "480", "500"};
        std::vector<std::vector<double>> samples(kWindows);
        std::vector<std::unique_ptr<TimedWindow>> windows;
        for (int i = 0; i < kWindows; ++i) {
            windows.push_back(std::make_unique<TimedWindow>(form.SharedHandle(), samples[static_cast<std::size_t>(i)]));
            windows.back()->show();
            for (const char* c = kPages[i % std::size(kPages)]; *c; ++c) windows.back()->EnterDigit(*c);
        }
        for (auto& s : samples) s.clear();
        for (auto& w : windows) w->Paints = 0;
        const auto queue = form.Pipeline()->Collectors().Display();
        std::size_t largest = 0;
        std::vector<std::size_t> sizes;
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            QTest::qWait(100);
            sizes.push_back(queue->Size());
            largest = std::max(largest, sizes.back());
        }
        long paints = 0;
        for (const auto& w : windows) paints += w->Paints;
        std::vector<double> p95;
        std::size_t delivered = 0;
        for (const auto& s : samples) {
            p95.push_back(Percentile(s, 0.95));
            delivered += s.size();
        }
        state.counters["worst_window_p95_ms"] = p95.empty() ? 0 : *std::max_element(p95.begin(), p95.end());
        state.counters["median_window_p95_ms"] = Percentile(p95, 0.5);
        state.counters["pages_per_s_per_window"] = static_cast<double>(delivered) / std::max(kWindows, 1) / seconds;
        state.counters["queue_max"] = static_cast<double>(largest);
        state.counters["paints_per_page"] = static_cast<double>(paints) / static_cast<double>(std::max<std::size_t>(delivered, 1));
        // Growth: the queue in the last second against the first.
        const auto second = static_cast<std::ptrdiff_t>(std::min<std::size_t>(10, sizes.size()));
        state.counters["queue_first_s"] = static_cast<double>(*std::max_element(sizes.begin(), sizes.begin() + second));
        state.counters["queue_last_s"] = static_cast<double>(*std::max_element(sizes.end() - second, sizes.end()));
        windows.clear();
    }
}
// Arguments: packets per second, windows. The replay unpaced (0) floods the
// display queue with or without windows; {0, 0} shows that part alone.
BENCHMARK(BM_TwentyWindowsFollowLive)
    ->Args({1600, 20})
    ->Args({16000, 20})
    ->Args({0, 0})
    ->Args({0, 20})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace orv::bench

int main(int argc, char** argv) { return orv::bench::RunWindowBenchmarks(argc, argv); }
