// Starting another program as the viewer's design does it: a command text
// such as "start http://www.example.org", which hands a web address to the
// desktop's default browser.
#pragma once

#include <string>

namespace orv {

inline constexpr int kSwHide = 0;  // the window-show value the viewer passes

class Launcher {
public:
    virtual ~Launcher() = default;
    // Carries out the command; false when it could not be started.
    virtual bool WinExec(const std::string& command, int show) = 0;
};

}  // namespace orv
