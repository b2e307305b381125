#include "acquisition/ORVTTApi.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "TestRegistry.h"
#include "acquisition/PacketDecode.h"

namespace orv {
namespace {

using namespace std::chrono_literals;

const std::string kDrivers = ORVTT_DRIVER_DIR;

TEST(CaptureDllFolder, TrimsAndEndsWithASlash) {
    test::ScopedRegistry registry;
    EXPECT_EQ(CaptureDllFolder(*registry), "");
    registry->WriteString(kCaptureDllKey, kCaptureDllValue, "");
    EXPECT_EQ(CaptureDllFolder(*registry), "");
    registry->WriteString(kCaptureDllKey, kCaptureDllValue, "  /opt/orv\t ");
    EXPECT_EQ(CaptureDllFolder(*registry), "/opt/orv/");
    registry->WriteString(kCaptureDllKey, kCaptureDllValue, "/opt/orv/");
    EXPECT_EQ(CaptureDllFolder(*registry), "/opt/orv/");
    // A value naming the library file itself is taken as it is.
    const std::string file = (registry.Folder() / "OrvTTCap.dll").string();
    std::ofstream(file) << "x";
    registry->WriteString(kCaptureDllKey, kCaptureDllValue, " " + file + " ");
    EXPECT_EQ(CaptureDllFolder(*registry), file);
    // A value of the wrong type is no folder.
    registry->DeleteValue(kCaptureDllKey, kCaptureDllValue);
    registry->WriteInteger(kCaptureDllKey, kCaptureDllValue, 7);
    EXPECT_EQ(CaptureDllFolder(*registry), "");
}

TEST(CaptureDll, BindsPlainNamesThenDecoratedNamesAndRefusesIncompleteOnes) {
    test::ScopedRegistry registry;
    {
        CaptureDll dll(*registry);
        ASSERT_TRUE(dll.LoadCaptureDll());  // by name, through the program's RUNPATH
        EXPECT_EQ(dll.LoadedFrom(), "OrvTTCap.dll");
        EXPECT_TRUE(dll.FreeCaptureDll());
        EXPECT_FALSE(dll.FreeCaptureDll());
    }
    {
        registry->WriteString(kCaptureDllKey, kCaptureDllValue, kDrivers + "/variants/decorated");
        CaptureDll dll(*registry);
        ASSERT_TRUE(dll.LoadCaptureDll());
        EXPECT_EQ(dll.LoadedFrom(), kDrivers + "/variants/decorated/OrvTTCap.dll");
    }
    {
        registry->WriteString(kCaptureDllKey, kCaptureDllValue, kDrivers + "/variants/noflush/");
        CaptureDll dll(*registry);
        EXPECT_FALSE(dll.LoadCaptureDll());  // Flush is never called, yet it must be there
        EXPECT_FALSE(dll.IsBound());
        EXPECT_FALSE(dll.OpenDllCapture());
    }
    {
        // A folder without the library: loaded by name instead.
        registry->WriteString(kCaptureDllKey, kCaptureDllValue, registry.Folder().string());
        CaptureDll dll(*registry);
        ASSERT_TRUE(dll.LoadCaptureDll());
        EXPECT_EQ(dll.LoadedFrom(), "OrvTTCap.dll");
    }
}

TEST(CaptureDll, UnboundEntryPointsAnswerTwo) {
    const CaptureDll::Binding none;
    tCaptureOpenRecord record;
    tCaptureReadDescriptor descriptor;
    std::uint8_t version[8];
    EXPECT_EQ(none.CallOpen(&record), 2u);
    EXPECT_EQ(none.CallClose(), 2u);
    EXPECT_EQ(none.CallStart(), 2u);
    EXPECT_EQ(none.CallStop(), 2u);
    EXPECT_EQ(none.CallGetPackets(500, &descriptor), 2u);
    EXPECT_FALSE(none.CallGetDriverVersion(version));

    test::ScopedRegistry registry;
    CaptureDll dll(*registry);
    std::uint32_t status = 99;
    std::vector<tVTXPacket> packets(3);
    EXPECT_EQ(dll.ReadDllPackets(status, packets), 0);
    EXPECT_EQ(status, 0u);
    EXPECT_TRUE(packets.empty());
    EXPECT_TRUE(dll.CloseDllCapture());
}

TEST(CaptureDll, ReplayLibraryDeliversTheDemoAtBroadcastPace) {
    test::ScopedRegistry registry;
    registry->WriteString(kCaptureDllKey, kCaptureDllValue, kDrivers + "/variants/decorated");
    CaptureDll dll(*registry);
    ASSERT_TRUE(dll.OpenDllCapture());
    EXPECT_TRUE(dll.DllCaptureStarted());

    std::this_thread::sleep_for(200ms);
    std::uint32_t status = 0;
    std::vector<tVTXPacket> packets;
    const int count = dll.ReadDllPackets(status, packets);
    // 200 ms at 1600 packets a second: about 320, never a full read of 500.
    EXPECT_GT(count, 200);
    EXPECT_LT(count, 500);
    EXPECT_EQ(status & kStatusMoreWaiting, 0u);
    ASSERT_EQ(packets.size(), static_cast<std::size_t>(count));
    for (const auto& packet : packets) ASSERT_TRUE(DecodePacketAddress(packet));

    EXPECT_TRUE(dll.CloseDllCapture());
    EXPECT_FALSE(dll.DllCaptureStarted());
    EXPECT_EQ(dll.ReadDllPackets(status, packets), 0);
}

TEST(CaptureDll, ReplayOfAMissingRecordingDoesNotOpen) {
    test::ScopedRegistry registry;
    registry->WriteString("\\SOFTWARE\\ORV Technologies\\Capture Driver\\Replay", "Source", "/nonexistent.t42");
    CaptureDll dll(*registry);
    EXPECT_FALSE(dll.OpenDllCapture());
}

}  // namespace
}  // namespace orv
