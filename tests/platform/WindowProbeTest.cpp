// Finding windows by class and title over a scripted desktop.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/WindowProbe.h"

namespace orv {
namespace {

class ScriptedProbe : public WindowProbe {
public:
    explicit ScriptedProbe(std::vector<TopLevelWindow> windows) : windows_(std::move(windows)) {}
    std::vector<TopLevelWindow> TopLevelWindows() override {
        ++asked;
        return windows_;
    }
    int asked = 0;

private:
    std::vector<TopLevelWindow> windows_;
};

// A desktop with the TV player running beside an editor.
ScriptedProbe Desktop() {
    return ScriptedProbe({{"XTerm", "xterm"},
                          {"ORVPanel", "ORV VIDEO PLAYER"},
                          {"#32770", "Kanalsuche"},
                          {"ORVPanel", "second panel"},
                          {"", "ORV_Teletext"}});
}

TEST(WindowProbe, FindsWindowsByExactClass) {
    auto probe = Desktop();
    EXPECT_TRUE(HasWindowOfClass(probe, "ORVPanel"));
    EXPECT_TRUE(HasWindowOfClass(probe, "#32770"));
    EXPECT_FALSE(HasWindowOfClass(probe, "ORVPane"));
    EXPECT_FALSE(HasWindowOfClass(probe, "orvpanel"));
    // A title is not a class, even when it reads like one.
    EXPECT_FALSE(HasWindowOfClass(probe, "ORV_Teletext"));
}

TEST(WindowProbe, FindsWindowsByExactTitle) {
    auto probe = Desktop();
    EXPECT_TRUE(HasWindowTitled(probe, "ORV VIDEO PLAYER"));
    EXPECT_FALSE(HasWindowTitled(probe, "ORV VIDEO"));
    EXPECT_FALSE(HasWindowTitled(probe, "ORV VIDEO PLAYER "));
    EXPECT_FALSE(HasWindowTitled(probe, "XTerm"));
}

TEST(WindowProbe, FirstTitleOfClassTakesTheFirstInWindowOrder) {
    auto probe = Desktop();
    EXPECT_EQ(FirstTitleOfClass(probe, "ORVPanel"), "ORV VIDEO PLAYER");
    EXPECT_EQ(FirstTitleOfClass(probe, "XTerm"), "xterm");
    EXPECT_EQ(FirstTitleOfClass(probe, "Nothing"), std::nullopt);
    // A class with an empty title is still found, with that empty title.
    ScriptedProbe untitled(std::vector<TopLevelWindow>{{"ORV_Teletext", ""}});
    EXPECT_EQ(FirstTitleOfClass(untitled, "ORV_Teletext"), std::string());
}

TEST(WindowProbe, EmptyDesktopHasNothingAndEachQueryAsksAgain) {
    ScriptedProbe probe(std::vector<TopLevelWindow>{});
    EXPECT_FALSE(HasWindowOfClass(probe, ""));
    EXPECT_FALSE(HasWindowTitled(probe, ""));
    EXPECT_EQ(FirstTitleOfClass(probe, ""), std::nullopt);
    // Windows come and go: nothing is remembered between queries.
    EXPECT_EQ(probe.asked, 3);
}

}  // namespace
}  // namespace orv
