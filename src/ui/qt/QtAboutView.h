#pragma once
#include <array>
#include <cstddef>
#include <memory>

#include "ui/AboutView.h"

class QDialog;
class QLabel;
class QPainter;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace kestrun::ui::qt {

// The About box drawn with Qt widgets: a dialog with the logo, the link, the icon, the text and the
// two buttons at their design places in twips, converted with the screen's resolution; the logic
// (frmAbout) moves them when the window is resized. OK is the default button: Enter and Escape close
// the box.
class QtAboutView final : public AboutView {
 public:
  QtAboutView();
  ~QtAboutView() override;
  QtAboutView(const QtAboutView&) = delete;
  QtAboutView& operator=(const QtAboutView&) = delete;

  void SetEvents(AboutViewEvents* events) override { events_ = events; }
  void SetCaption(const std::string& caption) override;
  void InsertAtEnd(const std::string& text) override;
  void MoveInsertionPointToStart() override;
  void SetLinkCaption(const std::string& caption) override;
  void SetLinkVisible(bool visible) override;
  void SetLogoVisible(bool visible) override;
  void TakeIconFrom(const MainView& mainWindow) override;
  long ScaleWidth() const override;
  long ScaleHeight() const override;
  TwipsRect ControlRect(AboutControl control) const override;
  void SetControlRect(AboutControl control, const TwipsRect& rect) override;
  TwipsLine LinePosition(AboutLine line) const override { return lines_[static_cast<std::size_t>(line)]; }
  void SetLinePosition(AboutLine line, const TwipsLine& position) override;
  TwipsRect WindowRect() const override;
  void MoveWindow(long left, long top) override;
  void Show(bool modal) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  bool IsShown() const override { return shown_; }

  // The widgets, for tests and screenshots.
  QDialog* Window() const;
  QPlainTextEdit* txtText() const { return txtText_; }
  QPushButton* cmdOK() const { return cmdOK_; }
  QPushButton* cmdSysInfo() const { return cmdSysInfo_; }
  QLabel* imgLogo() const { return imgLogo_; }
  QLabel* lblLink() const { return lblLink_; }
  QLabel* imgIcon() const { return imgIcon_; }

 private:
  class AboutWindow;
  class LinkLabel;

  // Called by the widgets.
  void OnResized();
  void OnClosed();
  void OnLinkClicked();
  // Keeps the link's colour readable on the window's background, whatever the palette.
  void ReadableLink();
  void PaintLines(QPainter& painter) const;

  QWidget* Widget(AboutControl control) const;
  double TwipsPerPixelX() const;
  double TwipsPerPixelY() const;
  // Sets the text box's tab stop so that the text after each line's leading tabs starts in one column.
  void AlignTabs();

  AboutViewEvents* events_ = nullptr;
  std::unique_ptr<AboutWindow> window_;
  QPlainTextEdit* txtText_ = nullptr;
  QPushButton* cmdOK_ = nullptr;
  QPushButton* cmdSysInfo_ = nullptr;
  QLabel* imgLogo_ = nullptr;
  QLabel* lblLink_ = nullptr;
  QLabel* imgIcon_ = nullptr;
  std::array<TwipsLine, 4> lines_{AboutDesignLine(AboutLine::lnLogoLine0), AboutDesignLine(AboutLine::lnLogoLine1),
                                  AboutDesignLine(AboutLine::lnLine0), AboutDesignLine(AboutLine::lnLine1)};
  bool logoVisible_ = true;
  bool open_ = true;
  bool shown_ = false;
};

}  // namespace kestrun::ui::qt
