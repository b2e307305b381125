// The viewer window: a page's arrival at the main window to its pixels on the
// screen; and the program as a user starts it (under an X server): start to
// main window shown, splash second included, and resident memory after a
// minute of the demo broadcast.
//
//   build/test/bench/bench_viewer                      (window figures; offscreen without a display)
//   xvfb-run -a build/test/bench/bench_viewer          (also the start and memory figures)
//   ORVTT_BENCH_SECONDS=60 sets how long the memory run lasts.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "BenchViewer.h"
#include "platform/SingleInstance.h"
#include "platform/qt/X11WindowProbe.h"
#include "windows/PageBox.h"

namespace orv::bench {
namespace {

// A main window on the demo broadcast. Once pages are stored, capture is
// paused and the benchmark hands the window pages itself, as the dispatcher does.
void BM_PageArrivalToPixels(benchmark::State& state) {
    BenchViewer viewer;
    TMainForm* form = viewer.Form.get();
    if (!viewer.WaitForPage(0x150)) {
        state.SkipWithError("the demo did not arrive");
        return;
    }
    form->SetPause(true);
    QTest::qWait(300);

    // Page 100 and the three sub-pages of the carousel 150, in turn.
    std::vector<PageRef> pages;
    for (const auto& entry : form->Pipeline()->Pages().Snapshot())
        if (entry.Page->PageNo == 0x100 || entry.Page->PageNo == 0x150) pages.push_back(entry.Page);
    form->EnterDigit('1');
    form->EnterDigit('5');
    form->EnterDigit('0');

    std::vector<double> micros;
    std::size_t i = 0;
    for (auto _ : state) {
        const PageRef& page = pages[i++ % pages.size()];
        const auto start = std::chrono::steady_clock::now();
        form->OnVtxPage(page->PageNo, page);
        form->VTXBox->repaint();  // the paint that puts the pixels on the screen
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p95_us"] = micros[micros.size() * 95 / 100];
}
BENCHMARK(BM_PageArrivalToPixels)->Iterations(2000)->Unit(benchmark::kMicrosecond);

long ResidentKilobytes(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// The real program under the X server of DISPLAY, with a fresh registry.
void BM_StartToWindowShownAndMemory(benchmark::State& state) {
    if (QGuiApplication::platformName() != "xcb") {
        state.SkipWithError("needs an X server: run under xvfb-run");
        return;
    }
    const int seconds = std::getenv("ORVTT_BENCH_SECONDS") ? std::atoi(std::getenv("ORVTT_BENCH_SECONDS")) : 60;
    for (auto _ : state) {
        const auto folder = BenchFolder();
        QProcess viewer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVTT_REGISTRY", QString::fromStdString((folder / "registry.reg").string()));
        env.insert("TMPDIR", QString::fromStdString(folder.string()));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(folder.string()));
        viewer.setProcessEnvironment(env);
        X11WindowProbe probe;
        QElapsedTimer clock;
        clock.start();
        viewer.start(ORVTT_VIEWER, {});
        while (!HasWindowOfClass(probe, kMainWindowClass) && clock.elapsed() < 10000)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        state.counters["start_to_shown_ms"] = static_cast<double>(clock.elapsed());
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        state.counters["rss_MB"] = static_cast<double>(ResidentKilobytes(viewer.processId())) / 1024.0;
        state.counters["run_s"] = seconds;
        ::kill(static_cast<pid_t>(viewer.processId()), SIGTERM);
        viewer.waitForFinished(5000);
        std::filesystem::remove_all(folder);
    }
}
BENCHMARK(BM_StartToWindowShownAndMemory)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace orv::bench

int main(int argc, char** argv) { return orv::bench::RunWindowBenchmarks(argc, argv); }
