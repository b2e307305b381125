// From the replay capture library (or the simulated VBI card) through both
// collector threads and the dispatcher to the database and a window.
#include <gtest/gtest.h>

#include <sstream>

#include "TestRegistry.h"
#include "acquisition/Acquisition.h"
#include "drivers/vbi/VbiBackend.h"
#include "tools/ttxdump/TtxDump.h"

namespace orv {
namespace {

using namespace std::chrono_literals;

class FirstPageWindow : public PageWindow {
public:
    void OnVtxPage(std::uint16_t pageNo, const PageRef& page) override {
        ++pages;
        if (pageNo == 0x100 && !page100) page100 = page;
    }
    int pages = 0;
    PageRef page100;
};

struct Pipeline {
    test::ScopedRegistry registry;
    DeviceTable devices;
    EventLoopUiThread ui;
    PageWindowTable windows;
    FirstPageWindow window;

    Pipeline() { RegisterVbiDevice(devices, *registry); }

    // Serves the UI thread until page 100 reached the window, at most the time given.
    std::chrono::milliseconds WaitForPage100(std::chrono::milliseconds limit) {
        const auto start = std::chrono::steady_clock::now();
        ui.ServeUntil([&] { return window.page100 || std::chrono::steady_clock::now() - start > limit; });
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }
};

TEST(Pipeline, ReplayLibraryToAWindowWithinASecond) {
    Pipeline p;
    Acquisition acquisition(*p.registry, p.devices, p.ui, p.windows);
    ASSERT_TRUE(acquisition.StartAcquisition());
    EXPECT_TRUE(acquisition.Sources().UseCaptureDll());
    EXPECT_EQ(acquisition.Sources().PollInterval, 125);
    ASSERT_TRUE(acquisition.Dispatcher().RegisterPageWindow(p.windows.Add(p.window)));

    EXPECT_LT(p.WaitForPage100(1000ms), 1000ms);
    ASSERT_TRUE(p.window.page100);
    EXPECT_EQ(acquisition.Pages().FindPage(0x100, 0)->PageNo, 0x100);
    EXPECT_EQ(acquisition.Dispatcher().CurrentStationName(), "ORV Demo Teletext");

    // Restarts while the threads run never let a read touch an unloaded library.
    for (int i = 0; i < 20; ++i) {
        acquisition.StopCapture();
        p.ui.ServeFor(3ms);
        ASSERT_TRUE(acquisition.StartAcquisition());
    }
    const auto start = std::chrono::steady_clock::now();
    acquisition.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);
}

TEST(Pipeline, FallsBackToTheVbiDeviceWhenTheLibraryCannotBeUsed) {
    Pipeline p;
    p.registry->WriteString("\\SOFTWARE\\ORV Technologies\\Multimedia\\mmdrivers", "orvTTCap",
                            std::string(ORVTT_DRIVER_DIR) + "/variants/noflush");
    p.registry->WriteString(kVbiSettingsKey, "Backend", "replay");
    Acquisition acquisition(*p.registry, p.devices, p.ui, p.windows);
    ASSERT_TRUE(acquisition.StartAcquisition());
    EXPECT_FALSE(acquisition.Sources().UseCaptureDll());
    EXPECT_EQ(acquisition.Sources().PollInterval, 1);
    acquisition.Dispatcher().RegisterPageWindow(p.windows.Add(p.window));
    EXPECT_LT(p.WaitForPage100(1000ms), 1000ms);
    acquisition.Stop();
    EXPECT_FALSE(acquisition.Collectors().Running());
}

TEST(Pipeline, NoSourceAtAll) {
    Pipeline p;
    p.registry->WriteString("\\SOFTWARE\\ORV Technologies\\Capture Driver\\Replay", "Source", "/nonexistent.t42");
    p.registry->WriteString(kVbiSettingsKey, "Device", "/dev/nonexistent-vbi");
    Acquisition acquisition(*p.registry, p.devices, p.ui, p.windows);
    EXPECT_FALSE(acquisition.StartAcquisition());
    EXPECT_FALSE(acquisition.Collectors().Running());

    std::istringstream in;
    std::ostringstream out, err;
    const std::vector<std::string> args = {"--live", "0.2"};
    EXPECT_EQ(RunTtxDump(args, in, out, err), 2);
    EXPECT_NE(err.str().find("no capture source"), std::string::npos);
}

TEST(Pipeline, TtxDumpLive) {
    test::ScopedRegistry registry;
    std::istringstream in;
    std::ostringstream out, err;
    const std::vector<std::string> args = {"--live", "1", "--list"};
    ASSERT_EQ(RunTtxDump(args, in, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("100/0000\n"), std::string::npos);
}

}  // namespace
}  // namespace orv
