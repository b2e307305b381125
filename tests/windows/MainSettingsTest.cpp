#include "windows/MainSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "TestRegistry.h"

namespace orv {
namespace {

TEST(MainSettings, DefaultsWithoutAKeyAndTheValuesWrittenAtExit) {
    test::ScopedRegistry registry;
    const MainSettings settings = ReadSettings(*registry, 0x0407);
    EXPECT_EQ(settings.DisplayMode, 0);
    EXPECT_EQ(settings.Language, 0x0407);  // the user's default language
    EXPECT_EQ(settings.NationalFont, 0);
    EXPECT_EQ(settings.CurrentChannel, 0);
    EXPECT_EQ(settings.VideoSource, -1);
    EXPECT_FALSE(settings.TunerKeyPresent);
    EXPECT_EQ(settings.Level, 15);

    ASSERT_TRUE(WriteSettings(*registry, settings));
    const auto names = registry->ValueNames(kTeletextSettingsKey);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"VTXMode", "Language", "LastChannel", "LastSource", "Level"}));  // never NationalFont
    EXPECT_EQ(registry->ReadInteger(kTeletextSettingsKey, "Level"), 15u);
    // The levels the viewer knows; any other value leaves the default.
    for (const auto& [value, level] : {std::pair{10u, 10}, {25u, 25}, {11u, 15}, {0u, 15}}) {
        registry->WriteInteger(kTeletextSettingsKey, "Level", value);
        EXPECT_EQ(ReadSettings(*registry, 0x0409).Level, level) << value;
    }
    EXPECT_EQ(registry->ReadString(kTeletextSettingsKey, "Language"), "0407");
    EXPECT_EQ(registry->ReadInteger(kTeletextSettingsKey, "LastSource"), 0xFFFFFFFFu);
    EXPECT_EQ(ReadSettings(*registry, 0x0409).VideoSource, -1);
}

TEST(MainSettings, EachValueInItsOwnGuard) {
    test::ScopedRegistry registry;
    registry->CreateKey(kTunerKey);
    registry->WriteString(kTeletextSettingsKey, "Language", "407");
    registry->WriteInteger(kTeletextSettingsKey, "VTXMode", 0x102);  // only the low byte counts
    registry->WriteString(kTeletextSettingsKey, "NationalFont", "1");
    registry->WriteInteger(kTeletextSettingsKey, "LastChannel", 0x10005);
    registry->WriteInteger(kTeletextSettingsKey, "LastSource", 2);
    MainSettings settings = ReadSettings(*registry, 0x0409);
    EXPECT_TRUE(settings.TunerKeyPresent);
    EXPECT_EQ(settings.Language, 0x0407);
    EXPECT_EQ(settings.DisplayMode, 2);
    EXPECT_EQ(settings.NationalFont, 1);
    EXPECT_EQ(settings.CurrentChannel, 5);
    EXPECT_EQ(settings.VideoSource, 2);
    WriteSettings(*registry, settings);
    EXPECT_EQ(registry->ReadString(kTeletextSettingsKey, "Language"), "0407");  // "407" comes back as 0407
    for (const std::uint32_t mode : {4u, 0xFFu, 0x1FFu}) {  // no such mode: the teletext view
        registry->WriteInteger(kTeletextSettingsKey, "VTXMode", mode);
        EXPECT_EQ(ReadSettings(*registry, 0x0409).DisplayMode, 0) << mode;
    }

    // Wrong types and text that is not hexadecimal leave the defaults.
    registry->DeleteKey(kTeletextSettingsKey);
    registry->WriteInteger(kTeletextSettingsKey, "Language", 0x0407);
    registry->WriteString(kTeletextSettingsKey, "VTXMode", "2");
    registry->WriteString(kTeletextSettingsKey, "NationalFont", "one");
    registry->WriteString(kTeletextSettingsKey, "LastChannel", "7");
    settings = ReadSettings(*registry, 0x0419);
    EXPECT_EQ(settings.Language, 0x0419);
    EXPECT_EQ(settings.DisplayMode, 0);
    EXPECT_EQ(settings.NationalFont, 0);
    EXPECT_EQ(settings.CurrentChannel, 0);

    std::uint32_t value = 0;
    EXPECT_TRUE(ParseHexText("0407", value));
    EXPECT_EQ(value, 0x407u);
    EXPECT_TRUE(ParseHexText("1a", value));
    EXPECT_EQ(value, 0x1Au);
    for (const char* bad : {"", "0x407", "40 7", "-1", "123456789", "g"}) EXPECT_FALSE(ParseHexText(bad, value)) << bad;
}

TEST(MainSettings, HelpAndFontFiles) {
    const std::set<std::string> present = {"/opt/orv/DEU.HLP", "/opt/orv/ENU.HLP"};
    const auto exists = [&](const std::string& path) { return present.count(path) > 0; };
    EXPECT_EQ(FindHelpFile("/opt/orv", "DEU", exists), "/opt/orv/DEU.HLP");
    EXPECT_EQ(FindHelpFile("/opt/orv/", "RUS", exists), "/opt/orv/ENU.HLP");
    EXPECT_EQ(FindHelpFile("/elsewhere", "DEU", exists), "");

    EXPECT_EQ(FontFileName("/run/user/1000/orvtt-font.a1B2c3"), "/run/user/1000/orvtt-font.a1B2c3/ORVTTX.FON");
    EXPECT_EQ(FontFileName("/tmp/orvtt-font.x/"), "/tmp/orvtt-font.x/ORVTTX.FON");
    EXPECT_EQ(FontFileName(""), "");  // no private folder: no font file
}

}  // namespace
}  // namespace orv
