#include "acquisition/TransportStream.h"

#include <gtest/gtest.h>

#include <random>

#include "TsWriter.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/broadcast/PacketEncoder.h"

namespace orv {
namespace {

using test::TsEs;
using test::TsWriter;

// Three services: 10 without teletext, 20 with teletext on 0x200, 30 on 0x300;
// the teletext goes out in PES packets of 16 lines, between video packets.
struct Multiplex {
    std::vector<tVTXPacket> Service20 = test::DemoLines(800);
    std::vector<tVTXPacket> Service30 = std::vector<tVTXPacket>(800, EncodeRow(2, 5, "SERVICE THIRTY"));

    void Tables(TsWriter& ts, int pmtVersion = 0, std::uint16_t pid20 = 0x200) const {
        ts.Section(kPatPid, TsWriter::Pat(1, 0, {{10, 0x100}, {20, 0x101}, {30, 0x102}}));
        ts.Section(0x100, TsWriter::Pmt(10, 0, 0x1E0, {TsEs{.Type = 0x02, .Pid = 0x1E0, .TeletextDescriptor = false}}));
        ts.Section(0x101, TsWriter::Pmt(20, pmtVersion, 0x1E1, {TsEs{.Type = 0x02, .Pid = 0x1E1, .TeletextDescriptor = false},
                                                                TsEs{.Pid = pid20}}));
        ts.Section(0x102, TsWriter::Pmt(30, 0, 0x1E2, {TsEs{.Pid = 0x300, .Language = "eng", .TeletextType = 2,
                                                            .InitialPage = 0x888}}));
        ts.Section(kSdtPid, TsWriter::Sdt(1, {{10, "Radio"}, {20, "ORV Eins"}, {30, "ORV Zwei"}}));
    }

    std::vector<std::uint8_t> Stream(std::size_t stride = 188) const {
        TsWriter ts(stride);
        for (std::size_t i = 0; i < Service20.size(); i += 16) {
            if (i % 256 == 0) Tables(ts);
            ts.Packet(0x1E1, false, {}, static_cast<std::int64_t>(i) * 56);
            ts.Filler(0x1E0, 3);
            ts.Teletext(0x200, std::span(Service20).subspan(i, 16), static_cast<std::int64_t>(i) * 56);
            ts.Teletext(0x300, std::span(Service30).subspan(i, 16), std::nullopt);
        }
        return ts.Bytes;
    }
};

std::vector<tVTXPacket> Decode(std::span<const std::uint8_t> bytes, TsChoice choice = {}, std::size_t chunk = 0,
                               TransportStreamReader* keep = nullptr) {
    TransportStreamReader local(std::move(choice));
    TransportStreamReader& reader = keep ? *keep : local;
    std::vector<TimedPacket> timed;
    std::mt19937 random(7);
    while (!bytes.empty()) {
        const std::size_t take = std::min(bytes.size(), chunk ? 1 + random() % chunk : bytes.size());
        reader.Feed(bytes.first(take), timed);
        bytes = bytes.subspan(take);
    }
    reader.Finish(timed);
    std::vector<tVTXPacket> packets;
    for (const auto& t : timed) packets.push_back(t.Packet);
    return packets;
}

bool Same(const std::vector<tVTXPacket>& a, std::span<const tVTXPacket> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
               return x.Bytes == y.Bytes;
           });
}

TEST(TransportStream, EveryPacketComesOutOfEveryFramingInPiecesOfAnySize) {
    const Multiplex mux;
    for (std::size_t stride : {188u, 192u, 204u}) {
        const auto bytes = mux.Stream(stride);
        ASSERT_TRUE(DetectTransportStream(std::span(bytes).first(4096)));
        EXPECT_EQ(DetectTransportStream(std::span(bytes).first(4096))->Stride, stride);
        for (std::size_t chunk : {0u, 1u, 7u, 190u, 5000u}) {
            TransportStreamReader reader;
            EXPECT_TRUE(Same(Decode(bytes, {}, chunk, &reader), mux.Service20)) << stride << " " << chunk;
            EXPECT_EQ(reader.Counters().SyncLosses + reader.Counters().ContinuityErrors + reader.Counters().BrokenPes, 0u);
        }
    }
    // A .t42 recording is no transport stream.
    const auto packets = test::DemoLines(200);
    EXPECT_FALSE(DetectTransportStream(
        std::span(reinterpret_cast<const std::uint8_t*>(packets.data()), packets.size() * kPacketSize)));
}

TEST(TransportStream, ServicesAreListedAndChosenByIdNameOrPid) {
    const Multiplex mux;
    const auto bytes = mux.Stream();
    TransportStreamReader reader;
    Decode(bytes, {}, 0, &reader);
    ASSERT_EQ(reader.Services().size(), 3u);
    EXPECT_TRUE(reader.ServicesComplete());
    const TsService& third = reader.Services()[2];
    EXPECT_EQ(third.Id, 30);
    EXPECT_EQ(third.Name, "ORV Zwei");
    ASSERT_EQ(third.Teletext.size(), 1u);
    EXPECT_EQ(third.Teletext[0].Pid, 0x300);
    EXPECT_EQ(third.Teletext[0].Language, "eng");
    EXPECT_EQ(third.Teletext[0].Type, 2);
    EXPECT_EQ(third.Teletext[0].InitialPage, 0x888);
    EXPECT_TRUE(reader.Services()[0].Teletext.empty());
    EXPECT_EQ(reader.TeletextPid(), 0x200);
    EXPECT_EQ(reader.Changes(), 0u);

    EXPECT_TRUE(Same(Decode(bytes, {.ServiceId = 30}), mux.Service30));
    EXPECT_TRUE(Same(Decode(bytes, {.ServiceName = "orv zwei"}), mux.Service30));
    EXPECT_TRUE(Same(Decode(bytes, {.Pid = 0x300}), mux.Service30));
    EXPECT_TRUE(Decode(bytes, {.ServiceId = 10}).empty());
    EXPECT_TRUE(Decode(bytes, {.ServiceName = "Nobody"}).empty());
}

TEST(TransportStream, DamageCostsOnlyWhatItTouches) {
    const Multiplex mux;
    const auto sound = mux.Stream();
    const std::size_t tablesEnd = 5 * 188;  // PAT, three PMTs and the SDT lead the stream

    // Garbage and a cut packet in the middle: the sync is found again, and
    // only the PES that was hit is lost.
    auto cut = sound;
    cut.erase(cut.begin() + 40 * 188 + 100, cut.begin() + 40 * 188 + 150);
    cut.insert(cut.begin() + 80 * 188, 333, 0x47);
    TransportStreamReader reader;
    const auto afterCut = Decode(cut, {}, 4096, &reader);
    EXPECT_GE(reader.Counters().SyncLosses, 2u);
    EXPECT_GE(afterCut.size(), mux.Service20.size() - 48);
    EXPECT_LT(afterCut.size(), mux.Service20.size());

    // A lost packet of a teletext PES (a continuity jump) drops that PES;
    // a scrambled one is skipped.
    auto jumped = sound;
    const auto findPid = [&](const std::vector<std::uint8_t>& b, std::uint16_t pid, int nth) {
        for (std::size_t at = 0; at < b.size(); at += 188)
            if (((b[at + 1] & 0x1F) << 8 | b[at + 2]) == pid && nth-- == 0) return at;
        return b.size();
    };
    jumped.erase(jumped.begin() + static_cast<std::ptrdiff_t>(findPid(jumped, 0x200, 9)),
                 jumped.begin() + static_cast<std::ptrdiff_t>(findPid(jumped, 0x200, 9) + 188));
    jumped.at(findPid(jumped, 0x200, 20) + 3) |= 0x80;
    TransportStreamReader jumpReader;
    EXPECT_EQ(Decode(jumped, {}, 0, &jumpReader).size(), mux.Service20.size() - 32);
    EXPECT_EQ(jumpReader.Counters().ContinuityErrors, 1u);
    EXPECT_EQ(jumpReader.Counters().Scrambled, 1u);

    // A wrong CRC: the PMT is not believed until a sound copy comes.
    auto badCrc = sound;
    badCrc.at(3 * 188 - 10) ^= 0x01;  // sections end their packets
    TransportStreamReader crcReader;
    const auto afterCrc = Decode(badCrc, {}, 0, &crcReader);
    EXPECT_EQ(crcReader.Counters().CrcErrors, 1u);
    EXPECT_EQ(afterCrc.size(), mux.Service20.size() - 256);

    // PES lengths that lie: too long is ended by the next PES with its whole
    // units kept, too short ends early; the units stay aligned either way.
    auto lying = sound;
    const std::size_t first = findPid(lying, 0x200, 0) + 4;
    lying[first + 4] = 0x7F;
    const std::size_t second = findPid(lying, 0x200, 5) + 4;  // five packets a PES
    const int shorter = (lying[second + 4] << 8 | lying[second + 5]) - 184;
    lying[second + 4] = static_cast<std::uint8_t>(shorter >> 8);
    lying[second + 5] = static_cast<std::uint8_t>(shorter);
    TransportStreamReader lyingReader;
    const auto afterLies = Decode(lying, {}, 0, &lyingReader);
    EXPECT_EQ(afterLies.size(), mux.Service20.size() - 1);  // the unit cut by the short length
    EXPECT_EQ(lyingReader.Counters().BrokenPes, 1u);

    // Random damage: never a crash, never a packet that was not sent.
    std::mt19937 random(99);
    for (int round = 0; round < 40; ++round) {
        auto damaged = sound;
        for (int i = 0; i < 30; ++i) damaged[tablesEnd + random() % (damaged.size() - tablesEnd)] = static_cast<std::uint8_t>(random());
        EXPECT_LE(Decode(damaged, {}, 1000).size(), mux.Service20.size() + mux.Service30.size());
    }
}

// A stream as it comes: the SDT may name a service before the PAT lists it;
// PMT entries on PIDs that carry no elementary stream are no teletext; a PAT
// longer than a reader lists is cut, and the cut is counted.
TEST(TransportStream, EarlyNamesReservedPidsAndCountedCuts) {
    const auto lines = test::DemoLines(32);
    TsWriter ts;
    ts.Section(kSdtPid, TsWriter::Sdt(1, {{20, "DR Ultra"}, {30, "Later"}}));
    ts.Section(kPatPid, TsWriter::Pat(1, 0, {{10, 0x100}, {20, 0x101}}));
    ts.Section(0x100, TsWriter::Pmt(10, 0, 0x1FFF, {TsEs{.Pid = 0x0000}, TsEs{.Pid = 0x0011},
                                                   TsEs{.Pid = 0x001F, .TeletextDescriptor = false},
                                                   TsEs{.Pid = 0x1FFF}, TsEs{.Pid = 0x0020}}));
    ts.Section(0x101, TsWriter::Pmt(20, 0, 0x1FFF, {TsEs{.Pid = 0x200}}));
    ts.Teletext(0x200, std::span(lines).first(16), 0);
    ts.Section(kPatPid, TsWriter::Pat(1, 1, {{10, 0x100}, {20, 0x101}, {30, 0x102}}));
    ts.Teletext(0x200, std::span(lines).subspan(16), 0);
    TransportStreamReader reader({.ServiceName = "dr ultra"});
    EXPECT_TRUE(Same(Decode(ts.Bytes, {}, 0, &reader), lines));
    ASSERT_EQ(reader.Services().size(), 3u);
    EXPECT_EQ(reader.Services()[1].Name, "DR Ultra");
    EXPECT_EQ(reader.Services()[2].Name, "Later");
    ASSERT_EQ(reader.Services()[0].Teletext.size(), 1u);
    EXPECT_EQ(reader.Services()[0].Teletext[0].Pid, 0x0020);
    EXPECT_EQ(reader.ServicesLeftOut(), 0u);

    // 8,100 services in 33 sections of a PAT.
    TsWriter many;
    for (int section = 0; section < 33; ++section) {
        std::vector<std::pair<std::uint16_t, std::uint16_t>> programs;
        for (int i = 0; i < 250 && section * 250 + i < 8100; ++i)
            programs.emplace_back(static_cast<std::uint16_t>(1 + section * 250 + i), 0x1000);
        many.Section(kPatPid, TsWriter::Pat(1, 0, programs, static_cast<std::uint8_t>(section), 32));
    }
    TransportStreamReader cut;
    Decode(many.Bytes, {}, 0, &cut);
    EXPECT_EQ(cut.Services().size(), kMaxTsServices);
    EXPECT_EQ(cut.ServicesLeftOut(), 8100u - kMaxTsServices);
}

TEST(TransportStream, AChangedPmtOrPatMovesToTheNewStreamAsAChange) {
    const Multiplex mux;
    TsWriter ts;
    mux.Tables(ts);
    ts.Teletext(0x200, std::span(mux.Service20).first(16), 0);
    mux.Tables(ts, 1, 0x210);  // the teletext moved to another PID
    ts.Teletext(0x200, std::span(mux.Service20).subspan(16, 16), 0);
    ts.Teletext(0x210, std::span(mux.Service20).subspan(32, 16), 0);
    TransportStreamReader reader;
    const auto packets = Decode(ts.Bytes, {}, 0, &reader);
    EXPECT_EQ(reader.TeletextPid(), 0x210);
    EXPECT_EQ(reader.Changes(), 1u);
    ASSERT_EQ(packets.size(), 32u);
    EXPECT_EQ(packets[16].Bytes, mux.Service20[32].Bytes);

    // Another multiplex (the tuner moved): the same PID of a new service is a change too.
    TsWriter other;
    other.Section(kPatPid, TsWriter::Pat(2, 0, {{40, 0x101}}));
    other.Section(0x101, TsWriter::Pmt(40, 0, 0x1FFF, {TsEs{.Pid = 0x210}}));
    other.Teletext(0x210, std::span(mux.Service30).first(16), 0);
    const auto more = Decode(other.Bytes, {}, 0, &reader);
    EXPECT_EQ(reader.Changes(), 2u);
    EXPECT_EQ(more.size(), 16u);

    // A stream type 6 PID without a descriptor is teletext when its PES says so;
    // a stream without teletext gives nothing.
    TsWriter probe;
    probe.Section(kPatPid, TsWriter::Pat(1, 0, {{5, 0x100}}));
    probe.Section(0x100, TsWriter::Pmt(5, 0, 0x1FFF, {TsEs{.Pid = 0x250, .TeletextDescriptor = false}}));
    probe.Teletext(0x250, std::span(mux.Service20).first(16), 0);
    probe.Teletext(0x250, std::span(mux.Service20).subspan(16, 16), 0);
    TransportStreamReader probeReader;
    EXPECT_GE(Decode(probe.Bytes, {}, 0, &probeReader).size(), 16u);
    EXPECT_EQ(probeReader.TeletextPid(), 0x250);
    TsWriter video;
    video.Section(kPatPid, TsWriter::Pat(1, 0, {{5, 0x100}}));
    video.Filler(0x1E0, 100);
    EXPECT_TRUE(Decode(video.Bytes).empty());
}

}  // namespace
}  // namespace orv
