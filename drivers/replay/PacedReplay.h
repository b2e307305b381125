// Delivers a packet source at the broadcast rate, as a capture card would:
// packets become due as time passes, a read takes at most what it asks for,
// and the status bits tell the reader how it keeps up.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "drivers/replay/PacketSource.h"

namespace orv {

class PacedReplay {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    struct Options {
        int PacketsPerSecond = 1600;  // 32 lines a field, 50 fields a second; 0: as fast as it is read
        std::size_t Capacity = 4000;  // packets the "card" holds before the oldest are lost
    };

    PacedReplay(std::unique_ptr<PacketSource> source, Options options, Clock clock = DefaultClock);

    void Start();  // packets become due from now on
    void Stop();   // nothing is delivered while stopped
    void Flush();  // what is waiting is dropped
    bool Started() const { return started_; }
    std::vector<TeletextDescriptorEntry> TeletextEntries() const { return source_->TeletextEntries(); }

    // One read of at most packets.size() packets. Status: 1 when more than a
    // read's worth was waiting, 2 when the waiting packets filled more than
    // half the capacity (older ones are dropped beyond it). A read ends where
    // the source starts over; that is no reset (4), the source is the same.
    std::size_t Read(std::span<tVTXPacket> packets, std::uint32_t& status);

    static std::chrono::steady_clock::time_point DefaultClock() { return std::chrono::steady_clock::now(); }

private:
    std::uint64_t Due() const;
    void Skip(std::uint64_t count);

    std::unique_ptr<PacketSource> source_;
    Options options_;
    Clock clock_;
    bool started_ = false;
    std::chrono::steady_clock::time_point start_;
    std::uint64_t consumed_ = 0;  // packets delivered or dropped since Start
};

}  // namespace orv
