#include "platform/LinuxMachine.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "support/ScriptedWindowSystem.h"
#include "support/SystemFakes.h"
#include "util/ProcessUtilities.h"
#include "util/SysUtilities.h"

namespace kestrun {
namespace {

using platform::ChildStatus;
using Words = std::vector<std::string>;

TEST(LinuxMachine, VersionRecordFromKernelReleaseAndOsRelease) {
  const std::string longName(200, 'n');
  struct Row {
    std::string release;
    std::optional<std::string> osRelease;  // none: no file
    int32_t major, minor, build;
    std::string csd;
  } rows[] = {
      {"6.1.0-18-amd64", "NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", 6, 1, 0,
       "Debian GNU/Linux 12 (bookworm)"},
      {"6.18.44-fc-v1300", "PRETTY_NAME='Single Quoted'", 6, 18, 44, "Single Quoted"},
      {"5.15", "PRETTY_NAME=Bare\n", 5, 15, 0, "Bare"},
      {"4.19.0.99", R"(PRETTY_NAME="Esc \"q\" \\ \$ end)", 4, 19, 0, R"(Esc "q" \ $ end)"},
      {"99999999999.2.3", "ID=none\n", 0, 0, 0, ""},
      {"-1.2", std::nullopt, 0, 0, 0, ""},
      {"", "PRETTY_NAME=\"" + longName + "\"", 0, 0, 0, longName.substr(0, 127)},
      {"3.2", "PRETTY_NAME=\"tab\there\x1b[31m \xc3\xa9\"", 3, 2, 0, "tabhere[31m \xc3\xa9"},
  };
  for (const Row& r : rows) {
    std::istringstream osRelease(r.osRelease.value_or(""));
    const platform::VersionRecord v = platform::MakeVersionRecord(r.release, r.osRelease ? &osRelease : nullptr);
    EXPECT_EQ(v.PlatformId, platform::PlatformLinux);
    EXPECT_EQ((Words{std::to_string(v.MajorVersion), std::to_string(v.MinorVersion), std::to_string(v.BuildNumber),
                     v.CSDVersion}),
              (Words{std::to_string(r.major), std::to_string(r.minor), std::to_string(r.build), r.csd}))
        << r.release;
  }
  const std::string name(126, 'n');  // the 127th character is kept whole, the 128th left out whole
  std::istringstream cut("PRETTY_NAME=" + name + "\xc3\xa9\xc3\xa9");
  EXPECT_EQ(platform::MakeVersionRecord("1", &cut).CSDVersion, name + "\xc3\xa9");
}

TEST(LinuxMachine, RealFactsAreRead) {
  platform::LinuxMachine machine(platform::SystemProcesses());
  utsname uts{};
  ASSERT_EQ(::uname(&uts), 0);
  const platform::VersionRecord v = machine.OsVersion();
  EXPECT_EQ(v.PlatformId, platform::PlatformLinux);
  EXPECT_EQ(v.MajorVersion, std::atoi(uts.release));
  EXPECT_GT(machine.MillisecondsSinceStart(), 0);
  EXPECT_FALSE(machine.LoginName().empty());
  EXPECT_FALSE(machine.HostName().empty());
}

// The Linux machine over process control that starts nothing, installed as this program's machine.
class LinuxCommands : public ::testing::Test {
 protected:
  LinuxCommands() : previous_(platform::InstallMachine(&machine)) {}
  ~LinuxCommands() override { platform::InstallMachine(previous_); }
  testing::ScriptedWindowSystem windows;
  testing::FakeProcesses processes;
  platform::LinuxMachine machine{processes};

 private:
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
  const Words expected[] = {
      {"loginctl", "terminate-session", "c7"},
      {"loginctl", "terminate-session", "self"},
      {"systemctl", "poweroff"},
      {"systemctl", "poweroff", "-i"},
      {"systemctl", "reboot"},
      {"systemctl", "reboot", "-i"},
      {"xdg-screensaver", "activate"},
      {"xset", "dpms", "force", "on"},
      {"xset", "dpms", "force", "standby"},
      {"xset", "dpms", "force", "off"},
  };
  ASSERT_EQ(processes.spawned.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(processes.spawned[i].argv, expected[i]);

  // A tool that fails, is killed, vanishes or cannot start means the action did not happen.
  for (ChildStatus end :
       {ChildStatus{ChildStatus::Ended, 1}, ChildStatus{ChildStatus::Ended, -1}, ChildStatus{ChildStatus::Lost, -1}}) {
    processes.endings = {end};
    EXPECT_FALSE(sys.StartScreenSaver());
  }
  processes.canStart = false;
  EXPECT_FALSE(sys.PowerSaveMonitor(2));
}

TEST_F(LinuxCommands, ShellDocAsksTheOpenerThenThePortalsChooser) {
  const std::string folder = std::filesystem::current_path().string();
  const std::string chooser[] = {"gdbus",
                                 "call",
                                 "--session",
                                 "--dest",
                                 "org.freedesktop.portal.Desktop",
                                 "--object-path",
                                 "/org/freedesktop/portal/desktop",
                                 "--method",
                                 "org.freedesktop.portal.OpenURI.OpenURI",
                                 "''"};
  struct Row {
    std::string file;
    std::vector<ChildStatus> endings;
    Words commands;  // the target of each program started, in order
  } rows[] = {
      {"/tmp/a b'c\\.pdf",
       {{ChildStatus::Ended, 3}},
       {"xdg-open /tmp/a b'c\\.pdf", "gdbus 'file:///tmp/a%20b%27c%5C.pdf'"}},
      {"rel/../x.odt", {{ChildStatus::Ended, 3}}, {"xdg-open rel/../x.odt", "gdbus 'file://" + folder + "/x.odt'"}},
      {"http://127.0.0.1/p?q='a b'&r=%41",
       {{ChildStatus::Ended, 3}},
       {"xdg-open http://127.0.0.1/p?q='a b'&r=%41", "gdbus 'http://127.0.0.1/p?q=%27a%20b%27&r=%41'"}},
      {"-rf", {{ChildStatus::Ended, 0}}, {"xdg-open ./-rf"}},
      {"x.pdf", {{ChildStatus::Ended, 4}}, {"xdg-open x.pdf"}},
      {"x.pdf", {{ChildStatus::Ended, -1}}, {"xdg-open x.pdf"}},
      {"", {}, {}},
  };
  for (const Row& r : rows) {
    processes.spawned.clear();
    processes.endings.assign(r.endings.begin(), r.endings.end());
    ProcessUtilities().ShellDoc(r.file);
    Words commands;
    for (const auto& s : processes.spawned) {
      EXPECT_TRUE(s.detached);
      commands.push_back(s.argv.front() + " " + s.argv.back());
      if (s.argv.front() == "gdbus") {
        EXPECT_EQ(Words(s.argv.begin(), s.argv.begin() + std::size(chooser)),
                  Words(std::begin(chooser), std::end(chooser)));
        commands.back() = "gdbus " + s.argv[std::size(chooser)];
        EXPECT_EQ(s.argv.back(), "{'ask': <true>}");
      }
    }
    EXPECT_EQ(commands, r.commands) << r.file;
  }
  processes.spawned.clear();
  processes.canStart = false;
  ProcessUtilities().ShellDoc("x.pdf");
  EXPECT_EQ(processes.spawned.size(), 1u);
}

TEST_F(LinuxCommands, AChildStillRunningAtTheLimitIsLeftToFinish) {
  processes.endings = {{ChildStatus::Running, -1}, {ChildStatus::Running, -1}};
  const platform::ChildRun run = platform::RunChild(processes, {"x"}, "", false, std::chrono::milliseconds(0));
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.status.state, ChildStatus::Running);
  EXPECT_EQ(processes.released, std::vector<int>{1001});
}

// Host names change only inside a UTS namespace of a child's own, never on the machine running the test.
TEST(LinuxMachine, HostNameIsSetInAPrivateNamespace) {
  const std::string before = platform::LinuxMachine(platform::SystemProcesses()).HostName();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWUTS) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWUTS) != 0) ::_exit(77);
    platform::InstallMachine(nullptr);  // the real machine, inside the namespace
    SysUtilities sys;
    const bool set = sys.SetMachineName("kestrun-uts-test");
    const bool refused = !sys.SetMachineName(std::string(32, 'x'));
    ::_exit(set && refused && sys.GetMachineName() == "kestrun-uts-test" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no UTS namespace can be made here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(platform::LinuxMachine(platform::SystemProcesses()).HostName(), before);
}

}  // namespace
}  // namespace kestrun
