#pragma once
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/HeadlessAboutView.h"
#include "ui/MainView.h"
#include "ui/ViewFactory.h"

namespace kestrun::testing {

using ui::MainControl;
using ui::MainViewEvents;
using ui::TwipsRect;

// A main window that keeps its state in memory and draws nothing, so that tests can read the log, the
// status panel and the progress bar, and damage or resize the window at will.
class HeadlessMainView : public ui::MainView {
 public:
  struct LogPiece {
    std::string text;
    int32_t color;
  };

  HeadlessMainView();

  void SetEvents(MainViewEvents* events) override { events_ = events; }
  MainViewEvents* Events() const { return events_; }
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  const std::string& Caption() const { return caption_; }

  void AppendLog(const std::string& text, int32_t color) override;
  const std::vector<LogPiece>& Log() const { return log_; }
  // The log's lines as the reader sees them (split at CR LF, the empty tail dropped).
  std::vector<std::string> Lines() const;

  bool SetStatusPanelText(const std::string& key, const std::string& text) override;
  void RepaintStatusBar() override { ++statusRepaints_; }
  std::string StatusText() const;
  int StatusRepaints() const { return statusRepaints_; }
  // Drops the "Info" panel, as a damaged window would have it.
  void RemoveStatusPanels() { panels_.clear(); }

  void SetProgressValue(float value) override { progress_ = value; }
  float ProgressValue() const { return progress_; }
  void SetProgressVisible(bool visible) override { progressVisible_ = visible; }
  bool ProgressVisible() const override { return progressVisible_; }

  void ShowPinPicture(bool pinned) override { pinned_ = pinned; }
  bool PinShowsPinned() const override { return pinned_; }

  void SetWindowState(int state) override { state_ = state; }
  int WindowState() const override { return state_; }
  void Show() override { shown_ = true; }
  bool Shown() const { return shown_; }
  bool IsShown() const override { return shown_; }
  // Closing tells the window logic, as the user's close button or a closing run would.
  void Close() override {
    if (!open_) return;
    open_ = false;
    if (events_) events_->Form_Unload();
  }
  bool IsOpen() const override { return open_; }

  long ScaleWidth() const override { return scaleWidth_; }
  long ScaleHeight() const override { return scaleHeight_; }
  void SetScaleSize(long width, long height) {
    scaleWidth_ = width;
    scaleHeight_ = height;
  }
  TwipsRect ControlRect(MainControl control) const override;
  void SetControlRect(MainControl control, const TwipsRect& rect) override;
  TwipsRect WindowRect() const override { return window_; }
  void MoveWindow(long left, long top) override {
    window_.Left = left;
    window_.Top = top;
  }

 private:
  MainViewEvents* events_ = nullptr;
  std::string caption_;
  std::vector<LogPiece> log_;
  std::map<std::string, std::string> panels_;
  int statusRepaints_ = 0;
  float progress_ = 0;
  bool progressVisible_ = false;
  bool pinned_ = false;
  int state_ = ui::WindowStateNormal;
  bool shown_ = false;
  bool open_ = true;
  long scaleWidth_ = ui::DesignScaleWidth;
  long scaleHeight_ = ui::DesignScaleHeight;
  std::map<MainControl, TwipsRect> controls_;
  TwipsRect window_{0, 0, 6540, 4140};
};

// Hands out headless main windows; the About box prints its lines, as with no window. Installs itself for
// its lifetime: every test program runs with one (support/main/TestMain.cpp).
class HeadlessViews : public ui::ViewFactory {
 public:
  HeadlessViews() : previous_(ui::InstallViewFactory(this)) {}
  ~HeadlessViews() override { ui::InstallViewFactory(previous_); }
  std::unique_ptr<ui::MainView> CreateMainView() override { return std::make_unique<HeadlessMainView>(); }

 private:
  ui::ViewFactory* previous_;
};

// Headless main windows, with the About box requests recorded instead of shown, and a window that
// cannot be created on request.
class RecordingViews : public HeadlessViews {
 public:
  std::unique_ptr<ui::MainView> CreateMainView() override {
    if (failCreate) throw std::runtime_error("no window");
    return HeadlessViews::CreateMainView();
  }
  // Each About box shown is recorded as it stood then (its text, how it was shown, ...); it stays open.
  std::unique_ptr<ui::AboutView> CreateAboutView() override {
    auto view = std::make_unique<HeadlessAboutView>();
    view->onShow = [this](HeadlessAboutView& shown) { aboutBoxes.push_back(shown); };
    return view;
  }
  std::vector<HeadlessAboutView> aboutBoxes;
  bool failCreate = false;
};

}  // namespace kestrun::testing
