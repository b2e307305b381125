// "start X" carried out as `xdg-open X`: the program is run directly, with X
// as its one argument, never through a shell, so a web address read from a
// broadcast can hold any character without running anything.
#pragma once

#include <string>

#include "platform/Launcher.h"

namespace orv {

class XdgLauncher : public Launcher {
public:
    // program: the opener, looked up on PATH when it has no slash.
    explicit XdgLauncher(std::string program = "xdg-open") : program_(std::move(program)) {}

    // Only "start " commands are understood. A target that is empty or begins
    // with "-" (which the opener would read as an option) is not started.
    bool WinExec(const std::string& command, int show) override;

private:
    std::string program_;
};

}  // namespace orv
