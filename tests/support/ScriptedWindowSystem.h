#pragma once
#include <deque>
#include <functional>
#include <string>
#include <thread>
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
    std::string prompt, caption, defaultText;
  };

  ScriptedWindowSystem() : previous_(platform::InstallWindowSystem(this)) {}
  ~ScriptedWindowSystem() override { platform::InstallWindowSystem(previous_); }

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

  int MsgBox(const std::string& prompt, int buttons, const std::string& caption) override {
    boxes.push_back({prompt, buttons, caption});
    return platform::mb::AnswerOk;
  }
  std::string InputBox(const std::string& prompt, const std::string& caption, const std::string& defaultText) override {
    inputs.push_back({prompt, caption, defaultText});
    if (inputAnswers.empty()) return {};
    std::string answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
  }
  void DoEvents() override {
    ++doEventsCalls;
    if (onDoEvents) onDoEvents();
  }
  void WaitFor(std::chrono::milliseconds duration) override {
    ++doEventsCalls;
    std::this_thread::sleep_for(duration);
  }
  platform::WorkArea GetWorkArea() override { return workArea; }
  std::vector<platform::DisplayMode> DisplayModes() override { return displayModes; }
  bool SetDisplayMode(const platform::DisplayMode& mode) override {
    modeRequests.push_back(mode);
    return static_cast<int>(modeRequests.size()) > refusedModeChanges;
  }

 private:
  platform::WindowSystem* previous_;
};

// Makes EndProgramAtOnce throw ProgramEnded for its lifetime, so a test can see the program end.
struct ProgramEnded {
  int exitStatus;
};
class CatchProgramEnd {
 public:
  CatchProgramEnd() : previous_(platform::SetEndProgramAction(&Throw)) {}
  ~CatchProgramEnd() { platform::SetEndProgramAction(previous_); }

 private:
  [[noreturn]] static void Throw(int exitStatus) { throw ProgramEnded{exitStatus}; }
  platform::EndProgramAction previous_;
};

}  // namespace kestrun::testing
