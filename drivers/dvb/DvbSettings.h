// Settings of the DVB capture library, in the registry under its own key:
// "Source" (a transport stream recording, a DVB adapter folder or a demux
// device; default /dev/dvb/adapter0), and what to decode: "ServiceId"
// (DWORD), else "ServiceName" (string), else "PID" (DWORD); none of them:
// the first service with teletext.
#pragma once

#include <string>

#include "acquisition/TransportStream.h"

namespace orv {

class Registry;

inline constexpr char kDvbKey[] = "\\SOFTWARE\\ORV Technologies\\Capture Driver\\DVB";
inline constexpr char kDefaultDvbSource[] = "/dev/dvb/adapter0";

struct DvbSettings {
    std::string Source = kDefaultDvbSource;
    TsChoice Choice;
};

DvbSettings ReadDvbSettings(const Registry& registry);

}  // namespace orv
