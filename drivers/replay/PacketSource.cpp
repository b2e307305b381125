#include "drivers/replay/PacketSource.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "drivers/broadcast/DemoBroadcast.h"
#include "platform/InputFile.h"

namespace orv {

namespace {

class BroadcastSource : public PacketSource {
public:
    BroadcastSource(std::vector<TtiPage> pages, int packetsPerSecond)
        : broadcast_(std::move(pages), Options(packetsPerSecond)) {}

    std::size_t Next(std::span<tVTXPacket> packets, bool& wrapped) override {
        wrapped = false;
        broadcast_.Fill(packets);
        return packets.size();
    }

private:
    static BroadcastOptions Options(int packetsPerSecond) {
        BroadcastOptions options;
        if (packetsPerSecond > 0) options.PacketsPerSecond = packetsPerSecond;
        return options;
    }
    DemoBroadcast broadcast_;
};

// A recording, read in chunks and started over at its end.
class RecordingSource : public PacketSource {
public:
    explicit RecordingSource(UniqueFd file) : file_(std::move(file)) {}

    std::size_t Next(std::span<tVTXPacket> packets, bool& wrapped) override {
        wrapped = false;
        std::size_t done = 0;
        while (done < packets.size()) {
            if (ReadPacket(packets[done])) {
                ++done;
                continue;
            }
            // End of the recording (a cut last packet is dropped): start over.
            ::lseek(file_.Get(), 0, SEEK_SET);
            if (done == 0 && everDelivered_ == 0) return 0;  // nothing whole in it at all
            wrapped = true;
            break;
        }
        everDelivered_ += done;
        return done;
    }

private:
    // False at the end, or a read error, before a whole packet.
    bool ReadPacket(tVTXPacket& packet) {
        std::size_t have = 0;
        while (have < kPacketSize) {
            const ssize_t got = ::read(file_.Get(), packet.Bytes.data() + have, kPacketSize - have);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            have += static_cast<std::size_t>(got);
        }
        return true;
    }

    UniqueFd file_;
    std::size_t everDelivered_ = 0;
};

}  // namespace

std::unique_ptr<PacketSource> OpenPacketSource(const std::string& source, int packetsPerSecond,
                                               std::string& error) {
    if (source.empty() || source == "demo")
        return std::make_unique<BroadcastSource>(BuiltInDemoPages(), packetsPerSecond);

    std::error_code ec;
    if (std::filesystem::is_directory(source, ec)) {
        std::vector<std::string> messages;
        std::vector<TtiPage> pages = LoadTtiFolder(source, messages);
        if (pages.empty()) {
            error = "no page files in " + source;
            return nullptr;
        }
        return std::make_unique<BroadcastSource>(std::move(pages), packetsPerSecond);
    }
    // Without blocking, and only a regular file: a FIFO named here must not
    // hold up the viewer's start.
    UniqueFd file = OpenInputFile(source, error);
    if (!file) return nullptr;
    return std::make_unique<RecordingSource>(std::move(file));
}

}  // namespace orv
