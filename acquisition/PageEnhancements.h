// What the enhancement packets of a page say (X/26 characters, X/27/0 links,
// X/28 character sets), and of its magazine (M/29), decoded by their own
// coding: a Hamming 8/4 designation code and Hamming 24/18 triplets. Most pages
// have none; a page that has some carries them beside its level-1 image, in the
// deleter of its record, so a plain page costs no byte more.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "acquisition/UTeletextTypes.h"

namespace orv {

// One decoded triplet: address (0-63), mode (0-31), data (0-127).
struct Triplet {
    std::uint8_t Address = 0;
    std::uint8_t Mode = 0;
    std::uint8_t Data = 0;
    bool Valid = false;  // false: two or more bits were wrong, the triplet is skipped
    bool operator==(const Triplet&) const = default;
};

inline constexpr int kTripletsPerPacket = 13;
using TripletArray = std::array<Triplet, kTripletsPerPacket>;

// The 13 triplets of an enhancement packet as received (its bytes 3-41),
// decoded when read: the assembly only copies them, as it copies a row.
class TripletPacket {
public:
    // TripletPacket{} holds no sound triplet; a default-initialised one holds
    // nothing yet (the 16 places of a page's X/26 are only filled as they arrive).
    TripletPacket() = default;
    static TripletPacket FromPacket(const tVTXPacket& packet);
    // The triplets of an enhancement packet (its bytes 3-41), in place.
    void Assign(const tVTXPacket& packet) { std::copy_n(packet.Bytes.begin() + 3, bytes_.size(), bytes_.begin()); }
    static TripletPacket FromTriplets(const TripletArray& triplets);

    Triplet operator[](std::size_t index) const;
    TripletArray Decoded() const;
    bool operator==(const TripletPacket&) const = default;

private:
    std::array<std::uint8_t, 3 * kTripletsPerPacket> bytes_;
};

// A page number with its sub-code; 0x3F7F is "any sub-page". A link whose page
// units and tens are both 0xF (page xFF) leads nowhere.
struct PageLink {
    std::uint16_t Page = 0;
    std::uint16_t SubCode = 0x3F7F;
    bool Valid = false;
    bool operator==(const PageLink&) const = default;
};

inline constexpr std::uint16_t kAnySubCode = 0x3F7F;

// The six editorial links of X/27/0: red, green, yellow, cyan, a fifth the
// keys do not use, and the index.
struct FlofLinks {
    enum : int { Red = 0, Green = 1, Yellow = 2, Cyan = 3, Fifth = 4, Index = 5 };
    std::array<PageLink, 6> Links{};
    bool ShowRow24 = true;  // the link control byte's "display row 24"
    bool operator==(const FlofLinks&) const = default;
    bool Any() const;
};

// The M/29 packets of a magazine, as they stood when a page of it closed.
struct MagazineEnhancements {
    std::optional<TripletPacket> M29_0, M29_1, M29_4;
    bool operator==(const MagazineEnhancements&) const = default;
};

// An X/27/0 as received, with the magazine of its page: decoded when asked.
struct LinksPacket {
    tVTXPacket Packet;
    std::uint8_t Magazine = 8;
    bool operator==(const LinksPacket&) const = default;
};

struct PageEnhancements {
    // X/26 by designation code (0-15): the order in which the triplets take
    // effect. Held in place, so that a page's packets cost one allocation;
    // only the places marked in X26Received hold a packet.
    std::array<TripletPacket, 16> X26;
    std::uint16_t X26Received = 0;  // bit d: an X/26 with designation code d arrived
    std::optional<LinksPacket> X27_0;
    std::optional<TripletPacket> X28_0, X28_1, X28_4;
    std::shared_ptr<const MagazineEnhancements> Magazine;  // M/29

    bool HasX26(int designation) const { return (X26Received >> designation) & 1; }
    void SetX26(int designation, const TripletPacket& triplets) {
        X26[static_cast<std::size_t>(designation & 15)] = triplets;
        X26Received = static_cast<std::uint16_t>(X26Received | 1u << (designation & 15));
    }
    void SetX26(int designation, const tVTXPacket& packet) {
        X26[static_cast<std::size_t>(designation & 15)].Assign(packet);
        X26Received = static_cast<std::uint16_t>(X26Received | 1u << (designation & 15));
    }
    // The editorial links of X/27/0; none without that packet.
    std::optional<FlofLinks> Links() const;
};

// The 13 triplets of an enhancement packet (bytes 3-41).
TripletArray DecodeTriplets(const tVTXPacket& packet);
// The links of an X/27/0 of a page in that magazine (1-8); a link that
// cannot be decoded is invalid.
FlofLinks DecodeFlofLinks(const tVTXPacket& packet, int magazine);

// Packet bytes of the other direction, for the writers of test streams and
// the demo broadcast's page files.
void EncodeTriplets(const TripletArray& triplets, tVTXPacket& packet);
void EncodeFlofLinks(const FlofLinks& links, int magazine, tVTXPacket& packet);

// The owner of a page record on its way to the page database: it frees the
// record, and carries the page's enhancements (none for most pages). A plain
// std::unique_ptr<tPageImage> converts to it.
struct PageDeleter {
    PageDeleter() = default;
    PageDeleter(std::default_delete<tPageImage>) {}  // NOLINT: implicit on purpose
    explicit PageDeleter(std::shared_ptr<const PageEnhancements> enhancements)
        : Enhancements(std::move(enhancements)) {}
    void operator()(tPageImage* page) const { std::default_delete<tPageImage>()(page); }

    std::shared_ptr<const PageEnhancements> Enhancements;
};
using PagePtr = std::unique_ptr<tPageImage, PageDeleter>;

}  // namespace orv
