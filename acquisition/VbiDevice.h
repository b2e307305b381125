// The second capture source: the VBI capture device "\\.\VBICAP.386", driven
// by control requests through the DeviceIo layer. Start and stop come from
// the main thread, reads from the capture thread; one lock keeps them apart
// (device reads never block).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "acquisition/UTeletextTypes.h"
#include "platform/DeviceIo.h"

namespace orv {

inline constexpr char kVbiDeviceName[] = "\\\\.\\VBICAP.386";

// Control codes: device type 0x8000, function 0x800 + n, buffered, any access.
enum : std::uint32_t {
    kVbiQuery = 0x80002000,
    kVbiConfigure = 0x80002004,
    kVbiRelease = 0x80002008,
    kVbiStart = 0x8000200C,
    kVbiStop = 0x80002010,
    kVbiRead = 0x8000201C,
};

inline constexpr std::uint32_t kVbiMaxPackets = 1500;
inline constexpr std::size_t kVbiQuerySize = 264;
inline constexpr std::size_t kVbiReadHeader = 16;  // result, status, (unused), count
inline constexpr std::size_t kVbiReadSize = kVbiReadHeader + kVbiMaxPackets * kPacketSize;  // 63036

// Results of StartVbiCapture besides the driver's own result words.
enum : std::uint32_t {
    kVbiStarted = 0,
    kVbiCannotOpen = 0x1001,
    kVbiRequestFailed = 0x1002,
    kVbiQueryRefused = 0x1003,
};

class VbiDevice {
public:
    explicit VbiDevice(DeviceIo& io) : io_(io) {}
    ~VbiDevice() { StopVbiCapture(); }

    bool OpenVbiDevice();
    // 0 when capture runs; otherwise one of the values above or the driver's word.
    std::uint32_t StartVbiCapture(std::uint32_t& queryAnswer);
    // The packets of one read, and its status word; none when the read failed.
    int ReadVbiPackets(std::uint32_t& status, std::vector<tVTXPacket>& packets);
    void StopVbiCapture();

    bool IsOpen() const;
    bool VbiConfigured() const;

private:
    bool OpenLocked();
    // One small request; false when it failed at the system level.
    bool Request(std::uint32_t code, std::span<const std::uint32_t> input, std::uint32_t& result);

    DeviceIo& io_;
    mutable std::mutex mutex_;
    std::unique_ptr<Device> device_;
    bool configured_ = false;
    std::vector<std::uint8_t> readBuffer_ = std::vector<std::uint8_t>(kVbiReadSize);
};

}  // namespace orv
