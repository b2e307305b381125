#include "BenchStreams.h"

#include <algorithm>
#include <random>

#include "acquisition/PageAssembler.h"
#include "drivers/broadcast/DemoBroadcast.h"

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
