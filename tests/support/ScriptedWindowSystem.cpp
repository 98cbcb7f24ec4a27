#include "support/ScriptedWindowSystem.h"

#include <thread>

namespace kestrun::testing {

ScriptedWindowSystem::ScriptedWindowSystem() : previous_(platform::InstallWindowSystem(this)) {}
ScriptedWindowSystem::~ScriptedWindowSystem() { platform::InstallWindowSystem(previous_); }

int ScriptedWindowSystem::MsgBox(const std::string& prompt, int buttons, const std::string& caption) {
  boxes.push_back({prompt, buttons, caption});
  return platform::mb::AnswerOk;
}

std::string ScriptedWindowSystem::InputBox(const std::string& prompt, const std::string& caption,
                                           const std::string& defaultText) {
  inputs.push_back({prompt, caption, defaultText});
  if (inputAnswers.empty()) return {};
  std::string answer = inputAnswers.front();
  inputAnswers.pop_front();
  return answer;
}

void ScriptedWindowSystem::WaitFor(std::chrono::milliseconds duration) {
  ++doEventsCalls;
  std::this_thread::sleep_for(duration);
}

bool ScriptedWindowSystem::SetDisplayMode(const platform::DisplayMode& mode) {
  modeRequests.push_back(mode);
  return static_cast<int>(modeRequests.size()) > refusedModeChanges;
}

namespace {
[[noreturn]] void ThrowProgramEnded(int exitStatus) { throw ProgramEnded{exitStatus}; }
}  // namespace

CatchProgramEnd::CatchProgramEnd() : previous_(platform::SetEndProgramAction(&ThrowProgramEnded)) {}
CatchProgramEnd::~CatchProgramEnd() { platform::SetEndProgramAction(previous_); }

}  // namespace kestrun::testing
