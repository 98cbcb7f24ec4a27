// Picks the front end: real windows when a display is available, the console otherwise.
// KESTRUN_UI=console or KESTRUN_UI=gui forces one.
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/Common.h"
#include "platform/Cancellation.h"
#include "platform/WindowSystem.h"
#include "ui/console/ConsoleWindowSystem.h"
#ifdef KESTRUN_HAVE_QT
#include "ui/qt/QtFrontEnd.h"
#endif

namespace {

bool WantsWindows() {
  const char* forced = std::getenv("KESTRUN_UI");
  if (forced && std::strcmp(forced, "console") == 0) return false;
  if (forced && std::strcmp(forced, "gui") == 0) return true;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  kestrun::platform::InitAppFacts(argv[0]);
  kestrun::platform::SetCommandTail(kestrun::platform::BuildCommandTail(argc, argv));

  // Ctrl-C or a service manager's SIGTERM stops the run at its next step, so a download under way
  // removes its temporary file and nothing half-fetched is recorded; a second Ctrl-C ends it at once.
  kestrun::platform::InstallInterruptHandlers();

  if (WantsWindows()) {
#ifdef KESTRUN_HAVE_QT
    return kestrun::ui::qt::RunWithQt(argc, argv);
#else
    std::cerr << "kestrun: built without windows; running on the console\n";
#endif
  }
  kestrun::ui::ConsoleWindowSystem console;
  kestrun::platform::InstallWindowSystem(&console);
  kestrun::ui::InstallViewFactory(&console);
  return kestrun::Main();
}
