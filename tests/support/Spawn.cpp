#include "support/Spawn.h"

#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace kestrun::testing {

pid_t Spawn(const std::vector<std::string>& args, int in, int out, int err) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const int fds[] = {in, out, err};
  for (int target = 0; target < 3; ++target) {
    if (fds[target] >= 0) posix_spawn_file_actions_adddup2(&actions, fds[target], target);
  }
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

}  // namespace kestrun::testing
