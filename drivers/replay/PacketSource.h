// Where replayed packets come from: the built-in demo broadcast, a folder of
// .tti page files played as a broadcast, or a .t42 recording played in a loop.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "acquisition/SubtitlePages.h"
#include "acquisition/UTeletextTypes.h"

namespace orv {

class PacketSource {
public:
    virtual ~PacketSource() = default;
    // Up to packets.size() packets; returns how many were written. When the
    // source starts over, it stops at the end and sets wrapped; the next call
    // continues from the beginning.
    virtual std::size_t Next(std::span<tVTXPacket> packets, bool& wrapped) = 0;

    // A source with a clock of its own (a recording with time stamps, a live
    // device) says how many packets are due, sinceStart after Start; none:
    // they come at the fixed broadcast rate.
    virtual void Start() {}
    virtual std::optional<std::uint64_t> Waiting(std::chrono::microseconds /*sinceStart*/) { return std::nullopt; }
    // True once after Next stopped where another service begins.
    virtual bool TakeStreamChange() { return false; }
    // The teletext descriptor's entries of the service decoded (DVB sources).
    virtual std::vector<TeletextDescriptorEntry> TeletextEntries() const { return {}; }
};

// "" or "demo": the demo broadcast; a folder: its .tti files as a broadcast;
// else a .t42 recording. None, with the reason in error, when it cannot be used.
// packetsPerSecond sets the pace of the broadcast clock (0: the normal 1600).
std::unique_ptr<PacketSource> OpenPacketSource(const std::string& source, int packetsPerSecond,
                                               std::string& error);

}  // namespace orv
