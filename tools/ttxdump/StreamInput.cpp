#include "tools/ttxdump/StreamInput.h"

#include <cctype>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

namespace orv {

namespace {

constexpr std::size_t kChunk = 1 << 20;
constexpr std::size_t kSniff = 64 * 1024;  // what decides between the two formats

// Fills buffer as far as the stream goes; false when reading failed.
bool ReadChunk(std::istream& in, std::vector<std::uint8_t>& buffer, std::size_t& size) {
    in.read(reinterpret_cast<char*>(buffer.data() + size), static_cast<std::streamsize>(buffer.size() - size));
    size += static_cast<std::size_t>(in.gcount());
    return !in.bad();
}

bool EndsWith(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
    return true;
}

bool DecodeRaw(std::istream& in, std::vector<std::uint8_t>& buffer, std::size_t size, const PacketHandlers& handlers,
               std::ostream& err) {
    while (true) {
        const std::size_t whole = size / kPacketSize;
        handlers.Packets(std::span(reinterpret_cast<const tVTXPacket*>(buffer.data()), whole));
        const std::size_t carried = size - whole * kPacketSize;
        std::memmove(buffer.data(), buffer.data() + whole * kPacketSize, carried);
        size = carried;
        if (!in) break;
        if (!ReadChunk(in, buffer, size)) return false;
    }
    if (size != 0)
        err << "ttxdump: warning: " << size << " trailing bytes ignored (the length is not a multiple of 42)\n";
    return true;
}

void ReportDamage(const std::string& name, const TsCounters& c, std::ostream& err) {
    if (c.SyncLosses + c.ContinuityErrors + c.CrcErrors + c.Scrambled + c.BrokenPes + c.BadDataUnits == 0) return;
    err << "ttxdump: warning: " << name << " is damaged: " << c.SyncLosses << " sync losses, " << c.ContinuityErrors
        << " continuity errors, " << c.CrcErrors << " bad tables, " << c.Scrambled << " scrambled packets, "
        << c.BrokenPes << " broken PES packets, " << c.BadDataUnits << " bad data units\n";
}

bool DecodeTransportStream(std::istream& in, std::vector<std::uint8_t>& buffer, std::size_t size,
                           const InputOptions& options, const PacketHandlers& handlers, std::ostream& err) {
    TransportStreamReader reader(options.Choice);
    std::vector<TimedPacket> timed;
    std::vector<tVTXPacket> packets;
    std::uint32_t stream = 0;
    const auto deliver = [&] {
        for (const auto& t : timed) {
            if (t.Stream != stream) {
                handlers.Packets(packets);
                packets.clear();
                handlers.StreamChanged();
                stream = t.Stream;
            }
            packets.push_back(t.Packet);
        }
        handlers.Packets(packets);
        packets.clear();
        timed.clear();
    };
    while (true) {
        reader.Feed(std::span(buffer).first(size), timed);
        deliver();
        size = 0;
        if (!in) break;
        if (!ReadChunk(in, buffer, size)) return false;
    }
    reader.Finish(timed);
    deliver();
    ReportDamage(options.Name, reader.Counters(), err);
    if (!reader.TeletextPid()) err << "ttxdump: no teletext stream in " << options.Name << '\n';
    return true;
}

const char* TeletextTypeName(int type) {
    switch (type) {
    case 1: return "initial page";
    case 2: return "subtitles";
    case 3: return "additional information";
    case 4: return "programme schedule";
    case 5: return "subtitles for the hard of hearing";
    default: return "teletext";
    }
}

}  // namespace

bool DecodeInput(std::istream& in, const InputOptions& options, const PacketHandlers& handlers, std::ostream& err) {
    std::vector<std::uint8_t> buffer(kChunk);
    std::size_t size = 0;
    while (in && size < kSniff)
        if (!ReadChunk(in, buffer, size)) return false;
    if (DetectTransportStream(std::span(buffer).first(std::min(size, kSniff))))
        return DecodeTransportStream(in, buffer, size, options, handlers, err);
    if (options.WantsTransportStream || EndsWith(options.Name, ".ts") || EndsWith(options.Name, ".m2ts"))
        err << "ttxdump: warning: " << options.Name
            << " is not an MPEG transport stream; read as raw 42-byte packets\n";
    return DecodeRaw(in, buffer, size, handlers, err);
}

int ListServices(std::istream& in, const std::string& name, std::ostream& out, std::ostream& err) {
    std::vector<std::uint8_t> buffer(kChunk);
    std::size_t size = 0;
    while (in && size < kSniff)
        if (!ReadChunk(in, buffer, size)) return 2;
    if (!DetectTransportStream(std::span(buffer).first(std::min(size, kSniff)))) {
        err << "ttxdump: warning: " << name << " is not an MPEG transport stream\n";
        return 1;
    }
    // The tables repeat all through a stream: read until they are all there.
    TransportStreamReader reader;
    std::vector<TimedPacket> ignored;
    while (true) {
        reader.Feed(std::span(buffer).first(size), ignored);
        ignored.clear();
        size = 0;
        if (!in || reader.ServicesComplete()) break;
        if (!ReadChunk(in, buffer, size)) return 2;
    }
    for (const auto& service : reader.Services()) {
        out << service.Id << "\t\"" << service.Name << "\"\t";
        if (service.Teletext.empty()) out << "no teletext";
        for (std::size_t i = 0; i < service.Teletext.size(); ++i) {
            const TsTeletextStream& s = service.Teletext[i];
            out << (i ? ", " : "") << "teletext pid " << s.Pid << " (" << (s.Language.empty() ? "?" : s.Language)
                << ", " << TeletextTypeName(s.Type);
            if (s.InitialPage) out << ' ' << std::hex << std::uppercase << s.InitialPage << std::dec;
            out << ')';
        }
        out << '\n';
    }
    if (reader.Services().empty()) {
        err << "ttxdump: no service in " << name << '\n';
        return 1;
    }
    return 0;
}

}  // namespace orv
