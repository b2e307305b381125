// A small MPEG transport stream writer for tests and benchmarks: PAT, PMT and
// SDT sections, teletext PES packets with EBU data units, filler PIDs, and
// hooks for the damage a reader has to survive.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "acquisition/TeletextPes.h"
#include "acquisition/UTeletextTypes.h"
#include "drivers/broadcast/DemoBroadcast.h"

namespace orv::test {

struct TsEs {
    std::uint8_t Type = 0x06;
    std::uint16_t Pid = 0;
    bool TeletextDescriptor = true;
    std::string Language = "deu";
    int TeletextType = 1;
    int InitialPage = 0x100;
    // Further entries of the teletext descriptor: language, type, page.
    std::vector<std::tuple<std::string, int, int>> MoreEntries{};
};

class TsWriter {
public:
    explicit TsWriter(std::size_t stride = 188) : stride_(stride) {}

    std::vector<std::uint8_t> Bytes;

    // One transport packet; the payload is padded with adaptation field stuffing.
    void Packet(std::uint16_t pid, bool start, std::span<const std::uint8_t> payload,
                std::optional<std::int64_t> pcr = std::nullopt, std::uint8_t scrambling = 0) {
        std::array<std::uint8_t, 188> p{};
        p.fill(0xFF);
        p[0] = 0x47;
        p[1] = static_cast<std::uint8_t>((start ? 0x40 : 0) | (pid >> 8));
        p[2] = static_cast<std::uint8_t>(pid);
        std::size_t adaptation = 0;  // bytes of the adaptation field with its length byte
        if (pcr) adaptation = 8;
        const std::size_t room = 184 - adaptation;
        const std::size_t take = std::min(payload.size(), room);
        if (take < room) adaptation = 184 - take;
        const int cc = cc_[pid]++ & 0x0F;
        p[3] = static_cast<std::uint8_t>(scrambling << 6 | (adaptation ? 0x20 : 0) | (take ? 0x10 : 0) | cc);
        if (adaptation) {
            p[4] = static_cast<std::uint8_t>(adaptation - 1);
            if (adaptation > 1) p[5] = pcr ? 0x10 : 0x00;
            if (pcr) {
                const std::int64_t base = *pcr;
                p[6] = static_cast<std::uint8_t>(base >> 25);
                p[7] = static_cast<std::uint8_t>(base >> 17);
                p[8] = static_cast<std::uint8_t>(base >> 9);
                p[9] = static_cast<std::uint8_t>(base >> 1);
                p[10] = static_cast<std::uint8_t>((base & 1) << 7 | 0x7E);
                p[11] = 0;
            }
        }
        std::copy_n(payload.begin(), take, p.begin() + static_cast<std::ptrdiff_t>(4 + adaptation));
        if (stride_ == 192) Bytes.insert(Bytes.end(), 4, 0x00);  // M2TS time code before the packet
        Bytes.insert(Bytes.end(), p.begin(), p.end());
        if (stride_ == 204) Bytes.insert(Bytes.end(), 16, 0x00);  // parity bytes after it
    }

    // A whole section, split into packets behind a pointer field.
    void Section(std::uint16_t pid, const std::vector<std::uint8_t>& section) {
        std::vector<std::uint8_t> data{0x00};
        data.insert(data.end(), section.begin(), section.end());
        Payload(pid, data);
    }

    // A PES packet already made, split into packets.
    void Payload(std::uint16_t pid, std::span<const std::uint8_t> data, std::size_t perPacket = 184) {
        bool start = true;
        while (!data.empty() || start) {
            const std::size_t take = std::min({data.size(), perPacket, std::size_t{184}});
            Packet(pid, start, data.first(take));
            data = data.subspan(take);
            start = false;
        }
    }

    void Teletext(std::uint16_t pid, std::span<const tVTXPacket> packets, std::optional<std::int64_t> pts,
                  std::size_t perPacket = 184) {
        const auto pes = TeletextPes(packets, pts);
        Payload(pid, pes, perPacket);
    }

    // Filler packets of another stream (video, in a real multiplex).
    void Filler(std::uint16_t pid, int count) {
        static const std::vector<std::uint8_t> junk(184, 0x47);  // sync-like bytes, to tempt a reader
        for (int i = 0; i < count; ++i) Packet(pid, false, junk);
    }

    static std::vector<std::uint8_t> TeletextPes(std::span<const tVTXPacket> packets,
                                                 std::optional<std::int64_t> pts) {
        std::vector<std::uint8_t> pes{0x00, 0x00, 0x01, 0xBD, 0x00, 0x00, 0x84,  // data aligned
                                      static_cast<std::uint8_t>(pts ? 0x80 : 0x00), 0x24};
        std::vector<std::uint8_t> header(0x24, 0xFF);
        if (pts) {
            const std::int64_t t = *pts;
            header[0] = static_cast<std::uint8_t>(0x21 | ((t >> 29) & 0x0E));
            header[1] = static_cast<std::uint8_t>(t >> 22);
            header[2] = static_cast<std::uint8_t>((t >> 14) | 1);
            header[3] = static_cast<std::uint8_t>(t >> 7);
            header[4] = static_cast<std::uint8_t>((t << 1) | 1);
        }
        pes.insert(pes.end(), header.begin(), header.end());
        pes.push_back(0x10);  // EBU teletext
        // Lines 7-22 of the first field, then of the second, as an inserter sends them.
        for (std::size_t k = 0; k < packets.size(); ++k) {
            const auto& packet = packets[k];
            const auto line = static_cast<std::uint8_t>(0xC0 | ((k / 16) % 2 ? 0x00 : 0x20) | (7 + k % 16));
            pes.insert(pes.end(), {0x02, 0x2C, line, 0xE4});
            for (std::uint8_t b : packet.Bytes) pes.push_back(ReverseBits(b));
        }
        // Stuffing units up to a whole number of transport packets.
        while ((pes.size() % 184) != 0) {
            const std::size_t left = 184 - pes.size() % 184;
            if (left < 2) {
                pes.push_back(0xFF);
                continue;
            }
            const std::size_t length = std::min<std::size_t>(left - 2, 44);
            pes.push_back(0xFF);
            pes.push_back(static_cast<std::uint8_t>(length));
            pes.insert(pes.end(), length, 0xFF);
        }
        const std::size_t length = pes.size() - 6;
        pes[4] = static_cast<std::uint8_t>(length >> 8);
        pes[5] = static_cast<std::uint8_t>(length);
        return pes;
    }

    // One section of a PAT; a long one comes as sections 0 to last.
    static std::vector<std::uint8_t> Pat(std::uint16_t streamId, int version,
                                         const std::vector<std::pair<std::uint16_t, std::uint16_t>>& programs,
                                         std::uint8_t section = 0, std::uint8_t last = 0) {
        std::vector<std::uint8_t> body;
        for (const auto& [id, pmt] : programs) Push16(body, id), Push16(body, 0xE000 | pmt);
        return LongSection(0x00, streamId, version, body, section, last);
    }

    static std::vector<std::uint8_t> Pmt(std::uint16_t serviceId, int version, std::uint16_t pcrPid,
                                         const std::vector<TsEs>& streams) {
        std::vector<std::uint8_t> body;
        Push16(body, 0xE000 | pcrPid);
        Push16(body, 0xF000);
        for (const auto& es : streams) {
            body.push_back(es.Type);
            Push16(body, 0xE000 | es.Pid);
            std::vector<std::uint8_t> info;
            if (es.TeletextDescriptor) {
                info = {0x56, 0};
                std::vector<std::tuple<std::string, int, int>> entries{{es.Language, es.TeletextType, es.InitialPage}};
                entries.insert(entries.end(), es.MoreEntries.begin(), es.MoreEntries.end());
                for (const auto& [language, type, page] : entries) {
                    info.insert(info.end(), language.begin(), language.begin() + 3);
                    info.push_back(static_cast<std::uint8_t>(type << 3 | ((page >> 8) & 7)));
                    info.push_back(static_cast<std::uint8_t>(page));
                }
                info[1] = static_cast<std::uint8_t>(info.size() - 2);
            }
            Push16(body, static_cast<std::uint16_t>(0xF000 | info.size()));
            body.insert(body.end(), info.begin(), info.end());
        }
        return LongSection(0x02, serviceId, version, body);
    }

    static std::vector<std::uint8_t> Sdt(std::uint16_t streamId,
                                         const std::vector<std::pair<std::uint16_t, std::string>>& names) {
        std::vector<std::uint8_t> body{0x00, 0x01, 0xFF};  // original network id, reserved
        for (const auto& [id, name] : names) {
            Push16(body, id);
            body.push_back(0xFC);
            std::vector<std::uint8_t> d{0x48, 0, 0x01, 3, 'O', 'R', 'V', static_cast<std::uint8_t>(name.size())};
            d.insert(d.end(), name.begin(), name.end());
            d[1] = static_cast<std::uint8_t>(d.size() - 2);
            Push16(body, static_cast<std::uint16_t>(0x8000 | d.size()));
            body.insert(body.end(), d.begin(), d.end());
        }
        return LongSection(0x42, streamId, 0, body);
    }

private:
    static void Push16(std::vector<std::uint8_t>& v, unsigned value) {
        v.push_back(static_cast<std::uint8_t>(value >> 8));
        v.push_back(static_cast<std::uint8_t>(value));
    }

    static std::vector<std::uint8_t> LongSection(std::uint8_t table, std::uint16_t id, int version,
                                                 const std::vector<std::uint8_t>& body, std::uint8_t section = 0,
                                                 std::uint8_t last = 0) {
        std::vector<std::uint8_t> s{table, 0, 0};
        Push16(s, id);
        s.push_back(static_cast<std::uint8_t>(0xC1 | (version & 0x1F) << 1));
        s.push_back(section);
        s.push_back(last);
        s.insert(s.end(), body.begin(), body.end());
        const std::size_t length = s.size() - 3 + 4;
        s[1] = static_cast<std::uint8_t>(0xB0 | length >> 8);
        s[2] = static_cast<std::uint8_t>(length);
        std::uint32_t crc = 0xFFFFFFFFu;
        for (std::uint8_t b : s) {
            crc ^= static_cast<std::uint32_t>(b) << 24;
            for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
        Push16(s, crc >> 16);
        Push16(s, crc & 0xFFFF);
        return s;
    }

    std::size_t stride_;
    std::map<std::uint16_t, int> cc_;
};

// The first lines of the demo broadcast.
inline std::vector<tVTXPacket> DemoLines(std::size_t count) {
    DemoBroadcast broadcast(BuiltInDemoPages());
    std::vector<tVTXPacket> packets(count);
    broadcast.Fill(packets);
    return packets;
}

// The packets as one teletext service (id 8, "Das Erste", PID 804) beside a
// video service (id 7, PID 0x1E0): 16 lines a PES at 1600 lines a second,
// the tables every 512 lines.
inline std::vector<std::uint8_t> TeletextMultiplex(std::span<const tVTXPacket> packets, std::size_t stride = 188,
                                                   int videoPerPes = 5) {
    TsWriter ts(stride);
    for (std::size_t i = 0; i < packets.size(); i += 16) {
        if (i % 512 == 0) {
            ts.Section(0x0000, TsWriter::Pat(1, 0, {{7, 0x100}, {8, 0x101}}));
            ts.Section(0x100, TsWriter::Pmt(7, 0, 0x1E0, {TsEs{.Type = 2, .Pid = 0x1E0, .TeletextDescriptor = false}}));
            ts.Section(0x101, TsWriter::Pmt(8, 0, 0x1E0, {TsEs{.Pid = 804}}));
            ts.Section(0x0011, TsWriter::Sdt(1, {{7, "Video"}, {8, "Das Erste"}}));
        }
        ts.Filler(0x1E0, videoPerPes);
        ts.Teletext(804, packets.subspan(i, std::min<std::size_t>(16, packets.size() - i)),
                    static_cast<std::int64_t>(i) * 90000 / 1600);
    }
    return ts.Bytes;
}

}  // namespace orv::test
