// Bytes as a transport stream through the reader, in pieces cut where the
// first bytes say, then the end of the stream; the same bytes as PSI
// sections from a demux filter; and the framing detection. The last byte
// picks what to decode, so that every way of choosing is tried.
#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "acquisition/TransportStream.h"

namespace {

using namespace orv;

TsChoice ChoiceFrom(std::span<const std::uint8_t> bytes) {
    TsChoice choice;
    if (bytes.size() < 4) return choice;
    const std::uint8_t pick = bytes.back();
    const auto id = static_cast<std::uint16_t>(bytes[bytes.size() - 3] << 8 | bytes[bytes.size() - 2]);
    switch (pick & 3) {
        case 1: choice.ServiceId = id; break;
        case 2: choice.ServiceName = (pick & 4) ? "Das Erste" : "das erste"; break;
        case 3: choice.Pid = static_cast<std::uint16_t>(id & 0x1FFF); break;
        default: break;
    }
    return choice;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (const auto framing = DetectTransportStream(bytes)) {
        if (framing->Stride != 188 && framing->Stride != 192 && framing->Stride != 204) __builtin_trap();
        if (framing->Offset >= framing->Stride) __builtin_trap();
    }

    // Up to three cuts, each somewhere in what is left behind the one before.
    std::vector<std::size_t> cuts;
    std::size_t at = 0;
    for (std::size_t i = 1; i < 4 && i < size; ++i) {
        at += (size - at) * data[i] / 256;
        cuts.push_back(at);
    }
    cuts.push_back(size);

    TransportStreamReader reader(ChoiceFrom(bytes));
    std::vector<TimedPacket> out;
    std::size_t from = 0;
    for (const std::size_t to : cuts) {
        reader.Feed(bytes.subspan(from, to - from), out);
        from = to;
    }
    reader.Finish(out);
    (void)reader.ServicesComplete();
    (void)reader.PmtPids();
    if (const TsService* service = reader.Service()) (void)service->Name.size();
    // Stream times are 33-bit or none; descriptor pages are pages; a stream
    // found by probing is the one decoded.
    for (const TimedPacket& packet : out)
        if (packet.Time < -1 || packet.Time >= (std::int64_t{1} << 33)) __builtin_trap();
    for (const TsService& service : reader.Services())
        for (const TsTeletextStream& stream : service.Teletext)
            for (const TeletextDescriptorEntry& entry : stream.Entries)
                if (entry.Page < 0x100 || entry.Page > 0x8FF) __builtin_trap();
    if (reader.FoundByProbing() && !reader.TeletextPid()) __builtin_trap();
    (void)reader.DescriptorEntries();

    // Played again from the start, as a looped recording is.
    reader.Restart();
    reader.Feed(bytes.first(cuts.front()), out);
    reader.Finish(out);

    // The second piece onwards as sections of the PID of the first packet
    // header (or the PAT when there is none).
    TransportStreamReader sections;
    const std::uint16_t pid = size >= 3 ? static_cast<std::uint16_t>((data[1] << 8 | data[2]) & 0x1FFF) : kPatPid;
    sections.FeedSections(pid, bytes.subspan(cuts.front()));
    for (const std::uint16_t pmt : sections.PmtPids()) sections.FeedSections(pmt, bytes.subspan(cuts.front()));
    sections.FeedSections(kSdtPid, bytes.subspan(cuts.front()));
    (void)sections.ServicesComplete();
    return 0;
}
