// DVB teletext in PES packets (EBU data units): the PES header fields that
// matter here, and the data units turned into the viewer's 42-byte packets.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "acquisition/UTeletextTypes.h"

namespace orv {

// A teletext packet with the stream time it belongs to (90 kHz units, 33
// bits), or -1 when the stream gave none, and the number of changes of the
// decoded stream before it (a new number: the pages so far are another
// service's).
struct TimedPacket {
    tVTXPacket Packet;
    std::int64_t Time = -1;
    std::uint32_t Stream = 0;
    bool EndsPes = false;  // the last packet of its PES packet
};

struct PesHeader {
    std::uint8_t StreamId = 0;
    std::size_t DeclaredLength = 0;  // bytes after the length field; 0: unbounded
    std::size_t PayloadOffset = 0;   // from the start of the PES packet
    std::optional<std::int64_t> Pts;
};

// The header of a PES packet that starts with bytes; none when they are not
// one (no start code, or a header longer than what is there).
std::optional<PesHeader> ParsePesHeader(std::span<const std::uint8_t> bytes);

// EBU teletext data identifiers (0x10-0x1F).
inline bool IsTeletextDataIdentifier(std::uint8_t id) { return id >= 0x10 && id <= 0x1F; }

// The data field of a teletext PES (data identifier first): every teletext
// data unit (0x02, 0x03) with a valid framing code becomes a packet; stuffing
// and other units are skipped by their length. Returns the number of units
// rejected (wrong length or framing code, or cut off at the end).
int DecodeTeletextDataField(std::span<const std::uint8_t> field, std::int64_t time, std::uint32_t stream,
                            std::vector<TimedPacket>& out);

// The bits of a byte in the other order (the data units carry each byte
// least significant bit first).
std::uint8_t ReverseBits(std::uint8_t value);

}  // namespace orv
