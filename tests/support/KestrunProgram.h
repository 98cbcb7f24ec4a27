#pragma once
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/Sandbox.h"

namespace kestrun::testing {

// Starts `args` (args[0] a path; no shell) with standard input, output and error on the given
// descriptors (-1: inherited) and no other descriptor of ours, so that no file or socket of a test lives
// on in the child. -1 when it cannot be started. The test FTP server is started this way too.
pid_t Spawn(const std::vector<std::string>& args, int in = -1, int out = -1, int err = -1);

// The real program as a scheduler or a user starts it: the sandbox's store, the console front end, no
// display, standard input from /dev/null, standard output and error into files of the sandbox (readable
// while it runs). One still running at the end is killed.
class KestrunProgram {
 public:
  explicit KestrunProgram(const Sandbox& sandbox, const std::string& name = "kestrun");
  ~KestrunProgram();
  KestrunProgram(const KestrunProgram&) = delete;
  KestrunProgram& operator=(const KestrunProgram&) = delete;

  // KESTRUN_BIN, else the program built beside the tests; empty when there is none.
  static std::filesystem::path Binary();

  // Changes to the program's environment: "NAME=value" sets, "NAME" alone removes; the last one holds.
  std::vector<std::string> environment;
  std::filesystem::path binary = Binary();
  // A file-size limit in bytes (0: none) stands in for a full disk, even for root.
  long fileSizeLimit = 0;

  // `in` and `out` (not owned), when given, replace standard input and the standard output file.
  void Start(const std::vector<std::string>& arguments, int in = -1, int out = -1);
  // The exit status, or 128 + the signal that ended it.
  int Wait();
  int Run(const std::vector<std::string>& arguments) {
    Start(arguments);
    return Wait();
  }
  // Waits (10 s at most) until standard output or error holds `text`.
  bool WaitForOutput(const std::string& text) const;
  void Signal(int signal) const;

  std::string Out() const { return Sandbox::ReadFile(out_); }
  std::string Err() const { return Sandbox::ReadFile(err_); }

 private:
  std::filesystem::path out_, err_;
  pid_t pid_ = -1;
};

// Writes the sandbox's store with every setting a copy run needs, `values` (name, text) replacing those
// of the same name.
void WriteSettings(const Sandbox& sandbox, const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace kestrun::testing

// Skips the current test when the program has not been built.
#define KESTRUN_REQUIRE_PROGRAM()                                                                     \
  do {                                                                                                \
    if (::kestrun::testing::KestrunProgram::Binary().empty()) GTEST_SKIP() << "kestrun is not built"; \
  } while (0)
