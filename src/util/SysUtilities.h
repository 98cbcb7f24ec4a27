#pragma once
#include <cstdint>
#include <string>

#include "util/PlaceableForm.h"

namespace kestrun {

// Operating-system queries and actions. Stateless: every user creates its own instance. Every action on
// the machine goes through platform::ThisMachine() or the window system, so tests never act on the
// machine they run on.
class SysUtilities {
 public:
  // Window placement on the desktop work area (the screen less the task bar).
  // Positions: 0 top left, 1 top right, 2 bottom left, 3 bottom right, 4 centre; any other leaves the
  // form where it is. The margin keeps the form off the work area's edges (it does not apply to the
  // centre); the offsets move the result.
  void PositionForm(PlaceableForm& frm, int32_t position, int32_t margin, int32_t offsetX, int32_t offsetY);
  void CenterForm(PlaceableForm& frmActive);

  // The operating-system version record, read afresh on every call. On Linux major, minor and build come
  // from the kernel release (6.1.0 gives 6, 1, 0) and the service-pack text is the distribution's name.
  int32_t GetMajorVersion();
  int32_t GetMinorVersion();
  int32_t GetBuildNumber();  // on the Windows 9x platform only its low 12 bits count
  int32_t GetPlatformId();
  std::string GetCSDVersion();
  // For example "Linux V6.1.0 Debian GNU/Linux 12 (bookworm)" or "Windows NT V5.1.2600 Service Pack 1".
  std::string GetOSVersionString();
  // Time since the system started: "02:03:04", or "1 days 02:03:04" once a day has passed.
  std::string UpTime();

  // The system's text for an error number (an errno value on Linux), else "Error (n) not defined.".
  std::string ApiErrorText(int32_t ErrNum);
  std::string GetUserID();       // login name of the effective user; "" on failure
  std::string GetUserDomain();   // "" when the machine has no domain
  std::string GetMachineName();  // the host name; "" on failure
  // Sets the host name (needs root); false for a name of 32 bytes or more or one that is no host name.
  bool SetMachineName(const std::string& strNewComputerName);

  // No Linux desktop lets a program hide its panel or lock out Ctrl+Alt+Del: both do nothing.
  void Taskbar(bool blnShow);
  void DisableCtrlAltDel(bool bOnOff);
  bool StartScreenSaver();
  // State -1 turns the monitor on, 1 puts it into low power, 2 off; any other value does nothing.
  bool PowerSaveMonitor(int32_t State);
  void LogOffWindows();
  // With blnForce, running programs are closed without being asked.
  void ShutDownWindows(bool blnForce = false);
  void RestartWindows(bool blnForce = false);
  void AlwaysOnTop(PlaceableForm& frm, bool blnOnTop);
  // Blocks the calling thread; window messages wait meanwhile. A negative time does not wait.
  void Wait(int32_t dwMilliseconds);

  // A keyed exclusive-or with a repeatable byte stream: enciphering the result again with the same key
  // gives the text back. Works on bytes; texts and keys of more than 32767 bytes raise an overflow.
  std::string EncipherString(const std::string& strText, const std::string& strKey);

  // Switches to the first display mode of that size and depth (and frequency, unless it is 0); with
  // blnUseMaxFrequency the highest frequency of that size and depth is chosen and stored in
  // lngFrequency first. False when no such mode could be set.
  bool ChangeScreenResolution(int32_t lngWidth, int32_t lngHeight, int32_t lngColorBits);
  bool ChangeScreenResolution(int32_t lngWidth, int32_t lngHeight, int32_t lngColorBits, int32_t& lngFrequency,
                              bool blnUseMaxFrequency = false);

  // The window system's own About dialog for "Kestrun 1.00.00" with a notice naming the author.
  void Aboutbox(PlaceableForm& frmActive);
};

}  // namespace kestrun
