#include "drivers/vbi/SimCardChannels.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/broadcast/DemoBroadcast.h"
#include "drivers/tv/SimCardSettings.h"
#include "platform/Registry.h"

namespace orv {

namespace {

struct Service {
    std::uint32_t Channel;
    const char* Name;         // as pages 100 and 101 say it
    const char* StationName;  // packet 30; blank for the channel that sends none
    const char* HeaderLabel;
};

constexpr std::array<Service, 4> kLineUp = {{
    {1, "ORV Demo One", "ORV Demo One", "DEMO ONE"},
    {2, "ORV Demo Two", "ORV Demo Two", "DEMO TWO"},
    {3, "ORV Demo Three", "ORV Demo Three", "DEMO 3  "},
    {4, "an unnamed service", "                    ", "CH 4    "},
}};

// Display codes of teletext rows used below.
constexpr char kWhite = 0x07;
constexpr char kYellow = 0x03;
constexpr char kDoubleHeight = 0x0D;

void SetRow(TtiPage& page, int row, std::string_view text) {
    tPageRow& codes = page.Rows[static_cast<std::size_t>(row)];
    codes.fill(0x20);
    const std::size_t length = std::min(text.size(), codes.size());
    for (std::size_t i = 0; i < length; ++i) codes[i] = static_cast<std::uint8_t>(text[i] & 0x7F);
}

// The demo pages, with the welcome on 100 and the headline on 101 naming
// the channel, so that a change of channel shows on the pages too.
std::vector<TtiPage> ChannelPages(const Service& service) {
    std::vector<TtiPage> pages = BuiltInDemoPages();
    const std::string channel = std::to_string(service.Channel);
    for (TtiPage& page : pages) {
        if (page.PageNo == 0x100) {
            SetRow(page, 6, std::string{kWhite} + "Welcome to " + service.Name + ",");
            SetRow(page, 7, std::string{kWhite} + "on channel " + channel + ". All pages are fictional.");
        } else if (page.PageNo == 0x101) {
            SetRow(page, 4, std::string{kDoubleHeight} + kYellow + "Channel " + channel + " news");
        }
    }
    return pages;
}

class ServiceSource : public PacketSource {
public:
    ServiceSource(const Service& service, int packetsPerSecond)
        : broadcast_(ChannelPages(service), Options(service, packetsPerSecond)) {}

    std::size_t Next(std::span<tVTXPacket> packets, bool& wrapped) override {
        wrapped = false;  // a live service never starts over
        broadcast_.Fill(packets);
        return packets.size();
    }

private:
    static BroadcastOptions Options(const Service& service, int packetsPerSecond) {
        BroadcastOptions options;
        options.StationName = service.StationName;
        options.HeaderLabel = service.HeaderLabel;
        if (packetsPerSecond > 0) options.PacketsPerSecond = packetsPerSecond;
        return options;
    }

    DemoBroadcast broadcast_;
};

}  // namespace

std::unique_ptr<PacketSource> OpenSimCardChannel(const Registry& registry, std::uint32_t channel,
                                                 int packetsPerSecond) {
    if (const auto mapped = registry.ReadString(kSimCardKey, "Channel " + std::to_string(channel))) {
        if (mapped->empty()) return nullptr;
        std::string error;
        return OpenPacketSource(*mapped, packetsPerSecond, error);
    }
    const auto service = std::find_if(kLineUp.begin(), kLineUp.end(),
                                      [channel](const Service& s) { return s.Channel == channel; });
    if (service == kLineUp.end()) return nullptr;
    return std::make_unique<ServiceSource>(*service, packetsPerSecond);
}

}  // namespace orv
