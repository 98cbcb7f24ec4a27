#include "util/ProcessUtilities.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <thread>

#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "support/SystemFakes.h"

namespace kestrun {
namespace {

TEST(ProcessUtilities, CommandLinesSplitAsOnWindows) {
  // clang-format off
  const std::pair<std::string, std::vector<std::string>> rows[] = {
      {" \t ", {}}, {"  prog  a\tb  ", {"prog", "a", "b"}}, {"a; rm -rf ~", {"a;", "rm", "-rf", "~"}},
      {R"("C:\Program Files\x.exe" "a b" c)", {R"(C:\Program Files\x.exe)", "a b", "c"}},
      {R"("unclosed program)", {"unclosed program"}},
      {R"(p a"b c"d "" "unclosed arg)", {"p", "ab cd", "", "unclosed arg"}},
      {R"(p a\\b \"q\" \\"x y" \\\"z "say ""hi""" a\)",
       {"p", R"(a\\b)", R"("q")", R"(\x y)", R"(\"z)", R"(say "hi")", R"(a\)"}}};
  // clang-format on
  for (const auto& [line, words] : rows) EXPECT_EQ(SplitCommandLine(line), words) << line;
}

TEST(ProcessUtilities, ShellWaitRunsWithoutAShellWhereToldAndReapsEveryChild) {
  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem windows;
  const std::string marker = (sandbox.Root() / "marker").string();
  std::string manyWords = "true";
  while (manyWords.size() < 100 * 1024) manyWords += " argument";
  // clang-format off
  const std::pair<std::string, int16_t> rows[] = {
      {"sh -c \"exit 3\"", 0}, {"sh -c \"kill -9 $$\"", 0},  // ran and ended: the exit status is not reported
      {manyWords, 0}, {"true " + std::string(200 * 1024, 'x'), -1},  // one argument longer than the system takes
      {"", -1}, {"kestrun-no-such-program", -1}, {"\"true; touch " + marker + "\"", -1}};
  // clang-format on
  ProcessUtilities pu;
  for (const auto& [command, result] : rows) EXPECT_EQ(pu.ShellWait(command), result) << command.substr(0, 60);
  EXPECT_EQ(pu.ShellWait("true", (sandbox.Root() / "missing").string()), -1);
  EXPECT_FALSE(std::filesystem::exists(marker));
  EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD) << "a child is left running or unreaped";
  // In the program's folder or the one given, with this program's environment; the window stays alive.
  windows.doEventsCalls = 0;
  const std::string out = (sandbox.Root() / "out").string();
  ::setenv("KESTRUN_CHILD_SEES", "inherited", 1);
  const std::string command = "sh -c \"pwd -P > '" + out + "'; echo $KESTRUN_CHILD_SEES >> '" + out + "'; sleep 0.2\"";
  for (const std::string& folder : {std::string(), sandbox.Root().string()}) {
    EXPECT_EQ(ProcessUtilities().ShellWait(command, folder), 0);
    const std::string expected = std::filesystem::canonical(folder.empty() ? platform::App().Path : folder).string();
    EXPECT_EQ(testing::Sandbox::ReadFile(out), expected + "\ninherited\n");
  }
  EXPECT_GT(windows.doEventsCalls, 2);
  ::unsetenv("KESTRUN_CHILD_SEES");
}

TEST(ProcessUtilities, OnlyLiveProcessesRunAndOnlyTheyAreEnded) {
  ProcessUtilities pu;
  EXPECT_EQ(pu.StartProcess("kestrun-no-such-program"), 0);
  // The second ignores the request to end and is forced.
  for (const char* command : {"sleep 30", R"(sh -c "trap '' TERM; exec sleep 30")"}) {
    const int32_t pid = pu.StartProcess(command);
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 500; ++i) {  // up to 5 s until it runs sleep
      std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
      std::string name;
      if (std::getline(comm, name) && name == "sleep") break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(pu.CheckIfProcessIDIsRunning(pid));  // StartProcess did not wait for it
    EXPECT_TRUE(pu.KillProcess(pid));
    EXPECT_FALSE(pu.CheckIfProcessIDIsRunning(pid));
    EXPECT_FALSE(pu.KillProcess(pid));
  }
  EXPECT_TRUE(pu.CheckIfProcessIDIsRunning(pu.GetPocID()));
  for (int32_t pid : {0, -1, INT32_MIN, INT32_MAX}) EXPECT_FALSE(pu.CheckIfProcessIDIsRunning(pid)) << pid;
  std::thread([&] {
    EXPECT_FALSE(pu.CheckIfProcessIDIsRunning(::gettid()));
    EXPECT_FALSE(pu.KillProcess(::gettid()));
  }).join();
  platform::ProcessControl& processes = platform::SystemProcesses();
  const int child = processes.Spawn({"true"}, "", false);
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);  // ended, not reaped
  EXPECT_FALSE(pu.CheckIfProcessIDIsRunning(child));
  EXPECT_FALSE(pu.KillProcess(child));
  EXPECT_EQ(processes.PollChild(child).state, platform::ChildStatus::Ended);
}

TEST(ProcessUtilities, KillNeverAddressesGroupsInitOrItself) {
  testing::FakeProcesses processes;
  ProcessUtilities pu;
  for (int32_t pid : {0, -1, INT32_MIN, 1, testing::FakeProcesses::kOwnId, 12345}) EXPECT_FALSE(pu.KillProcess(pid));
  EXPECT_TRUE(pu.KillProcess(testing::FakeProcesses::kRunningId));
  EXPECT_EQ(processes.endRequests, std::vector<int>{testing::FakeProcesses::kRunningId});
}

}  // namespace
}  // namespace kestrun
