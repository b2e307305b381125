// The subtitle and newsflash pages of a source: those a DVB stream's
// teletext descriptor lists as subtitles (type 2) or subtitles for the hard of
// hearing (type 5), in the descriptor's order, then every other page seen with
// C6 (subtitle) or C5 (newsflash) set, in the order they were first seen.
// The dispatcher tells it every stored page; the capture source the
// descriptor's entries; a station or channel change clears it. Any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/UTeletextTypes.h"

namespace orv {

// One entry of a teletext descriptor (EN 300 468): language, type, page.
struct TeletextDescriptorEntry {
    std::string Language;  // three letters, "fra"
    std::uint8_t Type = 0;  // 1 initial page, 2 subtitles, 3 additional information, 4 schedule, 5 subtitles for the hard of hearing
    std::uint16_t Page = 0;  // 0x100-0x8FF
    bool operator==(const TeletextDescriptorEntry&) const = default;
};

inline constexpr std::uint8_t kDescriptorSubtitles = 2;
inline constexpr std::uint8_t kDescriptorHardOfHearing = 5;

struct SubtitlePage {
    std::uint16_t Page = 0;
    std::string Language;   // from the descriptor; empty for a page only seen
    std::uint8_t Type = 0;  // the descriptor's type; 0 for a page only seen
    bool Newsflash = false;  // seen with C5 (and not listed as subtitles)
    bool operator==(const SubtitlePage&) const = default;
};

class SubtitlePages {
public:
    // The descriptor's entries for the service decoded (replacing earlier ones).
    void SetDescriptor(std::vector<TeletextDescriptorEntry> entries);
    // A page arrived: a C6 or C5 page not yet known joins the list.
    void PageSeen(const tPageImage& page);
    void Clear();
    // The pages seen go, the descriptor stays (another station on the same service).
    void ClearSeen();

    std::vector<SubtitlePage> List() const;
    std::vector<TeletextDescriptorEntry> Descriptor() const;

private:
    mutable std::mutex lock_;
    std::vector<TeletextDescriptorEntry> descriptor_;
    std::vector<SubtitlePage> seen_;
};

}  // namespace orv
