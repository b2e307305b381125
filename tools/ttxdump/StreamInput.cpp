#include "tools/ttxdump/StreamInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <sstream>
#include <vector>

#include "acquisition/Pages.h"
#include "platform/UniqueFd.h"

namespace orv {

namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr std::size_t kSniff = 64 * 1024;   // what decides between the two formats
constexpr std::size_t kPacket = kPacketSize;

// A chunk's room, left unset: a short input touches only what it fills.
class ChunkBuffer {
public:
    std::span<std::uint8_t> Room() { return {bytes_.get(), kChunk}; }

private:
    std::unique_ptr<std::uint8_t[]> bytes_ = std::make_unique_for_overwrite<std::uint8_t[]>(kChunk);
};

std::optional<std::pair<dev_t, ino_t>> IdentityOf(int fd) {
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) return std::nullopt;
    return std::pair(info.st_dev, info.st_ino);
}

class IstreamBytes : public ByteSource {
public:
    IstreamBytes(std::istream& in, int fd) : in_(in), identity_(IdentityOf(fd)) {}
    std::optional<std::pair<dev_t, ino_t>> Identity() const override { return identity_; }
    std::optional<std::span<const std::uint8_t>> Next() override {
        if (!in_) return std::span<const std::uint8_t>();
        const auto room = buffer_.Room();
        in_.read(reinterpret_cast<char*>(room.data()), static_cast<std::streamsize>(room.size()));
        if (in_.bad()) return std::nullopt;
        return room.first(static_cast<std::size_t>(in_.gcount()));
    }

private:
    std::istream& in_;
    std::optional<std::pair<dev_t, ino_t>> identity_;
    ChunkBuffer buffer_;
};

// Fills buffer from fd as far as it goes (a pipe gives less a read); the
// size, or none at a read error.
std::optional<std::size_t> FillFrom(int fd, std::span<std::uint8_t> buffer) {
    std::size_t size = 0;
    while (size < buffer.size()) {
        const ssize_t got = ::read(fd, buffer.data() + size, buffer.size() - size);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        size += static_cast<std::size_t>(got);
    }
    return size;
}

// Files, pipes and devices, read in chunks small enough to stay in the
// processor's cache while they are decoded.
class FdBytes : public ByteSource {
public:
    explicit FdBytes(UniqueFd fd) : fd_(std::move(fd)) {}
    std::optional<std::pair<dev_t, ino_t>> Identity() const override { return IdentityOf(fd_.Get()); }
    std::optional<std::span<const std::uint8_t>> Next() override {
        const auto room = buffer_.Room();
        const auto size = FillFrom(fd_.Get(), room);
        if (!size) return std::nullopt;
        return room.first(*size);
    }

private:
    UniqueFd fd_;
    ChunkBuffer buffer_;
};

// The first piece, made at least kSniff long where the input allows, for
// the format to be told.
bool FirstPiece(ByteSource& input, std::vector<std::uint8_t>& joined, std::span<const std::uint8_t>& first) {
    auto piece = input.Next();
    if (!piece) return false;
    first = *piece;
    if (first.size() >= kSniff || first.empty()) return true;
    joined.assign(first.begin(), first.end());
    while (joined.size() < kSniff) {
        piece = input.Next();
        if (!piece) return false;
        if (piece->empty()) break;
        joined.insert(joined.end(), piece->begin(), piece->end());
    }
    first = joined;
    return true;
}

bool EndsWith(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
    return true;
}

// One line for all the damage: that of the stream, and the sub-pages that
// a signal beyond the page store's limits cost.
void ReportDamage(const InputOptions& options, const TsCounters& c, std::ostream& err) {
    std::ostringstream parts;
    if (c.SyncLosses + c.ContinuityErrors + c.CrcErrors + c.Scrambled + c.BrokenPes + c.BadDataUnits != 0)
        parts << c.SyncLosses << " sync losses, " << c.ContinuityErrors << " continuity errors, " << c.CrcErrors
              << " bad tables, " << c.Scrambled << " scrambled packets, " << c.BrokenPes << " broken PES packets, "
              << c.BadDataUnits << " bad data units";
    if (const std::uint64_t dropped = options.DroppedPages ? options.DroppedPages() : 0)
        parts << (parts.tellp() > 0 ? ", " : "") << dropped << " sub-pages dropped (more than "
              << PageStoreLimits{}.SubPagesPerPage << " of a page or " << PageStoreLimits{}.SubPages << " in all)";
    if (parts.tellp() > 0) err << "ttxdump: warning: " << options.Name << " is damaged: " << parts.str() << '\n';
}

bool DecodeRaw(ByteSource& input, std::span<const std::uint8_t> piece, const InputOptions& options,
               const PacketHandlers& handlers, std::ostream& err) {
    // With a clock wanted, the packets go a field at a time (50 fields a
    // second), each field with its time.
    const double rate = options.PacketsPerSecond;
    const auto field = static_cast<std::uint64_t>(std::max(1.0, rate / 50.0 + 0.5));
    std::uint64_t index = 0;
    const auto time = [&] { return static_cast<std::int64_t>(static_cast<double>(index) * 90000.0 / rate); };
    const auto deliver = [&](std::span<const tVTXPacket> packets) {
        if (!handlers.Time) return handlers.Packets(packets);
        while (!packets.empty()) {
            if (index % field == 0) handlers.Time(time());
            const std::size_t take = std::min<std::size_t>(packets.size(), field - index % field);
            handlers.Packets(packets.first(take));
            packets = packets.subspan(take);
            index += take;
        }
    };
    std::vector<std::uint8_t> carry;  // a packet cut by the end of a piece
    while (!piece.empty()) {
        if (!carry.empty()) {
            const std::size_t take = std::min(piece.size(), kPacket - carry.size());
            carry.insert(carry.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(take));
            piece = piece.subspan(take);
            if (carry.size() < kPacket) continue;
            deliver(std::span(reinterpret_cast<const tVTXPacket*>(carry.data()), 1));
            carry.clear();
        }
        const std::size_t whole = piece.size() / kPacket;
        deliver(std::span(reinterpret_cast<const tVTXPacket*>(piece.data()), whole));
        carry.assign(piece.begin() + static_cast<std::ptrdiff_t>(whole * kPacket), piece.end());
        const auto next = input.Next();
        if (!next) return false;
        piece = *next;
    }
    if (!carry.empty())
        err << "ttxdump: warning: " << carry.size()
            << " trailing bytes ignored (the length is not a multiple of 42)\n";
    if (handlers.Time) handlers.Time(time());  // the end of the last packet
    if (handlers.Ended) handlers.Ended();
    ReportDamage(options, TsCounters{}, err);
    return true;
}


// What the reader's limits left out, said rather than passed over.
void ReportLimits(const std::string& name, const TransportStreamReader& reader, std::ostream& err) {
    if (const std::size_t left = reader.ServicesLeftOut())
        err << "ttxdump: warning: " << name << " lists " << reader.Services().size() + left << " services; only the first "
            << reader.Services().size() << " are read\n";
}

void ReportProbed(const std::string& name, std::uint16_t pid, std::ostream& err) {
    err << "ttxdump: warning: no table of " << name << " lists a teletext stream; found on PID " << pid
        << " by probing\n";
}

bool DecodeTransportStream(ByteSource& input, std::span<const std::uint8_t> piece, const InputOptions& options,
                           const PacketHandlers& handlers, std::ostream& err) {
    TransportStreamReader reader(options.Choice);
    std::vector<TimedPacket> timed;
    std::vector<tVTXPacket> packets;
    std::uint32_t stream = 0;
    std::vector<TeletextDescriptorEntry> descriptor;
    const bool timing = handlers.Time || handlers.PesEnd;
    std::int64_t time = -1;
    bool origin = false;
    const auto deliver = [&] {
        // The descriptor as the tables stand after this piece, before its pages.
        if (handlers.Descriptor)
            if (auto entries = reader.DescriptorEntries(); entries != descriptor) {
                descriptor = std::move(entries);
                handlers.Descriptor(descriptor);
            }
        for (const auto& t : timed) {
            if (t.Stream != stream) {
                handlers.Packets(packets);
                packets.clear();
                handlers.StreamChanged();
                stream = t.Stream;
            }
            if (timing && t.Time != time) {
                handlers.Packets(packets);
                packets.clear();
                // The clock starts at the first PTS of the PID in the stream,
                // before the tables chose it.
                if (!origin && handlers.Time && reader.FirstPesTime() >= 0) handlers.Time(reader.FirstPesTime());
                origin = true;
                time = t.Time;
                if (handlers.Time) handlers.Time(time);
            }
            packets.push_back(t.Packet);
            if (timing && t.EndsPes) {
                handlers.Packets(packets);
                packets.clear();
                if (handlers.PesEnd) handlers.PesEnd();
            }
        }
        handlers.Packets(packets);
        packets.clear();
        timed.clear();
    };
    while (!piece.empty()) {
        // A megabyte at a time, so that what is decoded stays small.
        for (std::size_t at = 0; at < piece.size(); at += kChunk) {
            reader.Feed(piece.subspan(at, std::min(kChunk, piece.size() - at)), timed);
            deliver();
        }
        const auto next = input.Next();
        if (!next) return false;
        piece = *next;
    }
    reader.Finish(timed);
    deliver();
    // The clock runs to the last PES of the stream, teletext data in it or not.
    if (handlers.Time && reader.LastPesTime() >= 0) handlers.Time(reader.LastPesTime());
    if (handlers.Ended) handlers.Ended();
    ReportDamage(options, reader.Counters(), err);
    ReportLimits(options.Name, reader, err);
    if (!reader.TeletextPid()) err << "ttxdump: no teletext stream in " << options.Name << '\n';
    if (reader.FoundByProbing()) ReportProbed(options.Name, *reader.TeletextPid(), err);
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

std::unique_ptr<ByteSource> StreamBytes(std::istream& in, int fd) { return std::make_unique<IstreamBytes>(in, fd); }

std::unique_ptr<ByteSource> FileBytes(const std::string& path, std::string& error) {
    // Opened without blocking, so that a FIFO without a writer cannot hang the open.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.Get(), &info) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    if (S_ISDIR(info.st_mode)) {
        error = "it is a folder";
        return nullptr;
    }
    ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);  // a pipe is read as it comes
    ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<FdBytes>(std::move(fd));
}

bool DecodeInput(ByteSource& input, const InputOptions& options, const PacketHandlers& handlers, std::ostream& err) {
    std::vector<std::uint8_t> joined;
    std::span<const std::uint8_t> first;
    if (!FirstPiece(input, joined, first)) return false;
    if (DetectTransportStream(first.first(std::min(first.size(), kSniff))))
        return DecodeTransportStream(input, first, options, handlers, err);
    if (options.WantsTransportStream || EndsWith(options.Name, ".ts") || EndsWith(options.Name, ".m2ts"))
        err << "ttxdump: warning: " << options.Name
            << " is not an MPEG transport stream; read as raw 42-byte packets\n";
    return DecodeRaw(input, first, options, handlers, err);
}

int ListServices(ByteSource& input, const std::string& name, std::ostream& out, std::ostream& err) {
    std::vector<std::uint8_t> joined;
    std::span<const std::uint8_t> piece;
    if (!FirstPiece(input, joined, piece)) return 2;
    if (!DetectTransportStream(piece.first(std::min(piece.size(), kSniff)))) {
        err << "ttxdump: warning: " << name << " is not an MPEG transport stream\n";
        return 1;
    }
    // The tables repeat all through a stream: read until they are all there.
    TransportStreamReader reader;
    std::vector<TimedPacket> ignored;
    while (!piece.empty() && !reader.ServicesComplete()) {
        for (std::size_t at = 0; at < piece.size() && !reader.ServicesComplete(); at += kChunk) {
            reader.Feed(piece.subspan(at, std::min(kChunk, piece.size() - at)), ignored);
            ignored.clear();
        }
        if (reader.ServicesComplete()) break;
        const auto next = input.Next();
        if (!next) return 2;
        piece = *next;
    }
    for (const auto& service : reader.Services()) {
        out << service.Id << "\t\"" << service.Name << "\"\t";
        if (service.Teletext.empty()) out << "no teletext";
        for (std::size_t i = 0; i < service.Teletext.size(); ++i) {
            const TsTeletextStream& s = service.Teletext[i];
            out << (i ? ", " : "") << "teletext pid " << s.Pid << " (";
            if (s.Entries.empty()) out << "?, " << TeletextTypeName(0);
            // Every entry of the descriptor: the subtitle pages are among them.
            for (std::size_t e = 0; e < s.Entries.size(); ++e) {
                const TeletextDescriptorEntry& entry = s.Entries[e];
                out << (e ? "; " : "") << (entry.Language.empty() ? "?" : entry.Language) << ", "
                    << TeletextTypeName(entry.Type);
                if (entry.Page) out << ' ' << std::hex << std::uppercase << entry.Page << std::dec;
            }
            out << ')';
        }
        out << '\n';
    }
    ReportLimits(name, reader, err);
    if (reader.Services().empty()) {
        // No tables: a teletext stream may still be found in its PES packets.
        if (reader.FoundByProbing()) {
            out << "-\t\"\"\tteletext pid " << *reader.TeletextPid() << " (?, " << TeletextTypeName(0) << ")\n";
            ReportProbed(name, *reader.TeletextPid(), err);
            return 0;
        }
        err << "ttxdump: no service in " << name << '\n';
        return 1;
    }
    return 0;
}

}  // namespace orv
