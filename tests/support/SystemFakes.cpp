#include "support/SystemFakes.h"

namespace kestrun::testing {

FakeMachine::FakeMachine() : previous_(platform::InstallMachine(this)) {}
FakeMachine::~FakeMachine() { platform::InstallMachine(previous_); }

bool FakeMachine::Act(std::string action) {
  actions.push_back(std::move(action));
  return actionResult;
}

bool FakeMachine::SetMonitorPower(platform::MonitorPower state) {
  return Act(state == platform::MonitorPower::On    ? "Monitor on"
             : state == platform::MonitorPower::Low ? "Monitor low"
                                                    : "Monitor off");
}

platform::OpenOutcome FakeMachine::OpenDocument(const std::string& target) {
  actions.push_back("OpenDocument " + target);
  return openOutcome;
}

FakeProcesses::FakeProcesses() : previous_(platform::InstallProcessControl(this)) {}
FakeProcesses::~FakeProcesses() { platform::InstallProcessControl(previous_); }

int FakeProcesses::Spawn(const std::vector<std::string>& argv, const std::string& folder, bool detached) {
  spawned.push_back({argv, folder, detached});
  return canStart ? 1000 + static_cast<int>(spawned.size()) : 0;
}

platform::ChildStatus FakeProcesses::PollChild(int) {
  if (endings.empty()) return {platform::ChildStatus::Ended, 0};
  const platform::ChildStatus status = endings.front();
  endings.pop_front();
  return status;
}

bool FakeProcesses::EndProcess(int pid) {
  endRequests.push_back(pid);
  return true;
}

}  // namespace kestrun::testing
