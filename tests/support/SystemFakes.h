#pragma once
#include <deque>
#include <string>
#include <vector>

#include "platform/Machine.h"
#include "platform/Processes.h"

namespace kestrun::testing {

// A machine that acts on nothing: its facts are the test's, its actions only recorded. Installed for its
// lifetime (every test program runs with one), so no test shuts down, logs off or renames the machine.
class FakeMachine : public platform::Machine {
 public:
  FakeMachine() : previous_(platform::InstallMachine(this)) {}
  ~FakeMachine() override { platform::InstallMachine(previous_); }

  platform::VersionRecord version;
  int64_t milliseconds = 0;
  bool actionResult = true;
  std::vector<std::string> actions;

  platform::VersionRecord OsVersion() override { return version; }
  int64_t MillisecondsSinceStart() override { return milliseconds; }
  std::string LoginName() override { return {}; }
  std::string DomainName() override { return {}; }
  std::string HostName() override { return {}; }
  bool SetHostName(const std::string& name) override { return Act("SetHostName " + name); }
  bool StartScreenSaver() override { return Act("StartScreenSaver"); }
  bool SetMonitorPower(platform::MonitorPower) override { return Act("SetMonitorPower"); }
  bool LogOff() override { return Act("LogOff"); }
  bool ShutDown(bool) override { return Act("ShutDown"); }
  bool Restart(bool) override { return Act("Restart"); }
  platform::OpenOutcome OpenDocument(const std::string&) override {
    Act("OpenDocument");
    return platform::OpenOutcome::Failed;
  }
  bool ChooseApplication(const std::string&) override { return Act("ChooseApplication"); }

 private:
  bool Act(std::string action) {
    actions.push_back(std::move(action));
    return actionResult;
  }
  platform::Machine* previous_;
};

// Process control that starts and signals nothing: a spawn is recorded as its words joined by "|" ("&"
// first when detached) and gets an id from 1001 on; children end as `endings` say, then with status 0.
class FakeProcesses : public platform::ProcessControl {
 public:
  static constexpr int kOwnId = 4242;
  static constexpr int kRunningId = 777;  // the one other process there is

  FakeProcesses() : previous_(platform::InstallProcessControl(this)) {}
  ~FakeProcesses() override { platform::InstallProcessControl(previous_); }

  bool canStart = true;
  std::deque<platform::ChildStatus> endings;
  std::vector<std::string> spawned;
  std::vector<int> released, endRequests;

  int Spawn(const std::vector<std::string>& argv, const std::string&, bool detached) override {
    std::string line = detached ? "&" : "";
    for (const std::string& word : argv) line += (&word == &argv.front() ? "" : "|") + word;
    spawned.push_back(line);
    return canStart ? 1000 + static_cast<int>(spawned.size()) : 0;
  }
  platform::ChildStatus PollChild(int) override {
    if (endings.empty()) return {platform::ChildStatus::Ended, 0};
    const platform::ChildStatus status = endings.front();
    endings.pop_front();
    return status;
  }
  void Release(int pid) override { released.push_back(pid); }
  int CurrentId() override { return kOwnId; }
  bool IsRunning(int pid) override { return pid == kRunningId || pid == kOwnId; }
  bool EndProcess(int pid) override {
    endRequests.push_back(pid);
    return true;
  }

 private:
  platform::ProcessControl* previous_;
};

}  // namespace kestrun::testing
