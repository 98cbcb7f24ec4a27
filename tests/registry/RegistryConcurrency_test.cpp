// Several real processes on one store, and writers killed halfway.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "RegistryTestSupport.h"
#include "support/Sandbox.h"

namespace kestrun::testing {
namespace {

using namespace regtest;
using namespace std::string_literals;

// How many values the key holds; -1 when there is no such key (and a failure when the store cannot be read).
int CountValues(const std::string& key) {
  reg::HKEY h = 0;
  const reg::LONG status = reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, key, 0, reg::KEY_READ, &h);
  reg::RegCloseKey(h);
  if (status != 0) {
    if (status != reg::ERROR_FILE_NOT_FOUND) ADD_FAILURE() << "the store could not be read: " << status;
    return -1;
  }
  return static_cast<int>(Listed(reg::HKEY_CURRENT_USER, key, false).size());
}

// Runs `body` in a child process; the child's exit status is the number of failed writes (capped).
template <typename F>
pid_t Spawn(F body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int failures = body();
    ::_exit(failures > 100 ? 100 : failures);
  }
  return pid;
}

TEST(RegistryConcurrency, TwoProcessesWritingAtOnceLoseNothing) {
  Sandbox sandbox;
  constexpr int PerProcess = 1000;
  pid_t writers[2];
  for (char tag : {'a', 'b'}) {
    writers[tag - 'a'] = Spawn([tag] {
      int failures = 0;
      for (int i = 0; i < PerProcess; ++i) {
        const std::string name = tag + std::to_string(i);
        failures += SetRaw(reg::HKEY_CURRENT_USER, "Shared", name, reg::REG_SZ, name + '\0') != 0;
      }
      return failures;
    });
    ASSERT_GT(writers[tag - 'a'], 0);
  }
  for (pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(CountValues("Shared"), 2 * PerProcess);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "Shared", "b999").data, "b999\0"s);
}

TEST(RegistryConcurrency, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
  Sandbox sandbox;
  std::mt19937 random(12345);
  int previous = 0;
  for (int round = 0; round < 25; ++round) {
    pid_t pid = Spawn([previous] {
      for (int i = previous;; ++i) {
        std::string name = "v" + std::to_string(i);
        SetRaw(reg::HKEY_CURRENT_USER, "Killed", name, reg::REG_BINARY,
               std::string(static_cast<std::size_t>(i % 64), 'x'));
      }
      return 0;
    });
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    int count = CountValues("Killed");
    if (count == -1) {
      EXPECT_EQ(previous, 0);  // the key itself was never written yet
      count = 0;
    }
    EXPECT_GE(count, previous) << "round " << round;
    previous = count;
  }
  EXPECT_GT(previous, 0);
  // The store is still a good file that takes writes.
  EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "Killed", "after", reg::REG_SZ, "\0"s), 0);
}

}  // namespace
}  // namespace kestrun::testing
