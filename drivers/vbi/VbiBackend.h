// The VBI capture device "\\.\VBICAP.386": the control-request protocol the
// viewer speaks, answered by a capture back-end chosen in the registry
// ("\SOFTWARE\ORV Technologies\Capture Driver\VBI", value "Backend"):
//   "v4l2"   (the default) sliced VBI from a V4L2 device, value "Device"
//            (default /dev/vbi0): each teletext line becomes one packet;
//   "replay" the simulated card: "Source" and "Rate" as for the replay
//            capture library;
//   "simcard" the simulated TV card: the teletext of the channel its tuner
//            is on (SimCardChannels.h), the tuner seen through the TV driver
//            library the "driver" value names (orvtt-simtv.so); "Rate" as
//            above. Without that library the device does not open.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "acquisition/UTeletextTypes.h"
#include "platform/DeviceIo.h"

namespace orv {

class Registry;

inline constexpr char kVbiSettingsKey[] = "\\SOFTWARE\\ORV Technologies\\Capture Driver\\VBI";

// What a back-end does for each request; results are the driver's words (0 = done).
class VbiCapture {
public:
    virtual ~VbiCapture() = default;
    virtual std::uint32_t Query() = 0;  // at least 1 when the device can capture
    virtual std::uint32_t Configure(std::uint32_t maxPackets) = 0;
    virtual std::uint32_t Release() = 0;
    virtual std::uint32_t Start() = 0;
    virtual std::uint32_t Stop() = 0;
    // Up to packets.size() packets: their count and the status word.
    virtual std::uint32_t Read(std::span<tVTXPacket> packets, std::size_t& count, std::uint32_t& status) = 0;
};

// A device that answers the six control requests with a back-end.
std::unique_ptr<Device> MakeVbiDevice(std::unique_ptr<VbiCapture> capture);

// The back-end the registry asks for; none when it cannot be opened (no
// such device, unreadable source).
std::unique_ptr<Device> OpenConfiguredVbiDevice(const Registry& registry);

std::unique_ptr<VbiCapture> OpenReplayVbiCapture(const Registry& registry);
std::unique_ptr<VbiCapture> OpenSimCardVbiCapture(const Registry& registry);
std::unique_ptr<VbiCapture> OpenV4l2VbiCapture(const std::string& devicePath);

// Registers the VBI device name in a device table.
void RegisterVbiDevice(DeviceTable& devices, const Registry& registry);

}  // namespace orv
