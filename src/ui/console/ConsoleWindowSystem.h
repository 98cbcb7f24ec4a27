#pragma once
#include <iosfwd>

#include "platform/WindowSystem.h"
#include "ui/ViewFactory.h"

namespace kestrun::ui {

// The front end for a machine with no display (cron, systemd timers, ssh): message boxes go to
// standard error and are answered OK at once, input boxes read one line from standard input (an
// empty line takes the default, end of input cancels), the log goes to standard output.
class ConsoleWindowSystem final : public platform::WindowSystem, public ViewFactory {
 public:
  ConsoleWindowSystem(std::istream& in, std::ostream& out, std::ostream& err);
  ConsoleWindowSystem();

  int MsgBox(const std::string& prompt, int buttons, const std::string& caption) override;
  std::string InputBox(const std::string& prompt, const std::string& caption, const std::string& defaultText) override;
  void DoEvents() override {}
  void WaitFor(std::chrono::milliseconds duration) override;
  platform::WorkArea GetWorkArea() override { return {}; }

  std::unique_ptr<MainView> CreateMainView() override;
  void ShowAboutBox(const std::vector<std::string>& lines, int32_t modal) override;

 private:
  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  bool inputEnded_ = false;
};

}  // namespace kestrun::ui
