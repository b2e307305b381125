// The inverse of the acquisition's decoding rules: Hamming 8/4 and odd-parity
// coding, page headers, display rows and packet 30. The demo broadcast and the
// tests build their packet streams with it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "acquisition/PageEnhancements.h"
#include "acquisition/UTeletextTypes.h"

namespace orv {

std::uint8_t EncodeHamming84(std::uint8_t value);  // low four bits used
std::uint8_t EncodeOddParity(std::uint8_t ch);       // low seven bits used

// Address bytes 0 and 1 of a packet of magazine 1..8, packet number 0..31.
void EncodeAddress(tVTXPacket& packet, int magazine, int packetNumber);

// The control bits and sub-code a header carries.
struct HeaderControl {
    std::int32_t SubCode = 0;  // raw 14-bit value, 0..0x3F7F
    bool ErasePage = false;             // C4
    bool Newsflash = false;             // C5
    bool Subtitle = false;              // C6
    bool SuppressHeader = false;        // C7
    bool UpdateIndicator = false;       // C8
    bool InterruptedSequence = false;   // C9
    bool InhibitDisplay = false;        // C10
    bool MagazineSerial = false;        // C11
    std::uint8_t NationalOption = 0;    // 0..7, C12 weighing 4, C14 1
};

// A page header: page number 0x100..0x8FF, control fields and the 32 display
// characters (shorter text is padded with spaces).
tVTXPacket EncodeHeader(std::uint16_t pageNo, const HeaderControl& control, std::string_view text);

// A display row 1..29 of a magazine: 40 character codes, parity coded.
tVTXPacket EncodeRow(int magazine, int row, std::span<const std::uint8_t> codes);
tVTXPacket EncodeRow(int magazine, int row, std::string_view text);

// A packet 30 (format 1) whose status display carries the station name.
tVTXPacket EncodeStationName(std::string_view name, int magazine = 8);

// An enhancement packet (X/26, X/28 or M/29) with its designation code.
struct EnhancementPacket {
    int Packet = 26;
    std::uint8_t Designation = 0;
    TripletArray Triplets{};
};
tVTXPacket EncodeEnhancement(int magazine, const EnhancementPacket& enhancement);
// An X/27/0 with the page's editorial links.
tVTXPacket EncodeLinks(int magazine, const FlofLinks& links);

// A whole page as it is transmitted: the header, its links and enhancement
// packets, then every row in rows 1..29 that is not all spaces (at least row
// 1, so that the page is complete).
struct EncodablePage {
    std::uint16_t PageNo = 0x100;
    HeaderControl Control;
    std::string_view HeaderText;
    std::span<const tPageRow> Rows;  // rows 1.. of the page, 7-bit codes
    const FlofLinks* Links = nullptr;
    std::span<const EnhancementPacket> Enhancements;
};
std::vector<tVTXPacket> EncodePage(const EncodablePage& page);

}  // namespace orv
