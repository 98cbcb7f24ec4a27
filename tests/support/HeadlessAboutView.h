#pragma once
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "ui/AboutView.h"
#include "util/RuntimeError.h"
#include "util/StringUtilities.h"

namespace kestrun::testing {

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

}  // namespace kestrun::testing
