// DVB teletext: `ttxdump --list` and `ttxdump --srt auto` on a large recording (about 5 % teletext,
// the rest video), as a whole process from the page cache, beside libzvbi's
// PES demultiplexer behind a plain PID filter feeding its decoder; and the
// cost of a read of a live demux device with no data.
//   ORVTT_BENCH_TS       the recording (made when missing; default in the temp folder)
//   ORVTT_BENCH_TS_MB    its size in MB (default 800)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <linux/dvb/dmx.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <filesystem>
#include <fstream>

#include "TsWriter.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/broadcast/PacketEncoder.h"
#include "drivers/dvb/DemuxSource.h"

#ifdef ORVTT_HAVE_ZVBI
#include <libzvbi.h>
#endif

extern char** environ;

namespace orv::bench {
namespace {

constexpr std::uint16_t kTeletextPid = 804;

std::string RecordingPath() {
    if (const char* path = std::getenv("ORVTT_BENCH_TS"); path && *path) return path;
    return (std::filesystem::temp_directory_path() / "orvtt-bench-800-subtitled.ts").string();
}

std::uintmax_t RecordingBytes() {
    const char* mb = std::getenv("ORVTT_BENCH_TS_MB");
    return static_cast<std::uintmax_t>(mb && *mb ? std::atoll(mb) : 800) * 1024 * 1024;
}

// Made once: PES packets of 16 lines (five transport packets) among 95 video
// packets, the tables now and then, and with them a subtitle on page 888
// whose text changes each time.
const std::string& Recording() {
    static const std::string path = [] {
        const std::string file = RecordingPath();
        std::error_code ec;
        if (const auto size = std::filesystem::file_size(file, ec); !ec && size >= RecordingBytes()) return file;
        DemoBroadcast broadcast(BuiltInDemoPages());
        std::vector<tVTXPacket> lines(16 * 512);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        std::uintmax_t written = 0;
        std::int64_t pts = 0;
        HeaderControl subtitle;
        subtitle.Subtitle = true;
        subtitle.ErasePage = true;
        int caption = 0;
        test::TsWriter ts;  // one writer: the continuity counts run on across the pieces
        while (written < RecordingBytes()) {
            broadcast.Fill(lines);
            ts.Bytes.clear();
            for (std::size_t i = 0; i < lines.size(); i += 16) {
                if (i == 0) {
                    ts.Section(0x0000, test::TsWriter::Pat(1, 0, {{7, 0x100}, {8, 0x101}}));
                    ts.Section(0x100, test::TsWriter::Pmt(7, 0, 0x1E0, {test::TsEs{.Type = 2, .Pid = 0x1E0, .TeletextDescriptor = false}}));
                    ts.Section(0x101, test::TsWriter::Pmt(8, 0, 0x1E0, {test::TsEs{.Pid = kTeletextPid}}));
                    ts.Section(0x0011, test::TsWriter::Sdt(1, {{7, "Video"}, {8, "Das Erste"}}));
                    const std::vector<tVTXPacket> page{
                        EncodeHeader(0x888, subtitle, ""),
                        EncodeRow(8, 22, "\x0b\x0bSubtitle " + std::to_string(++caption) + "\x0a\x0a")};
                    ts.Teletext(kTeletextPid, page, pts);
                }
                ts.Filler(0x1E0, 95);
                ts.Teletext(kTeletextPid, std::span(lines).subspan(i, 16), pts);
                pts += 16 * 90000 / 1600;
            }
            out.write(reinterpret_cast<const char*>(ts.Bytes.data()), static_cast<std::streamsize>(ts.Bytes.size()));
            written += ts.Bytes.size();
        }
        return file;
    }();
    return path;
}

// Reads the file once so that every run reads it from the page cache.
void WarmCache(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
    }
}

// ttxdump with these options on the recording, as a whole process; the
// exit statuses that count as done.
void RunTtxDump(benchmark::State& state, std::vector<std::string> options, std::vector<int> done) {
    const std::string& path = Recording();
    WarmCache(path);
    const std::string program = ORVTT_TTXDUMP;
    std::vector<const char*> argv{program.c_str()};
    for (const std::string& option : options) argv.push_back(option.c_str());
    argv.push_back(path.c_str());
    argv.push_back(nullptr);
    long maxRssKb = 0;
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv.data()), environ) != 0) {
            state.SkipWithError("cannot start ttxdump");
            break;
        }
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
        if (!WIFEXITED(status) || std::find(done.begin(), done.end(), WEXITSTATUS(status)) == done.end())
            state.SkipWithError("ttxdump failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
    state.counters["maxrss_MB"] = static_cast<double>(maxRssKb) / 1024.0;
}

void TtxDumpList(benchmark::State& state) { RunTtxDump(state, {"--list"}, {0}); }
BENCHMARK(TtxDumpList)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same recording as SubRip: every page is assembled as for --list, the
// subtitle page's cues with their times.
void TtxDumpSrt(benchmark::State& state) { RunTtxDump(state, {"--srt", "auto"}, {0}); }
BENCHMARK(TtxDumpSrt)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

#ifdef ORVTT_HAVE_ZVBI
struct ZvbiRun {
    vbi_decoder* Decoder = vbi_decoder_new();
    std::size_t Lines = 0;
    ~ZvbiRun() { vbi_decoder_delete(Decoder); }
};

vbi_bool DecodeLines(vbi_dvb_demux*, void* user, const vbi_sliced* sliced, unsigned int lines, std::int64_t pts) {
    auto* run = static_cast<ZvbiRun*>(user);
    vbi_decode(run->Decoder, const_cast<vbi_sliced*>(sliced), static_cast<int>(lines), static_cast<double>(pts) / 90000);
    run->Lines += lines;
    return TRUE;
}

void ZvbiPesDemux(benchmark::State& state) {
    const std::string& path = Recording();
    WarmCache(path);
    std::size_t lines = 0;
    for (auto _ : state) {
        ZvbiRun run;
        vbi_dvb_demux* demux = vbi_dvb_pes_demux_new(DecodeLines, &run);
        const int fd = ::open(path.c_str(), O_RDONLY);
        std::vector<std::uint8_t> buffer(188 * 5000);  // whole packets a read: the file has no damage
        ssize_t got;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
            for (std::size_t at = 0; at + 188 <= static_cast<std::size_t>(got); at += 188) {
                const std::uint8_t* p = &buffer[at];
                if (p[0] != 0x47 || ((p[1] & 0x1F) << 8 | p[2]) != kTeletextPid || !(p[3] & 0x10)) continue;
                const std::size_t start = (p[3] & 0x20) ? 5u + p[4] : 4u;
                if (start < 188) vbi_dvb_demux_feed(demux, p + start, static_cast<unsigned>(188 - start));
            }
        }
        ::close(fd);
        vbi_dvb_demux_delete(demux);
        lines = run.Lines;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(ZvbiPesDemux)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
#endif

// A demux device (pipes) with one PES on the teletext PID, then nothing: the
// cost of one read of the capture library with no data, which the viewer
// makes every 125 ms.
class IdleDemux : public DemuxCalls {
public:
    int Open(const std::string&, int) override {
        int ends[2];
        if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return -1;
        writeEnds_[ends[0]] = ends[1];
        return ends[0];
    }
    int Ioctl(int fd, unsigned long request, void*) override {
        if (request == DMX_SET_PES_FILTER) {
            DemoBroadcast broadcast(BuiltInDemoPages());
            std::vector<tVTXPacket> lines(16);
            broadcast.Fill(lines);
            test::TsWriter ts;
            ts.Teletext(kTeletextPid, lines, std::nullopt);
            if (::write(writeEnds_[fd], ts.Bytes.data(), ts.Bytes.size()) < 0) return -1;
        }
        return 0;
    }
    ~IdleDemux() override {
        for (const auto& [read, write] : writeEnds_) ::close(write);
    }

private:
    std::map<int, int> writeEnds_;
};

void LiveDemuxIdleRead(benchmark::State& state) {
    std::string error;
    TsChoice choice;
    choice.Pid = kTeletextPid;  // no tables on this device
    auto source = DemuxSource::Open("/dev/dvb/adapter0/demux0", choice, error, std::make_shared<IdleDemux>(),
                                    std::chrono::milliseconds(100));
    if (!source) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<tVTXPacket> drain(64);
    bool wrapped = false;
    source->Next(drain, wrapped);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) benchmark::DoNotOptimize(source->Waiting(std::chrono::microseconds(0)));
    const double perRead = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                           static_cast<double>(state.iterations());
    state.counters["core_pct_at_8_reads_per_s"] = perRead * 8 * 100;
}
BENCHMARK(LiveDemuxIdleRead);

}  // namespace
}  // namespace orv::bench
