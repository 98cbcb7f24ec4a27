#pragma once

namespace kestrun::ui::qt {

// Runs the program with real windows: creates the Qt application, installs the Qt window system and
// views, runs the start procedure and keeps the process alive until the last window has closed.
int RunWithQt(int argc, char** argv);

}  // namespace kestrun::ui::qt
