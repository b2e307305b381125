// Drawing a whole page with the teletext font; with libzvbi installed, the
// same page through libzvbi's vbi_draw_vt_page for comparison.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "BenchStreams.h"
#include "rendering/FontTable.h"
#include "rendering/PagePicture.h"

#ifdef ORVTT_HAVE_ZVBI
#include <libzvbi.h>
#endif

namespace orv::bench {
namespace {

const std::vector<tVTXPacket>& Demo() {
    static const std::vector<tVTXPacket> stream = DemoStream(30 * 1600);
    return stream;
}

// The demo's pages drawn one after the other, with the enhancements given
// (none: as level 1).
void DrawPages(benchmark::State& state, const PageEnhancements* enhancements) {
    const auto pages = ReceivedPages(Demo());
    FontTable fonts;
    fonts.AddFontMemory(TeletextFontResource(), "TTX_FONT");
    GraphicsRenderer renderer;
    Canvas canvas(kPagePictureWidth, kPagePictureHeight, fonts);
    std::size_t i = 0;
    for (auto _ : state) {
        renderer.DrawPage(canvas, *pages[i], enhancements, false, false);
        benchmark::DoNotOptimize(canvas.Pixels().data());
        i = (i + 1) % pages.size();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_DrawPage(benchmark::State& state) { DrawPages(state, nullptr); }
BENCHMARK(BM_DrawPage)->Unit(benchmark::kMicrosecond);

// The same pages with 100 X/26 triplets each: a row address and twelve
// letters with marks on each of eight rows, and four G2 characters.
PageEnhancements HundredTriplets() {
    PageEnhancements enhancements;
    for (std::uint8_t packet = 0; packet < 8; ++packet) {
        TripletArray triplets{};
        triplets[0] = {static_cast<std::uint8_t>(41 + 2 * packet), 0x04, 0, true};
        for (std::size_t t = 1; t < 13; ++t)
            triplets[t] = {static_cast<std::uint8_t>(3 * t), static_cast<std::uint8_t>(0x11 + t % 4), 'e', true};
        enhancements.SetX26(packet, TripletPacket::FromTriplets(triplets));
    }
    TripletArray g2{};
    for (std::size_t t = 0; t < 4; ++t) g2[t] = {static_cast<std::uint8_t>(36 + t), 0x0F, 0x55, true};
    enhancements.SetX26(8, TripletPacket::FromTriplets(g2));
    return enhancements;
}

void BM_DrawPageWith100Triplets(benchmark::State& state) {
    const PageEnhancements enhancements = HundredTriplets();
    DrawPages(state, &enhancements);
}
BENCHMARK(BM_DrawPageWith100Triplets)->Unit(benchmark::kMicrosecond);

#ifdef ORVTT_HAVE_ZVBI
void IgnorePage(vbi_event*, void*) {}

void BM_ZvbiDrawVtPage(benchmark::State& state) {
    vbi_decoder* decoder = vbi_decoder_new();
    // Without a page handler libzvbi does not decode teletext at all.
    vbi_event_handler_register(decoder, VBI_EVENT_TTX_PAGE, IgnorePage, nullptr);
    std::vector<vbi_sliced> sliced(32);  // lines of one frame
    double timestamp = 0;
    const auto& packets = Demo();
    for (std::size_t i = 0; i < packets.size(); i += sliced.size()) {
        const std::size_t n = std::min(sliced.size(), packets.size() - i);
        for (std::size_t k = 0; k < n; ++k) {
            sliced[k].id = VBI_SLICED_TELETEXT_B;
            sliced[k].line = 7 + static_cast<unsigned>(k);
            std::copy(packets[i + k].Bytes.begin(), packets[i + k].Bytes.end(), sliced[k].data);
        }
        vbi_decode(decoder, sliced.data(), static_cast<int>(n), timestamp);
        timestamp += 0.04;
    }
    vbi_page page{};
    if (!vbi_fetch_vt_page(decoder, &page, 0x100, VBI_ANY_SUBNO, VBI_WST_LEVEL_1, 25, FALSE)) {
        state.SkipWithError("libzvbi did not keep page 100");
        vbi_decoder_delete(decoder);
        return;
    }
    std::vector<std::uint32_t> canvas(static_cast<std::size_t>(page.columns * 12 * page.rows * 10));
    for (auto _ : state) {
        vbi_draw_vt_page(&page, VBI_PIXFMT_RGBA32_LE, canvas.data(), FALSE, TRUE);
        benchmark::DoNotOptimize(canvas.data());
    }
    state.SetItemsProcessed(state.iterations());
    vbi_unref_page(&page);
    vbi_decoder_delete(decoder);
}
BENCHMARK(BM_ZvbiDrawVtPage)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
}  // namespace orv::bench

BENCHMARK_MAIN();
