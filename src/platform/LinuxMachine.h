#pragma once
#include <istream>
#include <string_view>
#include <vector>

#include "platform/Machine.h"
#include "platform/Processes.h"

namespace kestrun::platform {

// Linux as the machine: facts from uname, /etc/os-release and the boot clock; the desktop and session
// actions through the standard tools (xdg-open, xdg-screensaver, xset, loginctl, systemctl), each
// started as a program with its arguments through `processes`.
class LinuxMachine final : public Machine {
 public:
  explicit LinuxMachine(ProcessControl& processes) : processes_(processes) {}

  VersionRecord OsVersion() override;
  int64_t MillisecondsSinceStart() override;
  std::string LoginName() override;
  std::string DomainName() override;
  std::string HostName() override;

  bool SetHostName(const std::string& name) override;
  bool StartScreenSaver() override;
  bool SetMonitorPower(MonitorPower state) override;
  bool LogOff() override;
  bool ShutDown(bool force) override;
  bool Restart(bool force) override;
  OpenOutcome OpenDocument(const std::string& target) override;
  bool ChooseApplication(const std::string& target) override;

 private:
  // Runs a tool to its end (within a time limit); true when it exited with status 0.
  bool RunTool(const std::vector<std::string>& argv);

  ProcessControl& processes_;
};

// The version record of a kernel release such as "6.1.0-18-amd64" (6, 1, 0) with the distribution's name
// from the text of an os-release file (null: none) as the service-pack text.
VersionRecord MakeVersionRecord(std::string_view kernelRelease, std::istream* osRelease);

}  // namespace kestrun::platform
