// A page location: a teletext page and sub-page with the video source and the
// tuner channel it was received on. Favorites and the page history hold these.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// The texts are UTF-8: a name holds whatever the user typed.
struct tPageInfo {
    std::string Name;            // empty for history entries
    std::int32_t Source = -1;    // 0 composite, 1 tuner ("Cable"), 2 S-Video, -1 unknown
    std::int32_t Channel = 0;    // only the low 16 bits are used when jumping
    std::int32_t Page = 0;       // binary value of the three hex digits (0x100 for page 100)
    std::int32_t SubPageNr = 0;
    bool NotifyChannel = false;  // ask the user to switch an external receiver
    std::string ChannelName;     // channel name for the tuner, else the station name

    bool operator==(const tPageInfo&) const = default;
};

}  // namespace orv
