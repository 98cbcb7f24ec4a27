#pragma once
#include <cstdint>
#include <string>

namespace kestrun::platform {

// The platform identifiers of the operating-system version record: the Windows ones, and the one this
// program gives Linux, a number no Windows uses.
inline constexpr int32_t PlatformWin32s = 0;
inline constexpr int32_t PlatformWindows9x = 1;
inline constexpr int32_t PlatformWindowsNT = 2;
inline constexpr int32_t PlatformLinux = 4;

// The operating-system version record.
struct VersionRecord {
  int32_t MajorVersion = 0;
  int32_t MinorVersion = 0;
  int32_t BuildNumber = 0;
  int32_t PlatformId = 0;
  std::string CSDVersion;  // the service-pack text; on Linux the distribution's name
};

enum class MonitorPower { On, Low, Off };

// What became of a request to open a document, folder or address.
enum class OpenOutcome { Opened, NoAssociation, Failed };

// The machine the program runs on: facts read afresh on every call, and the actions on the machine
// itself. Tests install a stand-in, so that no test ever acts on the machine running it.
class Machine {
 public:
  virtual ~Machine() = default;

  virtual VersionRecord OsVersion() = 0;
  virtual int64_t MillisecondsSinceStart() = 0;
  virtual std::string LoginName() = 0;   // "" when it cannot be told
  virtual std::string DomainName() = 0;  // "" when the machine has none
  virtual std::string HostName() = 0;    // "" when it cannot be told

  // Each action says whether it was carried out.
  virtual bool SetHostName(const std::string& name) = 0;
  virtual bool StartScreenSaver() = 0;
  virtual bool SetMonitorPower(MonitorPower state) = 0;
  virtual bool LogOff() = 0;
  // `force` closes running programs without giving them a say.
  virtual bool ShutDown(bool force) = 0;
  virtual bool Restart(bool force) = 0;

  // Hands a document, folder or address to the program the desktop associates with it.
  virtual OpenOutcome OpenDocument(const std::string& target) = 0;
  // Lets the user choose a program for it.
  virtual bool ChooseApplication(const std::string& target) = 0;
};

// The machine of this program; tests install their own.
Machine& ThisMachine();
// Installs `m` (not owned; null puts the system's back) and returns the one installed before.
Machine* InstallMachine(Machine* m);

}  // namespace kestrun::platform
