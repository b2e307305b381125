// The simulated TV card: what its driver library (orvtt-simtv.so) and the VBI
// back-end that follows its tuner share. Settings live under kSimCardKey:
//   "MinChannel", "MaxChannel"  DWORD, the tuner's range (default 1..12);
//   "Channel <n>"               text, a .t42 recording or a folder of .tti
//                               pages that channel n carries instead of the
//                               built-in line-up (read by the VBI back-end).
#pragma once

#include <cstdint>

namespace orv {

class Registry;

inline constexpr char kSimCardKey[] = "\\SOFTWARE\\ORV Technologies\\Capture Driver\\SimCard";

// Exported by the driver library besides the TV driver routines, so that the
// VBI back-end can see where the tuner stands: the channel last tuned (0 until
// then) and the video source (0 composite, 1 tuner, 2 S-Video).
inline constexpr char kSimCardTunedChannelEntry[] = "OrvSimCardTunedChannel";
inline constexpr char kSimCardSourceEntry[] = "OrvSimCardSource";
extern "C" {
using OrvSimCardQuery = std::uint32_t();
}

struct SimCardRange {
    std::uint16_t Min = 1;
    std::uint16_t Max = 12;
};

// A value of the wrong type or beyond 16 bits counts as missing.
SimCardRange ReadSimCardRange(const Registry& registry);

}  // namespace orv
