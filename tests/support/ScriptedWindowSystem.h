#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

namespace kestrun::testing {

// A window system whose dialogs are answered by the test: message boxes are recorded and answered OK,
// input boxes take queued answers (an unqueued one is Cancel: the empty text).
// Each pending-message pass runs `onDoEvents`: the one point where a user acts during a run. Installs
// itself for its lifetime and puts the previous one back afterwards.
class ScriptedWindowSystem : public platform::WindowSystem {
 public:
  struct Box {
    std::string prompt;
    int buttons;
    std::string caption;
  };
  struct Input {
    std::string prompt;
    std::string caption;
    std::string defaultText;
  };

  ScriptedWindowSystem();
  ~ScriptedWindowSystem() override;

  std::deque<std::string> inputAnswers;
  std::vector<Box> boxes;
  std::vector<Input> inputs;
  int doEventsCalls = 0;
  std::function<void()> onDoEvents;
  platform::WorkArea workArea;
  // The display modes listed; each change asked for is recorded, the first `refusedModeChanges` fail.
  std::vector<platform::DisplayMode> displayModes;
  std::vector<platform::DisplayMode> modeRequests;
  int refusedModeChanges = 0;

  int MsgBox(const std::string& prompt, int buttons, const std::string& caption) override;
  std::string InputBox(const std::string& prompt, const std::string& caption, const std::string& defaultText) override;
  void DoEvents() override {
    ++doEventsCalls;
    if (onDoEvents) onDoEvents();
  }
  void WaitFor(std::chrono::milliseconds duration) override;
  platform::WorkArea GetWorkArea() override { return workArea; }
  std::vector<platform::DisplayMode> DisplayModes() override { return displayModes; }
  bool SetDisplayMode(const platform::DisplayMode& mode) override;

 private:
  platform::WindowSystem* previous_;
};

// Makes EndProgramAtOnce throw ProgramEnded for its lifetime, so a test can see the program end.
struct ProgramEnded {
  int exitStatus;
};
class CatchProgramEnd {
 public:
  CatchProgramEnd();
  ~CatchProgramEnd();

 private:
  platform::EndProgramAction previous_;
};

}  // namespace kestrun::testing
