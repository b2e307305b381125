// The simulated TV card: its driver library called as the viewer calls it,
// and the VBI back-end whose teletext follows that library's tuner.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <thread>
#include <vector>

#include "TestRegistry.h"
#include "TestSupport.h"
#include "acquisition/OrvTTCapAbi.h"
#include "acquisition/PageAssembler.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/replay/ReplaySettings.h"
#include "drivers/tv/SimCardSettings.h"
#include "drivers/vbi/VbiBackend.h"
#include "platform/SharedLibrary.h"
#include "tv/TVDriverAbi.h"

namespace orv {
namespace {

using namespace std::chrono_literals;

const std::string kCardPath = ORVTT_DRIVER_DIR "/orvtt-simtv.so";

std::uint32_t Call(const SharedLibrary& card, const char* routine, std::initializer_list<std::uint16_t> words) {
    auto* entry = card.Entry<OrvTVRoutine>(routine);
    if (!entry) {
        ADD_FAILURE() << routine << " is not exported";
        return 0;
    }
    const std::vector<std::uint16_t> arguments(words);
    return entry(arguments.data(), static_cast<int>(arguments.size()));
}

std::uint32_t Query(const SharedLibrary& card, const char* entry) {
    auto* query = card.Entry<OrvSimCardQuery>(entry);
    return query ? query() : 0xDEAD;
}

// A copy of the library under another name is a card of its own: it has not
// been tuned and reads its range from the registry as it is now.
std::shared_ptr<SharedLibrary> FreshCard(const std::filesystem::path& folder, const char* name) {
    const auto copy = folder / name;
    std::filesystem::copy_file(kCardPath, copy);
    return SharedLibrary::Open(copy.string());
}

TEST(SimCardDriver, TunerRoutinesAnswerAsACard) {
    test::ScopedRegistry registry;
    auto card = FreshCard(registry.Folder(), "default.so");
    ASSERT_TRUE(card);
    EXPECT_EQ(Call(*card, kTuneChannelsRoutine, {0}), 12u << 16 | 1);
    EXPECT_EQ(Query(*card, kSimCardTunedChannelEntry), 0u);  // not tuned yet
    EXPECT_EQ(Call(*card, kGetPropertyRoutine, {0, kSourceProperty}), 1u);  // the tuner

    EXPECT_EQ(Call(*card, kSetChannelRoutine, {0, 0xFFFF}), 1u);
    EXPECT_EQ(Query(*card, kSimCardTunedChannelEntry), 0xFFFFu);
    EXPECT_EQ(Call(*card, kSetChannelRoutine, {0, 5, 0}), 0u);  // a wrong count changes nothing
    EXPECT_EQ(Call(*card, kSetChannelRoutine, {5}), 0u);
    EXPECT_EQ(Query(*card, kSimCardTunedChannelEntry), 0xFFFFu);
    EXPECT_EQ(Call(*card, kTuneChannelsRoutine, {}), 0u);

    EXPECT_EQ(Call(*card, kSetPropertyRoutine, {0, kSourceProperty, 0, 2}), 1u);
    EXPECT_EQ(Call(*card, kGetPropertyRoutine, {0, kSourceProperty}), 2u);
    EXPECT_EQ(Query(*card, kSimCardSourceEntry), 2u);
    EXPECT_EQ(Call(*card, kSetPropertyRoutine, {0, kSourceProperty, 0, 3}), 0u);  // no such source
    EXPECT_EQ(Call(*card, kSetPropertyRoutine, {0, kSourceProperty, 1, 0}), 0u);  // the high word counts
    EXPECT_EQ(Call(*card, kSetPropertyRoutine, {0, 5, 0, 0}), 0u);                // only the source is set
    EXPECT_EQ(Call(*card, kSetPropertyRoutine, {0, kSourceProperty, 0}), 0u);
    EXPECT_EQ(Call(*card, kGetPropertyRoutine, {0, kSourceProperty, 0}), 0u);
    EXPECT_EQ(Call(*card, kGetPropertyRoutine, {0, 5}), 0u);
    EXPECT_EQ(Query(*card, kSimCardSourceEntry), 2u);

    registry->WriteInteger(kSimCardKey, "MinChannel", 21);
    registry->WriteInteger(kSimCardKey, "MaxChannel", 69);
    EXPECT_EQ(Call(*card, kTuneChannelsRoutine, {0}), 12u << 16 | 1);  // read once, at the first use
    auto configured = FreshCard(registry.Folder(), "configured.so");
    ASSERT_TRUE(configured);
    EXPECT_EQ(Call(*configured, kTuneChannelsRoutine, {0}), 69u << 16 | 21);

    registry->WriteInteger(kSimCardKey, "MinChannel", 0x10000);  // beyond 16 bits
    registry->WriteString(kSimCardKey, "MaxChannel", "69");     // text, not a DWORD
    auto misconfigured = FreshCard(registry.Folder(), "misconfigured.so");
    ASSERT_TRUE(misconfigured);
    EXPECT_EQ(Call(*misconfigured, kTuneChannelsRoutine, {0}), 12u << 16 | 1);
}

TEST(SimCardDriver, TestPictureMovesStaysInItsRowsAndIsOpaque) {
    auto card = SharedLibrary::Open(kCardPath);
    ASSERT_TRUE(card);
    auto* message = card->Entry<OrvVideoWindowMessage>(kVideoWindowMessageEntry);
    auto* frame = card->Entry<OrvVideoWindowFrame>(kVideoWindowFrameEntry);
    ASSERT_TRUE(message && frame);

    constexpr int kWidth = 480, kHeight = 375, kStride = 500;
    std::vector<std::uint32_t> first(kStride * kHeight), second(first.size());
    EXPECT_EQ(message(kVideoWindowStop, 0, 0), 1);
    EXPECT_EQ(frame(first.data(), kWidth, kHeight, kStride), 0);  // no picture while stopped
    EXPECT_EQ(message(kVideoWindowStart, 0, 0), 1);
    EXPECT_EQ(message(kWindowMoved, 0, 10 | 20 << 16), 0);
    EXPECT_EQ(message(9999, 0, 0), 0);

    EXPECT_EQ(frame(nullptr, kWidth, kHeight, kStride), 0);
    EXPECT_EQ(frame(first.data(), 0, kHeight, kStride), 0);
    EXPECT_EQ(frame(first.data(), kWidth, -1, kStride), 0);
    EXPECT_EQ(frame(first.data(), kWidth, kHeight, kWidth - 1), 0);
    for (const int size : {1, 2, 3, 7, 13})  // everything clipped to a tiny window
        EXPECT_EQ(frame(first.data(), size, size + 1, size), 1);

    std::fill(first.begin(), first.end(), 0);
    ASSERT_EQ(frame(first.data(), kWidth, kHeight, kStride), 1);
    std::this_thread::sleep_for(150ms);  // the clock's tenths and the band move on
    ASSERT_EQ(frame(second.data(), kWidth, kHeight, kStride), 1);
    EXPECT_NE(first, second);
    int transparent = 0, beyondWidth = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kStride; ++x) {
            const std::uint32_t pixel = first[static_cast<std::size_t>(y * kStride + x)];
            if (x < kWidth)
                transparent += (pixel >> 24) != 0xFF;
            else
                beyondWidth += pixel != 0;
        }
    EXPECT_EQ(transparent, 0);
    EXPECT_EQ(beyondWidth, 0);

    EXPECT_EQ(message(kVideoWindowStop, 0, 0), 1);
    EXPECT_EQ(frame(first.data(), kWidth, kHeight, kStride), 0);
}

// What a few reads of the back-end bring: packets, station names, pages.
struct Reception {
    std::size_t Packets = 0;
    std::uint32_t Status = 0;
    test::RecordingSink Sink;

    std::string Station() const {
        return Sink.names.empty() ? "(none)" : std::string(StationNameText(*Sink.names.back()));
    }
    std::string Page(std::uint16_t pageNo) const {
        std::string text;
        for (const auto& page : Sink.pages)
            if (page->PageNo == pageNo)
                for (int row = 1; row < 25; ++row) text += test::RowText(*page, row);
        return text;
    }
};

Reception Receive(VbiCapture& capture) {
    Reception reception;
    PageAssembler assembler(reception.Sink);
    std::vector<tVTXPacket> packets(500);
    for (int read = 0; read < 4; ++read) {  // more than a second of broadcast: one station name at least
        std::size_t count = 0;
        std::uint32_t status = 0;
        EXPECT_EQ(capture.Read(packets, count, status), 0u);
        assembler.ProcessPackets(std::span(packets).first(count));
        reception.Packets += count;
        reception.Status |= status;
    }
    return reception;
}

void WriteRecording(const std::filesystem::path& path, const std::string& stationName) {
    BroadcastOptions options;
    options.StationName = stationName;
    DemoBroadcast broadcast(BuiltInDemoPages(), options);
    std::ofstream file(path, std::ios::binary);
    for (int i = 0; i < 2000; ++i) {
        const tVTXPacket packet = broadcast.NextPacket();
        file.write(reinterpret_cast<const char*>(packet.Bytes.data()), kPacketSize);
    }
}

TEST(SimCardVbi, TeletextFollowsTheTuner) {
    test::ScopedRegistry registry;
    registry->WriteString(kTVDriverKey, kTVDriverValue, kCardPath);
    registry->WriteInteger(kVbiSettingsKey, "Rate", 0);  // unpaced: every read is a full one
    auto card = SharedLibrary::Open(kCardPath);  // the instance the back-end finds
    ASSERT_TRUE(card);
    const auto tune = [&](std::uint16_t channel) { Call(*card, kSetChannelRoutine, {0, channel}); };
    const auto input = [&](std::uint16_t source) { Call(*card, kSetPropertyRoutine, {0, kSourceProperty, 0, source}); };
    input(1);
    tune(1);

    auto capture = OpenSimCardVbiCapture(*registry);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->Query(), 1u);
    EXPECT_EQ(capture->Configure(500), 0u);
    EXPECT_EQ(capture->Start(), 0u);

    const Reception one = Receive(*capture);
    EXPECT_EQ(one.Station(), "ORV Demo One");
    EXPECT_NE(one.Page(0x100).find("Welcome to ORV Demo One"), std::string::npos);
    tune(2);
    const Reception two = Receive(*capture);
    EXPECT_EQ(two.Station(), "ORV Demo Two");
    EXPECT_NE(two.Page(0x101).find("Channel 2 news"), std::string::npos);
    tune(4);
    const Reception four = Receive(*capture);
    EXPECT_GT(four.Packets, 0u);
    EXPECT_EQ(four.Station(), "");  // sent, but blank

    tune(7);
    const Reception seven = Receive(*capture);
    EXPECT_EQ(seven.Packets, 0u);
    EXPECT_EQ(seven.Status, 0u);
    tune(1);
    input(0);  // composite: no teletext whatever the tuner does
    EXPECT_EQ(Receive(*capture).Packets, 0u);
    input(1);
    EXPECT_EQ(Receive(*capture).Station(), "ORV Demo One");

    WriteRecording(registry.Folder() / "five.t42", "Recorded Five");
    registry->WriteString(kSimCardKey, "Channel 5", (registry.Folder() / "five.t42").string());
    registry->WriteString(kSimCardKey, "Channel 2", (registry.Folder() / "missing.t42").string());
    tune(5);
    EXPECT_EQ(Receive(*capture).Station(), "Recorded Five");
    tune(2);  // an unreadable mapping: no teletext rather than the built-in service
    EXPECT_EQ(Receive(*capture).Packets, 0u);
    EXPECT_EQ(capture->Stop(), 0u);
    EXPECT_EQ(Receive(*capture).Packets, 0u);

    registry->WriteString(kVbiSettingsKey, "Backend", "simcard");
    EXPECT_TRUE(OpenConfiguredVbiDevice(*registry));
    // Without the card's library, or with a library that is not the card, there is no device.
    registry->WriteString(kTVDriverKey, kTVDriverValue, ORVTT_DRIVER_DIR "/OrvTTCap.dll");
    EXPECT_FALSE(OpenConfiguredVbiDevice(*registry));
    registry->WriteString(kTVDriverKey, kTVDriverValue, "/nonexistent/orvtt-simtv.so");
    EXPECT_FALSE(OpenSimCardVbiCapture(*registry));
    registry->DeleteValue(kTVDriverKey, kTVDriverValue);
    EXPECT_FALSE(OpenSimCardVbiCapture(*registry));
}

TEST(SimCardVbi, ReplayLibraryStepsAsideForTheCard) {
    test::ScopedRegistry registry;
    auto replay = SharedLibrary::Open(ORVTT_DRIVER_DIR "/OrvTTCap.dll");
    ASSERT_TRUE(replay);
    auto* open = replay->Entry<ORVTTCAP_OpenFn>("ORVTTCAP_Open");
    auto* close = replay->Entry<ORVTTCAP_CloseFn>("ORVTTCAP_Close");
    ASSERT_TRUE(open && close);
    tCaptureOpenRecord record;
    registry->WriteString(kReplayKey, "Source", "none");
    EXPECT_EQ(open(&record), 1u);  // fails: the viewer goes on to the VBI device
    registry->WriteString(kReplayKey, "Source", "demo");
    EXPECT_EQ(open(&record), 0u);
    close();
}

}  // namespace
}  // namespace orv
