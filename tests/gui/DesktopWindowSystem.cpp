// The window system's share of the system utilities on Qt (offscreen): stacking and the About dialog.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include "ui/qt/QtFrontEnd.h"
#include "ui/qt/QtWindowSystem.h"
#include "util/SysUtilities.h"

namespace {

// A Qt window as the system utilities see it.
struct Form : kestrun::PlaceableForm {
  explicit Form(QWidget* w) : widget(w) {}
  double Left() const override { return 0; }
  double Top() const override { return 0; }
  double Width() const override { return 0; }
  double Height() const override { return 0; }
  void Move(double, double) override {}
  kestrun::platform::WindowHandle Handle() const override { return widget; }
  QWidget* widget;
};

}  // namespace

class DesktopWindowSystemTest : public QObject {
  Q_OBJECT

  kestrun::ui::qt::QtWindowSystem windows_;
  kestrun::platform::WindowSystem* previous_ = nullptr;

 private slots:
  void init() { previous_ = kestrun::platform::InstallWindowSystem(&windows_); }
  void cleanup() { kestrun::platform::InstallWindowSystem(previous_); }

  void alwaysOnTopKeepsTheWindowOnScreen() {
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Form form(&window);
    for (bool onTop : {true, false}) {
      kestrun::SysUtilities().AlwaysOnTop(form, onTop);
      QCOMPARE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
      QVERIFY(window.isVisible());
    }
  }

  void theAboutDialogNamesTheProgram() {
    QWidget owner;
    Form form(&owner);
    QString shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          shown = box->windowTitle() + "|" + box->text();
          box->accept();
        }
      }
    });
    closer.start(20);
    kestrun::SysUtilities().Aboutbox(form);
    QVERIFY2(shown.startsWith("About Kestrun 1.00.00|Kestrun 1.00.00\nWritten by Ambervale."), qPrintable(shown));
  }

  // The desktop matches the windows to the installed entry; without an icon theme that knows the
  // program (not installed, as here) the windows still carry the picture built into the module.
  void theWindowsCarryTheProgramsNameAndIcon() {
    kestrun::ui::qt::SetDesktopIdentity();
    QCOMPARE(QGuiApplication::desktopFileName(), QString("kestrun"));
    QCOMPARE(QGuiApplication::windowIcon().pixmap(48).size(), QSize(48, 48));
  }
};

QTEST_MAIN(DesktopWindowSystemTest)
#include "DesktopWindowSystem.moc"
