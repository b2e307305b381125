// A teletext service simulator: plays a set of pages as an endless packet
// stream the way a real inserter does. Each magazine sends its pages in turn,
// magazines are interleaved packet by packet, every header carries a running
// "hh:mm:ss" clock, carousels rotate by their cycle time and a packet 30 with
// the station name goes out once a second. Subtitle pages (C6) go out as a
// subtitle inserter sends them: when the next one comes on air, and again once
// a second while it stays; meanwhile their magazine gives its turn away.
#pragma once

#include <cstdint>
#include <cstddef>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "acquisition/UTeletextTypes.h"
#include "drivers/broadcast/TtiFile.h"

namespace orv {

struct BroadcastOptions {
    std::string StationName = "ORV Demo Teletext";
    std::string HeaderLabel = "ORV-DEMO";  // eight characters of the header line
    std::time_t StartTime = 0;             // header clock at the first packet; 0 = now
    int PacketsPerSecond = 1600;           // 32 lines per field, 50 fields per second
};

class DemoBroadcast {
public:
    explicit DemoBroadcast(std::vector<TtiPage> pages, BroadcastOptions options = {});

    tVTXPacket NextPacket();
    void Fill(std::span<tVTXPacket> packets);

    std::uint64_t PacketsSent() const { return sent_; }
    // Broadcast time since the start, from the packet count and rate.
    double Seconds() const;

private:
    struct Carousel {
        std::uint16_t PageNo = 0;
        std::vector<std::size_t> SubPages;  // indexes into pages_, in file order
        std::size_t LastSent = SIZE_MAX;    // subtitles: the sub-page sent last, and when
        double LastSentAt = 0;
    };
    struct Magazine {
        std::vector<Carousel> Carousels;
        std::size_t Next = 0;
        std::vector<tVTXPacket> Pending;
        std::size_t Pos = 0;
    };

    // False when no page of the magazine is due (subtitles only, all sent).
    bool QueueNextPage(Magazine& magazine);
    bool Due(Carousel& carousel, std::size_t subPage);
    std::string HeaderText(std::uint16_t pageNo) const;

    std::vector<TtiPage> pages_;
    BroadcastOptions options_;
    std::vector<Magazine> magazines_;  // only magazines that have pages
    std::size_t turn_ = 0;
    std::uint64_t sent_ = 0;
};

// The pages of the built-in demo service (embedded in the program).
std::vector<TtiPage> BuiltInDemoPages();

// Every "*.tti" file of a folder, in name order. Problems are added to
// messages (one line each); a file that cannot be read is skipped.
std::vector<TtiPage> LoadTtiFolder(const std::string& folder, std::vector<std::string>& messages);

}  // namespace orv
