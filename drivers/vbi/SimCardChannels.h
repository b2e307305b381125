// What each channel of the simulated TV card carries as teletext: channels 1
// to 3 the demo service under three station names (pages 100 and 101 name
// the channel), channel 4 the demo service with a blank station name, others
// nothing. A "Channel <n>" value under the card's key (a .t42 recording or a
// folder of .tti pages) takes the place of what channel n would carry.
#pragma once

#include <cstdint>
#include <memory>

#include "drivers/replay/PacketSource.h"

namespace orv {

class Registry;

// The packets of a channel at packetsPerSecond (0: the normal 1600 for the
// broadcast clock); none when the channel has no teletext or its recording
// cannot be read.
std::unique_ptr<PacketSource> OpenSimCardChannel(const Registry& registry, std::uint32_t channel,
                                                 int packetsPerSecond);

}  // namespace orv
