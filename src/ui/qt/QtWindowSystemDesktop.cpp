#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <QtGlobal>
#include <cmath>

#include "ui/qt/QtWindowSystem.h"

namespace kestrun::ui::qt {

namespace {
QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

void QtWindowSystem::SetAlwaysOnTop(platform::WindowHandle window, bool onTop) {
  if (!window) return;
  QWidget* top = static_cast<QWidget*>(window)->window();
  const bool visible = top->isVisible();
  top->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  if (visible) top->show();  // changing a window's flags hides it
}

// Qt sees only the mode each screen is in; the list holds the primary screen's.
std::vector<platform::DisplayMode> QtWindowSystem::DisplayModes() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  const QSize pixels = screen->size() * screen->devicePixelRatio();
  return {{pixels.width(), pixels.height(), screen->depth(), std::lround(screen->refreshRate())}};
}

// Qt cannot switch display modes: asking for the mode the screen is in already is all that succeeds.
bool QtWindowSystem::SetDisplayMode(const platform::DisplayMode& mode) {
  const std::vector<platform::DisplayMode> modes = DisplayModes();
  return !modes.empty() && modes.front() == mode;
}

void QtWindowSystem::ShowSystemAbout(platform::WindowHandle owner, const std::string& appText,
                                     const std::string& notice) {
  const QString text = Q(appText) + "\n" + Q(notice) + "\n\nQt " + qVersion() + ", " + QGuiApplication::platformName();
  QMessageBox::about(owner ? static_cast<QWidget*>(owner)->window() : nullptr, "About " + Q(appText), text);
}

}  // namespace kestrun::ui::qt
