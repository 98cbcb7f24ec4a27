#pragma once
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "ui/AboutView.h"
#include "ui/MainView.h"
#include "ui/ViewFactory.h"
#include "ui/frmMain.h"
#include "util/RuntimeError.h"
#include "util/StringUtilities.h"

namespace kestrun::testing {

using ui::MainControl;
using ui::TwipsRect;

// An About box that keeps what it shows in memory and draws nothing: its text, link, logo and icon,
// its controls' places, and whether and how it was shown. `failing` makes every change of the text or
// of the layout raise "object variable not set", as a damaged window would.
class HeadlessAboutView : public ui::AboutView {
 public:
  using AboutControl = ui::AboutControl;
  using AboutLine = ui::AboutLine;

  HeadlessAboutView() {
    for (std::size_t i = 0; i < controls.size(); ++i) controls[i] = ui::AboutDesignRect(static_cast<AboutControl>(i));
    for (std::size_t i = 0; i < lines.size(); ++i) lines[i] = ui::AboutDesignLine(static_cast<AboutLine>(i));
  }

  void SetEvents(ui::AboutViewEvents* e) override { events = e; }
  void SetCaption(const std::string& c) override { caption = c; }
  void InsertAtEnd(const std::string& t) override {
    Check();
    text += t;
    atStart = false;
  }
  void MoveInsertionPointToStart() override { atStart = true; }
  void SetLinkCaption(const std::string& c) override { linkCaption = c; }
  void SetLinkVisible(bool v) override { linkVisible = v; }
  void SetLogoVisible(bool v) override { logoVisible = v; }
  void TakeIconFrom(const ui::MainView& main) override { iconFrom = &main; }
  long ScaleWidth() const override { return scaleWidth; }
  long ScaleHeight() const override { return scaleHeight; }
  ui::TwipsRect ControlRect(AboutControl c) const override { return controls[static_cast<std::size_t>(c)]; }
  void SetControlRect(AboutControl c, const ui::TwipsRect& r) override {
    Check();
    controls[static_cast<std::size_t>(c)] = r;
  }
  ui::TwipsLine LinePosition(AboutLine l) const override { return lines[static_cast<std::size_t>(l)]; }
  void SetLinePosition(AboutLine l, const ui::TwipsLine& p) override { lines[static_cast<std::size_t>(l)] = p; }
  ui::TwipsRect WindowRect() const override { return window; }
  void MoveWindow(long left, long top) override {
    window.Left = left;
    window.Top = top;
  }
  // A modal box is closed again by the time Show returns, as a person would have closed it.
  void Show(bool m) override {
    shown = true;
    modal = m;
    if (onShow) onShow(*this);
    if (m) Close();
  }
  void Close() override {
    if (!open) return;
    open = false;
    if (events) events->Form_Unload();
  }
  bool IsOpen() const override { return open; }
  bool IsShown() const override { return shown; }

  // The text's lines as the reader sees them (split at CR LF, the empty tail dropped).
  std::vector<std::string> Lines() const {
    std::vector<std::string> split = StringUtilities().SplitFields(text, "\r\n");
    if (!split.empty() && split.back().empty()) split.pop_back();
    return split;
  }

  ui::AboutViewEvents* events = nullptr;
  std::string caption, text, linkCaption;
  bool atStart = false, linkVisible = false, logoVisible = false, shown = false, modal = false, open = true;
  bool failing = false;
  const ui::MainView* iconFrom = nullptr;
  long scaleWidth = ui::AboutDesignScaleWidth, scaleHeight = ui::AboutDesignScaleHeight;
  std::array<ui::TwipsRect, 6> controls;
  std::array<ui::TwipsLine, 4> lines;
  ui::TwipsRect window{0, 0, 5895, 4470};
  std::function<void(HeadlessAboutView&)> onShow;

 private:
  void Check() const {
    if (failing) Raise(err::ObjectVariableNotSet);
  }
};

// A main window that keeps its state in memory and draws nothing, so that tests can read the log, the
// status panel and the progress bar, and damage or resize the window at will.
class HeadlessMainView : public ui::MainView {
 public:
  struct LogPiece {
    std::string text;
    int32_t color;
  };

  HeadlessMainView() {
    for (MainControl c : {MainControl::tboOutput, MainControl::ProgressBar, MainControl::sbInfo, MainControl::imgPin})
      controls_[c] = ui::DesignRect(c);
  }
  // The headless view behind a window of the headless views (every test program's default).
  static HeadlessMainView& Of(frmMain& form) { return dynamic_cast<HeadlessMainView&>(form.View()); }

  void SetEvents(ui::MainViewEvents* events) override { events_ = events; }
  void SetCaption(const std::string&) override {}
  void AppendLog(const std::string& text, int32_t color) override {
    if (!text.empty()) log_.push_back({text, color});
  }
  const std::vector<LogPiece>& Log() const { return log_; }
  // The log's lines as the reader sees them (split at CR LF, the empty tail dropped).
  std::vector<std::string> Lines() const {
    std::string all;
    for (const auto& piece : log_) all += piece.text;
    std::vector<std::string> lines = StringUtilities().SplitFields(all, "\r\n");
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
  }

  bool SetStatusPanelText(const std::string& key, const std::string& text) override {
    auto it = panels_.find(text::UCase(key));
    if (it == panels_.end()) return false;
    it->second = text;
    return true;
  }
  void RepaintStatusBar() override { ++statusRepaints_; }
  std::string StatusText() const { return panels_.count("INFO") ? panels_.at("INFO") : std::string(); }
  int StatusRepaints() const { return statusRepaints_; }
  void RemoveStatusPanels() { panels_.clear(); }  // as a damaged window would have it

  void SetProgressValue(float) override {}
  void SetProgressVisible(bool visible) override { progressVisible_ = visible; }
  bool ProgressVisible() const override { return progressVisible_; }
  void ShowPinPicture(bool pinned) override { pinned_ = pinned; }
  bool PinShowsPinned() const override { return pinned_; }
  void SetWindowState(int state) override { state_ = state; }
  int WindowState() const override { return state_; }
  void Show() override { shown_ = true; }
  bool IsShown() const override { return shown_; }
  // Closing tells the window logic, as the user's close button or a closing run would.
  void Close() override {
    if (std::exchange(open_, false) && events_) events_->Form_Unload();
  }
  bool IsOpen() const override { return open_; }

  long ScaleWidth() const override { return scale_.Width; }
  long ScaleHeight() const override { return scale_.Height; }
  void SetScaleSize(long width, long height) { scale_ = {0, 0, width, height}; }
  TwipsRect ControlRect(MainControl control) const override { return controls_.at(control); }
  void SetControlRect(MainControl control, const TwipsRect& rect) override { controls_[control] = rect; }
  TwipsRect WindowRect() const override { return window_; }
  void MoveWindow(long left, long top) override { window_.Left = left, window_.Top = top; }

 private:
  ui::MainViewEvents* events_ = nullptr;
  std::vector<LogPiece> log_;
  std::map<std::string, std::string> panels_{{"INFO", "Some status messages will appear here!"}};
  int statusRepaints_ = 0;
  bool progressVisible_ = false, pinned_ = false, shown_ = false, open_ = true;
  int state_ = ui::WindowStateNormal;
  TwipsRect scale_{0, 0, ui::DesignScaleWidth, ui::DesignScaleHeight};
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
