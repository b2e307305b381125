// The replay library's source: the demo broadcast, a folder of .tti pages or
// a .t42 recording, at the rate in its settings.
#include "drivers/capture/CaptureBackend.h"
#include "drivers/replay/ReplaySettings.h"
#include "platform/Registry.h"

namespace orv {

std::unique_ptr<PacedReplay> OpenCaptureBackend(const Registry& registry) {
    const ReplaySettings settings = ReadReplaySettings(registry);
    if (settings.Source == "none") return nullptr;  // stepping aside for the VBI device
    std::string error;
    auto source = OpenPacketSource(settings.Source, settings.PacketsPerSecond, error);
    if (!source) return nullptr;
    PacedReplay::Options options;
    options.PacketsPerSecond = settings.PacketsPerSecond;
    return std::make_unique<PacedReplay>(std::move(source), options);
}

}  // namespace orv
