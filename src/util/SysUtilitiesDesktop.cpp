// The desktop and session actions of SysUtilities, the text cipher and the display modes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "platform/Machine.h"
#include "platform/WindowSystem.h"
#include "util/RuntimeError.h"
#include "util/SysUtilities.h"

namespace kestrun {
namespace {

constexpr std::size_t kCipherLimit = 32767;

bool Matches(const platform::DisplayMode& mode, int32_t width, int32_t height, int32_t bits) {
  return mode.Width == width && mode.Height == height && mode.BitsPerPixel == bits;
}

}  // namespace

void SysUtilities::Taskbar(bool /*blnShow*/) {}

void SysUtilities::DisableCtrlAltDel(bool /*bOnOff*/) {}

bool SysUtilities::StartScreenSaver() {
  try {
    return platform::ThisMachine().StartScreenSaver();
  } catch (...) {
    return false;
  }
}

bool SysUtilities::PowerSaveMonitor(int32_t State) {
  try {
    switch (State) {
      case -1: return platform::ThisMachine().SetMonitorPower(platform::MonitorPower::On);
      case 1: return platform::ThisMachine().SetMonitorPower(platform::MonitorPower::Low);
      case 2: return platform::ThisMachine().SetMonitorPower(platform::MonitorPower::Off);
      default: return false;
    }
  } catch (...) {
    return false;
  }
}

void SysUtilities::LogOffWindows() { platform::ThisMachine().LogOff(); }

void SysUtilities::ShutDownWindows(bool blnForce) { platform::ThisMachine().ShutDown(blnForce); }

void SysUtilities::RestartWindows(bool blnForce) { platform::ThisMachine().Restart(blnForce); }

void SysUtilities::AlwaysOnTop(PlaceableForm& frm, bool blnOnTop) {
  platform::Windows().SetAlwaysOnTop(frm.Handle(), blnOnTop);
}

// Windows takes a negative time as "for ever"; a program that must never hang does not wait at all.
void SysUtilities::Wait(int32_t dwMilliseconds) {
  if (dwMilliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

std::string SysUtilities::EncipherString(const std::string& strText, const std::string& strKey) {
  if (strText.size() > kCipherLimit || strKey.size() > kCipherLimit) Raise(err::Overflow);
  // Every key byte enters the seed twice, at two shifts (below 24) that move on with each byte.
  int32_t seed = 0;
  int a = 17;
  int b = 0;
  for (const unsigned char c : strKey) {
    seed ^= (int32_t{c} << b) ^ (int32_t{c} << a);
    a = (a + 17) % 24;
    b = (b + 9) % 24;
  }
  // The Mersenne Twister is the same everywhere, so a text enciphered here deciphers anywhere; its top
  // eight bits are the integer part of (a number in [0, 1) times 256).
  std::mt19937 stream(static_cast<uint32_t>(seed));
  std::string out = strText;
  for (char& c : out) c = static_cast<char>(static_cast<unsigned char>(c) ^ (stream() >> 24));
  return out;
}

bool SysUtilities::ChangeScreenResolution(int32_t lngWidth, int32_t lngHeight, int32_t lngColorBits) {
  int32_t frequency = 0;
  return ChangeScreenResolution(lngWidth, lngHeight, lngColorBits, frequency, false);
}

bool SysUtilities::ChangeScreenResolution(int32_t lngWidth, int32_t lngHeight, int32_t lngColorBits,
                                          int32_t& lngFrequency, bool blnUseMaxFrequency) {
  platform::WindowSystem& windows = platform::Windows();
  const std::vector<platform::DisplayMode> modes = windows.DisplayModes();
  if (blnUseMaxFrequency) {
    long highest = 0;
    for (const auto& mode : modes) {
      if (Matches(mode, lngWidth, lngHeight, lngColorBits)) highest = std::max(highest, mode.Frequency);
    }
    lngFrequency = static_cast<int32_t>(highest);
  }
  for (const auto& mode : modes) {
    if (Matches(mode, lngWidth, lngHeight, lngColorBits) && (lngFrequency == 0 || mode.Frequency == lngFrequency) &&
        windows.SetDisplayMode(mode)) {
      return true;
    }
  }
  return false;
}

void SysUtilities::Aboutbox(PlaceableForm& frmActive) {
  const platform::AppFacts& app = platform::App();
  char version[48];
  std::snprintf(version, sizeof version, "%d.%02d.%02d", app.Major, app.Minor, app.Revision);
  platform::Windows().ShowSystemAbout(frmActive.Handle(), app.Title + " " + version,
                                      "Written by " + app.CompanyName + ".");
}

}  // namespace kestrun
