#pragma once
#include <deque>
#include <string>
#include <vector>

#include "platform/Machine.h"
#include "platform/Processes.h"

namespace kestrun::testing {

// A machine that acts on nothing: its facts are what the test sets, its actions are recorded and
// answered with `actionResult`. Installs itself for its lifetime; every test program runs with one
// installed, so that no test can shut down, log off, blank or rename the machine running it.
class FakeMachine : public platform::Machine {
 public:
  FakeMachine();
  ~FakeMachine() override;

  platform::VersionRecord version;
  int64_t milliseconds = 0;
  std::string login, domain, host;
  bool actionResult = true;
  platform::OpenOutcome openOutcome = platform::OpenOutcome::Opened;
  std::vector<std::string> actions;  // "ShutDown force", "SetHostName name", "ChooseApplication x", ...

  platform::VersionRecord OsVersion() override { return version; }
  int64_t MillisecondsSinceStart() override { return milliseconds; }
  std::string LoginName() override { return login; }
  std::string DomainName() override { return domain; }
  std::string HostName() override { return host; }
  bool SetHostName(const std::string& name) override { return Act("SetHostName " + name); }
  bool StartScreenSaver() override { return Act("StartScreenSaver"); }
  bool SetMonitorPower(platform::MonitorPower state) override;
  bool LogOff() override { return Act("LogOff"); }
  bool ShutDown(bool force) override { return Act(force ? "ShutDown force" : "ShutDown"); }
  bool Restart(bool force) override { return Act(force ? "Restart force" : "Restart"); }
  platform::OpenOutcome OpenDocument(const std::string& target) override;
  bool ChooseApplication(const std::string& target) override { return Act("ChooseApplication " + target); }

 private:
  bool Act(std::string action);
  platform::Machine* previous_;
};

// Process control that starts nothing: spawns are recorded, children end as `endings` say (in order;
// with none left, status 0), and nothing is ever signalled. Installs itself for its lifetime.
class FakeProcesses : public platform::ProcessControl {
 public:
  struct Spawned {
    std::vector<std::string> argv;
    std::string folder;
    bool detached;
  };

  FakeProcesses();
  ~FakeProcesses() override;

  bool canStart = true;
  std::deque<platform::ChildStatus> endings;
  std::vector<Spawned> spawned;
  std::vector<int> released;
  std::vector<int> endRequests;
  static constexpr int kOwnId = 4242;
  static constexpr int kRunningId = 777;  // the one other process that runs

  int Spawn(const std::vector<std::string>& argv, const std::string& folder, bool detached) override;
  platform::ChildStatus PollChild(int pid) override;
  void Release(int pid) override { released.push_back(pid); }
  int CurrentId() override { return kOwnId; }
  bool IsRunning(int pid) override { return pid == kRunningId || pid == kOwnId; }
  bool EndProcess(int pid) override;

 private:
  platform::ProcessControl* previous_;
};

}  // namespace kestrun::testing
