#include "ui/console/ConsoleWindowSystem.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <thread>

#include "ui/console/ConsoleMainView.h"

namespace kestrun::ui {

ConsoleWindowSystem::ConsoleWindowSystem(std::istream& in, std::ostream& out, std::ostream& err)
    : in_(in), out_(out), err_(err) {}

ConsoleWindowSystem::ConsoleWindowSystem() : ConsoleWindowSystem(std::cin, std::cout, std::cerr) {}

int ConsoleWindowSystem::MsgBox(const std::string& prompt, int buttons, const std::string& /*caption*/) {
  err_ << prompt << std::endl;
  return (buttons & 0x7) == platform::mb::YesNo ? platform::mb::AnswerYes : platform::mb::AnswerOk;
}

std::string ConsoleWindowSystem::InputBox(const std::string& prompt, const std::string& /*caption*/,
                                          const std::string& defaultText) {
  err_ << prompt << " [" << defaultText << "]: ";
  err_.flush();
  std::string line;
  if (inputEnded_ || !std::getline(in_, line)) {
    // End of input is Cancel: the setting is left alone.
    inputEnded_ = true;
    err_ << '\n';
    return {};
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // Typed answers end the prompt's line on the terminal; piped ones do not, so end it here.
  if (&in_ != &std::cin || ::isatty(STDIN_FILENO) != 1) err_ << '\n';
  return line.empty() ? defaultText : line;
}

void ConsoleWindowSystem::WaitFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

std::unique_ptr<MainView> ConsoleWindowSystem::CreateMainView() {
  const bool outIsTerminal = &out_ == &std::cout && ::isatty(STDOUT_FILENO) == 1;
  const bool errIsTerminal = &err_ == &std::cerr && ::isatty(STDERR_FILENO) == 1;
  const bool colour = outIsTerminal && std::getenv("NO_COLOR") == nullptr;
  return std::make_unique<ConsoleMainView>(out_, err_, colour, errIsTerminal);
}

void ConsoleWindowSystem::ShowAboutBox(const std::vector<std::string>& lines, int32_t /*modal*/) {
  for (const auto& line : lines) out_ << line << '\n';
  out_.flush();
}

}  // namespace kestrun::ui
