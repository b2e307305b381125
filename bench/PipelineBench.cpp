// The threaded pipeline: latency from a packet leaving the source's read to
// the page notification at a window, CPU while running with no data, and
// throughput with the pacing off.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "acquisition/Acquisition.h"
#include "drivers/broadcast/PacketEncoder.h"
#include "drivers/vbi/VbiBackend.h"
#include "platform/Registry.h"

namespace orv::bench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A registry file of the benchmark's own, which the capture library reads too.
class BenchRegistry {
public:
    BenchRegistry() {
        folder_ = std::filesystem::temp_directory_path() / ("orvtt_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        const std::string path = (folder_ / "registry.reg").string();
        ::setenv("ORVTT_REGISTRY", path.c_str(), 1);
        registry = std::make_unique<Registry>(path);
    }
    ~BenchRegistry() {
        ::unsetenv("ORVTT_REGISTRY");
        std::filesystem::remove_all(folder_);
    }
    std::filesystem::path EmptyRecording() const {
        const auto path = folder_ / "empty.t42";
        std::ofstream(path).close();
        return path;
    }
    std::unique_ptr<Registry> registry;

private:
    std::filesystem::path folder_;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Resident memory of this process, MB.
double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Delivers one whole page per read when asked to, and notes when the read returned.
class OnDemandSource : public CaptureSource {
public:
    int ReadPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) override {
        status = 0;
        packets.clear();
        if (!pending.exchange(false)) return 0;
        const auto pageNo = static_cast<std::uint16_t>(0x100 + (sent % 100) / 10 * 16 + sent % 10);
        HeaderControl control;
        packets.push_back(EncodeHeader(pageNo, control, "LATENCY"));
        packets.push_back(EncodeRow(1, 1, "row"));
        packets.push_back(EncodeHeader(0x1FF, control, "CLOSE"));  // closes the page at once
        ++sent;
        readReturned.store(Clock::now().time_since_epoch().count());
        return static_cast<int>(packets.size());
    }
    void StopCapture() override {}
    std::atomic<bool> pending{false};
    std::atomic<Clock::rep> readReturned{0};
    int sent = 0;
};

class TimingWindow : public PageWindow {
public:
    void OnVtxPage(std::uint16_t pageNo, const PageRef&) override {
        if (pageNo != 0x1FF) arrived = Clock::now();
        ++pages;
    }
    Clock::time_point arrived{};
    std::uint64_t pages = 0;
};

// Both collector threads and the dispatcher over a given source, with one window.
struct ThreadedPipeline {
    explicit ThreadedPipeline(std::shared_ptr<CaptureSource> source) : collector(std::move(source)) {
        collector.StartCollector();
        dispatcher.StartDisplayDispatcher(collector.Display(), collector.PausedFlag());
        dispatcher.RegisterPageWindow(windows.Add(window));
    }
    ~ThreadedPipeline() {
        dispatcher.StopDisplayDispatcher();
        collector.StopCollector();
    }
    Collector collector;
    PageDatabase db;
    EventLoopUiThread ui;
    PageWindowTable windows;
    DisplayDispatcher dispatcher{db, ui, windows};
    TimingWindow window;
};

void BM_PacketToWindowLatency(benchmark::State& state) {
    auto source = std::make_shared<OnDemandSource>();
    source->PollInterval = 1;  // the poll interval is not what is measured
    ThreadedPipeline pipeline(source);
    auto& ui = pipeline.ui;
    auto& window = pipeline.window;

    std::vector<double> latencies;
    for (auto _ : state) {
        window.arrived = {};
        source->pending = true;
        ui.ServeUntil([&] { return window.arrived != Clock::time_point{}; });
        const Clock::time_point read{Clock::duration(source->readReturned.load())};
        latencies.push_back(std::chrono::duration<double, std::micro>(window.arrived - read).count());
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_us"] = latencies[latencies.size() / 2];
    state.counters["p95_us"] = latencies[latencies.size() * 95 / 100];
}
BENCHMARK(BM_PacketToWindowLatency)->Iterations(300)->Unit(benchmark::kMillisecond);

// The whole pipeline for a while, from the configured sources; the CPU it used
// as a share of one core, and what reached the window.
struct RunResult {
    double cpuShare = 0;
    double pagesPerSecond = 0;
};

RunResult RunPipeline(Registry& registry, std::chrono::milliseconds duration) {
    DeviceTable devices;
    RegisterVbiDevice(devices, registry);
    EventLoopUiThread ui;
    PageWindowTable windows;
    TimingWindow window;
    Acquisition acquisition(registry, devices, ui, windows);
    if (!acquisition.StartAcquisition()) return {};
    acquisition.Dispatcher().RegisterPageWindow(windows.Add(window));
    ui.ServeFor(300ms);  // settle
    const double cpu0 = CpuSeconds();
    const std::uint64_t pages0 = window.pages;
    const auto wall0 = Clock::now();
    ui.ServeFor(duration);
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    RunResult result{(CpuSeconds() - cpu0) / wall, static_cast<double>(window.pages - pages0) / wall};
    acquisition.Stop();
    return result;
}

void BM_IdleCpuCaptureLibrary(benchmark::State& state) {
    BenchRegistry bench;
    bench.registry->WriteString("\\SOFTWARE\\ORV Technologies\\Capture Driver\\Replay", "Source",
                                bench.EmptyRecording().string());
    RunResult result;
    for (auto _ : state) result = RunPipeline(*bench.registry, 3s);
    state.counters["cpu_percent_of_core"] = result.cpuShare * 100;
}
BENCHMARK(BM_IdleCpuCaptureLibrary)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_IdleCpuVbiDevice(benchmark::State& state) {
    BenchRegistry bench;
    bench.registry->WriteString("\\SOFTWARE\\ORV Technologies\\Multimedia\\mmdrivers", "orvTTCap", "/nonexistent");
    bench.registry->WriteString("\\SOFTWARE\\ORV Technologies\\Capture Driver\\Replay", "Source", "/nonexistent.t42");
    bench.registry->WriteString(kVbiSettingsKey, "Backend", "replay");
    bench.registry->WriteString(kVbiSettingsKey, "Source", bench.EmptyRecording().string());
    RunResult result;
    for (auto _ : state) result = RunPipeline(*bench.registry, 3s);
    state.counters["cpu_percent_of_core"] = result.cpuShare * 100;
}
BENCHMARK(BM_IdleCpuVbiDevice)->Iterations(1)->Unit(benchmark::kMillisecond);

// Counts what the capture library hands over, to give packets per second.
class CountingSource : public CaptureSource {
public:
    explicit CountingSource(std::shared_ptr<CaptureSources> inner) : inner_(std::move(inner)) {}
    int ReadPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) override {
        const int count = inner_->ReadPackets(status, packets);
        packets_ += static_cast<std::uint64_t>(count);
        PollInterval = inner_->PollInterval.load();
        return count;
    }
    void StopCapture() override { inner_->StopCapture(); }
    std::atomic<std::uint64_t> packets_{0};

private:
    std::shared_ptr<CaptureSources> inner_;
};

void BM_ThroughputUnpaced(benchmark::State& state) {
    BenchRegistry bench;
    bench.registry->WriteInteger("\\SOFTWARE\\ORV Technologies\\Capture Driver\\Replay", "Rate", 0);
    DeviceTable devices;
    auto sources = std::make_shared<CaptureSources>(*bench.registry, devices);
    if (!sources->StartCapture()) {
        state.SkipWithError("capture library did not start");
        return;
    }
    auto counting = std::make_shared<CountingSource>(sources);
    ThreadedPipeline pipeline(counting);
    auto& ui = pipeline.ui;
    auto& window = pipeline.window;
    ui.ServeFor(300ms);

    // ORVTT_BENCH_SECONDS: how long it runs (3 s unless set).
    const char* seconds = std::getenv("ORVTT_BENCH_SECONDS");
    const auto runTime = std::chrono::seconds(seconds && std::atoi(seconds) > 0 ? std::atoi(seconds) : 3);
    double packetsPerSecond = 0, pagesPerSecond = 0, backlog = 0, rssStart = ResidentMb(), rssEnd = 0;
    for (auto _ : state) {
        const std::uint64_t packets0 = counting->packets_, pages0 = window.pages;
        const auto start = Clock::now();
        ui.ServeFor(runTime);
        rssEnd = ResidentMb();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        packetsPerSecond = static_cast<double>(counting->packets_ - packets0) / wall;
        pagesPerSecond = static_cast<double>(window.pages - pages0) / wall;
        backlog = static_cast<double>(pipeline.collector.Display()->Size());
    }
    state.counters["packets_per_s"] = packetsPerSecond;
    state.counters["pages_per_s"] = pagesPerSecond;
    state.counters["display_backlog"] = backlog;
    state.counters["rss_start_MB"] = rssStart;
    state.counters["rss_growth_MB"] = rssEnd - rssStart;
}
BENCHMARK(BM_ThroughputUnpaced)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv::bench

BENCHMARK_MAIN();
