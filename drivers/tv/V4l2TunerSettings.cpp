#include "drivers/tv/V4l2TunerSettings.h"

#include "platform/Registry.h"

namespace orv {

V4l2TunerSettings ReadV4l2TunerSettings(const Registry& registry) {
    V4l2TunerSettings settings;
    if (const auto device = registry.ReadString(kV4l2TunerKey, "Device"); device && !device->empty())
        settings.Device = *device;
    settings.Plan = ReadChannelPlan(registry, kV4l2TunerKey);
    return settings;
}

}  // namespace orv
