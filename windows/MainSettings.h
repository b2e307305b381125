// The main window's settings in the registry, read at start and written at
// exit, and the files whose names follow from them (help file, font file).
// Each value is read in its own guard: a missing value, one of the wrong type
// or text that is not hexadecimal leaves its default.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace orv {

class Registry;

inline constexpr char kTeletextSettingsKey[] = "\\SOFTWARE\\ORV Technologies\\MultiMedia\\Features\\Teletext\\";
inline constexpr char kTunerKey[] = "\\SOFTWARE\\ORV Technologies\\MultiMedia\\Features\\TV\\Tuner";

struct MainSettings {
    std::uint8_t DisplayMode = 0;     // "VTXMode", low byte; 0 to 3
    std::uint16_t Language = 0x0409;  // "Language", hexadecimal text
    int NationalFont = 0;             // "NationalFont", hexadecimal text; read, never written
    std::uint16_t CurrentChannel = 0; // "LastChannel", low 16 bits
    std::int32_t VideoSource = -1;    // "LastSource"
    int Level = 15;                   // "Level": 10 level 1, 15 level 1.5, 25 kept for level 2.5
    bool TunerKeyPresent = false;
};

// The caption window's place and size on the desktop, in pixels: "CaptionLeft",
// "CaptionTop" (signed), "CaptionWidth", "CaptionHeight". Kept from the first
// time the window is moved, resized or closed; until then it takes its
// default place.
struct CaptionPlace {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool operator==(const CaptionPlace&) const = default;
};

// None unless all four values are there and the size is one a window can have.
std::optional<CaptionPlace> ReadCaptionPlace(const Registry& registry);
bool WriteCaptionPlace(Registry& registry, const CaptionPlace& place);

// userLanguage is the default of "Language" (the user's default language).
MainSettings ReadSettings(const Registry& registry, std::uint16_t userLanguage);

// Writes "VTXMode", "Language" ("%.04X"), "LastChannel", "LastSource" and
// "Level" in one rewrite, creating the key; false when nothing could be written.
bool WriteSettings(Registry& registry, const MainSettings& settings);

// The value of hexadecimal text ("407", "0407", "1A"); false for anything else.
bool ParseHexText(const std::string& text, std::uint32_t& value);

// programDir + abbreviation + ".HLP", else programDir + "ENU.HLP", else empty.
std::string FindHelpFile(const std::string& programDir, const std::string& abbreviation,
                         const std::function<bool(const std::string&)>& exists);

// "ORVTTX.FON" in the program's private font folder (empty when there is none).
std::string FontFileName(const std::string& privateFolder);

}  // namespace orv
