#include "tv/TunerChannels.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Registry.h"

namespace orv {

namespace {

std::string ChannelKey(std::uint16_t channel) { return std::string(kTunerChannelsKey) + "\\" + std::to_string(channel); }

std::string TrimSpaces(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int Append(TunerChannels& channels, std::size_t i, const std::string& name) {
    channels.ListEntries.push_back(name);
    const int index = static_cast<int>(channels.ListEntries.size()) - 1;
    channels.ChannelItems[i] = index;
    return index;
}

// Learning needs two table entries and a channel inside the table.
std::optional<std::size_t> LearnableIndex(const TunerChannels& channels) {
    if (channels.ChannelNames.size() < 2) return std::nullopt;
    return channels.CurrentIndex();
}

}  // namespace

std::optional<std::size_t> TunerChannels::CurrentIndex() const {
    if (CurrentChannel < MinChannel) return std::nullopt;
    const std::size_t i = CurrentChannel - MinChannel;
    if (i >= ChannelNames.size()) return std::nullopt;
    return i;
}

void TunerChannels::StepDown() {
    if (CurrentChannel > MinChannel)
        --CurrentChannel;
    else
        CurrentChannel = MaxChannel;
}

void TunerChannels::StepUp() {
    if (CurrentChannel < MaxChannel)
        ++CurrentChannel;
    else
        CurrentChannel = MinChannel;
}

std::string TunerChannels::TuneCaption() {
    if (CurrentChannel > MaxChannel) CurrentChannel = MaxChannel;
    if (CurrentChannel < MinChannel) CurrentChannel = MinChannel;
    const auto i = CurrentIndex();
    if (!i) return std::to_string(CurrentChannel);
    if (ChannelNames[*i].empty()) ChannelNameWanted = true;
    return ChannelNames[*i];
}

int TunerChannels::ListIndexOfCurrent() const {
    const auto i = CurrentIndex();
    if (!i || *i >= ChannelItems.size()) return -1;
    const int index = ChannelItems[*i];
    return index >= 0 && index < static_cast<int>(ListEntries.size()) ? index : -1;
}

std::optional<std::uint16_t> TunerChannels::ChannelOfListIndex(int index) const {
    const auto it = std::find(ChannelItems.begin(), ChannelItems.end(), index);
    if (index < 0 || it == ChannelItems.end()) return std::nullopt;
    return static_cast<std::uint16_t>(MinChannel + (it - ChannelItems.begin()));
}

bool LoadChannelNames(const Registry& registry, TunerChannels& channels) {
    if (channels.MaxChannel == 0 || channels.MinChannel == 0) return false;
    if (channels.MaxChannel < channels.MinChannel)
        throw std::length_error("The channel range ends below its start");
    const std::size_t count = channels.MaxChannel - channels.MinChannel;
    channels.ListEntries.clear();
    channels.ChannelNames.assign(count, std::string());
    channels.ChannelItems.assign(count, -1);
    bool listed = false;
    for (std::size_t i = 0; i < count; ++i) {
        const auto channel = static_cast<std::uint16_t>(channels.MinChannel + i);
        const std::string key = ChannelKey(channel);
        if (!registry.KeyExists(key)) {
            channels.ChannelNames[i] = std::to_string(channel);
            Append(channels, i, channels.ChannelNames[i]);
            listed = true;
            continue;
        }
        const std::string name = TrimSpaces(registry.ReadString(key, "Channel Name").value_or(""));
        if (name.empty()) continue;
        channels.ChannelNames[i] = name;
        Append(channels, i, name);
        listed = true;
    }
    return listed;
}

std::uint16_t ReadTunerCurrentChannel(const Registry& registry, std::uint16_t current) {
    const auto value = registry.ReadInteger(kTunerChannelsKey, "Current Channel");
    return value ? static_cast<std::uint16_t>(*value) : current;
}

void SaveChannelName(Registry& registry, std::uint16_t channel, const std::string& name) {
    const std::string key = ChannelKey(channel);
    registry.Transaction([&](Registry::Editor& editor) {
        return editor.KeyExists(key) && editor.WriteString(key, "Channel Name", name);
    });
}

std::optional<LearnedName> LearnChannelNameOnPage(TunerChannels& channels, const std::string& stationName) {
    channels.ChannelNameWanted = false;
    const auto i = LearnableIndex(channels);
    if (!i || !channels.ChannelNames[*i].empty()) return std::nullopt;
    std::string name = TrimSpaces(stationName).empty()
                           ? std::to_string(channels.CurrentChannel) + kUnnamedChannelSuffix
                           : stationName;
    channels.ChannelNames[*i] = name;
    const int index = Append(channels, *i, name);
    return LearnedName{std::move(name), index, true};
}

std::optional<LearnedName> LearnChannelNameOnStation(TunerChannels& channels, const std::string& stationName) {
    const auto i = LearnableIndex(channels);
    if (stationName.empty() || !i) return std::nullopt;
    std::string& entry = channels.ChannelNames[*i];
    const bool placeholder = entry.find(kUnnamedChannelSuffix) != std::string::npos;
    if (!entry.empty() && !placeholder) return std::nullopt;
    if (placeholder) {
        const auto it = std::find(channels.ListEntries.begin(), channels.ListEntries.end(), entry);
        if (it != channels.ListEntries.end()) {
            *it = stationName;
            entry = stationName;
            return LearnedName{stationName, static_cast<int>(it - channels.ListEntries.begin()), false};
        }
    }
    entry = stationName;
    return LearnedName{stationName, Append(channels, *i, stationName), true};
}

}  // namespace orv
