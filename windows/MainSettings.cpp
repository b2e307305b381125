#include "windows/MainSettings.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Registry.h"

namespace orv {

bool ParseHexText(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    std::uint32_t result = 0;
    for (const char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return false;
        result = result << 4 | static_cast<std::uint32_t>(digit);
    }
    value = result;
    return true;
}

MainSettings ReadSettings(const Registry& registry, std::uint16_t userLanguage) {
    MainSettings settings;
    settings.Language = userLanguage;
    settings.TunerKeyPresent = registry.KeyExists(kTunerKey);
    if (!registry.KeyExists(kTeletextSettingsKey)) return settings;

    // Only the low byte counts; a mode the viewer does not have would show no
    // page area at all, so it is taken as the teletext view.
    if (const auto mode = registry.ReadInteger(kTeletextSettingsKey, "VTXMode"); mode && (*mode & 0xFF) <= 3)
        settings.DisplayMode = static_cast<std::uint8_t>(*mode & 0xFF);
    std::uint32_t hex = 0;
    if (const auto language = registry.ReadString(kTeletextSettingsKey, "Language"); language && ParseHexText(*language, hex))
        settings.Language = static_cast<std::uint16_t>(hex);
    if (const auto font = registry.ReadString(kTeletextSettingsKey, "NationalFont"); font && ParseHexText(*font, hex))
        settings.NationalFont = static_cast<int>(hex);
    if (const auto channel = registry.ReadInteger(kTeletextSettingsKey, "LastChannel"))
        settings.CurrentChannel = static_cast<std::uint16_t>(*channel & 0xFFFF);
    if (const auto source = registry.ReadInteger(kTeletextSettingsKey, "LastSource"))
        settings.VideoSource = static_cast<std::int32_t>(*source);
    // A level this viewer does not know is taken as the default.
    if (const auto level = registry.ReadInteger(kTeletextSettingsKey, "Level"); level && (*level == 10 || *level == 15 || *level == 25))
        settings.Level = static_cast<int>(*level);
    return settings;
}

bool WriteSettings(Registry& registry, const MainSettings& settings) {
    char language[8];
    std::snprintf(language, sizeof language, "%.04X", static_cast<unsigned>(settings.Language));
    return registry.Transaction([&](Registry::Editor& editor) {
        if (!editor.CreateKey(kTeletextSettingsKey)) return false;
        editor.WriteInteger(kTeletextSettingsKey, "VTXMode", settings.DisplayMode);
        editor.WriteString(kTeletextSettingsKey, "Language", language);
        editor.WriteInteger(kTeletextSettingsKey, "LastChannel", settings.CurrentChannel);
        editor.WriteInteger(kTeletextSettingsKey, "LastSource", static_cast<std::uint32_t>(settings.VideoSource));
        editor.WriteInteger(kTeletextSettingsKey, "Level", static_cast<std::uint32_t>(settings.Level));
        return true;
    });
}

std::optional<CaptionPlace> ReadCaptionPlace(const Registry& registry) {
    const auto left = registry.ReadInteger(kTeletextSettingsKey, "CaptionLeft");
    const auto top = registry.ReadInteger(kTeletextSettingsKey, "CaptionTop");
    const auto width = registry.ReadInteger(kTeletextSettingsKey, "CaptionWidth");
    const auto height = registry.ReadInteger(kTeletextSettingsKey, "CaptionHeight");
    if (!left || !top || !width || !height) return std::nullopt;
    // Sizes beyond what any screen has are not a place the window was left in.
    constexpr std::uint32_t kLargest = 32767;
    if (*width < 1 || *width > kLargest || *height < 1 || *height > kLargest) return std::nullopt;
    const auto position = [](std::uint32_t value) { return static_cast<std::int32_t>(value); };
    const CaptionPlace place{position(*left), position(*top), position(*width), position(*height)};
    if (place.Left < -static_cast<std::int32_t>(kLargest) || place.Left > static_cast<std::int32_t>(kLargest) ||
        place.Top < -static_cast<std::int32_t>(kLargest) || place.Top > static_cast<std::int32_t>(kLargest))
        return std::nullopt;
    return place;
}

bool WriteCaptionPlace(Registry& registry, const CaptionPlace& place) {
    return registry.Transaction([&](Registry::Editor& editor) {
        if (!editor.CreateKey(kTeletextSettingsKey)) return false;
        editor.WriteInteger(kTeletextSettingsKey, "CaptionLeft", static_cast<std::uint32_t>(place.Left));
        editor.WriteInteger(kTeletextSettingsKey, "CaptionTop", static_cast<std::uint32_t>(place.Top));
        editor.WriteInteger(kTeletextSettingsKey, "CaptionWidth", static_cast<std::uint32_t>(place.Width));
        editor.WriteInteger(kTeletextSettingsKey, "CaptionHeight", static_cast<std::uint32_t>(place.Height));
        return true;
    });
}

std::string FindHelpFile(const std::string& programDir, const std::string& abbreviation,
                         const std::function<bool(const std::string&)>& exists) {
    std::string folder = programDir;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    for (const std::string& name : {abbreviation, std::string("ENU")}) {
        if (name.empty()) continue;
        const std::string path = folder + name + ".HLP";
        if (exists(path)) return path;
    }
    return {};
}

std::string FontFileName(const std::string& privateFolder) {
    if (privateFolder.empty()) return {};
    return privateFolder + (privateFolder.back() == '/' ? "" : "/") + "ORVTTX.FON";
}

}  // namespace orv
