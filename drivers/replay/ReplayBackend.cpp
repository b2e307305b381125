// The replay library's source: the demo broadcast, a folder of .tti pages or
// a .t42 recording, at the rate in its settings.
#include "drivers/capture/CaptureBackend.h"
#include "drivers/replay/ReplaySettings.h"
#include "platform/Registry.h"

namespace orv {

std::unique_ptr<PacedReplay> OpenCaptureBackend(const Registry& registry, std::string& error) {
    const ReplaySettings settings = ReadReplaySettings(registry);
    if (settings.Source == "none") {  // stepping aside for the VBI device
        error = "replay \"Source\" is \"none\"";
        return nullptr;
    }
    auto source = OpenPacketSource(settings.Source, settings.PacketsPerSecond, error);
    if (!source) {
        error = "replay \"Source\" " + settings.Source + ": " + error;
        return nullptr;
    }
    PacedReplay::Options options;
    options.PacketsPerSecond = settings.PacketsPerSecond;
    return std::make_unique<PacedReplay>(std::move(source), options);
}

}  // namespace orv
