#include "drivers/replay/ReplaySettings.h"

#include "platform/Registry.h"

namespace orv {

ReplaySettings ReadReplaySettings(const Registry& registry, const char* key) {
    ReplaySettings settings;
    if (const auto source = registry.ReadString(key, "Source")) settings.Source = *source;
    if (const auto rate = registry.ReadInteger(key, "Rate"); rate && *rate <= 1'000'000)
        settings.PacketsPerSecond = static_cast<int>(*rate);
    return settings;
}

}  // namespace orv
