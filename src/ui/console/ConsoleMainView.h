#pragma once
#include <iosfwd>

#include "ui/HeadlessMainView.h"

namespace kestrun::ui {

// The main window on a console: each log line goes to standard output, red ones in red only on a
// terminal (and not with NO_COLOR); status text and download progress appear on standard error only
// when it is a terminal. Silent, only the red lines are written, to standard error. There is no window
// to keep open, so the run's end does not wait. A log that can no longer be written (a reader that went
// away, a full disk) is said once on standard error and the run goes on without it.
class ConsoleMainView final : public HeadlessMainView {
 public:
  ConsoleMainView(std::ostream& out, std::ostream& err, bool colourOut, bool statusOnErr, bool silent = false);

  void AppendLog(const std::string& text, int32_t color) override;
  bool SetStatusPanelText(const std::string& key, const std::string& text) override;
  void SetProgressValue(float value) override;
  void SetProgressVisible(bool visible) override;
  bool WaitsBeforeClosing() const override { return false; }

 private:
  void ClearStatusLine();

  std::ostream& out_;
  std::ostream& err_;
  bool colourOut_;
  bool statusOnErr_;
  bool silent_;
  bool outFailed_ = false;
  bool statusShown_ = false;
  int lastPercent_ = -1;
};

}  // namespace kestrun::ui
