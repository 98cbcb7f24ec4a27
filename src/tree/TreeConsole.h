#pragma once
#include <iosfwd>
#include <string>

#include "filetree/FileTreeHost.h"
#include "platform/WindowSystem.h"

namespace kestrun::tree {

// Everything around the tree engine when it runs from the console: report lines go to standard output
// (red and blue only on a terminal), the folder under work to standard error on a terminal, and error
// reports to standard error. Red lines and error reports count as failures.
class TreeConsole final : public platform::WindowSystem,
                          public TreeDriver,
                          public TreeStatusBar,
                          public FileTreeEvents {
 public:
  // `colour`: report lines may carry colours; `interactive`: a person watches standard output, so
  // each line is written at once; `status`: standard error is a terminal that shows the folder under work.
  TreeConsole(std::ostream& out, std::ostream& err, bool colour, bool interactive, bool status);

  bool Failed() const { return failures_ > 0; }

  // The engine's host.
  TreeStatusBar* TreeController() override { return this; }
  void UpdateStatusBar(const std::string& strText) override;
  void FTC_FileTreeChange(const std::string& strText, int32_t Color) override;

  // The window system: nothing to ask and nothing to wait for.
  int MsgBox(const std::string& prompt, int buttons, const std::string& caption) override;
  std::string InputBox(const std::string&, const std::string&, const std::string&) override { return {}; }
  void DoEvents() override {}
  void WaitFor(std::chrono::milliseconds duration) override;
  platform::WorkArea GetWorkArea() override { return {}; }

 private:
  void ClearStatus();

  std::ostream& out_;
  std::ostream& err_;
  bool colour_;
  bool interactive_;
  bool status_;
  bool statusShown_ = false;
  int failures_ = 0;
};

}  // namespace kestrun::tree
