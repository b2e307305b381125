#include "drivers/vbi/VbiBackend.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "acquisition/VbiDevice.h"
#include "drivers/replay/PacedReplay.h"
#include "drivers/replay/ReplaySettings.h"
#include "platform/Registry.h"

namespace orv {

namespace {

std::uint32_t WordAt(std::span<const std::uint8_t> input, std::size_t index) {
    std::uint32_t word = 0;
    if ((index + 1) * 4 <= input.size()) std::memcpy(&word, input.data() + index * 4, 4);
    return word;
}

bool PutWord(std::span<std::uint8_t> output, std::size_t offset, std::uint32_t word) {
    if (offset + 4 > output.size()) return false;
    std::memcpy(output.data() + offset, &word, 4);
    return true;
}

class VbiBackendDevice : public Device {
public:
    explicit VbiBackendDevice(std::unique_ptr<VbiCapture> capture) : capture_(std::move(capture)) {}

    bool Control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override {
        returned = 0;
        switch (code) {
            case kVbiQuery:
                if (output.size() < kVbiQuerySize) return false;
                std::fill(output.begin(), output.end(), 0);
                PutWord(output, 4, capture_->Query());
                returned = kVbiQuerySize;
                return true;
            case kVbiConfigure:
                return Answer(output, capture_->Configure(WordAt(input, 0)), returned);
            case kVbiRelease:
                return Answer(output, capture_->Release(), returned);
            case kVbiStart:
                return Answer(output, capture_->Start(), returned);
            case kVbiStop:
                return Answer(output, capture_->Stop(), returned);
            case kVbiRead:
                return Read(WordAt(input, 0), output, returned);
            default:
                return false;  // not a request of this device
        }
    }

private:
    static bool Answer(std::span<std::uint8_t> output, std::uint32_t result, std::uint32_t& returned) {
        if (!PutWord(output, 0, result)) return false;
        returned = 4;
        return true;
    }

    bool Read(std::uint32_t maxPackets, std::span<std::uint8_t> output, std::uint32_t& returned) {
        if (output.size() < kVbiReadHeader) return false;
        const std::size_t room = (output.size() - kVbiReadHeader) / kPacketSize;
        const std::size_t max = std::min<std::size_t>({maxPackets, room, kVbiMaxPackets});
        packets_.resize(max);
        std::size_t count = 0;
        std::uint32_t status = 0;
        const std::uint32_t result = capture_->Read(packets_, count, status);
        count = std::min(count, max);
        PutWord(output, 0, result);
        PutWord(output, 4, status);
        PutWord(output, 8, 0);
        PutWord(output, 12, static_cast<std::uint32_t>(count));
        if (count > 0) std::memcpy(output.data() + kVbiReadHeader, packets_.data(), count * kPacketSize);
        returned = static_cast<std::uint32_t>(kVbiReadHeader + count * kPacketSize);
        return true;
    }

    std::unique_ptr<VbiCapture> capture_;
    std::vector<tVTXPacket> packets_;
};

// The simulated card: a paced replay of the demo broadcast or a recording.
class ReplayVbiCapture : public VbiCapture {
public:
    explicit ReplayVbiCapture(std::unique_ptr<PacedReplay> replay) : replay_(std::move(replay)) {}

    std::uint32_t Query() override { return 1; }
    std::uint32_t Configure(std::uint32_t) override { return 0; }
    std::uint32_t Release() override { return 0; }
    std::uint32_t Start() override {
        if (!replay_->Started()) replay_->Start();
        return 0;
    }
    std::uint32_t Stop() override {
        replay_->Stop();
        return 0;
    }
    std::uint32_t Read(std::span<tVTXPacket> packets, std::size_t& count, std::uint32_t& status) override {
        count = replay_->Read(packets, status);
        return 0;
    }

private:
    std::unique_ptr<PacedReplay> replay_;
};

}  // namespace

std::unique_ptr<Device> MakeVbiDevice(std::unique_ptr<VbiCapture> capture) {
    return std::make_unique<VbiBackendDevice>(std::move(capture));
}

std::unique_ptr<VbiCapture> OpenReplayVbiCapture(const Registry& registry) {
    const ReplaySettings settings = ReadReplaySettings(registry, kVbiSettingsKey);
    std::string error;
    auto source = OpenPacketSource(settings.Source, settings.PacketsPerSecond, error);
    if (!source) return nullptr;
    PacedReplay::Options options;
    options.PacketsPerSecond = settings.PacketsPerSecond;
    return std::make_unique<ReplayVbiCapture>(std::make_unique<PacedReplay>(std::move(source), options));
}

std::unique_ptr<Device> OpenConfiguredVbiDevice(const Registry& registry) {
    const std::string backend = registry.ReadString(kVbiSettingsKey, "Backend").value_or("v4l2");
    std::unique_ptr<VbiCapture> capture;
    if (backend == "replay")
        capture = OpenReplayVbiCapture(registry);
    else if (backend == "simcard")
        capture = OpenSimCardVbiCapture(registry);
    else if (backend == "v4l2")
        capture = OpenV4l2VbiCapture(registry.ReadString(kVbiSettingsKey, "Device").value_or("/dev/vbi0"));
    return capture ? MakeVbiDevice(std::move(capture)) : nullptr;
}

void RegisterVbiDevice(DeviceTable& devices, const Registry& registry) {
    devices.Register(kVbiDeviceName, [&registry] { return OpenConfiguredVbiDevice(registry); });
}

}  // namespace orv
