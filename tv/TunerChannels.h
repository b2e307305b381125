// The tuner's channels as the viewer keeps them: the range, the channel in
// use, the names from the TV player's registry tree and the entries of the
// channel drop-down list, with the rules for stepping, tuning and learning
// names. No window here: the main window mirrors ListEntries in its list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv {

class Registry;

inline constexpr char kTunerChannelsKey[] = "\\SOFTWARE\\ORV Technologies\\MultiMedia\\Features\\TV\\Tuner";
inline constexpr char kUnnamedChannelSuffix[] = " Name?";

struct TunerChannels {
    std::uint16_t MinChannel = 0;
    std::uint16_t MaxChannel = 0;
    std::uint16_t CurrentChannel = 0;
    // One entry per channel from MinChannel to MaxChannel - 1: the highest
    // channel has none. Empty text: no name.
    std::vector<std::string> ChannelNames;
    // The channel's index in ListEntries, -1 when it is not listed.
    std::vector<std::int32_t> ChannelItems;
    std::vector<std::string> ListEntries;  // the drop-down list's texts
    bool ChannelNameWanted = false;

    // The table index of the current channel, none beyond the table.
    std::optional<std::size_t> CurrentIndex() const;

    // Steps with wrap-around, as the channel buttons do.
    void StepDown();  // "Prev channel"
    void StepUp();    // "Next channel"

    // Clamps the current channel into the range and gives the caption of the
    // channel label; an unnamed channel with a table entry wants a name.
    std::string TuneCaption();

    // The list entry to select for the current channel, -1 for none.
    int ListIndexOfCurrent() const;
    // The channel a chosen list entry stands for; none when no entry has it.
    std::optional<std::uint16_t> ChannelOfListIndex(int index) const;
};

// Fills the tables and the list from the channel keys; true when at least one
// channel was listed. A range with 0 at either end lists nothing and changes
// nothing; one whose highest channel is below its lowest throws
// std::length_error, as sizing the tables cannot succeed.
bool LoadChannelNames(const Registry& registry, TunerChannels& channels);

// The TV player's "Current Channel"; current when it has none.
std::uint16_t ReadTunerCurrentChannel(const Registry& registry, std::uint16_t current);

// Writes the name into the channel's key when that key exists; never makes one.
void SaveChannelName(Registry& registry, std::uint16_t channel, const std::string& name);

// What learning changed in the list: a new entry at the end, or an entry
// renamed.
struct LearnedName {
    std::string Name;
    int ListIndex = -1;
    bool Appended = false;
};

// A page was drawn while the channel wants a name: the station name when it
// has more than spaces, else the channel number and " Name?". Names are
// learned only with two or more table entries, for a channel in the table.
std::optional<LearnedName> LearnChannelNameOnPage(TunerChannels& channels, const std::string& stationName);
// A station name arrived: it replaces a missing name or a " Name?" placeholder.
std::optional<LearnedName> LearnChannelNameOnStation(TunerChannels& channels, const std::string& stationName);

}  // namespace orv
