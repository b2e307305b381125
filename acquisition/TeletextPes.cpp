#include "acquisition/TeletextPes.h"

#include <array>

namespace orv {

namespace {

constexpr std::array<std::uint8_t, 256> MakeReversed() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned r = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            if (i & (1u << bit)) r |= 0x80u >> bit;
        table[i] = static_cast<std::uint8_t>(r);
    }
    return table;
}
constexpr std::array<std::uint8_t, 256> kReversed = MakeReversed();

constexpr std::uint8_t kUnitTeletext = 0x02;
constexpr std::uint8_t kUnitSubtitle = 0x03;
constexpr std::uint8_t kUnitLength = 44;     // line byte, framing code, 42 packet bytes
constexpr std::uint8_t kFramingCode = 0xE4;  // as it stands in the data unit

std::int64_t ReadTimestamp(const std::uint8_t* p) {
    return (static_cast<std::int64_t>((p[0] >> 1) & 0x07) << 30) | (static_cast<std::int64_t>(p[1]) << 22) |
           (static_cast<std::int64_t>(p[2] >> 1) << 15) | (static_cast<std::int64_t>(p[3]) << 7) | (p[4] >> 1);
}

}  // namespace

std::uint8_t ReverseBits(std::uint8_t value) { return kReversed[value]; }

std::optional<PesHeader> ParsePesHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 9 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 1) return std::nullopt;
    PesHeader header;
    header.StreamId = bytes[3];
    header.DeclaredLength = static_cast<std::size_t>(bytes[4] << 8 | bytes[5]);
    if ((bytes[6] & 0xC0) != 0x80) return std::nullopt;  // not an MPEG-2 PES header
    header.PayloadOffset = 9u + bytes[8];
    if (header.PayloadOffset > bytes.size()) return std::nullopt;
    if (header.DeclaredLength != 0 && header.PayloadOffset > header.DeclaredLength + 6) return std::nullopt;
    if ((bytes[7] & 0x80) && bytes[8] >= 5) header.Pts = ReadTimestamp(&bytes[9]);
    return header;
}

int DecodeTeletextDataField(std::span<const std::uint8_t> field, std::int64_t time, std::uint32_t stream,
                            std::vector<TimedPacket>& out) {
    if (field.empty() || !IsTeletextDataIdentifier(field[0])) return 0;
    int rejected = 0;
    std::size_t pos = 1;
    while (pos + 2 <= field.size()) {
        const std::uint8_t id = field[pos];
        const std::size_t length = field[pos + 1];
        const std::size_t data = pos + 2;
        if (data + length > field.size()) {
            if (id != 0xFF) ++rejected;  // a unit cut off by the end of the PES
            break;
        }
        if (id == kUnitTeletext || id == kUnitSubtitle) {
            if (length == kUnitLength && field[data + 1] == kFramingCode) {
                TimedPacket& packet = out.emplace_back();
                packet.Time = time;
                packet.Stream = stream;
                for (int i = 0; i < kPacketSize; ++i)
                    packet.Packet.Bytes[static_cast<std::size_t>(i)] = kReversed[field[data + 2 + static_cast<std::size_t>(i)]];
            } else {
                ++rejected;
            }
        }
        pos = data + length;
    }
    return rejected;
}

}  // namespace orv
