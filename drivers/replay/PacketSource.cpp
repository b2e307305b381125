#include "drivers/replay/PacketSource.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "drivers/broadcast/DemoBroadcast.h"

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
    explicit RecordingSource(std::ifstream file) : file_(std::move(file)) {}

    std::size_t Next(std::span<tVTXPacket> packets, bool& wrapped) override {
        wrapped = false;
        std::size_t done = 0;
        while (done < packets.size()) {
            file_.read(reinterpret_cast<char*>(packets[done].Bytes.data()), kPacketSize);
            if (file_.gcount() == kPacketSize) {
                ++done;
                continue;
            }
            // End of the recording (a cut last packet is dropped): start over.
            file_.clear();
            file_.seekg(0);
            if (done == 0 && everDelivered_ == 0) return 0;  // nothing whole in it at all
            wrapped = true;
            break;
        }
        everDelivered_ += done;
        return done;
    }

private:
    std::ifstream file_;
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
    std::ifstream file(source, std::ios::binary);
    if (!file) {
        error = "cannot open " + source;
        return nullptr;
    }
    return std::make_unique<RecordingSource>(std::move(file));
}

}  // namespace orv
