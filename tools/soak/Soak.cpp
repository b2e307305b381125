// orvtt_soak: the viewer's threaded acquisition pipeline (capture thread,
// assembly thread, display dispatcher, page database) on the replay capture
// library, unpaced, for minutes on end, switching the source every few
// seconds. It watches resident memory and the thread count, and fails when
// either drifts.
//
// How a switch is made: the replay library reads its "Source" when it opens,
// so a switch stops capture, writes the other source to the registry and
// starts capture again, the threads kept, as the viewer's RestartTV does. The
// two sources are the built-in demo broadcast and a recording the soak writes
// itself of the same pages under another station name, so every switch brings
// a new name in packet 30 (the .tti folder would not: the demo broadcast is
// made of those very pages and sends the same name). The replay library never
// sets the reset bit (4) itself, since a replayed source is one service, so
// the source wrapper here adds it to the first read after each start, as a
// library whose source changed would: that runs the reset path (the
// dispatcher clears the pages on its own thread) besides the station change
// (cleared on the user-interface thread).
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "acquisition/OrvTTCapAbi.h"
#include "acquisition/Pages.h"
#include "acquisition/VTX_Collect.h"
#include "acquisition/VTX_Display.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/replay/ReplaySettings.h"
#include "platform/DeviceIo.h"
#include "platform/Registry.h"
#include "platform/UiThread.h"

namespace orv {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kExitPassed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitError = 2;

constexpr const char* kUsage =
    "usage: orvtt_soak [--minutes N | --seconds N] [--every SECONDS]\n"
    "  --minutes N       how long it runs (default 10)\n"
    "  --seconds N       the same in seconds, for quick runs\n"
    "  --every SECONDS   time between source switches (default 5)\n"
    "Exit status: 0 passed, 1 memory grew by more than 5 % after the first minute\n"
    "(after half the run when it is shorter than two minutes), the thread count\n"
    "changed or the pipeline stalled, 2 bad arguments, no capture or interrupted.\n";

// Ctrl+C or a SIGTERM ends the run early, still in order, so that the
// private folder goes.
volatile std::sig_atomic_t gInterrupted = 0;
extern "C" void OnInterrupt(int) { gInterrupted = 1; }

constexpr char kSecondStation[] = "ORV Soak Second Station";
constexpr double kAllowedGrowth = 0.05;

struct Options {
    double Seconds = 10 * 60.0;
    double Every = 5.0;
};

std::optional<double> ParsePositive(std::string_view text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || !(value > 0) || value > 7 * 24 * 3600.0)
        return std::nullopt;
    return value;
}

// Empty on success, else the message.
std::string ParseArgs(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const std::optional<double> value = i + 1 < argc ? ParsePositive(argv[i + 1]) : std::nullopt;
        if (arg == "--minutes" || arg == "--seconds" || arg == "--every") {
            if (!value) return std::string(arg) + " needs a positive number";
            ++i;
            if (arg == "--minutes")
                options.Seconds = *value * 60.0;
            else if (arg == "--seconds")
                options.Seconds = *value;
            else
                options.Every = *value;
        } else {
            return "unknown option " + std::string(arg);
        }
    }
    return {};
}

double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

int ThreadCount() {
    int count = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc/self/task", ec), end; !ec && it != end; it.increment(ec))
        ++count;
    return count;
}

// A private folder for the registry file and the recording, and
// ORVTT_REGISTRY pointing into it (the capture library reads the same file);
// both go at the end.
class SoakFolder {
public:
    SoakFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvtt_soak.XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
        folder_ = pattern;
        ::setenv("ORVTT_REGISTRY", RegistryPath().c_str(), 1);
    }
    ~SoakFolder() {
        ::unsetenv("ORVTT_REGISTRY");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    SoakFolder(const SoakFolder&) = delete;
    SoakFolder& operator=(const SoakFolder&) = delete;

    std::string RegistryPath() const { return (folder_ / "registry.reg").string(); }
    std::filesystem::path Path() const { return folder_; }

private:
    std::filesystem::path folder_;
};

// The demo pages under another station name, long enough for every page to
// go out several times; the replay library plays it in a loop.
bool WriteSecondStation(const std::filesystem::path& file) {
    BroadcastOptions options;
    options.StationName = kSecondStation;
    options.HeaderLabel = "SOAK-TWO";
    DemoBroadcast broadcast(BuiltInDemoPages(), options);
    std::vector<tVTXPacket> packets(30 * 1600);  // half a minute of broadcast
    broadcast.Fill(packets);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const tVTXPacket& packet : packets)
        out.write(reinterpret_cast<const char*>(packet.Bytes.data()), static_cast<std::streamsize>(packet.Bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

// Between the capture thread and the capture sources: counts the packets and
// owes a reset to the first read after each start (see the top of the file).
class SoakSource : public CaptureSource {
public:
    SoakSource(const Registry& registry, DeviceIo& devices)
        : inner_(std::make_shared<CaptureSources>(registry, devices)) {}

    bool StartCapture() {
        const bool started = inner_->StartCapture() && inner_->UseCaptureDll();
        PollInterval = inner_->PollInterval.load();
        resetOwed_ = true;
        return started;
    }
    void StopCapture() override { inner_->StopCapture(); }
    int ReadPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets) override {
        const int count = inner_->ReadPackets(status, packets);
        if (count > 0 && resetOwed_.exchange(false)) {
            status |= kStatusReset;
            ++resets_;
        }
        packets_ += static_cast<std::uint64_t>(std::max(count, 0));
        return count;
    }

    std::string LoadedFrom() const { return inner_->Dll().LoadedFrom(); }
    std::uint64_t Packets() const { return packets_.load(); }
    std::uint64_t Resets() const { return resets_.load(); }

private:
    std::shared_ptr<CaptureSources> inner_;
    std::atomic<bool> resetOwed_{false};
    std::atomic<std::uint64_t> packets_{0};
    std::atomic<std::uint64_t> resets_{0};
};

class CountingWindow : public PageWindow {
public:
    void OnVtxPage(std::uint16_t, const PageRef&) override { ++pages; }
    std::uint64_t pages = 0;  // UI thread only
};

// What Acquisition puts together, with the counting source in front, so that
// the packets can be counted.
class Pipeline {
public:
    Pipeline(const Registry& registry, DeviceIo& devices, UiThread& ui, PageWindowTable& windows)
        : source_(std::make_shared<SoakSource>(registry, devices)), collector_(source_), dispatcher_(db_, ui, windows) {}
    ~Pipeline() { Stop(); }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    bool Start() {
        if (!source_->StartCapture()) return false;
        collector_.StartCollector();
        dispatcher_.StartDisplayDispatcher(collector_.Display(), collector_.PausedFlag());
        return true;
    }
    // The capture only, the threads kept.
    void StopCapture() { source_->StopCapture(); }
    bool StartCapture() { return source_->StartCapture(); }
    // In the viewer's order: the dispatcher, then the collector and capture. On the UI thread.
    void Stop() {
        dispatcher_.SetStationChangeHandler({});
        dispatcher_.StopDisplayDispatcher();
        collector_.StopCollector();
    }

    SoakSource& Source() { return *source_; }
    PageDatabase& Pages() { return db_; }
    DisplayDispatcher& Dispatcher() { return dispatcher_; }

private:
    PageDatabase db_;
    std::shared_ptr<SoakSource> source_;
    Collector collector_;
    DisplayDispatcher dispatcher_;
};

std::string Elapsed(Clock::duration elapsed) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    char text[48];  // room for any count the format may print
    std::snprintf(text, sizeof text, "%3lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

int Soak(const Options& options) {
    const int threadsAtStart = ThreadCount();
    SoakFolder folder;
    const auto recording = folder.Path() / "second-station.t42";
    if (!WriteSecondStation(recording)) {
        std::cerr << "orvtt_soak: cannot write " << recording << '\n';
        return kExitError;
    }
    Registry registry(folder.RegistryPath());
    if (!registry.WriteInteger(kReplayKey, "Rate", 0) || !registry.WriteString(kReplayKey, "Source", "demo")) {
        std::cerr << "orvtt_soak: cannot write the registry file " << folder.RegistryPath() << '\n';
        return kExitError;
    }
    const std::string sourceNames[2] = {"demo", recording.string()};

    DeviceTable devices;  // no VBI device: the replay library or nothing
    EventLoopUiThread ui;
    PageWindowTable windows;
    CountingWindow window;
    const WindowHandle handle = windows.Add(window);
    std::uint64_t stationChanges = 0;  // before the pipeline, whose dispatcher counts here
    auto pipeline = std::make_unique<Pipeline>(registry, devices, ui, windows);
    if (!pipeline->Start()) {
        std::cerr << "orvtt_soak: the replay capture library " << kCaptureDllName << " did not start\n";
        return kExitError;
    }
    pipeline->Dispatcher().SetStationChangeHandler([&stationChanges] { ++stationChanges; });
    pipeline->Dispatcher().RegisterPageWindow(handle);

    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.Seconds));
    const auto every = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.Every));
    // Memory is compared from the first minute on; a run too short for that from half way.
    const auto baselineAt = std::min<Clock::duration>(1min, (end - start) / 2);
    std::cout << "orvtt_soak: " << options.Seconds << " s, a switch every " << options.Every << " s, capture library "
              << pipeline->Source().LoadedFrom() << ", threads before the start " << threadsAtStart << '\n';

    int source = 0;
    std::uint64_t switches = 0;
    std::uint64_t changesAtSwitch = 0;
    std::uint64_t missedChanges = 0;  // switches after which no new station name came by the next one
    auto nextSwitch = start + every;
    auto nextReport = start + 1min;
    bool baselineTaken = false;
    double baselineMb = 0;
    double lastMb = 0;
    std::uint64_t packetsAtReport = 0;
    std::uint64_t pagesAtReport = 0;
    auto lastReport = start;

    const auto report = [&](const char* what) {
        const auto now = Clock::now();
        // No rates on the first line: there is no interval before it.
        const double seconds =
            std::string_view(what) == "start" ? 0.0 : std::chrono::duration<double>(now - lastReport).count();
        const std::uint64_t packets = pipeline->Source().Packets();
        lastMb = ResidentMb();
        std::printf("%s %-8s rss %7.1f MB  threads %2d  pages stored %4d  packets/s %9.0f  pages/s %7.0f  "
                    "switches %4llu  station changes %4llu  resets %4llu\n",
                    Elapsed(now - start).c_str(), what, lastMb, ThreadCount(), pipeline->Pages().PageCount(),
                    seconds > 0 ? static_cast<double>(packets - packetsAtReport) / seconds : 0.0,
                    seconds > 0 ? static_cast<double>(window.pages - pagesAtReport) / seconds : 0.0,
                    static_cast<unsigned long long>(switches), static_cast<unsigned long long>(stationChanges),
                    static_cast<unsigned long long>(pipeline->Source().Resets()));
        std::fflush(stdout);
        packetsAtReport = packets;
        pagesAtReport = window.pages;
        lastReport = now;
    };
    report("start");

    for (;;) {
        const auto now = Clock::now();
        if (now >= end || gInterrupted) break;
        const bool baselineDue = !baselineTaken && now - start >= baselineAt;
        if (now >= nextReport || baselineDue) {
            report(now >= nextReport ? "minute" : "baseline");
            if (now >= nextReport) nextReport += 1min;
            if (baselineDue) {
                baselineMb = lastMb;
                baselineTaken = true;
            }
        }
        if (now >= nextSwitch) {
            if (switches > 0 && stationChanges == changesAtSwitch) ++missedChanges;
            pipeline->StopCapture();
            source ^= 1;
            if (!registry.WriteString(kReplayKey, "Source", sourceNames[source])) {
                std::cerr << "orvtt_soak: cannot write the registry file\n";
                return kExitError;
            }
            if (!pipeline->StartCapture()) {
                std::cerr << "orvtt_soak: capture did not start again from " << sourceNames[source] << '\n';
                return kExitError;
            }
            ++switches;
            changesAtSwitch = stationChanges;
            nextSwitch += every;
        }
        const auto wake = std::min({end, nextSwitch, nextReport, baselineTaken ? end : start + baselineAt});
        ui.ServeFor(std::clamp(std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now()), 1ms, 200ms));
    }
    report("end");
    const double endMb = lastMb;
    const int threadsRunning = ThreadCount();
    const std::uint64_t packets = pipeline->Source().Packets();
    const int stored = pipeline->Pages().PageCount();
    const std::uint64_t resets = pipeline->Source().Resets();
    pipeline.reset();
    // A capture thread let go while its read hung would still be ending.
    for (int i = 0; i < 20 && ThreadCount() != threadsAtStart; ++i) std::this_thread::sleep_for(50ms);
    const int threadsAtEnd = ThreadCount();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("orvtt_soak: %.0f s, %llu packets (%.0f a second), %llu pages to the window, %d stored at the end\n",
                seconds, static_cast<unsigned long long>(packets), static_cast<double>(packets) / seconds,
                static_cast<unsigned long long>(window.pages), stored);
    std::printf("orvtt_soak: %llu switches, %llu station changes (the first name counts too), %llu resets\n",
                static_cast<unsigned long long>(switches), static_cast<unsigned long long>(stationChanges),
                static_cast<unsigned long long>(resets));
    std::printf("orvtt_soak: threads at the start %d, while running %d, at the end %d; rss after %s %.1f MB, at the end "
                "%.1f MB (%+.1f %%), after the stop %.1f MB\n",
                threadsAtStart, threadsRunning, threadsAtEnd, Elapsed(baselineAt).c_str(), baselineMb, endMb,
                baselineMb > 0 ? (endMb / baselineMb - 1) * 100 : 0.0, ResidentMb());

    bool passed = true;
    if (baselineTaken && endMb > baselineMb * (1 + kAllowedGrowth)) {
        std::printf("orvtt_soak: FAILED: resident memory grew by more than %.0f %%\n", kAllowedGrowth * 100);
        passed = false;
    }
    if (threadsAtEnd != threadsAtStart) {
        std::printf("orvtt_soak: FAILED: %d threads at the end, %d at the start\n", threadsAtEnd, threadsAtStart);
        passed = false;
    }
    if (missedChanges > 0 || packets == 0) {
        std::printf("orvtt_soak: FAILED: the pipeline stalled (%llu switches brought no new station name)\n",
                    static_cast<unsigned long long>(missedChanges));
        passed = false;
    }
    if (gInterrupted) {
        std::printf("orvtt_soak: interrupted\n");
        return kExitError;
    }
    std::printf("orvtt_soak: %s\n", passed ? "passed" : "FAILED");
    return passed ? kExitPassed : kExitFailed;
}

}  // namespace
}  // namespace orv

int main(int argc, char** argv) {
    orv::Options options;
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--help") {
            std::cout << orv::kUsage;
            return orv::kExitPassed;
        }
    if (const std::string problem = orv::ParseArgs(argc, argv, options); !problem.empty()) {
        std::cerr << "orvtt_soak: " << problem << '\n' << orv::kUsage;
        return orv::kExitError;
    }
    std::signal(SIGINT, orv::OnInterrupt);
    std::signal(SIGTERM, orv::OnInterrupt);
    try {
        return orv::Soak(options);
    } catch (const std::exception& e) {
        std::cerr << "orvtt_soak: " << e.what() << '\n';
        return orv::kExitError;
    }
}
