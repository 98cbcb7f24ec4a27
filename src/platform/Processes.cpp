#include "platform/Processes.h"

#include "platform/Cancellation.h"
#include "platform/WindowSystem.h"

namespace kestrun::platform {
namespace {

ProcessControl* g_installed = nullptr;

// Between two looks at the child the window handles its messages for this long: short enough that the
// end of a quick child is noticed at once, long enough that the wait costs nothing.
constexpr std::chrono::milliseconds kStep{50};

}  // namespace

ProcessControl& Processes() { return g_installed ? *g_installed : SystemProcesses(); }

ProcessControl* InstallProcessControl(ProcessControl* pc) {
  ProcessControl* before = g_installed;
  g_installed = pc;
  return before;
}

ChildRun RunChild(ProcessControl& processes, const std::vector<std::string>& argv, const std::string& folder,
                  bool detached, std::optional<std::chrono::milliseconds> limit) {
  ChildRun run;
  const int pid = processes.Spawn(argv, folder, detached);
  if (pid <= 0) return run;
  run.started = true;
  const auto deadline = std::chrono::steady_clock::now() + limit.value_or(std::chrono::milliseconds::zero());
  for (;;) {
    run.status = processes.PollChild(pid);
    if (run.status.state != ChildStatus::Running) return run;
    // A program asked to stop (Ctrl-C, its window closed) stops waiting; the child runs on by itself.
    if (CancelRequested() || (limit && std::chrono::steady_clock::now() >= deadline)) {
      processes.Release(pid);
      return run;
    }
    Windows().WaitFor(kStep);
  }
}

}  // namespace kestrun::platform
