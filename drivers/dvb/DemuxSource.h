// Live DVB teletext from a Linux DVB demux device (/dev/dvb/adapterN/demuxM)
// that another program has tuned: section filters for the PAT, the SDT and
// each PMT, and a transport stream tap on the teletext PID. Everything is
// read without blocking, whenever the capture library is read.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>

#include "drivers/dvb/DvbSource.h"

namespace orv {

// The system calls the demux is used through; tests put a fake device behind them.
class DemuxCalls {
public:
    virtual ~DemuxCalls() = default;
    virtual int Open(const std::string& path, int flags);
    virtual int Ioctl(int fd, unsigned long request, void* argument);
    virtual ssize_t Read(int fd, void* buffer, std::size_t size);
    virtual void Close(int fd);
};

class DemuxSource : public TeletextQueueSource {
public:
    // None, with the reason in error, when the demux cannot be opened or
    // carries no teletext that the choice finds within the wait (the tables
    // repeat a few times a second).
    static std::unique_ptr<DemuxSource> Open(const std::string& demuxPath, const TsChoice& choice, std::string& error,
                                             std::shared_ptr<DemuxCalls> calls = std::make_shared<DemuxCalls>(),
                                             std::chrono::milliseconds wait = std::chrono::milliseconds(3000));
    ~DemuxSource() override;

    std::optional<std::uint64_t> Waiting(std::chrono::microseconds sinceStart) override;
    std::vector<TeletextDescriptorEntry> TeletextEntries() const override { return reader_.DescriptorEntries(); }

private:
    DemuxSource(std::string path, TsChoice choice, std::shared_ptr<DemuxCalls> calls);
    bool OpenSectionFilter(std::uint16_t pid, std::uint8_t table);
    void Poll();
    void FollowTables();  // filters for the PMTs of the PAT and the teletext PID chosen

    std::string path_;
    std::shared_ptr<DemuxCalls> calls_;
    TransportStreamReader reader_;
    std::map<std::uint16_t, int> sectionFilters_;  // PID -> handle
    int tap_ = -1;
    std::optional<std::uint16_t> tapPid_;
    std::vector<std::uint8_t> buffer_;
    std::vector<TimedPacket> decoded_;
};

// The demux device of a "Source" value: an adapter folder (its demux0), or
// the device itself.
std::string DemuxDevicePath(const std::string& source);

}  // namespace orv
