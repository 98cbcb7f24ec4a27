// The About box on Qt (offscreen): its controls, the aligned usage lines, the ways it closes, modal
// against ordinary, and a stop of the program while it waits. Then the desktop's share of the system
// utilities: stacking, the short About dialog, the program's name and icon.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <csignal>
#include <memory>

#include "platform/Cancellation.h"
#include "support/Sandbox.h"
#include "support/SystemFakes.h"
#include "ui/frmAbout.h"
#include "ui/qt/QtAboutView.h"
#include "ui/qt/QtFrontEnd.h"
#include "ui/qt/QtWindowSystem.h"
#include "ui/qt/ReadableColour.h"
#include "util/SysUtilities.h"

using kestrun::frmAbout;
using kestrun::ui::qt::QtAboutView;

namespace {

// One box with its logic, filled as the driver fills it.
struct Box {
  Box() {
    auto owned = std::make_unique<QtAboutView>();
    view = owned.get();
    form = std::make_unique<frmAbout>(std::move(owned));
    for (const char* line : {"Kestrun [/Init] [/Copy] [/?]", "  /Init\t\tSpecify parameters",
                             "  /Minimized\tRun minimized", "  /?\t\tThis information"})
      form->AddText(line);
  }
  QtAboutView* view = nullptr;
  std::unique_ptr<frmAbout> form;
};

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

// Where, in pixels, the text after a line's tabs starts.
int ColumnAfterTabs(QPlainTextEdit* text, const QTextBlock& block) {
  QTextCursor cursor(block);
  const qsizetype tab = block.text().indexOf(QLatin1Char('\t'));
  qsizetype after = tab;
  while (block.text()[after] == QLatin1Char('\t')) ++after;
  cursor.setPosition(block.position() + static_cast<int>(after));
  return text->cursorRect(cursor).left();
}

}  // namespace

class AboutBoxTest : public QObject {
  Q_OBJECT

  kestrun::ui::qt::QtWindowSystem windows_;
  kestrun::platform::WindowSystem* previous_ = kestrun::platform::InstallWindowSystem(&windows_);
  kestrun::testing::Sandbox sandbox_;
  kestrun::testing::FakeMachine machine_;

 private slots:
  void cleanupTestCase() { kestrun::platform::InstallWindowSystem(previous_); }
  void cleanup() { kestrun::platform::ResetCancel(); }

  void anOrdinaryBoxShowsItsControlsAndLinesUpTheUsage() {
    Box b;
    b.form->Show(false);
    QDialog* window = b.view->Window();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(!window->isModal());
    QCOMPARE(window->windowTitle(), QStringLiteral("About Kestrun"));
    QVERIFY(b.view->cmdOK()->isDefault());
    QCOMPARE(b.view->cmdSysInfo()->text(), QStringLiteral("&System Info..."));
    QVERIFY(!b.view->imgLogo()->pixmap().isNull());
    QVERIFY(!b.view->imgIcon()->pixmap().isNull());
    QCOMPARE(b.view->lblLink()->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(b.view->lblLink()->isVisible());
    // The link stays readable when the desktop's palette turns dark under an open box.
    QPalette dark = window->palette();
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Link, QColor(0, 0, 0xFF));
    window->setPalette(dark);
    const QColor link = b.view->lblLink()->palette().color(QPalette::Link);
    QVERIFY2(kestrun::ui::qt::ContrastRatio(link, dark.color(QPalette::Window)) >= 4.5, qPrintable(link.name()));
    QVERIFY(link.blue() > std::max(link.red(), link.green()));
    QVERIFY(b.view->txtText()->isReadOnly());
    QCOMPARE(b.view->txtText()->verticalScrollBar()->value(), 0);

    // The usage lines: whether one tab or two follow a switch, the explanations start in one column.
    QList<int> columns;
    for (QTextBlock block = b.view->txtText()->document()->begin(); block.isValid(); block = block.next())
      if (block.text().contains(QLatin1Char('\t'))) columns << ColumnAfterTabs(b.view->txtText(), block);
    QCOMPARE(columns.size(), 3);
    QCOMPARE(columns[1], columns[0]);
    QCOMPARE(columns[2], columns[0]);

    // The link opens its target through the desktop, here the fake machine.
    QTest::mouseClick(b.view->lblLink(), Qt::LeftButton);
    QCOMPARE(machine_.actions, std::vector<std::string>{"OpenDocument"});

    // Shrunk below its content the box keeps its smallest size, and its text a place on it.
    window->resize(10, 10);
    QCOMPARE(window->size(), QSize(209, 210));  // 3135 x 3150 twips
    QVERIFY(b.view->txtText()->height() > 0);
    b.form->cmdOK_Click();
    QVERIFY(!b.view->IsOpen());
    QVERIFY(!window->isVisible());
  }

  // A modal box holds its caller until it is closed, by OK, Enter, Escape or a stop of the program.
  void aModalBoxReturnsWhenClosed_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("OK clicked") << 0;
    QTest::newRow("Enter") << 1;
    QTest::newRow("Escape") << 2;
    QTest::newRow("SIGTERM") << 3;
  }
  void aModalBoxReturnsWhenClosed() {
    QFETCH(int, how);
    struct sigaction saved {};
    sigaction(SIGTERM, nullptr, &saved);
    if (how == 3) QVERIFY(kestrun::platform::InstallInterruptHandlers());
    Box b;
    bool wasModal = false;
    QTimer::singleShot(50, [&] {
      QDialog* window = b.view->Window();
      wasModal = QApplication::activeModalWidget() == window;
      switch (how) {
        case 0: QTest::mouseClick(b.view->cmdOK(), Qt::LeftButton); break;
        case 1: QTest::keyClick(b.view->txtText(), Qt::Key_Return); break;
        case 2: QTest::keyClick(window, Qt::Key_Escape); break;
        case 3: std::raise(SIGTERM); break;
      }
    });
    // A box that outlives its time would hold the test: it is closed from outside after a while.
    QTimer::singleShot(5000, b.view->Window(), [&] { b.view->Window()->reject(); });
    QElapsedTimer held;
    held.start();
    b.form->Show(true);
    sigaction(SIGTERM, &saved, nullptr);
    QVERIFY(wasModal);
    QVERIFY(held.elapsed() < 5000);
    QVERIFY(!b.view->IsOpen());
    QVERIFY(!b.view->Window()->isVisible());
  }

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

  void theAboutDialogAndTheWindowsNameTheProgram() {
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
    // The desktop matches the windows to the installed entry; without an icon theme that knows the
    // program (not installed, as here) the windows still carry the picture built into the module.
    kestrun::ui::qt::SetDesktopIdentity();
    QCOMPARE(QGuiApplication::desktopFileName(), QString("kestrun"));
    QCOMPARE(QGuiApplication::windowIcon().pixmap(48).size(), QSize(48, 48));
  }
};

QTEST_MAIN(AboutBoxTest)
#include "AboutBox.moc"
