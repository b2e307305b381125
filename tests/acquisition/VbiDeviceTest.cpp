#include "acquisition/VbiDevice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "TestRegistry.h"
#include "drivers/broadcast/PacketEncoder.h"
#include "drivers/vbi/V4l2Sliced.h"
#include "drivers/vbi/VbiBackend.h"

namespace orv {
namespace {

using namespace std::chrono_literals;

// A scripted device: answers with the words the test sets and records the
// requests it was sent.
struct Script {
    std::vector<std::uint32_t> requests;
    std::uint32_t queryAnswer = 1;
    std::uint32_t configureResult = 0;
    std::uint32_t startResult = 0;
    bool configureFailsAtSystemLevel = false;
    std::uint32_t readResult = 0;
    std::uint32_t readCount = 0;
    std::uint32_t readStatus = 0;
    int opens = 0;
    int closes = 0;
};

class ScriptedDevice : public Device {
public:
    explicit ScriptedDevice(Script& script) : script_(script) {}
    ~ScriptedDevice() override { ++script_.closes; }

    bool Control(std::uint32_t code, std::span<const std::uint8_t>, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override {
        script_.requests.push_back(code);
        const auto put = [&](std::size_t offset, std::uint32_t word) { std::memcpy(output.data() + offset, &word, 4); };
        switch (code) {
            case kVbiQuery:
                put(4, script_.queryAnswer);
                break;
            case kVbiConfigure:
                if (script_.configureFailsAtSystemLevel) return false;
                put(0, script_.configureResult);
                break;
            case kVbiStart:
                put(0, script_.startResult);
                break;
            case kVbiRead: {
                put(0, script_.readResult);
                put(4, script_.readStatus);
                put(12, script_.readCount);
                const tVTXPacket packet = EncodeRow(1, 1, "vbi");
                for (std::size_t i = 0; i < std::min<std::uint32_t>(script_.readCount, kVbiMaxPackets); ++i)
                    std::memcpy(output.data() + 16 + 42 * i, packet.Bytes.data(), 42);
                break;
            }
            default:
                put(0, 0);
        }
        returned = static_cast<std::uint32_t>(output.size());
        return true;
    }

private:
    Script& script_;
};

class ScriptedIo : public DeviceIo {
public:
    explicit ScriptedIo(Script& script) : script_(script) {}
    std::unique_ptr<Device> Open(std::string_view name) override {
        if (name != kVbiDeviceName || missing) return nullptr;
        ++script_.opens;
        return std::make_unique<ScriptedDevice>(script_);
    }
    bool missing = false;

private:
    Script& script_;
};

TEST(VbiDevice, StartSendsQueryConfigureStartAndConfiguresOnlyOnce) {
    Script script;
    ScriptedIo io(script);
    VbiDevice vbi(io);
    std::uint32_t answer = 0;
    EXPECT_EQ(vbi.StartVbiCapture(answer), kVbiStarted);
    EXPECT_EQ(answer, 1u);
    EXPECT_EQ(vbi.StartVbiCapture(answer), kVbiStarted);
    EXPECT_EQ(script.requests, (std::vector<std::uint32_t>{kVbiQuery, kVbiConfigure, kVbiStart, kVbiQuery, kVbiStart}));
    EXPECT_EQ(script.opens, 1);

    script.requests.clear();
    vbi.StopVbiCapture();
    EXPECT_EQ(script.requests, (std::vector<std::uint32_t>{kVbiStop, kVbiRelease}));
    EXPECT_EQ(script.closes, 1);
    EXPECT_FALSE(vbi.IsOpen());
    EXPECT_FALSE(vbi.VbiConfigured());
}

TEST(VbiDevice, FailuresGiveTheirValues) {
    Script script;
    ScriptedIo io(script);
    std::uint32_t answer = 0;

    io.missing = true;
    EXPECT_EQ(VbiDevice(io).StartVbiCapture(answer), kVbiCannotOpen);
    io.missing = false;

    script.queryAnswer = 0;
    EXPECT_EQ(VbiDevice(io).StartVbiCapture(answer), kVbiQueryRefused);
    script.queryAnswer = 0xFFFFFFFF;  // -1 is less than 1 too
    EXPECT_EQ(VbiDevice(io).StartVbiCapture(answer), kVbiQueryRefused);
    script.queryAnswer = 3;

    script.configureFailsAtSystemLevel = true;
    EXPECT_EQ(VbiDevice(io).StartVbiCapture(answer), kVbiRequestFailed);
    script.configureFailsAtSystemLevel = false;
    script.configureResult = 0x77;
    EXPECT_EQ(VbiDevice(io).StartVbiCapture(answer), 0x77u);
    script.configureResult = 0;
    script.startResult = 0x55;
    EXPECT_EQ(VbiDevice(io).StartVbiCapture(answer), 0x55u);

    // Opened but never configured: stopping only closes the device.
    script.requests.clear();
    {
        VbiDevice vbi(io);
        ASSERT_TRUE(vbi.OpenVbiDevice());
        vbi.StopVbiCapture();
    }
    EXPECT_TRUE(script.requests.empty());
}

TEST(VbiDevice, ReadsCountOnlyWithAZeroResultAndNeverBeyondTheBuffer) {
    Script script;
    ScriptedIo io(script);
    VbiDevice vbi(io);
    std::uint32_t answer = 0, status = 0;
    std::vector<tVTXPacket> packets;
    EXPECT_EQ(vbi.ReadVbiPackets(status, packets), 0);  // not open

    ASSERT_EQ(vbi.StartVbiCapture(answer), kVbiStarted);
    script.readCount = 7;
    script.readStatus = 4;
    EXPECT_EQ(vbi.ReadVbiPackets(status, packets), 7);
    EXPECT_EQ(status, 4u);
    ASSERT_EQ(packets.size(), 7u);
    EXPECT_EQ(packets[6], EncodeRow(1, 1, "vbi"));

    script.readResult = 1;  // a failed read delivers nothing, whatever its count says
    EXPECT_EQ(vbi.ReadVbiPackets(status, packets), 0);
    EXPECT_EQ(status, 0u);
    EXPECT_TRUE(packets.empty());

    script.readResult = 0;
    script.readCount = 100000;
    EXPECT_EQ(vbi.ReadVbiPackets(status, packets), static_cast<int>(kVbiMaxPackets));
}

TEST(VbiBackends, SimulatedCardAnswersTheRequestsAndMissingDevicesDoNotOpen) {
    test::ScopedRegistry registry;
    DeviceTable devices;
    RegisterVbiDevice(devices, *registry);
    std::uint32_t answer = 0;

    registry->WriteString(kVbiSettingsKey, "Device", "/dev/nonexistent-vbi");
    EXPECT_EQ(VbiDevice(devices).StartVbiCapture(answer), kVbiCannotOpen);  // v4l2 is the default

    registry->WriteString(kVbiSettingsKey, "Backend", "replay");
    VbiDevice vbi(devices);
    ASSERT_EQ(vbi.StartVbiCapture(answer), kVbiStarted);
    std::this_thread::sleep_for(50ms);
    std::uint32_t status = 0;
    std::vector<tVTXPacket> packets;
    EXPECT_GT(vbi.ReadVbiPackets(status, packets), 20);
    vbi.StopVbiCapture();

    registry->WriteString(kVbiSettingsKey, "Backend", "bogus");
    EXPECT_EQ(VbiDevice(devices).StartVbiCapture(answer), kVbiCannotOpen);
}

TEST(VbiBackends, SlicedTeletextLinesBecomePackets) {
    v4l2_sliced_vbi_data lines[3] = {};
    lines[0].id = V4L2_SLICED_TELETEXT_B;
    const tVTXPacket packet = EncodeRow(2, 5, "sliced");
    std::memcpy(lines[0].data, packet.Bytes.data(), 42);
    lines[1].id = V4L2_SLICED_VPS;  // another service
    lines[2].id = V4L2_SLICED_TELETEXT_B;
    std::vector<tVTXPacket> packets(1);
    EXPECT_EQ(SlicedTeletextToPackets(lines, packets), 1u);  // room for one only
    EXPECT_EQ(packets[0], packet);
    packets.resize(5);
    EXPECT_EQ(SlicedTeletextToPackets(lines, packets), 2u);
}

}  // namespace
}  // namespace orv
