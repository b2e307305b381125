#include "rendering/PageCharacters.h"

namespace orv {

namespace {

// Triplet modes.
constexpr std::uint8_t kFullRowColour = 0x01;     // row address group
constexpr std::uint8_t kSetActivePosition = 0x04;
constexpr std::uint8_t kAddressRow0 = 0x07;
constexpr std::uint8_t kTermination = 0x1F;
constexpr std::uint8_t kG2Character = 0x0F;       // column address group
constexpr std::uint8_t kFirstG0Character = 0x10;  // 0x10 no mark, 0x11-0x1F marks 1-15

std::uint32_t Bits(const Triplet& t) { return t.Address | t.Mode << 6 | static_cast<std::uint32_t>(t.Data) << 11; }

struct Designations {
    std::uint8_t Primary = 0;
    std::optional<std::uint8_t> Second;
};

// X/28/0 format 1 and M/29/0 share their first two triplets: page function
// (4 bits), page coding (3), the default G0/G2 designation (7) and the second
// G0 designation (7, its last three bits in the second triplet).
std::optional<Designations> ReadDesignations(const TripletPacket& packet) {
    const Triplet& first = packet[0];
    if (!first.Valid) return std::nullopt;
    const std::uint32_t bits = Bits(first);
    if ((bits & 0xF) != 0) return std::nullopt;  // not a basic level-1 page: format 2
    Designations d;
    d.Primary = static_cast<std::uint8_t>((bits >> 7) & 0x7F);
    if (packet[1].Valid) d.Second = static_cast<std::uint8_t>((bits >> 14) | (Bits(packet[1]) & 7) << 4);
    return d;
}

}  // namespace

PageCharacters::PageCharacters(const tPageImage& page, const PageEnhancements* enhancements)
    : primary_(NationalOptionSet(page.NationalOption)) {
    if (!enhancements) return;
    Designate(page, *enhancements);
    Place(*enhancements);
}

void PageCharacters::Designate(const tPageImage& page, const PageEnhancements& enhancements) {
    std::optional<Designations> designations;
    if (enhancements.X28_0) designations = ReadDesignations(*enhancements.X28_0);
    if (!designations && enhancements.Magazine && enhancements.Magazine->M29_0)
        designations = ReadDesignations(*enhancements.Magazine->M29_0);
    if (!designations) return;

    // The header's option chooses within the designated group, where the
    // group has that option; else the designation's own option counts.
    const auto withOption =
        static_cast<std::uint8_t>((designations->Primary & 0x78) | (page.NationalOption & 7));
    std::optional<CharacterSet> primary = DesignatedSet(withOption);
    if (!primary) primary = DesignatedSet(designations->Primary);
    if (!primary) return;  // a set this viewer has not: the page stays level 1
    designated_ = true;
    primary_ = *primary;
    if (designations->Second && *designations->Second != designations->Primary)
        if (const auto second = DesignatedSet(*designations->Second); second && *second != primary_) second_ = second;
}

void PageCharacters::Place(const PageEnhancements& enhancements) {
    int row = 0;
    for (int designation = 0; designation < 16; ++designation) {
        if (!enhancements.HasX26(designation)) continue;
        for (const Triplet& t : enhancements.X26[static_cast<std::size_t>(designation)].Decoded()) {
            if (!t.Valid) continue;  // damaged beyond repair: skipped, the rest still counts
            if (t.Address >= 40) {
                if (t.Mode == kTermination) return;
                if (t.Mode == kSetActivePosition || t.Mode == kFullRowColour) row = t.Address == 40 ? 24 : t.Address - 40;
                if (t.Mode == kAddressRow0) row = 0;
                continue;
            }
            if (row >= kTextRows || t.Data < 0x20) continue;
            PlacedChar placed;
            if (t.Mode == kG2Character)
                placed = {PlacedChar::G2, t.Data, 0};
            else if (t.Mode >= kFirstG0Character)
                placed = {PlacedChar::G0, t.Data, static_cast<std::uint8_t>(t.Mode - kFirstG0Character)};
            else
                continue;  // level 2.5 and beyond
            if (!placed_) placed_ = std::make_unique<std::array<PlacedChar, kTextRows * kRowLength>>();
            (*placed_)[static_cast<std::size_t>(row * kRowLength + t.Address)] = placed;
        }
    }
}

char16_t PageCharacters::Unicode(const PlacedChar& placed) const {
    if (placed.From == PlacedChar::G2) return G2Char(primary_.G2, placed.Code);
    if (placed.From != PlacedChar::G0) return ' ';
    // The G0 set without national letters; "*" without a mark stands for "@".
    if (primary_.G0 == G0Set::Latin) {
        if (placed.Code == 0x2A && placed.Mark == 0) return '@';
        return MarkedChar(G0Char(NationalOptionSet(0), placed.Code), placed.Mark);
    }
    return MarkedChar(G0Char(primary_, placed.Code), placed.Mark);
}

}  // namespace orv
