// The TV link on the simulated card: one channel change with the driver call,
// the time from a change of the TV player's windows to the finished restart,
// the viewer's processor share in mix mode with the moving test picture at
// 25 pictures a second, and the detection thread's share.
//
//   xvfb-run -a build/test/bench/bench_tv     (mix mode drawn through an X server)
//   ORVTT_BENCH_SECONDS=20 sets how long the processor shares are measured (default 10).
#include <QTest>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "BenchViewer.h"
#include "platform/qt/X11WindowProbe.h"
#include "tv/TVDriver.h"
#include "tv/UTVPanelDetect.h"
#include "windows/VideoWindow.h"

namespace orv::bench {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kSimCard = std::string(ORVTT_DRIVER_DIR) + "/orvtt-simtv.so";

void SimulatedCard(Registry& registry) {
    registry.WriteString(kReplayKey, "Source", "none");
    registry.WriteString(kTVDriverKey, kTVDriverValue, kSimCard);
    registry.WriteString(kVbiSettingsKey, "Backend", "simcard");
    registry.WriteInteger(kVbiSettingsKey, "Rate", 1600);
}

double Seconds() {
    const char* text = std::getenv("ORVTT_BENCH_SECONDS");
    const double seconds = text ? std::atof(text) : 10.0;
    return seconds > 0 ? seconds : 10.0;
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void Percentiles(benchmark::State& state, std::vector<double> values, const char* unit) {
    if (values.empty()) return;
    std::sort(values.begin(), values.end());
    state.counters[std::string("median_") + unit] = values[values.size() / 2];
    state.counters[std::string("max_") + unit] = values.back();
}

void BM_TuneCurrentChannel(benchmark::State& state) {
    BenchViewer viewer(1600, SimulatedCard);
    TMainForm& form = *viewer.Form;
    if (!form.Started() || !viewer.WaitForPage(0x100)) {
        state.SkipWithError("the simulated card did not start");
        return;
    }
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = Clock::now();
        form.bChannelDownClick();
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        QApplication::processEvents();
    }
    Percentiles(state, micros, "us");
}
BENCHMARK(BM_TuneCurrentChannel)->Unit(benchmark::kMicrosecond)->Iterations(200);

// The player's panel comes and goes; each change is timed from the window
// appearing (or vanishing) to the restart having run.
void BM_PlayerChangeToRestart(benchmark::State& state) {
    BenchViewer viewer(1600, SimulatedCard);
    TMainForm& form = *viewer.Form;
    if (!form.Started()) {
        state.SkipWithError("the simulated card did not start");
        return;
    }
    std::vector<double> millis;
    bool panel = false;
    for (auto _ : state) {
        panel = !panel;
        const auto start = Clock::now();
        viewer.Desktop().Set(panel ? std::vector<TopLevelWindow>{{kPlayerPanelClass, "panel"}}
                                   : std::vector<TopLevelWindow>{});
        const bool done = QTest::qWaitFor([&] { return (form.Video() == nullptr) == panel && !form.TVStateChanged(); },
                                          5000);
        if (!done) {
            state.SkipWithError("no restart within 5 s");
            return;
        }
        millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    Percentiles(state, millis, "ms");
}
BENCHMARK(BM_PlayerChangeToRestart)->Unit(benchmark::kMillisecond)->Iterations(10);

// The whole viewer's processor time in mix mode, the picture running.
void BM_MixModeProcessorShare(benchmark::State& state) {
    BenchViewer viewer(1600, SimulatedCard);
    TMainForm& form = *viewer.Form;
    if (!form.Started() || !viewer.WaitForPage(0x100)) {
        state.SkipWithError("the simulated card did not start");
        return;
    }
    form.mTV_VTXClick();
    QTest::qWait(500);
    for (auto _ : state) {
        const std::uint64_t frames = form.Video()->FramesShown();
        const double cpu = ProcessCpuSeconds();
        const auto start = Clock::now();
        QTest::qWait(static_cast<int>(Seconds() * 1000));
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        state.counters["cpu_percent"] = (ProcessCpuSeconds() - cpu) / wall * 100.0;
        state.counters["frames_per_s"] = static_cast<double>(form.Video()->FramesShown() - frames) / wall;
    }
}
BENCHMARK(BM_MixModeProcessorShare)->Unit(benchmark::kSecond)->Iterations(1);

// The detection thread alone in a quiet process, asking the real desktop.
void BM_DetectionThreadShare(benchmark::State& state) {
    X11WindowProbe probe;
    std::atomic<bool> changed{false};
    for (auto _ : state) {
        const double cpu = ProcessCpuSeconds();
        const auto start = Clock::now();
        {
            TTVDetect detect(probe, changed, nullptr);
            std::this_thread::sleep_for(std::chrono::duration<double>(Seconds()));
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        state.counters["cpu_percent"] = (ProcessCpuSeconds() - cpu) / wall * 100.0;
        state.counters["windows"] = static_cast<double>(probe.TopLevelWindows().size());
    }
}
BENCHMARK(BM_DetectionThreadShare)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace orv::bench

int main(int argc, char** argv) { return orv::bench::RunWindowBenchmarks(argc, argv); }
