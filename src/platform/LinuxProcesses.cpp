// Processes on Linux: posix_spawn without a shell, waitpid, and pidfds so that a signal reaches exactly
// the process that was looked at, never one that took over its id meanwhile.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/Processes.h"
#include "platform/Text.h"

extern char** environ;

namespace kestrun::platform {
namespace {

// A process asked to end gets this long to tidy up before it is forced; a forced one this long to go.
constexpr std::chrono::milliseconds kGrace{2000};
constexpr std::chrono::milliseconds kForcedEnd{3000};

// glibc 2.36 declares the pidfd calls without C linkage for C++; the system calls themselves are stable.
int PidfdOpen(int pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }
int PidfdSignal(int pidfd, int sig) {
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, sig, nullptr, 0));
}

bool HoldsNul(const std::string& s) { return s.find('\0') != std::string::npos; }

// Signals this program may have set to "ignore"; a child starts with their ordinary meaning.
void DefaultSignals(sigset_t& set) {
  sigemptyset(&set);
  for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGUSR1, SIGUSR2, SIGALRM, SIGTSTP}) {
    sigaddset(&set, sig);
  }
}

// Waits for the pidfd to report the process's end.
bool WaitForEnd(int pidfd, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{pidfd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left.count())));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

// The number after `key` on a line of /proc/<pid>/status ("Tgid:\t1234").
long StatusNumber(std::string_view line, std::string_view key) {
  line = text::TrimBlanks(line.substr(key.size()));
  long value = -1;
  std::from_chars(line.data(), line.data() + line.size(), value);
  return value;
}

class LinuxProcessControl final : public ProcessControl {
 public:
  int Spawn(const std::vector<std::string>& argv, const std::string& folder, bool detached) override {
    if (argv.empty() || argv[0].empty() || HoldsNul(folder)) return 0;
    std::vector<char*> args;
    for (const std::string& arg : argv) {
      if (HoldsNul(arg)) return 0;  // would reach the program cut short
      args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    int rc = 0;
    if (!folder.empty()) rc = posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    // Files this program holds open (the settings store's lock among them) stay with this program.
    if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    DefaultSignals(defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (detached) flags |= POSIX_SPAWN_SETSID;
    if (rc == 0) rc = posix_spawnattr_setflags(&attr, flags);
    if (rc == 0) rc = posix_spawnattr_setsigmask(&attr, &none);
    if (rc == 0) rc = posix_spawnattr_setsigdefault(&attr, &defaults);
    pid_t pid = 0;
    if (rc == 0) rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
  }

  ChildStatus PollChild(int pid) override {
    if (pid <= 0) return {};
    int status = 0;
    pid_t r;
    do {
      r = ::waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return {ChildStatus::Running, -1};
    if (r != pid) return {};
    return {ChildStatus::Ended, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  }

  void Release(int pid) override {
    if (pid <= 0) return;
    try {
      std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
      }).detach();
    } catch (const std::system_error&) {
      // No thread to spare: the child stays unreaped until this program ends, which is all it costs.
    }
  }

  int CurrentId() override { return ::getpid(); }

  bool IsRunning(int pid) override {
    if (pid <= 0 || ::kill(pid, 0) != 0) return false;
    // kill() also answers for a thread's id and for a process that has ended but was not yet reaped. For a
    // child of this program the kernel says so directly; for any other the process table has to be read.
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) {
      return false;
    }
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    if (!status) return false;  // reaped between the two looks
    std::string line;
    bool alive = true;
    while (std::getline(status, line)) {
      if (line.rfind("State:", 0) == 0) {
        const std::string_view state = text::TrimBlanks(std::string_view(line).substr(6));
        alive = alive && !state.empty() && state.front() != 'Z' && state.front() != 'X';
      } else if (line.rfind("Tgid:", 0) == 0) {
        alive = alive && StatusNumber(line, "Tgid:") == pid;
      }
    }
    return alive;
  }

  bool EndProcess(int pid) override {
    if (pid <= 1 || pid == ::getpid()) return false;
    const int fd = PidfdOpen(pid);  // fails for a thread's id and for an id nobody has
    if (fd < 0) return false;
    bool ended = false;
    if (PidfdSignal(fd, SIGTERM) == 0) {
      ended = WaitForEnd(fd, kGrace) || (PidfdSignal(fd, SIGKILL) == 0 && WaitForEnd(fd, kForcedEnd));
    }
    if (ended) {
      // The pidfd may wake its waiters a moment before a child of this program shows as ended to wait(); wait
      // for that here, so that whoever asks next hears "not running". It returns at once for anyone else's.
      siginfo_t info{};
      while (::waitid(P_PIDFD, static_cast<id_t>(fd), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
      }
    }
    ::close(fd);
    return ended;
  }
};

}  // namespace

ProcessControl& SystemProcesses() {
  static LinuxProcessControl processes;
  return processes;
}

}  // namespace kestrun::platform
