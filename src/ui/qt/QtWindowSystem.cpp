#include "ui/qt/QtWindowSystem.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <iostream>

#include "platform/Cancellation.h"
#include "ui/qt/QtAboutView.h"
#include "ui/qt/QtMainView.h"

namespace kestrun::ui::qt {

namespace {
QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString Caption(const std::string& caption) { return Q(caption.empty() ? platform::App().Title : caption); }

// The answer of a message box closed without a choice: the one that goes on least.
int CancelledAnswer(int buttons) {
  using namespace platform::mb;
  switch (buttons & 0x7) {
    case OkCancel: return AnswerCancel;
    case YesNo: return AnswerNo;
    default: return AnswerOk;
  }
}
}  // namespace

QtWindowSystem::QtWindowSystem() {
  const int fd = platform::InterruptWakeFd();
  if (fd < 0) return;
  interrupts_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(interrupts_.get(), &QSocketNotifier::activated, [] {
    platform::DrainInterruptWakeFd();
    if (platform::CancelRequested()) CloseEverything();
  });
}

QtWindowSystem::~QtWindowSystem() = default;

void QtWindowSystem::CloseEverything() {
  // Dialogs first, as cancelled: a message box without a Cancel button would refuse a plain close.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible()) dialog->reject();
  }
  QApplication::closeAllWindows();
}

int QtWindowSystem::MsgBox(const std::string& prompt, int buttons, const std::string& caption) {
  using namespace platform::mb;
  // Once the program is asked to stop nothing waits for a person; the text still reaches the log reader.
  if (platform::CancelRequested()) {
    std::cerr << prompt << std::endl;
    return CancelledAnswer(buttons);
  }
  QMessageBox box;
  box.setWindowTitle(Caption(caption));
  box.setText(Q(prompt));
  switch (buttons & 0x70) {
    case Critical: box.setIcon(QMessageBox::Critical); break;
    case Question: box.setIcon(QMessageBox::Question); break;
    case Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Information: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  switch (buttons & 0x7) {
    case OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  const int pressed = box.exec();
  if (platform::CancelRequested()) return CancelledAnswer(buttons);
  switch (pressed) {
    case QMessageBox::Cancel: return AnswerCancel;
    case QMessageBox::Yes: return AnswerYes;
    case QMessageBox::No: return AnswerNo;
    default: return AnswerOk;
  }
}

std::string QtWindowSystem::InputBox(const std::string& prompt, const std::string& caption,
                                     const std::string& defaultText) {
  if (platform::CancelRequested()) return {};
  bool ok = false;
  QString answer = QInputDialog::getText(nullptr, Caption(caption), Q(prompt), QLineEdit::Normal, Q(defaultText), &ok);
  if (!ok || platform::CancelRequested()) return {};
  return answer.toStdString();
}

void QtWindowSystem::DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtWindowSystem::WaitFor(std::chrono::milliseconds duration) {
  // Handles events while sleeping in the event loop until the time is up.
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(duration.count()), &loop, &QEventLoop::quit);
  loop.exec();
}

platform::WorkArea QtWindowSystem::GetWorkArea() {
  platform::WorkArea area;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return area;
  const QRect r = screen->availableGeometry();
  area.Ok = true;
  area.Left = r.left();
  area.Top = r.top();
  area.Right = r.left() + r.width();
  area.Bottom = r.top() + r.height();
  return area;
}

double ScreenTwipsPerPixel(const QScreen* screen, bool across) {
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return platform::TwipsPerPixel(96);
  return platform::TwipsPerPixel(across ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY());
}

double QtWindowSystem::TwipsPerPixelX() { return ScreenTwipsPerPixel(nullptr, true); }
double QtWindowSystem::TwipsPerPixelY() { return ScreenTwipsPerPixel(nullptr, false); }

void QtWindowSystem::RunUntilLastWindowClosed() {
  if (platform::CancelRequested()) {
    CloseEverything();
    return;
  }
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) {
      QApplication::exec();
      return;
    }
  }
}

std::unique_ptr<MainView> QtWindowSystem::CreateMainView() { return std::make_unique<QtMainView>(); }

std::unique_ptr<AboutView> QtWindowSystem::CreateAboutView() { return std::make_unique<QtAboutView>(); }

}  // namespace kestrun::ui::qt
