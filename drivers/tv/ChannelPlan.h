// Channel numbers and the picture carrier of each, the way the TV driver
// offers them to the viewer.
//
// The default is the European CCIR plan for PAL B/G, numbered by the channels'
// own E-numbers: 2..12 in VHF (E2-E4 in band I, E5-E12 in band III) and 21..69
// in UHF. 13..20 are inside the range but have no frequency unless the
// registry gives one (cable channels, for example).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

namespace orv {

class Registry;

class ChannelPlan {
public:
    // Channel numbers the plan accepts, and picture carriers a tuner can tune.
    static constexpr std::uint16_t kLowestChannel = 1;
    static constexpr std::uint16_t kHighestChannel = 999;
    static constexpr std::uint32_t kLowestKHz = 30'000;
    static constexpr std::uint32_t kHighestKHz = 1'000'000;

    static ChannelPlan European();

    std::uint16_t Min() const { return min_; }
    std::uint16_t Max() const { return max_; }
    // Empty for a channel outside the range or without a frequency.
    std::optional<std::uint32_t> FrequencyKHz(std::uint32_t channel) const;

    // Both ignore values outside the limits above (and a range that ends
    // before it begins); true when taken.
    bool SetRange(std::uint32_t min, std::uint32_t max);
    bool SetFrequency(std::uint32_t channel, std::uint32_t kHz);

private:
    std::uint16_t min_ = kLowestChannel;
    std::uint16_t max_ = kLowestChannel;
    std::map<std::uint16_t, std::uint32_t> kHz_;
};

// The European plan with the overrides under that registry key: "MinChannel"
// and "MaxChannel" (DWORDs) and "Channel <n>" (DWORD, kHz).
ChannelPlan ReadChannelPlan(const Registry& registry, std::string_view key);

}  // namespace orv
