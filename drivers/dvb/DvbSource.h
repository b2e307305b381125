// DVB teletext sources for the capture library: a transport stream recording
// played in a loop at the pace of its own clock, and (DemuxSource.h) a live
// DVB demux device. Both queue what the transport stream reader decodes.
#pragma once

#include <deque>
#include <string>

#include "acquisition/TransportStream.h"
#include "drivers/replay/PacketSource.h"
#include "platform/UniqueFd.h"

namespace orv {

// Decoded packets waiting to be read, each with its due time and whether a
// read has to stop before it (the recording started over, or another
// service begins there).
class TeletextQueueSource : public PacketSource {
public:
    std::size_t Next(std::span<tVTXPacket> packets, bool& wrapped) override;
    bool TakeStreamChange() override;

protected:
    struct Entry {
        tVTXPacket Packet;
        std::int64_t DueUs = 0;  // on the source's own clock
        bool Wrap = false;
        bool Change = false;
    };
    void Queue(const std::vector<TimedPacket>& packets, bool wrapFirst);

    std::deque<Entry> queue_;
    std::int64_t clockUs_ = 0;    // stream time of the newest packet, made monotonic
    std::int64_t lastTime_ = -1;  // its 90 kHz time stamp
    std::uint32_t stream_ = 0;    // reader's change count of the newest packet
    bool changeTaken_ = false;
};

class DvbRecording : public TeletextQueueSource {
public:
    // None, with the reason in error, for what is not a readable transport
    // stream recording with teletext in it.
    static std::unique_ptr<DvbRecording> Open(const std::string& path, const TsChoice& choice, std::string& error);

    void Start() override;
    std::optional<std::uint64_t> Waiting(std::chrono::microseconds sinceStart) override;
    std::vector<TeletextDescriptorEntry> TeletextEntries() const override { return reader_.DescriptorEntries(); }

private:
    DvbRecording(UniqueFd file, TsChoice choice);
    bool ReadMore();  // false at a read error

    UniqueFd file_;
    TransportStreamReader reader_;
    bool wrapNext_ = false;
    bool anchored_ = false;
    std::int64_t anchorUs_ = 0;  // clock time that is due at sinceStart 0
    std::vector<std::uint8_t> buffer_;
    std::vector<TimedPacket> decoded_;
};

}  // namespace orv
