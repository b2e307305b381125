// The program's entry: one instance per user and desktop, the version, the
// splash for a second, the main window and the message loop.
#pragma once

namespace orv {

// Runs the viewer; the process's exit code.
int RunViewer(int argc, char** argv);

}  // namespace orv
