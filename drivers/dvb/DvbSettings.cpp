#include "drivers/dvb/DvbSettings.h"

#include "platform/Registry.h"

namespace orv {

DvbSettings ReadDvbSettings(const Registry& registry) {
    DvbSettings settings;
    if (const auto source = registry.ReadString(kDvbKey, "Source"); source && !source->empty())
        settings.Source = *source;
    // Values out of range are taken as not set.
    if (const auto id = registry.ReadInteger(kDvbKey, "ServiceId"); id && *id <= 0xFFFF)
        settings.Choice.ServiceId = static_cast<std::uint16_t>(*id);
    else if (const auto name = registry.ReadString(kDvbKey, "ServiceName"); name && !name->empty())
        settings.Choice.ServiceName = *name;
    else if (const auto pid = registry.ReadInteger(kDvbKey, "PID"); pid && *pid < kNullPid)
        settings.Choice.Pid = static_cast<std::uint16_t>(*pid);
    return settings;
}

}  // namespace orv
