#include "ui/qt/QtFrontEnd.h"

#include <QApplication>
#include <QIcon>

#include "app/Common.h"
#include "ui/frmMain.h"
#include "ui/qt/QtWindowSystem.h"

namespace kestrun::ui::qt {

void SetDesktopIdentity() {
  QGuiApplication::setDesktopFileName("kestrun");
  QGuiApplication::setWindowIcon(QIcon::fromTheme("kestrun", QIcon(":/kestrun/kestrun.png")));
}

int RunWithQt(int argc, char** argv) {
  QApplication app(argc, argv);
  SetDesktopIdentity();
  // The program decides itself when it is over: a pinned window keeps it alive after the run.
  QApplication::setQuitOnLastWindowClosed(true);
  QtWindowSystem windows;
  platform::InstallWindowSystem(&windows);
  InstallViewFactory(&windows);
  const int status = Main();
  // A window kept open after the run (pinned) has been closed by now; its widgets go before Qt does.
  frmMain::ReleaseOpenWindows();
  InstallViewFactory(nullptr);
  platform::InstallWindowSystem(nullptr);
  return status;
}

}  // namespace kestrun::ui::qt
