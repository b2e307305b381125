// ttxdump's input: a recording read as a stream, either an MPEG transport
// stream (recognised by its content) or raw 42-byte packets, handed on in
// batches; and the service list of a transport stream.
#pragma once

#include <functional>
#include <iosfwd>
#include <span>
#include <string>

#include "acquisition/TransportStream.h"
#include "acquisition/UTeletextTypes.h"

namespace orv {

struct PacketHandlers {
    std::function<void(std::span<const tVTXPacket>)> Packets;
    std::function<void()> StreamChanged;  // another service from here on
};

struct InputOptions {
    std::string Name;  // for messages
    TsChoice Choice;
    bool WantsTransportStream = false;  // service options were given
};

// Reads in to its end. False when reading failed; warnings go to err.
bool DecodeInput(std::istream& in, const InputOptions& options, const PacketHandlers& handlers, std::ostream& err);

// Each service of a transport stream: id, name and teletext streams, a line
// each. The exit status: 0 listed, 1 no service found, 2 unreadable.
int ListServices(std::istream& in, const std::string& name, std::ostream& out, std::ostream& err);

}  // namespace orv
