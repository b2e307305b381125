// The detection rules pass by pass, and a detection thread that ends at
// once however long its interval.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "DesktopProbe.h"
#include "tv/UTVPanelDetect.h"

namespace orv {
namespace {

using Desktop = test::DesktopProbe;

TEST(TVDetect, DialogsAndPlayerWindowsRaiseTheFlagAsTheRulesSay) {
    Desktop desktop;
    desktop.Set({{"XTerm", "xterm"}});
    std::atomic<bool> changed{false};
    TVDetectRules rules(desktop, changed);
    EXPECT_FALSE(rules.Pass());

    // The title window with no dialog class about: only noted; its going raises.
    desktop.Set({{"Player", kPlayerTitle}});
    EXPECT_FALSE(rules.Pass());
    desktop.Set({});
    EXPECT_TRUE(rules.Pass());
    EXPECT_FALSE(rules.Pass());  // pending: nothing is looked at
    changed = false;

    // A panel is seen by the player rule alone: coming and going both raise.
    desktop.Set({{kPlayerPanelClass, "panel"}});
    EXPECT_TRUE(rules.Pass());
    changed = false;
    EXPECT_FALSE(rules.Pass());
    desktop.Set({});
    EXPECT_TRUE(rules.Pass());
    changed = false;

    // A dialog whose title holds "tv" in any case is a TV dialog; the first
    // dialog-class window decides, and one without "TV" ends a noted one.
    desktop.Set({{kDialogClass, "Channel scan - tv"}, {kDialogClass, "Save"}});
    EXPECT_TRUE(IsTVDialogShown(desktop));
    EXPECT_FALSE(rules.Pass());
    desktop.Set({{kDialogClass, "Save"}, {kDialogClass, "Channel scan - tv"}});
    EXPECT_FALSE(IsTVDialogShown(desktop));
    EXPECT_TRUE(rules.Pass());
}

TEST(TVDetect, AThreadStartedWithThePlayerRunningRaisesWhenItEndsAndStopsAtOnce) {
    Desktop desktop;
    desktop.Set({{kPlayerPanelClass, ""}});
    std::atomic<bool> changed{false};
    std::atomic<int> raised{0};
    auto detect = std::make_unique<TTVDetect>(desktop, changed, [&] { ++raised; }, std::chrono::milliseconds(20));
    desktop.Set({});
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!changed && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(changed);
    EXPECT_EQ(raised, 1);

    detect = std::make_unique<TTVDetect>(desktop, changed, nullptr, std::chrono::hours(1));
    const auto start = std::chrono::steady_clock::now();
    detect.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace orv
