#include <fcntl.h>
#include <linux/dvb/dmx.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <thread>

#include "TestRegistry.h"
#include "TsWriter.h"
#include "acquisition/ORVTTApi.h"
#include "acquisition/OrvTTCapAbi.h"
#include "acquisition/VTX_Collect.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/broadcast/PacketEncoder.h"
#include "drivers/dvb/DemuxSource.h"
#include "drivers/dvb/DvbSettings.h"
#include "drivers/replay/PacedReplay.h"

namespace orv {
namespace {

using namespace std::chrono_literals;
using test::TsEs;
using test::TsWriter;

struct FakeClock {
    std::chrono::steady_clock::time_point now{};
    PacedReplay::Clock Get() {
        return [this] { return now; };
    }
};

std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const auto path = (std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + name)).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

TEST(DvbRecording, PlaysAtTheStreamsOwnPaceInALoopAndResetsWhereTheServiceChanges) {
    const auto packets = test::DemoLines(1600);  // one second at 1600 lines a second
    const std::string path = WriteFile("paced.ts", test::TeletextMultiplex(packets));
    std::string error;
    auto recording = DvbRecording::Open(path, {}, error);
    ASSERT_TRUE(recording) << error;
    FakeClock clock;
    PacedReplay replay(std::move(recording), {}, clock.Get());
    replay.Start();
    std::vector<tVTXPacket> buffer(500);
    std::uint32_t status = 99;
    EXPECT_EQ(replay.Read(buffer, status), 16u);  // the first PES is due at once
    clock.now += 250ms;
    EXPECT_EQ(replay.Read(buffer, status), 400u);  // 250 ms of the stream's clock
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(buffer[0].Bytes, packets[16].Bytes);
    clock.now += 2s;  // beyond the end: the read stops where it starts over, with no reset
    std::size_t total = 416;
    do total += replay.Read(buffer, status);
    while (total < 1600 && (status & kStatusMoreWaiting));
    EXPECT_EQ(total, 1600u);
    EXPECT_EQ(status & kStatusReset, 0u);
    EXPECT_GT(replay.Read(buffer, status), 0u);
    EXPECT_EQ(buffer[0].Bytes, packets[0].Bytes);
    std::filesystem::remove(path);

    // The PMT moves the teletext to another PID: the read before it ends with a reset.
    TsWriter ts;
    ts.Section(kPatPid, TsWriter::Pat(1, 0, {{8, 0x101}}));
    ts.Section(0x101, TsWriter::Pmt(8, 0, 0x1FFF, {TsEs{.Pid = 804}}));
    ts.Teletext(804, std::span(packets).first(16), 0);
    ts.Section(0x101, TsWriter::Pmt(8, 1, 0x1FFF, {TsEs{.Pid = 805}}));
    ts.Teletext(805, std::span(packets).subspan(16, 16), 90);
    const std::string moved = WriteFile("moved.ts", ts.Bytes);
    FakeClock clock2;
    PacedReplay movedReplay(DvbRecording::Open(moved, {}, error), {}, clock2.Get());
    movedReplay.Start();
    clock2.now += 10ms;
    EXPECT_EQ(movedReplay.Read(buffer, status), 16u);
    EXPECT_EQ(status & kStatusReset, kStatusReset);
    EXPECT_EQ(movedReplay.Read(buffer, status), 16u);
    EXPECT_EQ(buffer[0].Bytes, packets[16].Bytes);
    std::filesystem::remove(moved);

    // What is not a recording with teletext does not open.
    EXPECT_FALSE(DvbRecording::Open("/nonexistent.ts", {}, error));
    EXPECT_FALSE(DvbRecording::Open("/tmp", {}, error));
    const std::string t42 = WriteFile("plain.t42", std::vector<std::uint8_t>(42 * 100, 0x15));
    EXPECT_FALSE(DvbRecording::Open(t42, {}, error));
    EXPECT_NE(error.find("not an MPEG transport stream"), std::string::npos);
    std::filesystem::remove(t42);
    TsWriter video;
    video.Section(kPatPid, TsWriter::Pat(1, 0, {{7, 0x100}}));
    video.Filler(0x1E0, 50);
    const std::string noTeletext = WriteFile("video.ts", video.Bytes);
    EXPECT_FALSE(DvbRecording::Open(noTeletext, {}, error));
    EXPECT_NE(error.find("no teletext"), std::string::npos);
    std::filesystem::remove(noTeletext);
}

// The entries of the teletext descriptor reach the viewer's list of subtitle
// pages through the library's optional entry point, read with the packets.
TEST(DvbRecording, TheLibraryTellsTheViewerItsTeletextDescriptor) {
    const auto packets = test::DemoLines(800);
    TsWriter ts;
    for (std::size_t i = 0; i < packets.size(); i += 16) {
        if (i % 256 == 0) {
            ts.Section(kPatPid, TsWriter::Pat(1, 0, {{8, 0x101}}));
            ts.Section(0x101, TsWriter::Pmt(8, 0, 0x1FFF,
                                            {TsEs{.Pid = 804, .Language = "ita",
                                                  .MoreEntries = {{"ita", 2, 0x777}, {"eng", 5, 0x778}}}}));
        }
        ts.Teletext(804, std::span(packets).subspan(i, 16), static_cast<std::int64_t>(i) * 90000 / 1600);
    }
    const std::string path = WriteFile("subtitled.ts", ts.Bytes);
    test::ScopedRegistry registry;
    registry->WriteString(kCaptureDllKey, kCaptureDllValue, std::string(ORVTT_DRIVER_DIR) + "/dvb");
    registry->WriteString(kDvbKey, "Source", path);
    DeviceTable devices;
    auto subtitles = std::make_shared<SubtitlePages>();
    CaptureSources sources(*registry, devices);
    sources.SetSubtitlePages(subtitles);
    ASSERT_TRUE(sources.StartCapture());
    ASSERT_TRUE(sources.UseCaptureDll());
    std::uint32_t status = 0;
    std::vector<tVTXPacket> read;
    sources.ReadPackets(status, read);
    EXPECT_EQ(subtitles->Descriptor(),
              (std::vector<TeletextDescriptorEntry>{{"ita", 1, 0x100}, {"ita", 2, 0x777}, {"eng", 5, 0x778}}));
    EXPECT_EQ(subtitles->List(), (std::vector<SubtitlePage>{{0x777, "ita", 2, false}, {0x778, "eng", 5, false}}));
    sources.StopCapture();
    std::filesystem::remove(path);
}

TEST(DvbRecording, TheCaptureLibraryPlaysItFromItsRegistryKey) {
    const auto packets = test::DemoLines(3200);
    const std::string path = WriteFile("library.m2ts", test::TeletextMultiplex(packets, 192));
    test::ScopedRegistry registry;
    registry->WriteString(kCaptureDllKey, kCaptureDllValue, std::string(ORVTT_DRIVER_DIR) + "/dvb");
    registry->WriteString(kDvbKey, "Source", path);
    registry->WriteInteger(kDvbKey, "ServiceId", 8);
    {
        CaptureDll dll(*registry);
        ASSERT_TRUE(dll.OpenDllCapture());
        std::this_thread::sleep_for(200ms);
        std::uint32_t status = 0;
        std::vector<tVTXPacket> read;
        const int count = dll.ReadDllPackets(status, read);
        EXPECT_GT(count, 200);  // about 320 in 200 ms
        EXPECT_LT(count, 500);
        ASSERT_GT(read.size(), 16u);
        EXPECT_EQ(read[0].Bytes, packets[0].Bytes);
        EXPECT_TRUE(dll.CloseDllCapture());
    }
    // A service that is not there: the open fails, and the viewer falls back.
    registry->WriteInteger(kDvbKey, "ServiceId", 9);
    EXPECT_FALSE(CaptureDll(*registry).OpenDllCapture());
    registry->WriteString(kDvbKey, "Source", "/nonexistent/adapter7");
    EXPECT_FALSE(CaptureDll(*registry).OpenDllCapture());
    std::filesystem::remove(path);
}

// A demux device made of pipes: each open is a filter; setting a filter on a
// PID sends what the "multiplex" has on it, as a tuned adapter would.
class FakeDemux : public DemuxCalls {
public:
    std::map<std::uint16_t, std::vector<std::uint8_t>> Sections;  // PID -> sections back to back
    std::map<std::uint16_t, std::vector<std::uint8_t>> Transport;  // PID -> TS packets
    std::map<int, int> WriteEnds;                                   // read end -> write end
    std::map<int, std::uint16_t> FilterPids;
    bool Missing = false;

    int Open(const std::string&, int) override {
        if (Missing) {
            errno = ENOENT;
            return -1;
        }
        int ends[2];
        if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return -1;
        ::fcntl(ends[1], F_SETPIPE_SZ, 1 << 20);
        WriteEnds[ends[0]] = ends[1];
        return ends[0];
    }
    int Ioctl(int fd, unsigned long request, void* argument) override {
        if (request == DMX_SET_FILTER) {
            const auto* params = static_cast<dmx_sct_filter_params*>(argument);
            FilterPids[fd] = params->pid;
            Send(fd, Sections[params->pid]);
        } else if (request == DMX_SET_PES_FILTER) {
            const auto* params = static_cast<dmx_pes_filter_params*>(argument);
            EXPECT_EQ(params->output, DMX_OUT_TSDEMUX_TAP);
            FilterPids[fd] = params->pid;
            Send(fd, Transport[params->pid]);
        }
        return 0;
    }
    void Close(int fd) override {
        ::close(WriteEnds[fd]);
        WriteEnds.erase(fd);
        FilterPids.erase(fd);
        ::close(fd);
    }
    // More of a PID's data now, on every filter that has it.
    void Push(std::uint16_t pid, const std::vector<std::uint8_t>& bytes) {
        for (const auto& [fd, filterPid] : FilterPids)
            if (filterPid == pid) Send(fd, bytes);
    }
    ~FakeDemux() override {
        for (const auto& [read, write] : WriteEnds) ::close(read), ::close(write);
    }

private:
    void Send(int fd, const std::vector<std::uint8_t>& bytes) {
        if (bytes.empty()) return;
        EXPECT_EQ(::write(WriteEnds[fd], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
};

std::vector<std::uint8_t> TeletextTs(std::uint16_t pid, std::span<const tVTXPacket> packets) {
    TsWriter ts;
    for (std::size_t i = 0; i < packets.size(); i += 16) ts.Teletext(pid, packets.subspan(i, 16), std::nullopt);
    return ts.Bytes;
}

TEST(DemuxSource, FollowsTheTunedServiceWithoutBlocking) {
    const auto packets = test::DemoLines(64);
    auto demux = std::make_shared<FakeDemux>();
    const auto pat = TsWriter::Pat(1, 0, {{7, 0x100}, {8, 0x101}});
    const auto pmt7 = TsWriter::Pmt(7, 0, 0x1FFF, {TsEs{.Type = 2, .Pid = 0x1E0, .TeletextDescriptor = false}});
    demux->Sections[kPatPid] = pat;
    demux->Sections[0x100] = pmt7;
    demux->Sections[0x101] = TsWriter::Pmt(8, 0, 0x1FFF, {TsEs{.Pid = 804}});
    demux->Sections[kSdtPid] = TsWriter::Sdt(1, {{7, "Video"}, {8, "Das Erste"}});
    demux->Transport[804] = TeletextTs(804, std::span(packets).first(32));
    std::string error;
    auto source = DemuxSource::Open("/dev/dvb/adapter0/demux0", {}, error, demux, 2s);
    ASSERT_TRUE(source) << error;
    PacedReplay replay(std::move(source), {});
    replay.Start();
    std::vector<tVTXPacket> buffer(500);
    std::uint32_t status = 0;
    EXPECT_EQ(replay.Read(buffer, status), 32u);
    EXPECT_EQ(buffer[31].Bytes, packets[31].Bytes);
    EXPECT_EQ(replay.Read(buffer, status), 0u);  // nothing more: no wait
    demux->Push(804, TeletextTs(804, std::span(packets).subspan(32, 16)));
    EXPECT_EQ(replay.Read(buffer, status), 16u);
    EXPECT_EQ(status, 0u);

    // The TV program tunes another multiplex: new tables, teletext on another PID.
    const auto newPat = TsWriter::Pat(2, 3, {{40, 0x200}});
    demux->Sections[0x200] = TsWriter::Pmt(40, 0, 0x1FFF, {TsEs{.Pid = 900}});
    demux->Transport[900] = TeletextTs(900, std::span(packets).subspan(48, 16));
    demux->Push(kPatPid, newPat);
    std::size_t got = replay.Read(buffer, status);
    EXPECT_EQ(got, 0u);  // the reset comes before the new service's packets
    EXPECT_EQ(status & kStatusReset, kStatusReset);
    got = replay.Read(buffer, status);
    EXPECT_EQ(got, 16u);
    EXPECT_EQ(buffer[0].Bytes, packets[48].Bytes);

    // No adapter, or an adapter whose services have no teletext: the open fails.
    auto missing = std::make_shared<FakeDemux>();
    missing->Missing = true;
    EXPECT_FALSE(DemuxSource::Open("/dev/dvb/adapter9/demux0", {}, error, missing, 2s));
    auto radio = std::make_shared<FakeDemux>();
    radio->Sections[kPatPid] = TsWriter::Pat(1, 0, {{7, 0x100}});
    radio->Sections[0x100] = pmt7;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DemuxSource::Open("/dev/dvb/adapter0/demux0", {}, error, radio, 2s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);  // told by its tables and a short look, not the wait

    // Tables that name no teletext: the whole multiplex is looked into, and
    // the tap then follows the PID found.
    auto hidden = std::make_shared<FakeDemux>();
    hidden->Sections[kPatPid] = TsWriter::Pat(1, 0, {{7, 0x100}});
    hidden->Sections[0x100] = pmt7;
    hidden->Transport[0x2000] = TeletextTs(0x13F0, std::span(packets).first(32));
    auto found = DemuxSource::Open("/dev/dvb/adapter0/demux0", {}, error, hidden, 2s);
    ASSERT_TRUE(found) << error;
    found->Waiting(0us);
    EXPECT_TRUE(std::any_of(hidden->FilterPids.begin(), hidden->FilterPids.end(),
                            [](const auto& filter) { return filter.second == 0x13F0; }));
    EXPECT_FALSE(DemuxSource::Open("/nonexistent/demux0", {}, error));
}

TEST(DvbSettings, ValuesOfTheWrongRangeAreNotSet) {
    test::ScopedRegistry registry;
    EXPECT_EQ(ReadDvbSettings(*registry).Source, "/dev/dvb/adapter0");
    registry->WriteInteger(kDvbKey, "ServiceId", 70000);
    registry->WriteString(kDvbKey, "ServiceName", "Das Erste");
    registry->WriteInteger(kDvbKey, "PID", 9000);
    DvbSettings settings = ReadDvbSettings(*registry);
    EXPECT_FALSE(settings.Choice.ServiceId);
    EXPECT_EQ(settings.Choice.ServiceName, "Das Erste");
    EXPECT_FALSE(settings.Choice.Pid);
}

}  // namespace
}  // namespace orv
