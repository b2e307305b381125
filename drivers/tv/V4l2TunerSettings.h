// Settings of the V4L2 TV driver, in the registry under its own key: "Device"
// (the video device, default /dev/video0) and the channel plan's overrides
// (ChannelPlan.h).
#pragma once

#include <string>

#include "drivers/tv/ChannelPlan.h"

namespace orv {

class Registry;

inline constexpr char kV4l2TunerKey[] = "\\SOFTWARE\\ORV Technologies\\Capture Driver\\V4L2 Tuner";
inline constexpr char kDefaultV4l2TunerDevice[] = "/dev/video0";

struct V4l2TunerSettings {
    std::string Device = kDefaultV4l2TunerDevice;
    ChannelPlan Plan = ChannelPlan::European();
};

V4l2TunerSettings ReadV4l2TunerSettings(const Registry& registry);

}  // namespace orv
