// ttxdump's input: a recording read as a stream, either an MPEG transport
// stream (recognised by its content) or raw 42-byte packets, handed on in
// batches; and the service list of a transport stream.
#pragma once

#include <sys/types.h>

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/TransportStream.h"
#include "acquisition/UTeletextTypes.h"

namespace orv {

// Successive pieces of an input, read in chunks: memory does not grow with
// the input. An empty piece is the end; none is a read error.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::optional<std::span<const std::uint8_t>> Next() = 0;
    // The device and inode of the file read, when known.
    virtual std::optional<std::pair<dev_t, ino_t>> Identity() const { return std::nullopt; }
};

// The stream; fd, when not -1, is the descriptor it reads (for Identity).
std::unique_ptr<ByteSource> StreamBytes(std::istream& in, int fd = -1);
// A file by name; none, with the reason in error, when it cannot be opened.
std::unique_ptr<ByteSource> FileBytes(const std::string& path, std::string& error);

struct PacketHandlers {
    std::function<void(std::span<const tVTXPacket>)> Packets;
    std::function<void()> StreamChanged;  // another service from here on
    std::function<void()> Ended;          // the input ended, before the damage is told
    // Transport streams only, when set: the stream time (90 kHz, 33 bits; -1
    // none) of the packets delivered next, and the end of each PES packet.
    std::function<void(std::int64_t)> Time{};
    std::function<void()> PesEnd{};
    // The teletext descriptor's entries of the stream decoded, when they change.
    std::function<void(const std::vector<TeletextDescriptorEntry>&)> Descriptor{};
};

struct InputOptions {
    std::string Name;  // for messages
    TsChoice Choice;
    bool WantsTransportStream = false;  // service options were given
    // The clock of a recording of raw packets (which carries none), for the
    // Time handler: a time for each field's worth of packets.
    double PacketsPerSecond = 800;
    // Sub-pages the page store dropped to stay within its limits, counted
    // with the damage at the end.
    std::function<std::uint64_t()> DroppedPages;
};

// Reads the input to its end. False when reading failed; warnings go to err.
bool DecodeInput(ByteSource& input, const InputOptions& options, const PacketHandlers& handlers, std::ostream& err);

// Each service of a transport stream: id, name and teletext streams, a line
// each. The exit status: 0 listed, 1 no service found, 2 unreadable.
int ListServices(ByteSource& input, const std::string& name, std::ostream& out, std::ostream& err);

}  // namespace orv
