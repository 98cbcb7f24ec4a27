#include "platform/LinuxMachine.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/Text.h"

namespace kestrun::platform {
namespace {

// A tool that has not finished by then is left to finish on its own and counts as failed: the program
// never hangs on a desktop service that does not answer.
constexpr std::chrono::seconds kToolLimit{10};
// The opener usually hands the document over and ends at once; one still running by then is showing it.
constexpr std::chrono::seconds kOpenerLimit{5};
// xdg-open's status for "no method available for opening" the target.
constexpr int kOpenerNoMethod = 3;
// The service-pack text of the version record holds 127 characters.
constexpr std::size_t kCsdChars = 127;

// The value of a line of an os-release file, without its quotes and escapes.
std::string ShellValue(std::string_view v) {
  if (v.empty() || (v.front() != '"' && v.front() != '\'')) return std::string(v);
  const char quote = v.front();
  std::string out;
  for (std::size_t i = 1; i < v.size() && v[i] != quote; ++i) {
    if (quote == '"' && v[i] == '\\' && i + 1 < v.size()) ++i;
    out += v[i];
  }
  return out;
}

// Control characters dropped, cut to the record's length without splitting a character.
std::string CsdText(const std::string& name) {
  std::string out;
  std::size_t chars = 0;
  for (unsigned char c : name) {
    if (text::IsAsciiControl(c)) continue;
    const bool startsCharacter = (c & 0xC0) != 0x80;
    if (startsCharacter && ++chars > kCsdChars) break;
    out += static_cast<char>(c);
  }
  return out;
}

std::string PrettyName(std::istream& osRelease) {
  std::string line;
  while (std::getline(osRelease, line)) {
    if (line.rfind("PRETTY_NAME=", 0) == 0) return CsdText(ShellValue(std::string_view(line).substr(12)));
  }
  return {};
}

// Letters, digits and the characters that carry meaning in an address stay; every other byte (blanks,
// quotes, backslashes, control characters, non-ASCII) is percent-encoded, so that the result can stand
// between single quotes anywhere.
std::string PercentEncode(std::string_view s, std::string_view keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (text::IsAsciiAlnum(static_cast<char>(c)) ||
        std::string_view("-._~").find(static_cast<char>(c)) != std::string_view::npos ||
        keep.find(static_cast<char>(c)) != std::string_view::npos) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

// An address ("https://...", "mailto:...") as it is; anything else is a path, made absolute.
std::string ToUri(const std::string& target) {
  const std::size_t colon = target.find(':');
  const bool hasScheme =
      colon != std::string::npos && colon > 0 && text::IsAsciiLetter(target[0]) &&
      target.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.") == colon;
  std::error_code ec;
  if (hasScheme && !std::filesystem::exists(target, ec)) return PercentEncode(target, ":/?#[]@!$&()*+,;=%");
  const std::filesystem::path path = std::filesystem::absolute(target, ec);
  if (ec) return {};
  return "file://" + PercentEncode(path.lexically_normal().string(), "/");
}

// The caller's own login session, for loginctl: its id when it is a plain one, else logind's "self".
std::string OwnSession() {
  const char* id = std::getenv("XDG_SESSION_ID");
  const std::string_view s = id ? id : "";
  const bool plain = !s.empty() && s.size() <= 64 && std::all_of(s.begin(), s.end(), text::IsAsciiAlnum);
  return plain ? std::string(s) : "self";
}

}  // namespace

VersionRecord MakeVersionRecord(std::string_view kernelRelease, std::istream* osRelease) {
  VersionRecord record;
  record.PlatformId = PlatformLinux;
  const char* p = kernelRelease.data();
  const char* const end = p + kernelRelease.size();
  for (int32_t* part : {&record.MajorVersion, &record.MinorVersion, &record.BuildNumber}) {
    if (p == end || !text::IsDigit(*p)) break;
    const auto [next, ec] = std::from_chars(p, end, *part);
    if (ec != std::errc()) {
      *part = 0;  // a number too large for the record
      break;
    }
    if (next == end || *next != '.') break;
    p = next + 1;
  }
  if (osRelease) record.CSDVersion = PrettyName(*osRelease);
  return record;
}

VersionRecord LinuxMachine::OsVersion() {
  utsname uts{};
  if (::uname(&uts) != 0) uts.release[0] = '\0';
  std::ifstream osRelease("/etc/os-release");
  if (!osRelease) osRelease.open("/usr/lib/os-release");
  return MakeVersionRecord(uts.release, osRelease ? &osRelease : nullptr);
}

int64_t LinuxMachine::MillisecondsSinceStart() {
  timespec ts{};
  if (::clock_gettime(CLOCK_BOOTTIME, &ts) != 0) return 0;
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::string LinuxMachine::LoginName() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  while (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  return found && found->pw_name ? found->pw_name : "";
}

std::string LinuxMachine::DomainName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::getdomainname(name, sizeof name - 1) != 0) return {};
  const std::string domain = name;
  return domain == "(none)" ? "" : domain;  // what the kernel keeps when no domain was ever set
}

std::string LinuxMachine::HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

bool LinuxMachine::SetHostName(const std::string& name) { return ::sethostname(name.data(), name.size()) == 0; }

bool LinuxMachine::RunTool(const std::vector<std::string>& argv) {
  const ChildRun run = RunChild(processes_, argv, {}, false, kToolLimit);
  return run.started && run.status.state == ChildStatus::Ended && run.status.exitCode == 0;
}

bool LinuxMachine::StartScreenSaver() { return RunTool({"xdg-screensaver", "activate"}); }

bool LinuxMachine::SetMonitorPower(MonitorPower state) {
  const char* level = state == MonitorPower::On ? "on" : state == MonitorPower::Low ? "standby" : "off";
  return RunTool({"xset", "dpms", "force", level});
}

bool LinuxMachine::LogOff() { return RunTool({"loginctl", "terminate-session", OwnSession()}); }

// Without force, programs that hold a shut-down inhibitor keep the machine up; "-i" overrides them.
bool LinuxMachine::ShutDown(bool force) {
  return force ? RunTool({"systemctl", "poweroff", "-i"}) : RunTool({"systemctl", "poweroff"});
}

bool LinuxMachine::Restart(bool force) {
  return force ? RunTool({"systemctl", "reboot", "-i"}) : RunTool({"systemctl", "reboot"});
}

OpenOutcome LinuxMachine::OpenDocument(const std::string& target) {
  if (target.empty()) return OpenOutcome::Failed;
  // A name beginning with "-" is a file in the current folder, never an option of the opener.
  const std::string argument = target.front() == '-' ? "./" + target : target;
  const ChildRun run = RunChild(processes_, {"xdg-open", argument}, {}, true, kOpenerLimit);
  if (!run.started || run.status.state == ChildStatus::Lost) return OpenOutcome::Failed;
  if (run.status.state == ChildStatus::Running || run.status.exitCode == 0) return OpenOutcome::Opened;
  return run.status.exitCode == kOpenerNoMethod ? OpenOutcome::NoAssociation : OpenOutcome::Failed;
}

// The desktop portal's "open with" chooser: OpenURI with "ask" set. The address is percent-encoded, so
// it holds no quote that could end the text it is put in.
bool LinuxMachine::ChooseApplication(const std::string& target) {
  const std::string uri = target.empty() ? std::string() : ToUri(target);
  if (uri.empty()) return false;
  const ChildRun run = RunChild(processes_,
                                {"gdbus", "call", "--session", "--dest", "org.freedesktop.portal.Desktop",
                                 "--object-path", "/org/freedesktop/portal/desktop", "--method",
                                 "org.freedesktop.portal.OpenURI.OpenURI", "''", "'" + uri + "'", "{'ask': <true>}"},
                                {}, true, kToolLimit);
  return run.started && run.status.state == ChildStatus::Ended && run.status.exitCode == 0;
}

}  // namespace kestrun::platform
