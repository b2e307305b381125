// Reader of ".tti" page files (the MRG page format that teletext inserters and
// editors use): page number, sub-code, page status and cycle time, the
// display rows 1-24, the enhancement rows 26 and 28 (X/26 characters and X/28
// character sets, each triplet written as three characters of six bits) and
// the fastext links (FL). Control codes may be written in the 7-bit escape
// form (ESC + code + 0x40) or as bytes 0x80-0x9F. Other commands are skipped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/UTeletextTypes.h"
#include "drivers/broadcast/PacketEncoder.h"

namespace orv {

inline constexpr int kTtiRows = 25;  // rows 0-24; row 0 is never transmitted from the file

struct TtiPage {
    std::uint16_t PageNo = 0;      // 0x100..0x8FF
    int SubPage = 0;               // the "ss" of PN, informational
    std::int32_t SubCode = 0;      // SC, raw 14-bit value
    std::uint16_t Status = 0x8000; // PS
    int CycleTime = 8;             // CT
    bool CycleTimed = true;        // CT ..,T (seconds) or ..,C (magazine cycles)
    std::string Description;       // DE
    std::array<tPageRow, kTtiRows> Rows;  // 7-bit codes, spaces where no OL line
    std::vector<EnhancementPacket> Enhancements;  // OL,26 and OL,28
    std::optional<FlofLinks> Links;               // FL

    TtiPage() {
        for (auto& row : Rows) row.fill(0x20);
    }

    std::uint8_t NationalOption() const { return static_cast<std::uint8_t>((Status >> 7) & 7); }
};

struct TtiParseResult {
    std::vector<TtiPage> Pages;  // one per PN line (sub-pages of a carousel in file order)
    std::vector<std::string> Warnings;
    std::string Error;           // set when the file holds no usable page
    bool Ok() const { return Error.empty(); }
};

TtiParseResult ParseTti(std::string_view text);
// A page file is a few kilobytes; far larger ones (a link to a device, a
// mistake) are refused rather than read.
inline constexpr std::size_t kMaxTtiFileBytes = 4 * 1024 * 1024;
TtiParseResult LoadTtiFile(const std::string& path);

// The header control bits of a page's PS value.
HeaderControl ControlFromStatus(const TtiPage& page);

}  // namespace orv
