#include "drivers/tv/ChannelPlan.h"

#include <charconv>
#include <string>

#include "platform/Registry.h"

namespace orv {
namespace {

constexpr std::string_view kChannelPrefix = "channel ";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != prefix[i]) return false;
    }
    return true;
}

// The n of a value named "Channel <n>" (any case, decimal digits only).
std::optional<std::uint32_t> ChannelOfValueName(std::string_view name) {
    if (!StartsWithNoCase(name, kChannelPrefix)) return std::nullopt;
    const std::string_view digits = name.substr(kChannelPrefix.size());
    if (digits.empty() || digits.size() > 9 || digits.front() < '0' || digits.front() > '9') return std::nullopt;
    std::uint32_t channel = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), channel);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return channel;
}

}  // namespace

ChannelPlan ChannelPlan::European() {
    ChannelPlan plan;
    plan.min_ = 2;
    plan.max_ = 69;
    // Band I: E2-E4, 7 MHz apart from 48.25 MHz.
    for (std::uint16_t channel = 2; channel <= 4; ++channel) plan.kHz_[channel] = 48'250 + (channel - 2) * 7'000;
    // Band III: E5-E12, 7 MHz apart from 175.25 MHz.
    for (std::uint16_t channel = 5; channel <= 12; ++channel) plan.kHz_[channel] = 175'250 + (channel - 5) * 7'000;
    // UHF bands IV and V: 21-69, 8 MHz apart from 471.25 MHz.
    for (std::uint16_t channel = 21; channel <= 69; ++channel) plan.kHz_[channel] = 471'250 + (channel - 21) * 8'000;
    return plan;
}

std::optional<std::uint32_t> ChannelPlan::FrequencyKHz(std::uint32_t channel) const {
    if (channel < min_ || channel > max_) return std::nullopt;
    const auto found = kHz_.find(static_cast<std::uint16_t>(channel));
    if (found == kHz_.end()) return std::nullopt;
    return found->second;
}

bool ChannelPlan::SetRange(std::uint32_t min, std::uint32_t max) {
    if (min < kLowestChannel || max > kHighestChannel || min > max) return false;
    min_ = static_cast<std::uint16_t>(min);
    max_ = static_cast<std::uint16_t>(max);
    return true;
}

bool ChannelPlan::SetFrequency(std::uint32_t channel, std::uint32_t kHz) {
    if (channel < kLowestChannel || channel > kHighestChannel) return false;
    if (kHz < kLowestKHz || kHz > kHighestKHz) return false;
    kHz_[static_cast<std::uint16_t>(channel)] = kHz;
    return true;
}

ChannelPlan ReadChannelPlan(const Registry& registry, std::string_view key) {
    ChannelPlan plan = ChannelPlan::European();
    const auto min = registry.ReadInteger(key, "MinChannel");
    const auto max = registry.ReadInteger(key, "MaxChannel");
    if (min || max) plan.SetRange(min.value_or(plan.Min()), max.value_or(plan.Max()));
    // Listed once rather than asked for every channel number: each read looks at the file.
    for (const std::string& name : registry.ValueNames(key)) {
        const auto channel = ChannelOfValueName(name);
        if (!channel) continue;
        if (const auto kHz = registry.ReadInteger(key, name)) plan.SetFrequency(*channel, *kHz);
    }
    return plan;
}

}  // namespace orv
