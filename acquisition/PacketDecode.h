// Packet address, page number and header control fields of raw packets.
// Pure functions over one packet; no allocation, no locking.
#pragma once

#include <cstdint>
#include <optional>

#include "acquisition/Hamming.h"
#include "acquisition/UTeletextTypes.h"

namespace orv {

struct PacketAddress {
    int Magazine = 0;      // 1..8
    int PacketNumber = 0;  // 0..31
};

// Magazine and packet number from bytes 0 and 1; none when either byte is
// uncorrectable (the packet is then dropped). Runs for every packet: inline.
inline std::optional<PacketAddress> DecodePacketAddress(const tVTXPacket& packet) {
    const std::uint8_t a = DecodeHamming84(packet[0]);
    const std::uint8_t b = DecodeHamming84(packet[1]);
    if (a == kHammingError || b == kHammingError) return std::nullopt;
    const int magazine = a & 7;
    return PacketAddress{magazine == 0 ? 8 : magazine, (a >> 3) + 2 * b};
}

// Page number of a header: magazine * 256 + tens * 16 + units from bytes 2
// and 3; none when either byte is uncorrectable (the header is then ignored).
inline std::optional<std::uint16_t> DecodePageNumber(const tVTXPacket& packet, int magazine) {
    const std::uint8_t units = DecodeHamming84(packet[2]);
    const std::uint8_t tens = DecodeHamming84(packet[3]);
    if (units == kHammingError || tens == kHammingError) return std::nullopt;
    return static_cast<std::uint16_t>(magazine * 256 + tens * 16 + units);
}

// Fills the header fields of a page image (Subtitle .. PageInMagazine) from
// bytes 2-9, which must already hold their Hamming-decoded values.
void DecodeHeaderControl(const tVTXPacket& decodedHeader, tPageImage& page);

// The designation code of a packet 30 (byte 2) decodes without error and is 0.
bool IsStationNamePacket(const tVTXPacket& packet);

}  // namespace orv
