#include "util/ProcessUtilities.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/Processes.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "support/SystemFakes.h"

namespace kestrun {
namespace {

using Words = std::vector<std::string>;

// True when this test program has no child left, running or unreaped.
bool NoChildrenLeft() { return ::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD; }

// Waits (up to five seconds, in short sleeps) until the process's command name is `comm`.
bool WaitForCommand(int pid, const std::string& comm) {
  for (int i = 0; i < 500; ++i) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    if (std::getline(in, name) && name == comm) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(ProcessUtilities, CommandLinesSplitAsOnWindows) {
  const std::pair<std::string, Words> rows[] = {
      {"", {}},
      {" \t ", {}},
      {"prog", {"prog"}},
      {"  prog  a\tb  ", {"prog", "a", "b"}},
      {R"("C:\Program Files\x.exe" "a b" c)", {R"(C:\Program Files\x.exe)", "a b", "c"}},
      {R"("unclosed program)", {"unclosed program"}},
      {R"(p "unclosed arg)", {"p", "unclosed arg"}},
      {R"(p a"b c"d "")", {"p", "ab cd", ""}},
      {R"(p a\\b \"q\" \\"x y" \\\"z)", {"p", R"(a\\b)", R"("q")", R"(\x y)", R"(\"z)"}},
      {R"(p "say ""hi""" x)", {"p", R"(say "hi")", "x"}},
      {R"(dir\sub\p.exe a\)", {R"(dir\sub\p.exe)", R"(a\)"}},
      {"a; rm -rf ~", {"a;", "rm", "-rf", "~"}},
  };
  for (const auto& [line, words] : rows) EXPECT_EQ(SplitCommandLine(line), words) << line;
}

TEST(ProcessUtilities, ShellWaitRunsWithoutAShellAndReapsEveryChild) {
  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem windows;
  ProcessUtilities pu;
  const std::string marker = (sandbox.Root() / "marker").string();
  const std::string missingFolder = (sandbox.Root() / "missing").string();
  std::string manyWords = "true";
  while (manyWords.size() < 100 * 1024) manyWords += " argument";
  const struct Row {
    std::string command, folder;
    int16_t result;
  } rows[] = {
      {"sh -c \"exit 3\"", "", 0},  // ran and ended: the exit status is not reported
      {"sh -c \"kill -9 $$\"", "", 0},
      {"sh -c \"exit 0", "", 0},  // the unclosed quote runs to the end
      {manyWords, "", 0},
      {"true " + std::string(200 * 1024, 'x'), "", -1},  // one argument longer than the system takes
      {"", "", -1},
      {"   ", "", -1},
      {"kestrun-no-such-program", "", -1},
      {"\"true; touch " + marker + "\"", "", -1},
      {"true; touch " + marker, "", -1},
      {"true", missingFolder, -1},
  };
  for (const Row& r : rows) EXPECT_EQ(pu.ShellWait(r.command, r.folder), r.result) << r.command.substr(0, 60);
  EXPECT_FALSE(std::filesystem::exists(marker));
  EXPECT_TRUE(NoChildrenLeft());
}

TEST(ProcessUtilities, ShellWaitWorksInTheProgramFolderAndKeepsTheWindowAlive) {
  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem windows;
  ProcessUtilities pu;
  const auto out = sandbox.Root() / "out";
  ::setenv("KESTRUN_CHILD_SEES", "inherited", 1);
  const std::string command =
      "sh -c \"pwd -P > '" + out.string() + "'; echo $KESTRUN_CHILD_SEES >> '" + out.string() + "'; sleep 0.2\"";
  EXPECT_EQ(pu.ShellWait(command), 0);
  EXPECT_EQ(testing::Sandbox::ReadFile(out),
            std::filesystem::canonical(platform::App().Path).string() + "\ninherited\n");
  EXPECT_GT(windows.doEventsCalls, 1);
  EXPECT_EQ(pu.ShellWait(command, sandbox.Root().string()), 0);
  EXPECT_EQ(testing::Sandbox::ReadFile(out), std::filesystem::canonical(sandbox.Root()).string() + "\ninherited\n");
  ::unsetenv("KESTRUN_CHILD_SEES");
}

TEST(ProcessUtilities, StartedProcessesRunOnUntilKilled) {
  ProcessUtilities pu;
  const int32_t pid = pu.StartProcess("sleep 30");
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(pu.CheckIfProcessIDIsRunning(pid));  // StartProcess did not wait for it
  EXPECT_TRUE(pu.KillProcess(pid));
  EXPECT_FALSE(pu.CheckIfProcessIDIsRunning(pid));
  EXPECT_FALSE(pu.KillProcess(pid));

  // One that ignores the request to end is forced.
  const int32_t stubborn = pu.StartProcess(R"(sh -c "trap '' TERM; exec sleep 30")");
  ASSERT_GT(stubborn, 0);
  ASSERT_TRUE(WaitForCommand(stubborn, "sleep"));
  EXPECT_TRUE(pu.KillProcess(stubborn));
  EXPECT_FALSE(pu.CheckIfProcessIDIsRunning(stubborn));

  EXPECT_EQ(pu.StartProcess("kestrun-no-such-program"), 0);
  EXPECT_EQ(pu.StartProcess(""), 0);
}

TEST(ProcessUtilities, OnlyLiveProcessesCountAsRunning) {
  ProcessUtilities pu;
  EXPECT_TRUE(pu.CheckIfProcessIDIsRunning(pu.GetPocID()));
  EXPECT_EQ(pu.GetPocID(), ::getpid());
  for (int32_t pid : {0, -1, INT32_MIN, INT32_MAX}) EXPECT_FALSE(pu.CheckIfProcessIDIsRunning(pid)) << pid;

  // A thread of this program is no process.
  std::thread([&] {
    const int own = ::gettid();
    EXPECT_FALSE(pu.CheckIfProcessIDIsRunning(own));
    EXPECT_FALSE(pu.KillProcess(own));
  }).join();

  // A child that has ended but is not reaped yet has stopped running.
  platform::ProcessControl& processes = platform::SystemProcesses();
  const int child = processes.Spawn({"true"}, "", false);
  ASSERT_GT(child, 0);
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);  // ended, left unreaped
  EXPECT_FALSE(pu.CheckIfProcessIDIsRunning(child));
  EXPECT_FALSE(pu.KillProcess(child));
  EXPECT_EQ(processes.PollChild(child).state, platform::ChildStatus::Ended);
  EXPECT_FALSE(pu.KillProcess(child));  // an id no process has now
  EXPECT_TRUE(NoChildrenLeft());
}

TEST(ProcessUtilities, KillNeverAddressesGroupsInitOrItself) {
  testing::FakeProcesses processes;
  ProcessUtilities pu;
  for (int32_t pid : {0, -1, -2, INT32_MIN, 1, testing::FakeProcesses::kOwnId, 12345}) {
    EXPECT_FALSE(pu.KillProcess(pid)) << pid;
  }
  EXPECT_TRUE(processes.endRequests.empty());
  EXPECT_TRUE(pu.KillProcess(testing::FakeProcesses::kRunningId));
  EXPECT_EQ(processes.endRequests, std::vector<int>{testing::FakeProcesses::kRunningId});
}

TEST(ProcessUtilities, ShellDocOffersAChoiceOnlyWhenNothingIsAssociated) {
  testing::FakeMachine machine;
  ProcessUtilities pu;
  const std::pair<platform::OpenOutcome, std::vector<std::string>> rows[] = {
      {platform::OpenOutcome::Opened, {"OpenDocument a.xyz"}},
      {platform::OpenOutcome::Failed, {"OpenDocument a.xyz"}},
      {platform::OpenOutcome::NoAssociation, {"OpenDocument a.xyz", "ChooseApplication a.xyz"}},
  };
  for (const auto& [outcome, actions] : rows) {
    machine.openOutcome = outcome;
    machine.actions.clear();
    pu.ShellDoc("a.xyz");
    EXPECT_EQ(machine.actions, actions);
  }
}

}  // namespace
}  // namespace kestrun
