#include "platform/LinuxMachine.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <tuple>

#include "platform/Cancellation.h"
#include "support/ScriptedWindowSystem.h"
#include "support/SystemFakes.h"
#include "util/ProcessUtilities.h"
#include "util/SysUtilities.h"

namespace kestrun {
namespace {

using platform::ChildStatus;
using Words = std::vector<std::string>;

TEST(LinuxMachine, VersionRecordFromKernelReleaseAndOsRelease) {
  const std::string n126(126, 'n');
  // clang-format off
  const std::tuple<std::string, std::optional<std::string>, std::string> rows[] = {
      {"6.1.0-18-amd64", "NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
       "6 1 0 Debian GNU/Linux 12 (bookworm)"},
      {"6.18.44-fc-v1300", "PRETTY_NAME='Single Quoted'", "6 18 44 Single Quoted"},
      {"5.15", "PRETTY_NAME=Bare", "5 15 0 Bare"},
      {"4.19.0.9", R"(PRETTY_NAME="Esc \"q\" \\ \$ end)", R"(4 19 0 Esc "q" \ $ end)"},
      {"99999999999.2.3", std::nullopt, "0 0 0 "},
      {"-1.2", "PRETTY_NAME=\"tab\there\x1b[31m\"", "0 0 0 tabhere[31m"},
      {"1", "PRETTY_NAME=" + n126 + "\xc3\xa9\xc3\xa9", "1 0 0 " + n126 + "\xc3\xa9"}};  // 127 characters, none split
  // clang-format on
  for (const auto& [release, osReleaseText, expected] : rows) {
    std::istringstream osRelease(osReleaseText.value_or(""));
    const platform::VersionRecord v = platform::MakeVersionRecord(release, osReleaseText ? &osRelease : nullptr);
    EXPECT_EQ(v.PlatformId, platform::PlatformLinux);
    EXPECT_EQ(std::to_string(v.MajorVersion) + " " + std::to_string(v.MinorVersion) + " " +
                  std::to_string(v.BuildNumber) + " " + v.CSDVersion,
              expected);
  }
  platform::LinuxMachine real(platform::SystemProcesses());
  utsname uts{};
  ASSERT_EQ(::uname(&uts), 0);
  EXPECT_EQ(real.OsVersion().MajorVersion, std::atoi(uts.release));
  EXPECT_FALSE(real.LoginName().empty());
}

// The Linux machine over process control that starts nothing, installed as this program's machine.
class LinuxCommands : public ::testing::Test {
 protected:
  LinuxCommands() : previous_(platform::InstallMachine(&machine)) {}
  ~LinuxCommands() override { platform::InstallMachine(previous_); }
  testing::ScriptedWindowSystem windows;
  testing::FakeProcesses processes;
  platform::LinuxMachine machine{processes};
  platform::Machine* previous_;
};

TEST_F(LinuxCommands, DesktopAndSessionActionsRunTheStandardTools) {
  SysUtilities sys;
  ::setenv("XDG_SESSION_ID", "c7", 1);
  sys.LogOffWindows();
  ::setenv("XDG_SESSION_ID", "--help", 1);  // not a session id: never an option of the tool
  sys.LogOffWindows();
  ::unsetenv("XDG_SESSION_ID");
  sys.ShutDownWindows();
  sys.ShutDownWindows(true);
  sys.RestartWindows();
  sys.RestartWindows(true);
  EXPECT_TRUE(sys.StartScreenSaver());
  for (int32_t state : {-1, 1, 2, 9}) EXPECT_EQ(sys.PowerSaveMonitor(state), state != 9);
  EXPECT_EQ(processes.spawned,
            (Words{"loginctl|terminate-session|c7", "loginctl|terminate-session|self", "systemctl|poweroff",
                   "systemctl|poweroff|-i", "systemctl|reboot", "systemctl|reboot|-i", "xdg-screensaver|activate",
                   "xset|dpms|force|on", "xset|dpms|force|standby", "xset|dpms|force|off"}));
  // A tool that fails, is killed, vanishes or cannot start means the action did not happen.
  processes.endings = {{ChildStatus::Ended, 1}, {ChildStatus::Ended, -1}, {ChildStatus::Lost, -1}};
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(sys.StartScreenSaver());
  processes.canStart = false;
  EXPECT_FALSE(sys.PowerSaveMonitor(2));
}

TEST_F(LinuxCommands, ShellDocAsksTheOpenerThenThePortalsChooser) {
  const std::string portal =
      "&gdbus|call|--session|--dest|org.freedesktop.portal.Desktop|--object-path|/org/freedesktop/portal/desktop|"
      "--method|org.freedesktop.portal.OpenURI.OpenURI|''|";
  const std::string ask = "|{'ask': <true>}";
  // clang-format off
  const std::tuple<std::string, int, Words> rows[] = {
      {"/tmp/a b'c\\.pdf", 3, {"&xdg-open|/tmp/a b'c\\.pdf", portal + "'file:///tmp/a%20b%27c%5C.pdf'" + ask}},
      {"http://127.0.0.1/p?q='a b'&r=%41", 3,
       {"&xdg-open|http://127.0.0.1/p?q='a b'&r=%41", portal + "'http://127.0.0.1/p?q=%27a%20b%27&r=%41'" + ask}},
      {"-rf", 0, {"&xdg-open|./-rf"}}, {"x.pdf", 4, {"&xdg-open|x.pdf"}}, {"", 3, {}}};  // "-rf": a file, no option
  for (const auto& [file, openerExit, started] : rows) {
    processes.spawned.clear();
    processes.endings = {{ChildStatus::Ended, openerExit}};
    ProcessUtilities().ShellDoc(file);
    EXPECT_EQ(processes.spawned, started) << file;
  }
  // clang-format on
}

TEST_F(LinuxCommands, AChildStillRunningAtTheLimitOrAtAStopIsLeftToFinish) {
  processes.endings.assign(2, {ChildStatus::Running, -1});
  EXPECT_EQ(platform::RunChild(processes, {"x"}, "", false, std::chrono::milliseconds(0)).status.state,
            ChildStatus::Running);
  processes.endings.assign(2, {ChildStatus::Running, -1});
  platform::RequestCancel();  // Ctrl-C while ShellWait waits
  EXPECT_EQ(ProcessUtilities().ShellWait("sleep 30"), -1);
  platform::ResetCancel();
  EXPECT_EQ(processes.released, (std::vector<int>{1001, 1002}));
}

}  // namespace
}  // namespace kestrun
