// Packets per second through the page assembly step, over the demo broadcast,
// over a synthetic one-hour stream with and without enhancement packets, and
// over a recording named by $ORVTT_BENCH_T42; with libzvbi installed, the same
// streams through libzvbi's decoder for comparison.
//   ORVTT_BENCH_WRITE_T42=FILE bench_assembly  also writes the enhanced hour to
//   FILE, so that an earlier build can be measured on the same packets.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "BenchStreams.h"
#include "acquisition/PageAssembler.h"

#ifdef ORVTT_HAVE_ZVBI
#include <libzvbi.h>
#endif

namespace orv::bench {
namespace {

// Frees what the assembly posts, as the display queue's consumer would.
class DiscardingSink : public DisplaySink {
public:
    void PostPage(PagePtr page) override { benchmark::DoNotOptimize(page->PageNo); ++pages; }
    void PostStationName(std::unique_ptr<tStationName>) override {}
    void PostReset(std::unique_ptr<tResetNotice>) override {}
    std::size_t pages = 0;
};

const std::vector<tVTXPacket>& Stream(const std::string& name) {
    static const std::vector<tVTXPacket> demo = DemoStream(60 * 1600);
    static const std::vector<tVTXPacket> hour = SyntheticHourStream();
    static const std::vector<tVTXPacket> enhanced = SyntheticEnhancedHourStream();
    static const std::vector<tVTXPacket> recording = RecordingStream();
    if (name == "demo") return demo;
    if (name == "enhanced") return enhanced;
    if (name == "recording") return recording;
    return hour;
}

void Assembly(benchmark::State& state, const std::string& name) {
    const auto& packets = Stream(name);
    if (packets.empty()) {
        state.SkipWithError("no packets (a recording is named by ORVTT_BENCH_T42)");
        return;
    }
    DiscardingSink sink;
    for (auto _ : state) {
        PageAssembler assembler(sink);
        assembler.ProcessPackets(packets);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * packets.size()));
    state.counters["pages"] = static_cast<double>(sink.pages) / static_cast<double>(state.iterations());
}
BENCHMARK_CAPTURE(Assembly, demo, std::string("demo"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Assembly, hour, std::string("hour"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Assembly, enhanced, std::string("enhanced"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Assembly, recording, std::string("recording"))->Unit(benchmark::kMillisecond);

#ifdef ORVTT_HAVE_ZVBI
void CountPage(vbi_event*, void* user) { ++*static_cast<std::size_t*>(user); }

void Zvbi(benchmark::State& state, const std::string& name, int packetsPerSecond) {
    const auto& packets = Stream(name);
    const int perCall = packetsPerSecond / 25;  // one frame's lines every 40 ms
    std::vector<vbi_sliced> sliced(packets.size());
    for (std::size_t i = 0; i < packets.size(); ++i) {
        sliced[i].id = VBI_SLICED_TELETEXT_B;
        sliced[i].line = 7 + static_cast<unsigned>(i % perCall);
        std::copy(packets[i].Bytes.begin(), packets[i].Bytes.end(), sliced[i].data);
    }
    std::size_t pages = 0;
    for (auto _ : state) {
        vbi_decoder* decoder = vbi_decoder_new();
        vbi_event_handler_register(decoder, VBI_EVENT_TTX_PAGE, CountPage, &pages);
        double timestamp = 0;
        for (std::size_t i = 0; i < sliced.size(); i += static_cast<std::size_t>(perCall)) {
            const int lines = static_cast<int>(std::min<std::size_t>(perCall, sliced.size() - i));
            vbi_decode(decoder, &sliced[i], lines, timestamp);
            timestamp += 0.04;
        }
        vbi_decoder_delete(decoder);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * packets.size()));
    state.counters["pages"] = static_cast<double>(pages) / static_cast<double>(state.iterations());
}
BENCHMARK_CAPTURE(Zvbi, demo, std::string("demo"), 1600)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Zvbi, hour, std::string("hour"), 800)->Unit(benchmark::kMillisecond);
#endif

// Keeps each run's rate so that the ratio can be printed at the end.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // Single runs, or the median of repetitions.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            const auto it = run.counters.find("items_per_second");
            std::string name = run.benchmark_name();
            if (const auto cut = name.rfind("_median"); cut != std::string::npos) name.resize(cut);
            if (it != run.counters.end()) rates[name] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> rates;
};

}  // namespace
}  // namespace orv::bench

int main(int argc, char** argv) {
    if (const char* out = std::getenv("ORVTT_BENCH_WRITE_T42")) {
        const auto& packets = orv::bench::Stream("enhanced");
        if (std::FILE* file = std::fopen(out, "wb")) {
            std::fwrite(packets.data(), sizeof(orv::tVTXPacket), packets.size(), file);
            std::fclose(file);
        }
    }
    benchmark::Initialize(&argc, argv);
    orv::bench::RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* stream : {"demo", "hour", "enhanced", "recording"}) {
        const auto ours = reporter.rates.find(std::string("Assembly/") + stream);
        const auto theirs = reporter.rates.find(std::string("Zvbi/") + stream);
        if (ours == reporter.rates.end()) continue;
        std::printf("%s stream: %.1f million packets/s", stream, ours->second / 1e6);
        if (theirs != reporter.rates.end())
            std::printf(", libzvbi %.1f million packets/s, ratio %.1f", theirs->second / 1e6,
                        ours->second / theirs->second);
        std::printf("\n");
    }
    benchmark::Shutdown();
    return 0;
}
