// What makes one capture library differ from another: how it opens its
// source. The eight entry points and the pacing buffer are shared.
#pragma once

#include <memory>
#include <string>

#include "drivers/replay/PacedReplay.h"

namespace orv {

class Registry;

// The paced source of this library from its settings; none when it cannot be
// used (the open then fails and the viewer falls back to the VBI device),
// with the reason in error: the source tried and what went wrong.
std::unique_ptr<PacedReplay> OpenCaptureBackend(const Registry& registry, std::string& error);

}  // namespace orv
