// What makes one capture library differ from another: how it opens its
// source. The eight entry points and the pacing buffer are shared.
#pragma once

#include <memory>

#include "drivers/replay/PacedReplay.h"

namespace orv {

class Registry;

// The paced source of this library from its settings; none when it cannot be
// used (the open then fails and the viewer falls back to the VBI device).
std::unique_ptr<PacedReplay> OpenCaptureBackend(const Registry& registry);

}  // namespace orv
