// The system facts of SysUtilities: version, time since start, error texts, user and machine names.
#include <algorithm>
#include <cstring>

#include "platform/Machine.h"
#include "platform/Text.h"
#include "util/SysUtilities.h"

namespace kestrun {
namespace {

// A host name can hold no more, counted in bytes of the system's encoding.
constexpr std::size_t kMachineNameLimit = 32;

int32_t BuildOf(const platform::VersionRecord& record) {
  // Windows 9x keeps its major and minor version in the build number's high bits.
  return record.PlatformId == platform::PlatformWindows9x ? record.BuildNumber & 0xFFF : record.BuildNumber;
}

std::string CsdOf(const platform::VersionRecord& record) {
  return record.CSDVersion.substr(0, record.CSDVersion.find('\0'));
}

std::string SystemName(const platform::VersionRecord& record) {
  switch (record.PlatformId) {
    case platform::PlatformWin32s: return "Win32s";
    case platform::PlatformWindows9x:
      if (record.MajorVersion == 4 && record.MinorVersion == 0) return "Windows 95";
      if (record.MajorVersion == 4 && record.MinorVersion == 10) return "Windows 98";
      return "Windows 9X";
    case platform::PlatformWindowsNT: return "Windows NT";
    case platform::PlatformLinux: return "Linux";
    default: return "Unknown";
  }
}

std::string TwoDigits(int64_t n) {
  return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

// Letters, digits and hyphens in dot-separated labels, no label empty or beginning or ending with a
// hyphen: what the resolver and every other machine accept as a host name.
bool IsHostName(const std::string& name) {
  std::size_t labelStart = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '.') {
      if (i == labelStart || name[labelStart] == '-' || name[i - 1] == '-') return false;
      labelStart = i + 1;
    } else if (!text::IsAsciiAlnum(name[i]) && name[i] != '-') {
      return false;
    }
  }
  return true;
}

}  // namespace

int32_t SysUtilities::GetMajorVersion() { return platform::ThisMachine().OsVersion().MajorVersion; }
int32_t SysUtilities::GetMinorVersion() { return platform::ThisMachine().OsVersion().MinorVersion; }
int32_t SysUtilities::GetBuildNumber() { return BuildOf(platform::ThisMachine().OsVersion()); }
int32_t SysUtilities::GetPlatformId() { return platform::ThisMachine().OsVersion().PlatformId; }
std::string SysUtilities::GetCSDVersion() { return CsdOf(platform::ThisMachine().OsVersion()); }

std::string SysUtilities::GetOSVersionString() {
  const platform::VersionRecord record = platform::ThisMachine().OsVersion();
  return SystemName(record) + " V" + std::to_string(record.MajorVersion) + "." + std::to_string(record.MinorVersion) +
         "." + std::to_string(BuildOf(record)) + " " + CsdOf(record);
}

// Counted in 64 bits: past 24 days 20:31:23 the days go on growing, as a server's uptime does.
std::string SysUtilities::UpTime() {
  const int64_t seconds = std::max<int64_t>(0, platform::ThisMachine().MillisecondsSinceStart()) / 1000;
  const int64_t days = seconds / 86400;
  const std::string clock =
      TwoDigits(seconds / 3600 % 24) + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
  return days > 0 ? std::to_string(days) + " days " + clock : clock;
}

std::string SysUtilities::ApiErrorText(int32_t ErrNum) {
  // The C library names every error number it has a text for; for the others it makes up
  // "Unknown error n", which is no text.
  if (::strerrorname_np(ErrNum) != nullptr) {
    char buffer[1024];
    const char* text = ::strerror_r(ErrNum, buffer, sizeof buffer);
    if (text && *text) return text;
  }
  return "Error (" + std::to_string(ErrNum) + ") not defined.";
}

std::string SysUtilities::GetUserID() { return platform::ThisMachine().LoginName(); }

std::string SysUtilities::GetUserDomain() {
  try {
    return platform::ThisMachine().DomainName();
  } catch (...) {
    return {};
  }
}

std::string SysUtilities::GetMachineName() { return platform::ThisMachine().HostName(); }

bool SysUtilities::SetMachineName(const std::string& strNewComputerName) {
  if (strNewComputerName.size() >= kMachineNameLimit || !IsHostName(strNewComputerName)) return false;
  return platform::ThisMachine().SetHostName(strNewComputerName);
}

}  // namespace kestrun
