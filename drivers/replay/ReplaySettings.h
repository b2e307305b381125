// Settings of the replay sources, kept in the registry under the driver's own
// key: "Source" (empty or "demo" for the demo broadcast, a folder of .tti
// page files, or a .t42 recording) and "Rate" (packets a second; 0 delivers
// as fast as the reader reads). The replay capture library takes a "Source"
// of "none" as no source at all: its open fails, so that the viewer captures
// through the VBI device (the simulated TV card, for one).
#pragma once

#include <string>

namespace orv {

class Registry;

inline constexpr char kReplayKey[] = "\\SOFTWARE\\ORV Technologies\\Capture Driver\\Replay";

struct ReplaySettings {
    std::string Source;
    int PacketsPerSecond = 1600;
};

ReplaySettings ReadReplaySettings(const Registry& registry, const char* key = kReplayKey);

}  // namespace orv
