#pragma once

namespace kestrun::ui::qt {

// Runs the program with real windows: creates the Qt application, installs the Qt window system and
// views, runs the start procedure and keeps the process alive until the last window has closed.
int RunWithQt(int argc, char** argv);

// Tells the desktop which program the windows belong to (its desktop entry "kestrun", so docks and
// task bars show the installed icon) and gives every window the program's icon: the one of the icon
// theme where it is installed, else the picture built into the module. A QGuiApplication must exist.
void SetDesktopIdentity();

}  // namespace kestrun::ui::qt
