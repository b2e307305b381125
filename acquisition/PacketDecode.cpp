#include "acquisition/PacketDecode.h"

#include "acquisition/Hamming.h"

namespace orv {

void DecodeHeaderControl(const tVTXPacket& header, tPageImage& page) {
    // An uncorrectable byte holds 0x20, whose low four bits read as zero.
    const auto d = [&](int byte) { return static_cast<std::uint8_t>(header[byte] & 15); };
    const auto bit = [&](int byte, int n) { return static_cast<std::uint8_t>((d(byte) >> n) & 1); };

    page.SubCode = (d(7) & 3) * 4096 + d(6) * 256 + (d(5) & 7) * 16 + d(4);
    page.PageInMagazine = d(3) * 16 + d(2);
    page.ErasePage = bit(5, 3);
    page.Newsflash = bit(7, 2);
    page.Subtitle = bit(7, 3);
    page.SuppressHeader = bit(8, 0);
    page.UpdateIndicator = bit(8, 1);
    page.InterruptedSequence = bit(8, 2);
    page.InhibitDisplay = bit(8, 3);
    page.MagazineSerial = bit(9, 0);
    // C12 weighs 4, C13 2 and C14 1.
    page.NationalOption = static_cast<std::uint8_t>(4 * bit(9, 1) + 2 * bit(9, 2) + bit(9, 3));
}

bool IsStationNamePacket(const tVTXPacket& packet) {
    return DecodeHamming84(packet[2]) == 0;
}

}  // namespace orv
