#include "acquisition/PageEnhancements.h"

#include <algorithm>

#include "acquisition/Hamming.h"

namespace orv {

namespace {

constexpr int kFirstTripletByte = 3;
constexpr int kLinkBytes = 6;
constexpr int kFirstLinkByte = 3;
constexpr int kLinkControlByte = kFirstLinkByte + 6 * kLinkBytes;  // 39

// Two Hamming 8/4 bytes as one value, low nibble first; negative when either fails.
int Nibbles(const tVTXPacket& packet, int at) {
    const int low = DecodeHamming84(packet[static_cast<std::size_t>(at)]);
    const int high = DecodeHamming84(packet[static_cast<std::size_t>(at + 1)]);
    if (low == kHammingError || high == kHammingError) return -1;
    return low | high << 4;
}

PageLink DecodeLink(const tVTXPacket& packet, int at, int magazine) {
    const int page = Nibbles(packet, at);       // units, tens
    const int sub12 = Nibbles(packet, at + 2);  // S1, S2 and M1
    const int sub34 = Nibbles(packet, at + 4);  // S3, S4, M2 and M3
    PageLink link;
    if (page < 0 || sub12 < 0 || sub34 < 0 || page == 0xFF) return link;
    // The link's magazine is given relative to the page's own (magazine 8 counts as 0).
    const int flip = (sub12 >> 7) | ((sub34 >> 5) & 6);
    const int linked = (magazine & 7) ^ flip;
    link.Page = static_cast<std::uint16_t>((linked == 0 ? 8 : linked) * 256 + page);
    link.SubCode = static_cast<std::uint16_t>((sub34 << 8 | sub12) & 0x3F7F);
    link.Valid = true;
    return link;
}

Triplet DecodeTriplet(const std::uint8_t* bytes) {
    const std::int32_t data = DecodeHamming2418(bytes[0], bytes[1], bytes[2]);
    if (data == kHamming2418Error) return {};
    return {static_cast<std::uint8_t>(data & 0x3F), static_cast<std::uint8_t>((data >> 6) & 0x1F),
            static_cast<std::uint8_t>((data >> 11) & 0x7F), true};
}

void EncodeNibbles(int value, tVTXPacket& packet, int at) {
    packet[static_cast<std::size_t>(at)] = kHamming84Codes[static_cast<std::size_t>(value & 15)];
    packet[static_cast<std::size_t>(at + 1)] = kHamming84Codes[static_cast<std::size_t>((value >> 4) & 15)];
}

}  // namespace

std::optional<FlofLinks> PageEnhancements::Links() const {
    if (!X27_0) return std::nullopt;
    return DecodeFlofLinks(X27_0->Packet, X27_0->Magazine);
}

bool FlofLinks::Any() const {
    return std::any_of(Links.begin(), Links.end(), [](const PageLink& link) { return link.Valid; });
}

TripletPacket TripletPacket::FromPacket(const tVTXPacket& packet) {
    TripletPacket triplets;
    triplets.Assign(packet);
    return triplets;
}

TripletPacket TripletPacket::FromTriplets(const TripletArray& triplets) {
    tVTXPacket packet;
    EncodeTriplets(triplets, packet);
    return FromPacket(packet);
}

Triplet TripletPacket::operator[](std::size_t index) const {
    return index < kTripletsPerPacket ? DecodeTriplet(bytes_.data() + 3 * index) : Triplet{};
}

TripletArray TripletPacket::Decoded() const {
    TripletArray triplets;
    for (std::size_t i = 0; i < triplets.size(); ++i) triplets[i] = DecodeTriplet(bytes_.data() + 3 * i);
    return triplets;
}

TripletArray DecodeTriplets(const tVTXPacket& packet) {
    TripletArray triplets;
    for (std::size_t i = 0; i < triplets.size(); ++i)
        triplets[i] = DecodeTriplet(packet.Bytes.data() + kFirstTripletByte + 3 * i);
    return triplets;
}


FlofLinks DecodeFlofLinks(const tVTXPacket& packet, int magazine) {
    FlofLinks links;
    for (int i = 0; i < 6; ++i)
        links.Links[static_cast<std::size_t>(i)] = DecodeLink(packet, kFirstLinkByte + kLinkBytes * i, magazine);
    const std::uint8_t control = DecodeHamming84(packet[kLinkControlByte]);
    links.ShowRow24 = control == kHammingError || (control & 8) != 0;
    return links;
}

void EncodeTriplets(const TripletArray& triplets, tVTXPacket& packet) {
    for (int i = 0; i < kTripletsPerPacket; ++i) {
        const Triplet& t = triplets[static_cast<std::size_t>(i)];
        const auto bytes = EncodeHamming2418(t.Address | t.Mode << 6 | static_cast<std::uint32_t>(t.Data) << 11);
        std::copy(bytes.begin(), bytes.end(), packet.Bytes.begin() + kFirstTripletByte + 3 * i);
    }
}

void EncodeFlofLinks(const FlofLinks& links, int magazine, tVTXPacket& packet) {
    for (int i = 0; i < 6; ++i) {
        const PageLink& link = links.Links[static_cast<std::size_t>(i)];
        const int at = kFirstLinkByte + kLinkBytes * i;
        const int page = link.Valid ? link.Page & 0xFF : 0xFF;
        const int flip = link.Valid ? ((link.Page >> 8) & 7) ^ (magazine & 7) : 0;
        const int sub = link.Valid ? link.SubCode : kAnySubCode;
        EncodeNibbles(page, packet, at);
        EncodeNibbles((sub & 0x7F) | (flip & 1) << 7, packet, at + 2);
        EncodeNibbles(((sub >> 8) & 0x3F) | (flip & 6) << 5, packet, at + 4);
    }
    packet[kLinkControlByte] = kHamming84Codes[links.ShowRow24 ? 0xF : 0x7];
    packet[40] = packet[41] = 0;  // the CRC of the page; receivers do not rely on it
}

}  // namespace orv
