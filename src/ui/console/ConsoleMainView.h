#pragma once
#include <array>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "ui/MainView.h"

namespace kestrun::ui {

// The main window on a console: each log line goes to standard output, red ones in red only on a
// terminal (and not with NO_COLOR); status text and download progress appear on standard error only
// when it is a terminal. Silent, only the red lines are written, to standard error. There is no window
// to keep open, so the run's end does not wait. A log that can no longer be written (a reader that went
// away, a full disk) is said once on standard error and the run goes on without it. The window's other
// state (pin, window state, the controls' places) is only kept, for the window logic to read back.
// Lines written before the window is shown wait for it, so a start that never shows it (/?) prints
// nothing of the main window.
class ConsoleMainView final : public MainView {
 public:
  ConsoleMainView(std::ostream& out, std::ostream& err, bool colourOut, bool statusOnErr, bool silent = false);

  void SetEvents(MainViewEvents* events) override { events_ = events; }
  void SetCaption(const std::string& /*caption*/) override {}
  void AppendLog(const std::string& text, int32_t color) override;
  // The status bar has the one panel "Info" (any letter case).
  bool SetStatusPanelText(const std::string& key, const std::string& text) override;
  void RepaintStatusBar() override {}
  void SetProgressValue(float value) override;
  void SetProgressVisible(bool visible) override;
  bool ProgressVisible() const override { return progressVisible_; }
  void ShowPinPicture(bool pinned) override { pinned_ = pinned; }
  bool PinShowsPinned() const override { return pinned_; }
  void SetWindowState(int state) override { state_ = state; }
  int WindowState() const override { return state_; }
  void Show() override;
  bool IsShown() const override { return shown_; }
  // Closing tells the window logic, as the end of the run or Ctrl-C does.
  void Close() override;
  bool IsOpen() const override { return open_; }
  long ScaleWidth() const override { return DesignScaleWidth; }
  long ScaleHeight() const override { return DesignScaleHeight; }
  TwipsRect ControlRect(MainControl control) const override { return controls_[static_cast<std::size_t>(control)]; }
  void SetControlRect(MainControl control, const TwipsRect& rect) override {
    controls_[static_cast<std::size_t>(control)] = rect;
  }
  TwipsRect WindowRect() const override { return window_; }
  void MoveWindow(long left, long top) override {
    window_.Left = left;
    window_.Top = top;
  }
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
  std::vector<std::pair<std::string, int32_t>> beforeShow_;
  int lastPercent_ = -1;
  MainViewEvents* events_ = nullptr;
  bool progressVisible_ = false;
  bool pinned_ = false;
  int state_ = WindowStateNormal;
  bool shown_ = false;
  bool open_ = true;
  std::array<TwipsRect, 4> controls_{DesignRect(MainControl::tboOutput), DesignRect(MainControl::ProgressBar),
                                     DesignRect(MainControl::sbInfo), DesignRect(MainControl::imgPin)};
  TwipsRect window_{0, 0, 6540, 4140};
};

}  // namespace kestrun::ui
