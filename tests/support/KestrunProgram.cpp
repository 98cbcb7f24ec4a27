#include "support/KestrunProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

extern char** environ;

namespace kestrun::testing {

namespace fs = std::filesystem;

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

fs::path KestrunProgram::Binary() {
  const char* named = std::getenv("KESTRUN_BIN");
  std::error_code ec;
  const fs::path bin = named && *named
                           ? fs::path(named)
                           : fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "src" / "kestrun";
  return fs::is_regular_file(bin, ec) ? bin : fs::path();
}

KestrunProgram::KestrunProgram(const Sandbox& sandbox, const std::string& name)
    : environment({"DISPLAY", "WAYLAND_DISPLAY", "KESTRUN_LOG", "KESTRUN_UI=console", "NO_COLOR=1",
                   "KESTRUN_REGISTRY=" + sandbox.RegistryFile().string()}),
      out_(sandbox.Root() / (name + ".out")),
      err_(sandbox.Root() / (name + ".err")) {}

KestrunProgram::~KestrunProgram() {
  Signal(SIGKILL);
  if (pid_ > 0) Wait();
}

void KestrunProgram::Start(const std::vector<std::string>& arguments, int in, int out) {
  // env(1) sets the environment and becomes the program, so the process is the program's own; it takes
  // its removals (-u) before its settings.
  std::map<std::string, std::string> changes;
  for (const std::string& change : environment) changes[change.substr(0, change.find('='))] = change;
  std::vector<std::string> args, settings;
  if (fileSizeLimit > 0) args = {"/usr/bin/prlimit", "--fsize=" + std::to_string(fileSizeLimit)};
  args.push_back("/usr/bin/env");
  for (const auto& [name, change] : changes) {
    if (change == name)
      args.insert(args.end(), {"-u", name});
    else
      settings.push_back(change);
  }
  args.insert(args.end(), settings.begin(), settings.end());
  args.push_back(binary.string());
  args.insert(args.end(), arguments.begin(), arguments.end());
  const int nul = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int outFile = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int errFile = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  pid_ = Spawn(args, in >= 0 ? in : nul, out >= 0 ? out : outFile, errFile);
  for (int fd : {nul, outFile, errFile}) ::close(fd);
}

int KestrunProgram::Wait() {
  int raw = 0;
  pid_t got;
  while ((got = ::waitpid(pid_, &raw, 0)) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  if (got < 0) return -1;
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

bool KestrunProgram::WaitForOutput(const std::string& text) const {
  for (int slept = 0; Out().find(text) == std::string::npos && Err().find(text) == std::string::npos; ++slept) {
    if (slept == 500) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void KestrunProgram::Signal(int signal) const {
  if (pid_ > 0) ::kill(pid_, signal);
}

void WriteSettings(const Sandbox& sandbox, const std::vector<std::pair<std::string, std::string>>& values) {
  const std::string source = (sandbox.Root() / "source").string();
  std::map<std::string, std::string> all = {{"HostName", "ftp.example.invalid"},
                                            {"AlternateHostName", "ftp.example.invalid"},
                                            {"RemotePath", source},
                                            {"AlternateRemotePath", source},
                                            {"FileMask", "sdat*.exe"},
                                            {"LocalPath", (sandbox.Root() / "local").string()},
                                            {"SDATsToKeep", "2"}};
  for (const auto& [name, text] : values) all[name] = text;
  std::ofstream store(sandbox.RegistryFile(), std::ios::binary);
  store << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\n";
  for (const auto& [name, text] : all) store << '"' << name << "\"=\"" << text << "\"\n";
}

}  // namespace kestrun::testing
