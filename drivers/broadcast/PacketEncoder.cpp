#include "drivers/broadcast/PacketEncoder.h"

#include <algorithm>
#include <bit>

#include "acquisition/Hamming.h"

namespace orv {

std::uint8_t EncodeHamming84(std::uint8_t value) { return kHamming84Codes[value & 15]; }

std::uint8_t EncodeOddParity(std::uint8_t ch) {
    const auto data = static_cast<std::uint8_t>(ch & 0x7F);
    return (std::popcount(data) & 1) ? data : static_cast<std::uint8_t>(data | 0x80);
}

void EncodeAddress(tVTXPacket& packet, int magazine, int packetNumber) {
    packet[0] = EncodeHamming84(static_cast<std::uint8_t>((magazine & 7) | ((packetNumber & 1) << 3)));
    packet[1] = EncodeHamming84(static_cast<std::uint8_t>((packetNumber >> 1) & 15));
}

tVTXPacket EncodeHeader(std::uint16_t pageNo, const HeaderControl& c, std::string_view text) {
    tVTXPacket packet;
    const int magazine = (pageNo >> 8) & 7;
    EncodeAddress(packet, magazine == 0 ? 8 : magazine, 0);
    const auto nibble = [](int v) { return EncodeHamming84(static_cast<std::uint8_t>(v & 15)); };
    const int sub = c.SubCode;
    const int option = c.NationalOption & 7;
    packet[2] = nibble(pageNo & 15);
    packet[3] = nibble(pageNo >> 4);
    packet[4] = nibble(sub);
    packet[5] = nibble(((sub >> 4) & 7) | (c.ErasePage << 3));
    packet[6] = nibble(sub >> 8);
    packet[7] = nibble(((sub >> 12) & 3) | (c.Newsflash << 2) | (c.Subtitle << 3));
    packet[8] = nibble(c.SuppressHeader | (c.UpdateIndicator << 1) | (c.InterruptedSequence << 2) |
                       (c.InhibitDisplay << 3));
    packet[9] = nibble(c.MagazineSerial | (((option >> 2) & 1) << 1) | (((option >> 1) & 1) << 2) |
                       ((option & 1) << 3));
    for (int i = 0; i < 32; ++i) {
        const auto ch = i < static_cast<int>(text.size()) ? static_cast<std::uint8_t>(text[i]) : 0x20;
        packet[10 + i] = EncodeOddParity(ch);
    }
    return packet;
}

tVTXPacket EncodeRow(int magazine, int row, std::span<const std::uint8_t> codes) {
    tVTXPacket packet;
    EncodeAddress(packet, magazine, row);
    for (int i = 0; i < kRowLength; ++i)
        packet[2 + i] = EncodeOddParity(i < static_cast<int>(codes.size()) ? codes[i] : 0x20);
    return packet;
}

tVTXPacket EncodeRow(int magazine, int row, std::string_view text) {
    return EncodeRow(magazine, row,
                     std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

tVTXPacket EncodeStationName(std::string_view name, int magazine) {
    tVTXPacket packet;
    EncodeAddress(packet, magazine, 30);
    packet[2] = EncodeHamming84(0);  // designation code: format 1
    // Initial page 100 and the network data are carried but never read here.
    for (int i = 3; i <= 8; ++i) packet[i] = EncodeHamming84(0);
    for (int i = 9; i <= 21; ++i) packet[i] = EncodeHamming84(0);
    for (int i = 0; i < 20; ++i) {
        const auto ch = i < static_cast<int>(name.size()) ? static_cast<std::uint8_t>(name[i]) : 0x20;
        packet[22 + i] = EncodeOddParity(ch);
    }
    return packet;
}

tVTXPacket EncodeEnhancement(int magazine, const EnhancementPacket& enhancement) {
    tVTXPacket packet;
    EncodeAddress(packet, magazine, enhancement.Packet);
    packet[2] = EncodeHamming84(enhancement.Designation);
    EncodeTriplets(enhancement.Triplets, packet);
    return packet;
}

tVTXPacket EncodeLinks(int magazine, const FlofLinks& links) {
    tVTXPacket packet;
    EncodeAddress(packet, magazine, 27);
    packet[2] = EncodeHamming84(0);
    EncodeFlofLinks(links, magazine, packet);
    return packet;
}

std::vector<tVTXPacket> EncodePage(const EncodablePage& page) {
    std::vector<tVTXPacket> packets;
    packets.push_back(EncodeHeader(page.PageNo, page.Control, page.HeaderText));
    const int magazine = (page.PageNo >> 8) == 0 ? 8 : (page.PageNo >> 8);
    // Links and character sets first, so that a receiver has them with the rows.
    if (page.Links) packets.push_back(EncodeLinks(magazine, *page.Links));
    for (const EnhancementPacket& enhancement : page.Enhancements)
        packets.push_back(EncodeEnhancement(magazine, enhancement));
    bool anyRow = false;
    for (std::size_t i = 0; i < page.Rows.size() && i + 1 < kRowCount; ++i) {
        const auto& row = page.Rows[i];
        if (std::all_of(row.begin(), row.end(), [](std::uint8_t b) { return b == 0x20; })) continue;
        packets.push_back(EncodeRow(magazine, static_cast<int>(i) + 1, row));
        anyRow = true;
    }
    if (!anyRow) packets.push_back(EncodeRow(magazine, 1, std::string_view{}));
    return packets;
}

}  // namespace orv
