// Teletext lines of V4L2 sliced VBI data as 42-byte packets.
#pragma once

#include <linux/videodev2.h>

#include <cstddef>
#include <span>

#include "acquisition/UTeletextTypes.h"

namespace orv {

// Copies the teletext lines among the sliced records into packets (at most
// packets.size()); returns how many.
std::size_t SlicedTeletextToPackets(std::span<const v4l2_sliced_vbi_data> lines, std::span<tVTXPacket> packets);

}  // namespace orv
