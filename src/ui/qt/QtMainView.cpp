#include "ui/qt/QtMainView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/qt/PinPictures.h"
#include "ui/qt/ProgramPictures.h"
#include "ui/qt/QtWindowSystem.h"
#include "ui/qt/ReadableColour.h"
#include "ui/qt/Twips.h"

namespace kestrun::ui::qt {

namespace {

// Design positions and sizes in twips of the two hidden pictures; the controls' are in MainView.h.
constexpr TwipsRect kUnpinned{6120, 480, 240, 165};
constexpr TwipsRect kPinned{6120, 600, 180, 180};

// The smallest client area, in twips: the log keeps about five lines and its full margins. Above it the
// window logic's layout applies.
constexpr long kMinScaleWidth = 2400;
constexpr long kMinScaleHeight = 1800;

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// blue * 65536 + green * 256 + red
QColor LogColor(int32_t color) {
  const auto c = static_cast<uint32_t>(color);
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

// The shift state of a key event as the window logic counts it: 1 Shift, 2 Ctrl, 4 Alt.
int ShiftState(Qt::KeyboardModifiers modifiers) {
  int shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= 1;
  if (modifiers & Qt::ControlModifier) shift |= 2;
  if (modifiers & Qt::AltModifier) shift |= 4;
  return shift;
}

// Function keys carry the numbers of the window logic (F1 = 112); other keys are not passed on.
int KeyCode(int qtKey) {
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return 112 + (qtKey - Qt::Key_F1);
  return 0;
}

}  // namespace

// The log: tells the view when the desktop's palette changes, so that its lines stay readable.
class QtMainView::LogBox final : public QPlainTextEdit {
 public:
  LogBox(QWidget* parent, QtMainView& view) : QPlainTextEdit(parent), view_(view) {}

 protected:
  void changeEvent(QEvent* event) override {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) view_.OnPaletteChanged();
  }

 private:
  QtMainView& view_;
};

// The top-level window: tells the view when it is resized or closed.
class QtMainView::MainWindow final : public QWidget {
 public:
  explicit MainWindow(QtMainView& view) : view_(view) {}

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    view_.OnResized();
  }
  void closeEvent(QCloseEvent* event) override {
    QWidget::closeEvent(event);
    view_.OnClosed();
  }

 private:
  QtMainView& view_;
};

// The window sees key releases before its controls do, so F1 works while the log has the focus.
class QtMainView::KeyPreview final : public QObject {
 public:
  explicit KeyPreview(QtMainView& view) : view_(view) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyRelease) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    QWidget* window = view_.window_.get();
    if (!widget || !window || (widget != window && !window->isAncestorOf(widget))) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const int code = KeyCode(key->key());
    // A held key repeats its release; one press is one request.
    if (code == 0 || key->isAutoRepeat()) return false;
    view_.OnKeyReleased(code, ShiftState(key->modifiers()));
    return true;  // handled by the window; the control does not see it again while it propagates
  }

 private:
  QtMainView& view_;
};

class QtMainView::PinLabel final : public QLabel {
 public:
  PinLabel(QWidget* parent, QtMainView& view) : QLabel(parent), view_(view) {}

 protected:
  void mousePressEvent(QMouseEvent* event) override { event->accept(); }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) view_.OnPinClicked();
  }

 private:
  QtMainView& view_;
};

QtMainView::QtMainView() : window_(std::make_unique<MainWindow>(*this)) {
  QWidget* w = window_.get();
  w->setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  w->setWindowIcon(ProgramIcon());

  tboOutput_ = new LogBox(w, *this);
  tboOutput_->setReadOnly(true);
  tboOutput_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  tboOutput_->setUndoRedoEnabled(false);  // the log only grows; an undo history would grow with it
  end_ = QTextCursor(tboOutput_->document());
  end_.movePosition(QTextCursor::End);

  progressBar_ = new QProgressBar(w);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  progressBar_->hide();

  sbInfo_ = new QStatusBar(w);
  sbInfo_->setSizeGripEnabled(false);
  auto* info = new QLabel(QStringLiteral("Some status messages will appear here!"), sbInfo_);
  info->setTextFormat(Qt::PlainText);
  sbInfo_->addWidget(info, 1);
  panels_[QStringLiteral("INFO")] = info;

  imgUnpinned_ = new QLabel(w);
  imgUnpinned_->setPixmap(QPixmap(kUnpinnedPicture));
  imgUnpinned_->hide();
  imgPinned_ = new QLabel(w);
  imgPinned_->setPixmap(QPixmap(kPinnedPicture));
  imgPinned_->hide();

  imgPin_ = new PinLabel(w, *this);
  imgPin_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  imgPin_->setToolTip(QStringLiteral("Push to pin me down"));
  imgPin_->setCursor(Qt::PointingHandCursor);
  imgPin_->setPixmap(imgUnpinned_->pixmap());

  for (MainControl control :
       {MainControl::tboOutput, MainControl::ProgressBar, MainControl::sbInfo, MainControl::imgPin})
    SetControlRect(control, DesignRect(control));
  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  imgUnpinned_->setGeometry(TwipsToPixels(kUnpinned, tx, ty));
  imgPinned_->setGeometry(TwipsToPixels(kPinned, tx, ty));
  w->setMinimumSize(static_cast<int>(std::lround(kMinScaleWidth / tx)),
                    static_cast<int>(std::lround(kMinScaleHeight / ty)));
  w->resize(static_cast<int>(std::lround(DesignScaleWidth / tx)),
            static_cast<int>(std::lround(DesignScaleHeight / ty)));

  keyPreview_ = std::make_unique<KeyPreview>(*this);
  if (qApp) qApp->installEventFilter(keyPreview_.get());
}

QtMainView::~QtMainView() {
  events_ = nullptr;
  if (qApp) qApp->removeEventFilter(keyPreview_.get());
  closing_ = true;
  window_.reset();
}

QWidget* QtMainView::Window() const { return window_.get(); }

void QtMainView::SetCaption(const std::string& caption) { window_->setWindowTitle(Q(caption)); }

void QtMainView::AppendLog(const std::string& text, int32_t color) {
  if (text.empty()) return;
  // The log keeps one paragraph per line: CR LF (and a lone CR or LF) end a paragraph.
  QString line = Q(text);
  line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  line.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QTextCharFormat format;
  format.setProperty(LogColourProperty, color);
  format.setForeground(DisplayColour(color));
  end_.movePosition(QTextCursor::End);
  end_.insertText(line, format);
  // Keep the newest line in view.
  QScrollBar* bar = tboOutput_->verticalScrollBar();
  bar->setValue(bar->maximum());
}

QColor QtMainView::DisplayColour(int32_t color) {
  auto known = displayColours_.find(color);
  if (known != displayColours_.end()) return known->second;
  // Colour 0 is the log's ordinary text: the palette's own text colour, so that it reads on a dark
  // desktop as on a light one. Every other colour keeps its hue and is darkened or lightened no more
  // than it takes to stand out from the log's background.
  const QPalette& palette = tboOutput_->palette();
  const QColor shown =
      color == 0 ? palette.color(QPalette::Text) : ReadableColour(LogColor(color), palette.color(QPalette::Base));
  displayColours_.emplace(color, shown);
  return shown;
}

void QtMainView::OnPaletteChanged() {
  const QPalette& palette = tboOutput_->palette();
  const std::pair<QRgb, QRgb> colours{palette.color(QPalette::Base).rgb(), palette.color(QPalette::Text).rgb()};
  if (colours == paletteColours_) return;
  paletteColours_ = colours;
  displayColours_.clear();
  // Each piece of the log takes the colour its logical colour has on the new palette.
  struct Piece {
    int position;
    int length;
    int32_t color;
  };
  std::vector<Piece> pieces;
  QTextDocument* document = tboOutput_->document();
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QVariant color = fragment.charFormat().property(LogColourProperty);
      if (fragment.isValid() && color.isValid())
        pieces.push_back({fragment.position(), fragment.length(), color.toInt()});
    }
  }
  QTextCursor cursor(document);
  cursor.beginEditBlock();
  for (const Piece& piece : pieces) {
    cursor.setPosition(piece.position);
    cursor.setPosition(piece.position + piece.length, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setForeground(DisplayColour(piece.color));
    cursor.mergeCharFormat(format);
  }
  cursor.endEditBlock();
}

QLabel* QtMainView::StatusPanel(const std::string& key) const {
  auto it = panels_.find(Q(key).toUpper());
  return it == panels_.end() ? nullptr : it->second;
}

bool QtMainView::SetStatusPanelText(const std::string& key, const std::string& text) {
  QLabel* panel = StatusPanel(key);
  if (!panel) return false;
  panel->setText(Q(text));
  return true;
}

void QtMainView::RepaintStatusBar() { sbInfo_->repaint(); }

void QtMainView::SetProgressValue(float value) {
  if (!std::isfinite(value)) return;
  progressBar_->setValue(static_cast<int>(std::clamp(value, 0.0f, 100.0f)));
}

void QtMainView::SetProgressVisible(bool visible) { progressBar_->setVisible(visible); }

bool QtMainView::ProgressVisible() const { return !progressBar_->isHidden(); }

void QtMainView::ShowPinPicture(bool pinned) {
  imgPin_->setPixmap(pinned ? imgPinned_->pixmap() : imgUnpinned_->pixmap());
}

bool QtMainView::PinShowsPinned() const {
  // The picture on show tells the state: is it the unpinned one?
  return imgPin_->pixmap().cacheKey() != imgUnpinned_->pixmap().cacheKey();
}

void QtMainView::SetWindowState(int state) {
  state_ = state;
  if (!shown_) return;
  if (state == WindowStateMinimized) {
    window_->showMinimized();
  } else {
    window_->showNormal();
  }
}

int QtMainView::WindowState() const {
  if (shown_) return window_->isMinimized() ? WindowStateMinimized : WindowStateNormal;
  return state_;
}

void QtMainView::Show() {
  if (!open_) return;
  shown_ = true;
  if (state_ == WindowStateMinimized) {
    window_->showMinimized();
  } else {
    window_->show();
  }
}

void QtMainView::Close() {
  if (!open_) return;
  window_->close();
  // A window that never was on screen gets no close event from every platform; it is closed all the same.
  if (open_) OnClosed();
}

void QtMainView::OnClosed() {
  if (!open_ || closing_) return;
  open_ = false;
  window_->hide();
  if (events_) events_->Form_Unload();
}

void QtMainView::OnResized() {
  // The status bar keeps to the bottom edge across the whole width.
  const int height = static_cast<int>(std::lround(DesignRect(MainControl::sbInfo).Height / TwipsPerPixelY()));
  sbInfo_->setGeometry(0, window_->height() - height, window_->width(), height);
  if (events_) events_->Form_Resize();
}

void QtMainView::OnKeyReleased(int keyCode, int shift) {
  if (events_) events_->Form_KeyUp(keyCode, shift);
}

void QtMainView::OnPinClicked() {
  if (events_) events_->imgPin_Click();
}

double QtMainView::TwipsPerPixelX() const { return ScreenTwipsPerPixel(window_ ? window_->screen() : nullptr, true); }
double QtMainView::TwipsPerPixelY() const { return ScreenTwipsPerPixel(window_ ? window_->screen() : nullptr, false); }

long QtMainView::ScaleWidth() const { return std::lround(window_->width() * TwipsPerPixelX()); }
long QtMainView::ScaleHeight() const { return std::lround(window_->height() * TwipsPerPixelY()); }

QWidget* QtMainView::Widget(MainControl control) const {
  switch (control) {
    case MainControl::tboOutput: return tboOutput_;
    case MainControl::ProgressBar: return progressBar_;
    case MainControl::sbInfo: return sbInfo_;
    case MainControl::imgPin: return imgPin_;
  }
  return nullptr;
}

TwipsRect QtMainView::ControlRect(MainControl control) const {
  const QWidget* widget = Widget(control);
  return widget ? PixelsToTwips(widget->geometry(), TwipsPerPixelX(), TwipsPerPixelY()) : TwipsRect{};
}

void QtMainView::SetControlRect(MainControl control, const TwipsRect& rect) {
  if (QWidget* widget = Widget(control)) widget->setGeometry(TwipsToPixels(rect, TwipsPerPixelX(), TwipsPerPixelY()));
}

TwipsRect QtMainView::WindowRect() const {
  return PixelsToTwips(window_->frameGeometry(), TwipsPerPixelX(), TwipsPerPixelY());
}

void QtMainView::MoveWindow(long left, long top) {
  window_->move(static_cast<int>(std::lround(left / TwipsPerPixelX())),
                static_cast<int>(std::lround(top / TwipsPerPixelY())));
}

}  // namespace kestrun::ui::qt
