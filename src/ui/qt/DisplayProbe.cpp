#include "ui/qt/DisplayProbe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kestrun::ui::qt {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

int Millis(std::chrono::milliseconds limit) { return static_cast<int>(limit.count()); }

std::string NoAnswer(std::chrono::milliseconds limit) {
  return "no answer within " + std::to_string(limit.count()) + " ms";
}

const char* XcbErrorText(int code) {
  switch (code) {
    case XCB_CONN_CLOSED_EXT_NOTSUPPORTED: return "a needed extension is missing";
    case XCB_CONN_CLOSED_MEM_INSUFFICIENT: return "out of memory";
    case XCB_CONN_CLOSED_PARSE_ERR: return "the display name is not valid";
    case XCB_CONN_CLOSED_INVALID_SCREEN: return "no such screen";
    default: return "the display refused the connection or does not exist";
  }
}

// xcb_connect has no time limit of its own, so it runs in a child that is killed when it takes too long.
// We are still single-threaded here, so forking is safe.
std::string ProbeX(std::chrono::milliseconds limit) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::strerror(errno);
  const pid_t pid = ::fork();
  if (pid < 0) {
    const int e = errno;
    ::close(fds[0]);
    ::close(fds[1]);
    return std::strerror(e);
  }
  if (pid == 0) {
    ::close(fds[0]);
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const char code = static_cast<char>(xcb_connection_has_error(connection));
    [[maybe_unused]] const ssize_t n = ::write(fds[1], &code, 1);
    ::_exit(0);
  }
  ::close(fds[1]);
  pollfd p{fds[0], POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&p, 1, Millis(limit));
  } while (ready < 0 && errno == EINTR);
  char code = -1;
  const bool answered = ready > 0 && ::read(fds[0], &code, 1) == 1;
  ::close(fds[0]);
  if (!answered) ::kill(pid, SIGKILL);
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  if (!answered) return NoAnswer(limit);
  return code == 0 ? std::string() : XcbErrorText(code);
}

// A Wayland compositor listens on a socket in the runtime folder: one that takes a connection is there.
std::string ProbeWayland(const std::string& name, std::chrono::milliseconds limit) {
  std::string path = name;
  if (path.empty() || path[0] != '/') {
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    if (runtime.empty()) return "XDG_RUNTIME_DIR is not set";
    path = runtime + "/" + name;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return "the socket path is too long";
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return std::strerror(errno);
  int error = 0;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = errno;
    if (error == EINPROGRESS || error == EAGAIN) {
      pollfd p{fd, POLLOUT, 0};
      socklen_t length = sizeof error;
      if (::poll(&p, 1, Millis(limit)) <= 0) {
        error = ETIMEDOUT;
      } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        error = errno;
      }
    }
  }
  ::close(fd);
  return error == 0 ? std::string() : error == ETIMEDOUT ? NoAnswer(limit) : std::strerror(error);
}

}  // namespace

std::string DisplayProblem(std::chrono::milliseconds limit) {
  // A platform named outright decides; the ones without a display (offscreen, vnc, ...) are Qt's to judge.
  std::string platform = Env("QT_QPA_PLATFORM");
  platform = platform.substr(0, platform.find(':'));
  const bool wantsX = platform == "xcb";
  const bool wantsWayland = platform.rfind("wayland", 0) == 0;
  if (!platform.empty() && !wantsX && !wantsWayland) return {};

  const std::string x = Env("DISPLAY");
  const std::string wayland = Env("WAYLAND_DISPLAY");
  std::string problems;
  if (!wayland.empty() && !wantsX) {
    const std::string problem = ProbeWayland(wayland, limit);
    if (problem.empty()) return {};
    problems = "Wayland display '" + wayland + "': " + problem;
  }
  if (!x.empty() && !wantsWayland) {
    const std::string problem = ProbeX(limit);
    if (problem.empty()) return {};
    problems += (problems.empty() ? "" : "; ") + ("display '" + x + "': " + problem);
  }
  return problems.empty() ? "no display is set" : problems;
}

}  // namespace kestrun::ui::qt
