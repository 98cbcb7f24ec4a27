#include "ui/qt/QtWindowSystem.h"

#include <QApplication>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "ui/qt/QtMainView.h"

namespace kestrun::ui::qt {

namespace {
QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString Caption(const std::string& caption) { return Q(caption.empty() ? platform::App().Title : caption); }
}  // namespace

int QtWindowSystem::MsgBox(const std::string& prompt, int buttons, const std::string& caption) {
  using namespace platform::mb;
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
  switch (box.exec()) {
    case QMessageBox::Cancel: return AnswerCancel;
    case QMessageBox::Yes: return AnswerYes;
    case QMessageBox::No: return AnswerNo;
    default: return AnswerOk;
  }
}

std::string QtWindowSystem::InputBox(const std::string& prompt, const std::string& caption,
                                     const std::string& defaultText) {
  bool ok = false;
  QString answer = QInputDialog::getText(nullptr, Caption(caption), Q(prompt), QLineEdit::Normal, Q(defaultText), &ok);
  if (!ok) return {};
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

double QtWindowSystem::TwipsPerPixelX() {
  QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

double QtWindowSystem::TwipsPerPixelY() {
  QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

void QtWindowSystem::RunUntilLastWindowClosed() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) {
      QApplication::exec();
      return;
    }
  }
}

std::unique_ptr<MainView> QtWindowSystem::CreateMainView() { return std::make_unique<QtMainView>(); }

void QtWindowSystem::ShowAboutBox(const std::vector<std::string>& lines, int32_t modal) {
  QString text;
  for (const auto& line : lines) text += Q(line) + "\n";
  auto* box = new QMessageBox(QMessageBox::Information, "About " + Q(platform::App().Title), text);
  box->setAttribute(Qt::WA_DeleteOnClose);
  if (modal == 1) {
    box->exec();
  } else {
    box->show();
  }
}

}  // namespace kestrun::ui::qt
