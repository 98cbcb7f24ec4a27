#pragma once
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/Sandbox.h"

namespace kestrun::testing {

// The real program, started as a scheduler or a user would start it: the store of the sandbox, the
// console front end, no display, standard input from /dev/null unless given, standard output and error
// into files of the sandbox (readable while it runs). A program still running at the end is killed.
class KestrunProgram {
 public:
  explicit KestrunProgram(const Sandbox& sandbox, const std::string& name = "kestrun");
  ~KestrunProgram();
  KestrunProgram(const KestrunProgram&) = delete;
  KestrunProgram& operator=(const KestrunProgram&) = delete;

  // The program under test: KESTRUN_BIN, else the one built beside the tests; empty when there is none.
  static std::filesystem::path Binary();

  // Changes to the environment the program gets: "NAME=value" sets, "NAME" alone removes.
  std::vector<std::string> environment;
  // The program started: kestrun unless a test names another (kestrun-tree, or script(1) around it).
  std::filesystem::path binary = Binary();
  // A file-size limit in bytes (0: none) stands in for a full disk, even for root: writes beyond it fail.
  long fileSizeLimit = 0;

  // `in` and `out` (not owned) replace standard input and the standard output file.
  void Start(const std::vector<std::string>& arguments, int in = -1, int out = -1);
  // The exit status, or 128 + the signal that ended it.
  int Wait();
  int Run(const std::vector<std::string>& arguments) {
    Start(arguments);
    return Wait();
  }
  // Waits (in short sleeps, 10 s at most) until standard output or error holds `text`.
  bool WaitForOutput(const std::string& text) const;
  void Signal(int signal) const;

  std::string Out() const { return Sandbox::ReadFile(out_); }
  std::string Err() const { return Sandbox::ReadFile(err_); }

 private:
  std::filesystem::path out_, err_;
  pid_t pid_ = -1;
};

// Writes the sandbox's store with every setting a copy-mode run needs (so that nothing is asked),
// `values` (name, text) taking the place of those of the same name.
void WriteSettings(const Sandbox& sandbox, const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace kestrun::testing

// Skips the current test when the program has not been built.
#define KESTRUN_REQUIRE_PROGRAM()                                                                     \
  do {                                                                                                \
    if (::kestrun::testing::KestrunProgram::Binary().empty()) GTEST_SKIP() << "kestrun is not built"; \
  } while (0)
