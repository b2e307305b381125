// The hourglass as the window system shows it: an override cursor for the
// whole application.
#pragma once

#include "platform/Hourglass.h"

namespace orv {

class QtBusyCursor : public BusyCursor {
public:
    void Begin() override;
    void End() override;
};

}  // namespace orv
