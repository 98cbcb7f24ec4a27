#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kestrun::platform {

// How a child started by Spawn stands.
struct ChildStatus {
  enum State { Running, Ended, Lost };  // Lost: it can no longer be waited for (reaped elsewhere)
  State state = Lost;
  int exitCode = -1;  // the status it exited with; -1 when a signal ended it
};

// Starting, watching and ending processes. No command ever passes through a shell.
class ProcessControl {
 public:
  virtual ~ProcessControl() = default;

  // Starts argv[0] with the arguments argv[1..] in `folder` (empty: the current folder), inheriting the
  // environment and the standard streams but no other open file. A program name without "/" is looked
  // up on PATH. `detached` puts the child into a session of its own, so that it outlives a Ctrl-C aimed
  // at this program. Returns the child's id, or 0 when it could not be started.
  virtual int Spawn(const std::vector<std::string>& argv, const std::string& folder, bool detached) = 0;

  // Looks, without waiting, whether a child of Spawn has ended; an ended child is reaped.
  virtual ChildStatus PollChild(int pid) = 0;

  // Gives up waiting for a child of Spawn: it is reaped in the background when it ends.
  virtual void Release(int pid) = 0;

  virtual int CurrentId() = 0;

  // Whether `pid` is a live process (not a thread, not one that has ended) this program may signal.
  virtual bool IsRunning(int pid) = 0;

  // Asks the process to end, forces it after a short grace period, and says whether it ended. Never acts
  // on this program itself, on init, or on a group of processes.
  virtual bool EndProcess(int pid) = 0;
};

// The process control of this program; tests may install their own.
ProcessControl& Processes();
// Installs `pc` (not owned; null puts the system's back) and returns the one installed before.
ProcessControl* InstallProcessControl(ProcessControl* pc);
// The operating system's own process control.
ProcessControl& SystemProcesses();

// The outcome of RunChild.
struct ChildRun {
  bool started = false;
  ChildStatus status;  // Running when it was left running at the time limit
};

// Starts a child and waits for its end, letting the window handle its messages in short steps
// meanwhile. Without a limit it waits as long as the child runs; with one, a child still running then
// is left to finish on its own, as it is when the program is asked to stop (CancelRequested).
ChildRun RunChild(ProcessControl& processes, const std::vector<std::string>& argv, const std::string& folder,
                  bool detached, std::optional<std::chrono::milliseconds> limit);

}  // namespace kestrun::platform
