#pragma once
#include <QColor>
#include <QString>
#include <QTextCursor>
#include <QTextFormat>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "ui/MainView.h"

class QLabel;
class QObject;
class QPlainTextEdit;
class QProgressBar;
class QStatusBar;
class QWidget;

namespace kestrun::ui::qt {

// The main window drawn with Qt widgets. The controls sit at their design positions, given in twips
// (1440 per logical inch) and converted with the screen's resolution; the window logic (frmMain)
// moves them when the window is resized. The status bar keeps to the bottom edge by itself.
class QtMainView final : public MainView {
 public:
  QtMainView();
  ~QtMainView() override;
  QtMainView(const QtMainView&) = delete;
  QtMainView& operator=(const QtMainView&) = delete;

  void SetEvents(MainViewEvents* events) override { events_ = events; }
  void SetCaption(const std::string& caption) override;
  void AppendLog(const std::string& text, int32_t color) override;
  bool SetStatusPanelText(const std::string& key, const std::string& text) override;
  void RepaintStatusBar() override;
  void SetProgressValue(float value) override;
  void SetProgressVisible(bool visible) override;
  bool ProgressVisible() const override;
  void ShowPinPicture(bool pinned) override;
  bool PinShowsPinned() const override;
  void SetWindowState(int state) override;
  int WindowState() const override;
  void Show() override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  bool IsShown() const override { return shown_; }
  long ScaleWidth() const override;
  long ScaleHeight() const override;
  TwipsRect ControlRect(MainControl control) const override;
  void SetControlRect(MainControl control, const TwipsRect& rect) override;
  TwipsRect WindowRect() const override;
  void MoveWindow(long left, long top) override;

  // Where each piece of the log keeps the colour the window logic asked for; what is drawn follows the
  // palette: colour 0 is the palette's text colour, the others keep their hue and stand out from the
  // log's background by at least 4.5 to 1.
  static constexpr int LogColourProperty = QTextFormat::UserProperty + 1;

  // The widgets, for tests and screenshots.
  QWidget* Window() const;
  QPlainTextEdit* tboOutput() const { return tboOutput_; }
  QProgressBar* ProgressBar() const { return progressBar_; }
  QStatusBar* sbInfo() const { return sbInfo_; }
  QLabel* imgPin() const { return imgPin_; }
  QLabel* imgUnpinned() const { return imgUnpinned_; }
  QLabel* imgPinned() const { return imgPinned_; }
  QLabel* StatusPanel(const std::string& key) const;

 private:
  class MainWindow;
  class LogBox;
  class KeyPreview;
  class PinLabel;

  // Called by the widgets.
  void OnResized();
  void OnClosed();
  void OnKeyReleased(int keyCode, int shift);
  void OnPinClicked();
  void OnPaletteChanged();
  // What a log colour of the window logic looks like on the log's palette.
  QColor DisplayColour(int32_t color);

  QWidget* Widget(MainControl control) const;
  double TwipsPerPixelX() const;
  double TwipsPerPixelY() const;

  MainViewEvents* events_ = nullptr;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<KeyPreview> keyPreview_;
  QPlainTextEdit* tboOutput_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QStatusBar* sbInfo_ = nullptr;
  QLabel* imgPin_ = nullptr;
  QLabel* imgUnpinned_ = nullptr;
  QLabel* imgPinned_ = nullptr;
  // Status panels by upper-cased key.
  std::map<QString, QLabel*> panels_;
  // The log's insertion point, kept at the end of the document apart from the user's own cursor, so
  // appending never searches the text and a selection made by the user is not disturbed.
  QTextCursor end_;
  // Log colours as drawn on the palette in use, and that palette's background and text colours.
  std::map<int32_t, QColor> displayColours_;
  std::pair<QRgb, QRgb> paletteColours_{0, 0};
  int state_ = WindowStateNormal;
  bool open_ = true;
  bool shown_ = false;
  bool closing_ = false;
};

}  // namespace kestrun::ui::qt
