// Answers the GNU options, then picks the front end: real windows when a display answers, the console
// otherwise. KESTRUN_UI=console or KESTRUN_UI=gui forces one.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "app/CommandTail.h"
#include "app/Common.h"
#include "app/StartOptions.h"
#include "platform/Cancellation.h"
#include "platform/WindowSystem.h"
#include "ui/WindowModule.h"
#include "ui/console/ConsoleWindowSystem.h"

namespace {

enum class FrontEnd { Console, Windows, None };

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// For windows, `windows` is the loaded window module.
FrontEnd ChooseFrontEnd([[maybe_unused]] const KestrunWindowModule*& windows) {
  const std::string forced = Env("KESTRUN_UI");
  if (forced == "console") return FrontEnd::Console;
  const bool wanted =
      forced == "gui" || !Env("DISPLAY").empty() || !Env("WAYLAND_DISPLAY").empty() || !Env("QT_QPA_PLATFORM").empty();
  if (!wanted) return FrontEnd::Console;
#ifdef KESTRUN_HAVE_QT
  // A server without the windows (or without their Qt libraries) still runs, on the console.
  std::string problem = kestrun::ui::LoadWindowModule(kestrun::ui::WindowModulePath(), windows);
  if (!problem.empty()) {
    std::cerr << "kestrun: " << problem << "; running on the console" << std::endl;
    return FrontEnd::Console;
  }
  // Qt aborts when it cannot open its display; a timer that inherited a stale DISPLAY must still run.
  char why[512] = "";
  windows->displayProblem(why, sizeof why, 2000);
  problem = why;
  if (problem.empty()) return FrontEnd::Windows;
  if (forced == "gui") {
    std::cerr << "kestrun: no window can be opened (" << problem << ")" << std::endl;
    return FrontEnd::None;
  }
  std::cerr << "kestrun: no window can be opened (" << problem << "); running on the console" << std::endl;
#else
  std::cerr << "kestrun: built without windows; running on the console" << std::endl;
#endif
  return FrontEnd::Console;
}

// --help and --version: the answer on standard output; a failed write is a failure, as in GNU tools.
int Answer(const std::string& text) {
  std::cout << text << std::flush;
  if (std::cout) return 0;
  std::cerr << "kestrun: write error: " << std::strerror(errno) << std::endl;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using kestrun::StartOptions;
  // Ignored before anything is written: `kestrun | head` must not end a run half-way (writes then fail).
  if (!kestrun::platform::IgnoreBrokenPipes()) {
    std::cerr << "kestrun: cannot ignore SIGPIPE: " << std::strerror(errno) << std::endl;
  }
  // A file-size limit (ulimit -f) must fail the write that meets it, which the run reports and cleans up
  // after, rather than kill the process with a half-written temporary file left behind.
  ::signal(SIGXFSZ, SIG_IGN);
  kestrun::platform::InitAppFacts(argc > 0 ? argv[0] : nullptr);
  const StartOptions options = kestrun::ReadStartOptions(argc, argv);
  switch (options.action) {
    case StartOptions::Action::Help: return Answer(kestrun::HelpText());
    case StartOptions::Action::Version: return Answer(kestrun::VersionText());
    case StartOptions::Action::Refused: return 2;
    case StartOptions::Action::Run: break;
  }
  kestrun::platform::SetCommandTail(kestrun::BuildCommandTail(options.arguments));

  // Ctrl-C or a service manager's SIGTERM stops the run at its next step, so a download under way
  // removes its temporary file and nothing half-fetched is recorded; an open dialog closes as cancelled;
  // a second Ctrl-C ends it at once.
  if (!kestrun::platform::InstallInterruptHandlers()) {
    std::cerr << "kestrun: cannot handle SIGINT and SIGTERM: " << std::strerror(errno) << std::endl;
  }

  const KestrunWindowModule* windows = nullptr;
  switch (ChooseFrontEnd(windows)) {
    case FrontEnd::None: return 1;
    case FrontEnd::Windows: {
      // Qt gets no argument of ours: what follows "--" must not pass for a Qt option (-platform, -style).
      static char name[] = "kestrun";
      static char* qtArgv[] = {name, nullptr};
      return windows->run(1, qtArgv);
    }
    case FrontEnd::Console: break;
  }
  kestrun::ui::ConsoleWindowSystem console;
  kestrun::platform::InstallWindowSystem(&console);
  kestrun::ui::InstallViewFactory(&console);
  return kestrun::Main();
}
