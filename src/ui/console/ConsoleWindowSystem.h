#pragma once
#include <iosfwd>
#include <string>

#include "platform/WindowSystem.h"
#include "ui/ViewFactory.h"

namespace kestrun::ui {

// The front end for a machine with no display (cron, systemd timers, ssh): message boxes go to
// standard error and are answered OK at once, input boxes read one line from standard input (an
// empty line takes the default, end of input cancels, and so does SIGINT or SIGTERM while waiting),
// the log goes to standard output.
class ConsoleWindowSystem final : public platform::WindowSystem, public ViewFactory {
 public:
  // Reads answers from the descriptor `in` (not owned).
  ConsoleWindowSystem(int in, std::ostream& out, std::ostream& err);
  ConsoleWindowSystem();

  int MsgBox(const std::string& prompt, int buttons, const std::string& caption) override;
  bool Notice(const std::string& text) override;
  std::string InputBox(const std::string& prompt, const std::string& caption, const std::string& defaultText) override;
  void DoEvents() override {}
  void WaitFor(std::chrono::milliseconds duration) override;
  platform::WorkArea GetWorkArea() override { return {}; }

  std::unique_ptr<MainView> CreateMainView() override;
  std::unique_ptr<AboutView> CreateAboutView() override;
  void SetSilent(bool silent) override { silent_ = silent; }

 private:
  // One line from `in_` without its line end; false at the end of input, on a read error, or when the
  // program is asked to stop while waiting.
  bool ReadLine(std::string& line);

  int in_;
  std::ostream& out_;
  std::ostream& err_;
  bool inputEnded_ = false;
  bool silent_ = false;
  // Bytes read past the last line handed out; `scanned_` of them are known to hold no line end.
  std::string pending_;
  std::size_t scanned_ = 0;
};

}  // namespace kestrun::ui
