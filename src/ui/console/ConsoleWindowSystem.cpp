#include "ui/console/ConsoleWindowSystem.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "platform/Cancellation.h"
#include "ui/TextAboutView.h"
#include "ui/console/ConsoleMainView.h"

namespace kestrun::ui {

ConsoleWindowSystem::ConsoleWindowSystem(int in, std::ostream& out, std::ostream& err)
    : in_(in), out_(out), err_(err) {}

ConsoleWindowSystem::ConsoleWindowSystem() : ConsoleWindowSystem(STDIN_FILENO, std::cout, std::cerr) {}

int ConsoleWindowSystem::MsgBox(const std::string& prompt, int buttons, const std::string& /*caption*/) {
  err_ << prompt << std::endl;
  return (buttons & 0x7) == platform::mb::YesNo ? platform::mb::AnswerYes : platform::mb::AnswerOk;
}

bool ConsoleWindowSystem::Notice(const std::string& text) {
  err_ << "kestrun: " << text << std::endl;
  return true;
}

std::string ConsoleWindowSystem::InputBox(const std::string& prompt, const std::string& /*caption*/,
                                          const std::string& defaultText) {
  // Once the program is asked to stop, no question waits for an answer.
  if (platform::CancelRequested()) return {};
  err_ << prompt << " [" << defaultText << "]: ";
  err_.flush();
  std::string line;
  if (inputEnded_ || !ReadLine(line)) {
    // End of input is Cancel: the setting is left alone.
    inputEnded_ = !platform::CancelRequested();
    err_ << '\n';
    return {};
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // Typed answers end the prompt's line on the terminal; piped ones do not, so end it here.
  if (::isatty(in_) != 1) err_ << '\n';
  return line.empty() ? defaultText : line;
}

bool ConsoleWindowSystem::ReadLine(std::string& line) {
  // Read by hand rather than through a buffered stream: the wait must end on SIGINT or SIGTERM too,
  // and a buffered stream would hide lines already read from poll.
  for (;;) {
    const std::size_t end = pending_.find('\n', scanned_);
    if (end != std::string::npos) {
      line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      scanned_ = 0;
      return true;
    }
    scanned_ = pending_.size();
    if (platform::CancelRequested()) return false;
    pollfd fds[2] = {{in_, POLLIN, 0}, {platform::InterruptWakeFd(), POLLIN, 0}};
    if (::poll(fds, fds[1].fd >= 0 ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[1].revents != 0) {
      if (platform::CancelRequested()) return false;
      platform::DrainInterruptWakeFd();  // left over from an earlier, finished stop
    }
    if (fds[0].revents == 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(in_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      // The last line may lack its line end.
      if (n < 0 || pending_.empty()) return false;
      line.swap(pending_);
      pending_.clear();
      scanned_ = 0;
      return true;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

void ConsoleWindowSystem::WaitFor(std::chrono::milliseconds duration) {
  // Ends early when the program is asked to stop; the caller looks at the flag.
  const int wake = platform::InterruptWakeFd();
  if (wake < 0 || platform::CancelRequested()) {
    std::this_thread::sleep_for(duration);
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + duration;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd fd{wake, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) > 0) {
      if (platform::CancelRequested()) return;
      platform::DrainInterruptWakeFd();  // left over from an earlier, finished stop
    }
  }
}

std::unique_ptr<MainView> ConsoleWindowSystem::CreateMainView() {
  const bool outIsTerminal = &out_ == &std::cout && ::isatty(STDOUT_FILENO) == 1;
  const bool errIsTerminal = &err_ == &std::cerr && ::isatty(STDERR_FILENO) == 1;
  const bool colour = outIsTerminal && std::getenv("NO_COLOR") == nullptr;
  return std::make_unique<ConsoleMainView>(out_, err_, colour, errIsTerminal && !silent_, silent_);
}

std::unique_ptr<AboutView> ConsoleWindowSystem::CreateAboutView() { return std::make_unique<TextAboutView>(out_); }

}  // namespace kestrun::ui
