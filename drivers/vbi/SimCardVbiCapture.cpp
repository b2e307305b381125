// The VBI back-end "simcard": the teletext of the simulated TV card. It
// watches the card's tuner through the driver library the viewer tunes with
// (the same instance: loading a loaded library finds it again) and, like a
// real card, receives another broadcast the moment the tuner moves.
#include <memory>
#include <optional>
#include <string>

#include "drivers/replay/PacedReplay.h"
#include "drivers/replay/ReplaySettings.h"
#include "drivers/tv/SimCardSettings.h"
#include "drivers/vbi/SimCardChannels.h"
#include "drivers/vbi/VbiBackend.h"
#include "platform/Registry.h"
#include "platform/SharedLibrary.h"
#include "tv/TVDriverAbi.h"

namespace orv {

namespace {

constexpr std::uint32_t kTunerSource = 1;

struct Tuning {
    std::uint32_t Channel = 0;
    std::uint32_t Source = 0;
    bool operator==(const Tuning&) const = default;
};

class SimCardVbiCapture : public VbiCapture {
public:
    SimCardVbiCapture(std::shared_ptr<SharedLibrary> library, OrvSimCardQuery* channel, OrvSimCardQuery* source,
                      std::string registryPath)
        : library_(std::move(library)), channel_(channel), source_(source), registryPath_(std::move(registryPath)) {}

    std::uint32_t Query() override { return 1; }
    std::uint32_t Configure(std::uint32_t) override { return 0; }
    std::uint32_t Release() override { return 0; }

    std::uint32_t Start() override {
        started_ = true;
        Follow();
        if (replay_ && !replay_->Started()) replay_->Start();
        return 0;
    }

    std::uint32_t Stop() override {
        started_ = false;
        if (replay_) replay_->Stop();
        return 0;
    }

    std::uint32_t Read(std::span<tVTXPacket> packets, std::size_t& count, std::uint32_t& status) override {
        count = 0;
        status = 0;
        Follow();
        if (replay_) count = replay_->Read(packets, status);
        return 0;  // no teletext on this channel is no error: a card reads empty lines
    }

private:
    void Follow() {
        const Tuning now{channel_(), source_()};
        if (tuned_ && *tuned_ == now) return;
        tuned_ = now;
        replay_ = OpenReplay(now);
        if (replay_ && started_) replay_->Start();
    }

    // The paced broadcast of a channel; none without teletext. The settings
    // are read at each change, so a mapping edited meanwhile counts.
    std::unique_ptr<PacedReplay> OpenReplay(const Tuning& tuning) const {
        if (tuning.Source != kTunerSource) return nullptr;  // composite or S-Video: no teletext
        try {
            const Registry registry(registryPath_);
            const int rate = ReadReplaySettings(registry, kVbiSettingsKey).PacketsPerSecond;
            auto source = OpenSimCardChannel(registry, tuning.Channel, rate);
            if (!source) return nullptr;
            PacedReplay::Options options;
            options.PacketsPerSecond = rate;
            return std::make_unique<PacedReplay>(std::move(source), options);
        } catch (...) {
            return nullptr;  // an unusable mapping is a channel without teletext
        }
    }

    std::shared_ptr<SharedLibrary> library_;  // keeps the two entries below loaded
    OrvSimCardQuery* channel_;
    OrvSimCardQuery* source_;
    std::string registryPath_;
    bool started_ = false;
    std::optional<Tuning> tuned_;
    std::unique_ptr<PacedReplay> replay_;
};

}  // namespace

std::unique_ptr<VbiCapture> OpenSimCardVbiCapture(const Registry& registry) {
    const auto driver = registry.ReadString(kTVDriverKey, kTVDriverValue);
    if (!driver || driver->empty()) return nullptr;
    auto library = SharedLibrary::Open(ProgramRelativePath(driver->substr(0, driver->find('\0'))));
    if (!library) return nullptr;
    auto* channel = library->Entry<OrvSimCardQuery>(kSimCardTunedChannelEntry);
    auto* source = library->Entry<OrvSimCardQuery>(kSimCardSourceEntry);
    if (!channel || !source) return nullptr;  // a TV driver, but not the simulated card
    return std::make_unique<SimCardVbiCapture>(std::move(library), channel, source, registry.Path());
}

}  // namespace orv
