// The tuner's channel table: names from the TV player's keys, stepping,
// clamping, list choices and learning names from the station name.
#include <gtest/gtest.h>

#include <stdexcept>

#include "TestRegistry.h"
#include "tv/TunerChannels.h"

namespace orv {
namespace {

std::string Key(int channel) { return std::string(kTunerChannelsKey) + "\\" + std::to_string(channel); }

TEST(TunerChannels, NamesFromTheKeysAndTheHighestChannelWithoutAnEntry) {
    test::ScopedRegistry registry;
    registry->Transaction([](Registry::Editor& editor) {
        for (int n = 1; n <= 99; ++n) editor.WriteString(Key(n), "Channel Name", "  Station " + std::to_string(n) + " ");
        return true;
    });
    registry->DeleteKey(Key(3));                          // missing key: listed by number
    registry->DeleteValue(Key(4), "Channel Name");        // key without a name: not listed
    registry->WriteInteger(Key(5), "Channel Name", 5);    // not text: not listed
    TunerChannels channels;
    channels.MinChannel = 1;
    channels.MaxChannel = 99;
    ASSERT_TRUE(LoadChannelNames(*registry, channels));
    ASSERT_EQ(channels.ChannelNames.size(), 98u);
    EXPECT_EQ(channels.ChannelNames[0], "Station 1");
    EXPECT_EQ(channels.ChannelNames[2], "3");
    EXPECT_EQ(channels.ChannelNames[3], "");
    EXPECT_EQ(channels.ChannelItems[3], -1);
    EXPECT_EQ(channels.ChannelItems[4], -1);
    EXPECT_EQ(channels.ListEntries.size(), 96u);
    EXPECT_EQ(channels.ChannelOfListIndex(channels.ChannelItems[5]), 6);
    EXPECT_FALSE(channels.ChannelOfListIndex(-1));

    // Channel 99 has no entry: its number, no selection, no name to learn.
    channels.CurrentChannel = 150;  // a stored channel beyond the range
    EXPECT_EQ(channels.TuneCaption(), "99");
    EXPECT_EQ(channels.CurrentChannel, 99);
    EXPECT_EQ(channels.ListIndexOfCurrent(), -1);
    EXPECT_FALSE(channels.ChannelNameWanted);
    EXPECT_FALSE(LearnChannelNameOnStation(channels, "ORV"));
    channels.CurrentChannel = 4;
    EXPECT_EQ(channels.TuneCaption(), "");
    EXPECT_TRUE(channels.ChannelNameWanted);
    EXPECT_EQ(channels.ListIndexOfCurrent(), -1);
}

TEST(TunerChannels, RangesThatListNothingOrCannotBeSized) {
    test::ScopedRegistry registry;
    TunerChannels channels;
    channels.MinChannel = 0;
    channels.MaxChannel = 12;
    channels.ListEntries = {"kept"};
    EXPECT_FALSE(LoadChannelNames(*registry, channels));
    EXPECT_EQ(channels.ListEntries.size(), 1u);
    channels.MinChannel = 10;
    channels.MaxChannel = 5;
    EXPECT_THROW(LoadChannelNames(*registry, channels), std::length_error);
}

TEST(TunerChannels, StepsWrapAtBothEndsInUnsignedArithmetic) {
    TunerChannels channels;
    channels.MinChannel = 1;
    channels.MaxChannel = 12;
    channels.CurrentChannel = 1;
    channels.StepDown();
    EXPECT_EQ(channels.CurrentChannel, 12);
    channels.StepUp();
    EXPECT_EQ(channels.CurrentChannel, 1);
    channels.MinChannel = 0;
    channels.MaxChannel = 0xFFFF;
    channels.CurrentChannel = 0xFFFF;
    channels.StepUp();
    EXPECT_EQ(channels.CurrentChannel, 0);
}

TEST(TunerChannels, ABlankStationNamesAChannelByNumberUntilARealOneComes) {
    test::ScopedRegistry registry;
    registry->CreateKey(Key(5));  // the key exists, without a name
    TunerChannels channels;
    channels.MinChannel = 1;
    channels.MaxChannel = 12;
    ASSERT_TRUE(LoadChannelNames(*registry, channels));
    const std::size_t listed = channels.ListEntries.size();
    channels.CurrentChannel = 5;
    channels.TuneCaption();
    ASSERT_TRUE(channels.ChannelNameWanted);

    const auto first = LearnChannelNameOnPage(channels, "      ");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Name, "5 Name?");
    EXPECT_TRUE(first->Appended);
    EXPECT_FALSE(channels.ChannelNameWanted);
    SaveChannelName(*registry, 5, first->Name);
    EXPECT_EQ(registry->ReadString(Key(5), "Channel Name"), "5 Name?");
    SaveChannelName(*registry, 6, "never");  // the viewer makes no channel keys
    EXPECT_FALSE(registry->ValueExists(Key(6), "Channel Name"));

    const auto real = LearnChannelNameOnStation(channels, "ORV Demo One");
    ASSERT_TRUE(real);
    EXPECT_FALSE(real->Appended);
    EXPECT_EQ(real->ListIndex, first->ListIndex);
    EXPECT_EQ(channels.ListEntries.size(), listed + 1);
    EXPECT_EQ(channels.ListEntries[static_cast<std::size_t>(real->ListIndex)], "ORV Demo One");
    EXPECT_EQ(channels.ChannelNames[4], "ORV Demo One");
    EXPECT_FALSE(LearnChannelNameOnStation(channels, "Another"));  // a real name stays

    // With two channels (one table entry) nothing is learned.
    TunerChannels two;
    two.MinChannel = 1;
    two.MaxChannel = 2;
    two.ChannelNames = {""};
    two.ChannelItems = {-1};
    two.CurrentChannel = 1;
    EXPECT_FALSE(LearnChannelNameOnPage(two, "ORV"));
    EXPECT_FALSE(LearnChannelNameOnStation(two, "ORV"));
}

}  // namespace
}  // namespace orv
