// One viewer per user and desktop: a second start ends at once when the first
// one's main window (class "ORV_Teletext") exists.
#pragma once

#include <string_view>

namespace orv {

inline constexpr char kMainWindowClass[] = "ORV_Teletext";

class SingleInstance {
public:
    virtual ~SingleInstance() = default;
    // True when another instance's main window exists.
    virtual bool OtherInstanceRunning() = 0;
    // Called when this instance's main window exists: from now on other
    // starts see it (where the window's class cannot be seen, by other means).
    virtual void Claim() = 0;
};

}  // namespace orv
