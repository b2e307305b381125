#include "BenchStreams.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "acquisition/PageAssembler.h"
#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/broadcast/PacketEncoder.h"

namespace orv::bench {

namespace {
std::vector<tVTXPacket> Play(std::vector<TtiPage> pages, std::size_t count) {
    BroadcastOptions options;
    options.StartTime = 1'700'000'000;
    DemoBroadcast broadcast(std::move(pages), options);
    std::vector<tVTXPacket> packets(count);
    broadcast.Fill(packets);
    return packets;
}
}  // namespace

namespace {
class CollectingSink : public DisplaySink {
public:
    void PostPage(PagePtr page) override { pages.push_back(std::move(page)); }
    void PostStationName(std::unique_ptr<tStationName>) override {}
    void PostReset(std::unique_ptr<tResetNotice>) override {}
    std::vector<PagePtr> pages;
};
}  // namespace

std::vector<PagePtr> ReceivedPages(const std::vector<tVTXPacket>& stream) {
    CollectingSink sink;
    PageAssembler assembler(sink);
    assembler.ProcessPackets(stream);
    return std::move(sink.pages);
}

std::vector<tVTXPacket> DemoStream(std::size_t packets) { return Play(BuiltInDemoPages(), packets); }

std::vector<tVTXPacket> SyntheticHourStream() { return Play(SyntheticPages(400, 1), 3600 * 800); }

std::vector<tVTXPacket> SyntheticEnhancedHourStream() {
    std::vector<TtiPage> pages = SyntheticPages(400, 1);
    for (TtiPage& page : pages) {
        FlofLinks links;
        for (int i = 0; i < 4; ++i) links.Links[static_cast<std::size_t>(i)] = {0x100, kAnySubCode, true};
        links.Links[FlofLinks::Index] = {0x100, kAnySubCode, true};
        page.Links = links;
        EnhancementPacket designation;
        designation.Packet = 28;
        designation.Triplets[0] = {0, 0, 0, true};  // a level-1 page in the English set
        page.Enhancements.push_back(designation);
        for (std::uint8_t d = 0; d < 2; ++d) {
            EnhancementPacket characters;
            characters.Designation = d;
            characters.Triplets[0] = {static_cast<std::uint8_t>(41 + d), 0x04, 0, true};
            for (std::size_t t = 1; t < characters.Triplets.size(); ++t)
                characters.Triplets[t] = {static_cast<std::uint8_t>(2 * t), 0x12, 'e', true};
            page.Enhancements.push_back(characters);
        }
    }
    std::vector<tVTXPacket> packets = Play(std::move(pages), 3600 * 800);
    // The magazines' M/29/0, once a second each.
    for (std::size_t at = 0; at < packets.size(); at += 800) {
        EnhancementPacket magazine;
        magazine.Packet = 29;
        magazine.Triplets[0] = {0, 0, 0, true};
        packets[at] = EncodeEnhancement(static_cast<int>(at / 800 % 8) + 1, magazine);
    }
    return packets;
}

std::vector<tVTXPacket> RecordingStream() {
    std::vector<tVTXPacket> packets;
    const char* name = std::getenv("ORVTT_BENCH_T42");
    std::FILE* file = name ? std::fopen(name, "rb") : nullptr;
    if (!file) return packets;
    tVTXPacket packet;
    while (std::fread(packet.Bytes.data(), 1, packet.Bytes.size(), file) == packet.Bytes.size())
        packets.push_back(packet);
    std::fclose(file);
    return packets;
}

std::vector<TtiPage> SyntheticPages(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    static constexpr char kWords[][10] = {"weather ", "news ", "sport ", "markets ", "travel ", "TV ",
                                          "radio ", "London ", "Berlin ", "today "};
    std::vector<TtiPage> pages(count);
    for (std::size_t i = 0; i < count; ++i) {
        TtiPage& page = pages[i];
        const unsigned number = 100 + static_cast<unsigned>(i % 800);
        page.PageNo = static_cast<std::uint16_t>(((number / 100) << 8) | (((number / 10) % 10) << 4) | (number % 10));
        page.SubCode = static_cast<std::int32_t>(i / 800);
        for (int r = 1; r < kTtiRows; ++r) {
            std::string line = "\x03";
            while (line.size() < kRowLength) line += kWords[random() % 10];
            std::copy_n(line.begin(), kRowLength, page.Rows[r].begin());
        }
    }
    return pages;
}

std::unique_ptr<tPageImage> PageImageOf(const TtiPage& page) {
    auto image = std::make_unique<tPageImage>();
    image->RecType = kRecPage;
    image->PageNo = page.PageNo;
    image->SubCode = page.SubCode;
    for (int r = 0; r < kTtiRows; ++r) image->Rows[r] = page.Rows[r];
    for (int r = kTtiRows; r < kRowCount; ++r) image->Rows[r].fill(0x20);
    image->LastRow = 24;
    return image;
}

}  // namespace orv::bench
