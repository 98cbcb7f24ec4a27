#include "support/KestrunProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <thread>

#include "support/Spawn.h"

extern char** environ;

namespace kestrun::testing {

namespace fs = std::filesystem;

fs::path KestrunProgram::Binary() {
  const char* named = std::getenv("KESTRUN_BIN");
  std::error_code ec;
  const fs::path bin = named && *named ? fs::path(named)
                                       : fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "src" / "kestrun";
  return fs::is_regular_file(bin, ec) ? bin : fs::path();
}

KestrunProgram::KestrunProgram(const Sandbox& sandbox, const std::string& name)
    : environment({"DISPLAY", "WAYLAND_DISPLAY", "KESTRUN_LOG", "KESTRUN_UI=console", "NO_COLOR=1",
                   "KESTRUN_REGISTRY=" + sandbox.RegistryFile().string()}),
      sandbox_(sandbox),
      out_(sandbox.Root() / (name + ".out")),
      err_(sandbox.Root() / (name + ".err")) {}

KestrunProgram::~KestrunProgram() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    Wait();
  }
}

void KestrunProgram::Start(const std::vector<std::string>& arguments, int in, int out) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    env[entry.substr(0, entry.find('='))] = entry;
  }
  for (const std::string& change : environment) {
    const std::size_t equals = change.find('=');
    if (equals == std::string::npos) {
      env.erase(change);
    } else {
      env[change.substr(0, equals)] = change;
    }
  }
  std::vector<std::string> envp;
  for (const auto& [name, entry] : env) envp.push_back(entry);

  std::vector<std::string> args = {Binary().string()};
  args.insert(args.end(), arguments.begin(), arguments.end());
  const int nul = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int outFile = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int errFile = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  pid_ = Spawn(args, in >= 0 ? in : nul, out >= 0 ? out : outFile, errFile, envp);
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

bool KestrunProgram::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (Out().find(text) == std::string::npos && Err().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void KestrunProgram::Signal(int signal) const {
  if (pid_ > 0) ::kill(pid_, signal);
}

void WriteSettings(const Sandbox& sandbox, const std::vector<std::pair<std::string, std::string>>& values) {
  std::vector<std::pair<std::string, std::string>> all = {
      {"HostName", "ftp.example.invalid"}, {"AlternateHostName", "ftp.example.invalid"},
      {"RemotePath", (sandbox.Root() / "source").string()}, {"AlternateRemotePath", (sandbox.Root() / "source").string()},
      {"FileMask", "sdat*.exe"}, {"LocalPath", (sandbox.Root() / "local").string()}, {"SDATsToKeep", "2"}};
  for (const auto& value : values) {
    auto it = std::find_if(all.begin(), all.end(), [&](const auto& v) { return v.first == value.first; });
    if (it != all.end()) {
      it->second = value.second;
    } else {
      all.push_back(value);
    }
  }
  std::ofstream store(sandbox.RegistryFile(), std::ios::binary);
  store << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\n";
  for (const auto& [name, text] : all) store << '"' << name << "\"=\"" << text << "\"\n";
}

}  // namespace kestrun::testing
