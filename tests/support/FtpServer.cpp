#include "support/FtpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <random>
#include <stdexcept>

#include "support/KestrunProgram.h"

namespace kestrun::testing {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr auto kStartLimit = std::chrono::seconds(15);

// KESTRUN_TEST_DATA names the tests' source folder; without it, this file's own place in that folder.
std::filesystem::path Script() {
  const char* data = std::getenv("KESTRUN_TEST_DATA");
  const std::filesystem::path base =
      data && *data ? std::filesystem::path(data) : std::filesystem::path(__FILE__).parent_path().parent_path();
  return base / "integration" / "ftp_server.py";
}

}  // namespace

bool FtpServer::Available() {
  static const bool available = [] {
    const pid_t pid = Spawn({kPython, "-c", "import pyftpdlib"});
    if (pid < 0) return false;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }();
  return available;
}

FtpServer::FtpServer(FtpServerOptions o) {
  std::vector<std::string> args = {kPython, Script().string(), "--root", o.root.string(), "--max-lifetime", "300"};
  if (o.refuseLogin) args.push_back("--refuse-login");
  for (const std::string& name : o.deny) args.insert(args.end(), {"--deny", name});
  if (!o.dropFile.empty()) args.insert(args.end(), {"--drop", o.dropFile, "--drop-mode", o.dropMode});
  if (!o.stallFile.empty())
    args.insert(args.end(), {"--stall", o.stallFile, "--stall-after", std::to_string(o.stallAfter)});
  if (!o.listingFile.empty()) args.insert(args.end(), {"--listing", o.listingFile.string()});
  if (o.manyNames > 0) args.insert(args.end(), {"--many-names", std::to_string(o.manyNames)});
  if (o.noMlsd) args.push_back("--no-mlsd");
  if (o.refuseSize) args.push_back("--refuse-size");
  if (o.rate > 0) args.insert(args.end(), {"--rate", std::to_string(o.rate)});

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_ = Spawn(args, -1, pipeFds[1]);
  ::close(pipeFds[1]);
  if (pid_ < 0) {
    ::close(pipeFds[0]);
    throw std::runtime_error("cannot start " + Script().string());
  }

  // The first line of the server's output is its port.
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (line.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{pipeFds[0], POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buf[64];
    const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
    if (n <= 0) break;  // the server ended before it listened
    line.append(buf, static_cast<size_t>(n));
  }
  ::close(pipeFds[0]);
  const long port = std::strtol(line.c_str(), nullptr, 10);
  if (port <= 0 || port > 65535) {
    Kill();
    throw std::runtime_error("the test FTP server did not start: " + Script().string());
  }
  port_ = static_cast<uint16_t>(port);
}

FtpServer::~FtpServer() { Kill(); }

std::string FtpServer::HostName() const { return "127.0.0.1:" + std::to_string(port_); }

void FtpServer::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string data(size, '\0');
  for (char& c : data) c = static_cast<char>(random() & 0xff);
  return data;
}

}  // namespace kestrun::testing
