#include "ui/qt/QtAboutView.h"

#include <QDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>
#include <vector>

#include "platform/Cancellation.h"
#include "ui/qt/ProgramPictures.h"
#include "ui/qt/QtMainView.h"
#include "ui/qt/QtWindowSystem.h"
#include "ui/qt/ReadableColour.h"
#include "ui/qt/Twips.h"

namespace kestrun::ui::qt {

namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The smallest client area, in twips: the logo and its margins across; down, the places above the
// text, about three lines of text, the separator and the two buttons. Above it the layout's own rules
// apply.
constexpr long kMinScaleWidth = 3135;
constexpr long kMinScaleHeight = 3150;

const QColor kGreyLine(128, 128, 128);

// The widest tab stop tried when lining the text up, in pixels.
constexpr int kWidestTabStop = 400;

}  // namespace

// The dialog: tells the view when it is resized and draws the separator lines.
class QtAboutView::AboutWindow final : public QDialog {
 public:
  explicit AboutWindow(QtAboutView& view) : view_(view) {}

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QDialog::resizeEvent(event);
    view_.OnResized();
  }
  void changeEvent(QEvent* event) override {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) view_.ReadableLink();
  }
  void paintEvent(QPaintEvent* event) override {
    QDialog::paintEvent(event);
    QPainter painter(this);
    view_.PaintLines(painter);
  }

 private:
  QtAboutView& view_;
};

class QtAboutView::LinkLabel final : public QLabel {
 public:
  LinkLabel(QWidget* parent, QtAboutView& view) : QLabel(parent), view_(view) {}

 protected:
  void mousePressEvent(QMouseEvent* event) override { event->accept(); }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) view_.OnLinkClicked();
  }

 private:
  QtAboutView& view_;
};

QtAboutView::QtAboutView() : window_(std::make_unique<AboutWindow>(*this)) {
  QDialog* w = window_.get();
  w->setSizeGripEnabled(false);
  w->setWindowIcon(ProgramIcon());

  imgLogo_ = new QLabel(w);
  imgLogo_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  lblLink_ = new LinkLabel(w, *this);
  lblLink_->setTextFormat(Qt::PlainText);
  lblLink_->setText(QStringLiteral("Link"));
  lblLink_->setCursor(Qt::PointingHandCursor);
  lblLink_->setForegroundRole(QPalette::Link);
  QFont underlined = lblLink_->font();
  underlined.setUnderline(true);
  lblLink_->setFont(underlined);
  ReadableLink();

  imgIcon_ = new QLabel(w);
  imgIcon_->setAlignment(Qt::AlignCenter);

  txtText_ = new QPlainTextEdit(w);
  txtText_->setReadOnly(true);
  txtText_->setUndoRedoEnabled(false);
  txtText_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

  cmdOK_ = new QPushButton(QStringLiteral("OK"), w);
  cmdOK_->setDefault(true);
  cmdSysInfo_ = new QPushButton(QStringLiteral("&System Info..."), w);
  QObject::connect(cmdOK_, &QPushButton::clicked, w, [this] {
    if (events_) events_->cmdOK_Click();
  });
  QObject::connect(cmdSysInfo_, &QPushButton::clicked, w, [this] {
    if (events_) events_->cmdSysInfo_Click();
  });
  // OK, Escape, the title bar's button and a stop of the program all end here.
  QObject::connect(w, &QDialog::finished, w, [this] { OnClosed(); });

  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  for (AboutControl control : {AboutControl::imgLogo, AboutControl::lblLink, AboutControl::imgIcon,
                               AboutControl::txtText, AboutControl::cmdOK, AboutControl::cmdSysInfo}) {
    SetControlRect(control, AboutDesignRect(control));
  }
  imgLogo_->setPixmap(LogoPicture(imgLogo_->size(), w->devicePixelRatioF()));
  imgIcon_->setPixmap(w->windowIcon().pixmap(QSize(32, 32)));
  w->setMinimumSize(static_cast<int>(std::lround(kMinScaleWidth / tx)),
                    static_cast<int>(std::lround(kMinScaleHeight / ty)));
  w->resize(static_cast<int>(std::lround(AboutDesignScaleWidth / tx)),
            static_cast<int>(std::lround(AboutDesignScaleHeight / ty)));
  cmdOK_->setFocus();
}

QtAboutView::~QtAboutView() {
  events_ = nullptr;
  QObject::disconnect(window_.get(), nullptr, window_.get(), nullptr);
  window_.reset();
}

QDialog* QtAboutView::Window() const { return window_.get(); }

void QtAboutView::SetCaption(const std::string& caption) { window_->setWindowTitle(Q(caption)); }

void QtAboutView::InsertAtEnd(const std::string& text) {
  QString inserted = Q(text);
  inserted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QTextCursor end(txtText_->document());
  end.movePosition(QTextCursor::End);
  end.insertText(inserted);
  if (shown_) AlignTabs();
}

void QtAboutView::MoveInsertionPointToStart() {
  QTextCursor start(txtText_->document());
  start.movePosition(QTextCursor::Start);
  txtText_->setTextCursor(start);
  txtText_->verticalScrollBar()->setValue(0);
}

void QtAboutView::SetLinkCaption(const std::string& caption) {
  lblLink_->setText(Q(caption));
  lblLink_->setToolTip(Q(caption));
  lblLink_->resize(lblLink_->sizeHint());
}

void QtAboutView::SetLinkVisible(bool visible) { lblLink_->setVisible(visible); }

void QtAboutView::SetLogoVisible(bool visible) {
  logoVisible_ = visible;
  imgLogo_->setVisible(visible);
  window_->update();
}

void QtAboutView::TakeIconFrom(const MainView& mainWindow) {
  const auto* qtMain = dynamic_cast<const QtMainView*>(&mainWindow);
  if (!qtMain) return;
  const QIcon icon = qtMain->Window()->windowIcon();
  if (icon.isNull()) return;
  window_->setWindowIcon(icon);
  imgIcon_->setPixmap(icon.pixmap(QSize(32, 32)));
}

double QtAboutView::TwipsPerPixelX() const { return ScreenTwipsPerPixel(window_ ? window_->screen() : nullptr, true); }
double QtAboutView::TwipsPerPixelY() const { return ScreenTwipsPerPixel(window_ ? window_->screen() : nullptr, false); }

long QtAboutView::ScaleWidth() const { return std::lround(window_->width() * TwipsPerPixelX()); }
long QtAboutView::ScaleHeight() const { return std::lround(window_->height() * TwipsPerPixelY()); }

QWidget* QtAboutView::Widget(AboutControl control) const {
  switch (control) {
    case AboutControl::txtText: return txtText_;
    case AboutControl::cmdOK: return cmdOK_;
    case AboutControl::cmdSysInfo: return cmdSysInfo_;
    case AboutControl::imgLogo: return imgLogo_;
    case AboutControl::lblLink: return lblLink_;
    case AboutControl::imgIcon: return imgIcon_;
  }
  return nullptr;
}

TwipsRect QtAboutView::ControlRect(AboutControl control) const {
  const QWidget* widget = Widget(control);
  return widget ? PixelsToTwips(widget->geometry(), TwipsPerPixelX(), TwipsPerPixelY()) : TwipsRect{};
}

void QtAboutView::SetControlRect(AboutControl control, const TwipsRect& rect) {
  if (QWidget* widget = Widget(control)) widget->setGeometry(TwipsToPixels(rect, TwipsPerPixelX(), TwipsPerPixelY()));
}

void QtAboutView::SetLinePosition(AboutLine line, const TwipsLine& position) {
  lines_[static_cast<std::size_t>(line)] = position;
  window_->update();
}

void QtAboutView::PaintLines(QPainter& painter) const {
  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  // On a dark window a white line would glare: the groove is drawn in the palette's shadow and light.
  const QPalette& palette = window_->palette();
  const bool darkWindow = palette.color(QPalette::Window).lightness() < 128;
  const QColor greyLine = darkWindow ? palette.color(QPalette::Shadow) : kGreyLine;
  const QColor whiteLine = darkWindow ? palette.color(QPalette::Light) : QColor(Qt::white);
  for (AboutLine line : {AboutLine::lnLogoLine0, AboutLine::lnLogoLine1, AboutLine::lnLine0, AboutLine::lnLine1}) {
    if (!logoVisible_ && (line == AboutLine::lnLogoLine0 || line == AboutLine::lnLogoLine1)) continue;
    const TwipsLine& l = lines_[static_cast<std::size_t>(line)];
    // The white line of a pair runs one pixel below the grey one, so the two read as a groove.
    const bool grey = AboutLineIsGrey(line);
    const double below = grey ? 0.5 : 1.5;
    painter.setPen(QPen(grey ? greyLine : whiteLine, 1));
    painter.drawLine(QPointF(std::round(l.X1 / tx), std::round(l.Y1 / ty) + below),
                     QPointF(std::round(l.X2 / tx), std::round(l.Y2 / ty) + below));
  }
}

TwipsRect QtAboutView::WindowRect() const {
  return PixelsToTwips(window_->frameGeometry(), TwipsPerPixelX(), TwipsPerPixelY());
}

void QtAboutView::MoveWindow(long left, long top) {
  window_->move(static_cast<int>(std::lround(left / TwipsPerPixelX())),
                static_cast<int>(std::lround(top / TwipsPerPixelY())));
}

void QtAboutView::AlignTabs() {
  // Each line's text before its first tab, and how many tabs follow it.
  struct Column {
    qreal before;
    int tabs;
  };
  std::vector<Column> columns;
  const QFontMetricsF metrics(txtText_->font());
  for (QTextBlock block = txtText_->document()->begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab < 0) continue;
    qsizetype after = tab;
    while (after < text.size() && text[after] == QLatin1Char('\t')) ++after;
    if (after == text.size()) continue;  // nothing after the tabs to line up
    columns.push_back({metrics.horizontalAdvance(text.left(tab)), static_cast<int>(after - tab)});
  }
  if (columns.empty()) return;
  // The narrowest stop at which every line's tabs end in the same column, at least a blank away from the
  // text before them. Lines with a short switch and two tabs then meet those with a long one and one tab.
  const qreal gap = metrics.horizontalAdvance(QLatin1Char(' '));
  for (int stop = static_cast<int>(std::ceil(gap)); stop <= kWidestTabStop; ++stop) {
    qreal column = -1;
    bool aligned = true;
    for (const Column& c : columns) {
      const qreal at = (std::floor(c.before / stop) + c.tabs) * stop;
      if (at - c.before < gap || (column >= 0 && at != column)) {
        aligned = false;
        break;
      }
      column = at;
    }
    if (aligned) {
      txtText_->setTabStopDistance(stop);
      return;
    }
  }
}

void QtAboutView::Show(bool modal) {
  // Once the program is asked to stop, no window waits for a person.
  if (!open_ || platform::CancelRequested()) return;
  shown_ = true;
  AlignTabs();
  cmdOK_->setFocus();
  if (modal) {
    window_->exec();
  } else {
    window_->setModal(false);
    window_->show();
    window_->raise();
    window_->activateWindow();
  }
}

void QtAboutView::Close() {
  if (!open_) return;
  window_->close();
  // A window that never was on screen gets no close of its own; it is closed all the same.
  if (open_) OnClosed();
}

void QtAboutView::OnClosed() {
  if (!open_) return;
  open_ = false;
  window_->hide();
  if (events_) events_->Form_Unload();
}

void QtAboutView::OnResized() {
  if (events_) events_->Form_Resize();
  window_->update();
}

void QtAboutView::ReadableLink() {
  // A desktop's link colour is chosen for its text boxes; on a dark window it may be dark blue on grey.
  if (!lblLink_) return;
  const QPalette& window = window_->palette();
  QPalette label = lblLink_->palette();
  label.setColor(QPalette::Link, ReadableColour(window.color(QPalette::Link), window.color(QPalette::Window)));
  lblLink_->setPalette(label);
}

void QtAboutView::OnLinkClicked() {
  if (events_) events_->lblLink_Click();
}

}  // namespace kestrun::ui::qt
