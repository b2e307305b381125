#include "drivers/tv/SimCardSettings.h"

#include <optional>

#include "platform/Registry.h"

namespace orv {

namespace {

std::uint16_t ReadChannel(const Registry& registry, const char* name, std::uint16_t fallback) {
    const std::optional<std::uint32_t> value = registry.ReadInteger(kSimCardKey, name);
    return value && *value <= 0xFFFF ? static_cast<std::uint16_t>(*value) : fallback;
}

}  // namespace

SimCardRange ReadSimCardRange(const Registry& registry) {
    SimCardRange range;
    range.Min = ReadChannel(registry, "MinChannel", range.Min);
    range.Max = ReadChannel(registry, "MaxChannel", range.Max);
    return range;
}

}  // namespace orv
