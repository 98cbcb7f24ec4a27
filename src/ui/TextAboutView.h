#pragma once
#include <iosfwd>
#include <string>

#include "ui/AboutView.h"

namespace kestrun::ui {

// The About box where there is no window: showing it writes its text to a stream (standard output on
// the console), one line per line of the box. It has nothing to wait for, so a modal showing returns at
// once, and the box counts as closed after it.
class TextAboutView final : public AboutView {
 public:
  explicit TextAboutView(std::ostream& out) : out_(out) {}

  void SetEvents(AboutViewEvents* /*events*/) override {}
  void SetCaption(const std::string& /*caption*/) override {}
  void InsertAtEnd(const std::string& text) override { text_ += text; }
  void MoveInsertionPointToStart() override {}
  void SetLinkCaption(const std::string& /*caption*/) override {}
  void SetLinkVisible(bool /*visible*/) override {}
  void SetLogoVisible(bool /*visible*/) override {}
  void TakeIconFrom(const MainView& /*mainWindow*/) override {}
  long ScaleWidth() const override { return AboutDesignScaleWidth; }
  long ScaleHeight() const override { return AboutDesignScaleHeight; }
  TwipsRect ControlRect(AboutControl control) const override { return AboutDesignRect(control); }
  void SetControlRect(AboutControl /*control*/, const TwipsRect& /*rect*/) override {}
  TwipsLine LinePosition(AboutLine line) const override { return AboutDesignLine(line); }
  void SetLinePosition(AboutLine /*line*/, const TwipsLine& /*position*/) override {}
  TwipsRect WindowRect() const override { return {0, 0, AboutDesignScaleWidth, AboutDesignScaleHeight}; }
  void MoveWindow(long /*left*/, long /*top*/) override {}
  void Show(bool modal) override;
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool IsShown() const override { return shown_; }

 private:
  std::ostream& out_;
  std::string text_;
  bool shown_ = false;
  bool open_ = true;
};

}  // namespace kestrun::ui
