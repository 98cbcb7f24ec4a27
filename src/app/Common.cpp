#include "app/Common.h"

#include <memory>

#include "app/Application.h"
#include "platform/Cancellation.h"
#include "platform/WindowSystem.h"
#include "ui/About.h"

namespace kestrun {

int Main() {
  platform::Windows().DoEvents();
  auto objA = std::make_unique<Application>(platform::CommandTail());
  objA->Execute();
  objA->Terminate();
  const int status = objA->ExitStatus();
  objA.reset();
  // A window left open (pinned) keeps the program alive until the user closes it, or until Ctrl-C or
  // SIGTERM, which end it as they end a run.
  platform::Windows().RunUntilLastWindowClosed();
  // About boxes left open after the run have been closed by now.
  About::ReleaseOpenWindows();
  return status == 0 && platform::CancelRequested() ? 1 : status;
}

}  // namespace kestrun
