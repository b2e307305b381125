// The help viewer: help files keep their names (program folder + "ENU.HLP")
// and hold HTML.
#pragma once

#include <string>

namespace orv {

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // Shows the contents of the help file; false when it cannot be read.
    virtual bool OpenContents(const std::string& helpFile) = 0;
    // Closes the viewer if it is open.
    virtual void Quit() = 0;
};

}  // namespace orv
