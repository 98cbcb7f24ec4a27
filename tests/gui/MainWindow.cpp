// The main window on Qt (offscreen): keys, clicks, colours, layout and the close at the end of a run.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <memory>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/Cancellation.h"
#include "support/HeadlessMainView.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/About.h"
#include "ui/frmMain.h"
#include "ui/qt/QtMainView.h"
#include "ui/qt/QtWindowSystem.h"
#include "ui/qt/ReadableColour.h"

using namespace std::chrono_literals;
using kestrun::frmMain;
using kestrun::ui::qt::QtMainView;

namespace {

// Dialogs answered by script; messages and waits handled by Qt's event loop.
class QtScriptedWindowSystem final : public kestrun::testing::ScriptedWindowSystem {
 public:
  void DoEvents() override {
    ++doEventsCalls;
    QCoreApplication::processEvents();
  }
  void WaitFor(std::chrono::milliseconds duration) override {
    ++doEventsCalls;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(duration.count()), &loop, &QEventLoop::quit);
    loop.exec();
  }
};

struct Window {
  Window() {
    auto owned = std::make_unique<QtMainView>();
    view = owned.get();
    form = std::make_unique<frmMain>(std::move(owned));
    form->SetCloseDelay(0ms);
  }
  void Show() {
    form->Show();
    QVERIFY(QTest::qWaitForWindowExposed(view->Window()));
  }
  QtMainView* view = nullptr;
  std::unique_ptr<frmMain> form;
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    frmMain::ReleaseOpenWindows();
    kestrun::About::ReleaseOpenWindows();
    kestrun::platform::ResetCancel();
  }

  // Each line keeps the colour the logic gave it; what is drawn follows the palette, also when it changes
  // under a log already written: black is the palette's text, red and blue stay red and blue and readable.
  void linesTakeTheirColourAndBreaksAndReadOnAnyPalette() {
    Window w;
    w.form->AddText("black");
    w.form->AddText("red", 255);
    w.form->AddText("blue", 16711680);
    w.form->AddText("two\r\nthree\r\n\r\n", 0x00FF00);
    QStringList texts;
    for (QTextBlock b = w.view->tboOutput()->document()->begin(); b.isValid(); b = b.next()) texts << b.text();
    QCOMPARE(texts, QStringList({"Kestrun V1.00.00", " ", "black", "red", "blue", "two", "three", ""}));
    QPalette dark = w.view->tboOutput()->palette();
    dark.setColor(QPalette::Base, QColor(0x2B, 0x2B, 0x2B));
    dark.setColor(QPalette::Text, QColor(0xE0, 0xE0, 0xE0));
    for (const QPalette& palette : {w.view->tboOutput()->palette(), dark}) {
      w.view->tboOutput()->setPalette(palette);
      const QColor base = palette.color(QPalette::Base);
      QTextBlock block = w.view->tboOutput()->document()->begin().next().next();  // after the title and " "
      for (int logical : {0, 255, 16711680, 0x00FF00}) {
        const QTextCharFormat format = block.begin().fragment().charFormat();
        const QColor shown = format.foreground().color();
        QCOMPARE(format.property(QtMainView::LogColourProperty).toInt(), logical);
        QVERIFY2(kestrun::ui::qt::ContrastRatio(shown, base) >= 4.5, qPrintable(shown.name() + " on " + base.name()));
        if (logical == 0) QCOMPARE(shown, palette.color(QPalette::Text));
        if (logical == 255) QVERIFY(shown.red() > 2 * std::max(shown.green(), shown.blue()));
        if (logical == 16711680) QVERIFY(shown.blue() > std::max(shown.red(), shown.green()));
        block = block.next();
      }
    }
  }

  // Keys and clicks reach the logic and the pin picture follows; a click while the run's end waits is
  // handled in that wait and keeps the window.
  void f1AndThePinReachTheLogicAlsoDuringTheWaitAtTheEnd() {
    QtScriptedWindowSystem ws;
    kestrun::testing::RecordingViews views;
    Window w;
    QtMainView& view = *w.view;
    w.Show();
    view.tboOutput()->setFocus();
    QTest::keyClick(view.tboOutput(), Qt::Key_A);
    QCOMPARE(views.aboutBoxes.size(), 0u);
    QVERIFY(!w.form->Pinned());
    QCOMPARE(view.imgPin()->pixmap().cacheKey(), view.imgUnpinned()->pixmap().cacheKey());
    for (int i = 0; i < 4; ++i) QTest::keyClick(view.tboOutput(), Qt::Key_F1);
    QCOMPARE(views.aboutBoxes.size(), 4u);
    QVERIFY(w.form->Pinned());
    QCOMPARE(view.imgPin()->pixmap().cacheKey(), view.imgPinned()->pixmap().cacheKey());
    QTest::mouseClick(view.imgPin(), Qt::LeftButton);
    QVERIFY(!w.form->Pinned());

    w.form->SetCloseDelay(600ms);
    w.form->AddText("last line");
    QTimer::singleShot(100, view.imgPin(), [&] { QTest::mouseClick(view.imgPin(), Qt::LeftButton); });
    w.form->Terminate();
    QVERIFY(w.form->Pinned());
    QVERIFY(view.Window()->isVisible());
    QTest::mouseClick(view.imgPin(), Qt::LeftButton);
    QVERIFY(!view.Window()->isVisible());
  }

  void closingTheWindowDuringTheRunCancelsIt() {
    QtScriptedWindowSystem ws;
    Window w;
    w.form->SetCloseDelay(2000ms);
    w.Show();
    w.view->Window()->close();  // the user's close button
    QVERIFY(w.form->Unloaded());
    QVERIFY(kestrun::platform::CancelRequested());
    QElapsedTimer timer;
    timer.start();
    w.form->Terminate();
    QVERIFY2(timer.elapsed() < 1000, "no wait for a window that is gone");
  }

  // The status bar keeps to the bottom edge across the whole width; the window keeps its smallest size.
  void theLayoutInPixelsAndWhatShowsAtOnce() {
    Window w;
    w.Show();
    QCOMPARE(w.view->Window()->size(), QSize(428, 249));  // 6420 x 3735 twips at 15 twips a pixel
    QVERIFY(w.view->ProgressBar()->isHidden());
    QVERIFY(w.view->tboOutput()->isReadOnly());
    for (QSize size : {QSize(1, 1), QSize(900, 700), QSize(428, 249)}) {
      w.view->Window()->resize(size);
      QCoreApplication::processEvents();
      const QSize actual = w.view->Window()->size();
      QCOMPARE(actual, size.expandedTo(QSize(160, 120)));  // 2400 x 1800 twips
      QCOMPARE(w.view->sbInfo()->geometry().bottom(), actual.height() - 1);
      QCOMPARE(w.view->sbInfo()->width(), actual.width());
    }
    QCOMPARE(w.view->tboOutput()->geometry(), QRect(8, 8, 387, 191));
    QCOMPARE(w.view->imgPin()->x(), 403);
    // The status text and the progress show at once; the log follows its newest line.
    QVERIFY(w.view->SetStatusPanelText("Info", "Downloading sdat4300.exe"));
    QCOMPARE(w.view->StatusPanel("INFO")->text(), QString("Downloading sdat4300.exe"));
    w.view->SetProgressValue(42.7f);
    QCOMPARE(w.view->ProgressBar()->value(), 42);
    w.view->SetProgressValue(250.0f);
    QCOMPARE(w.view->ProgressBar()->value(), 100);
    for (int i = 0; i < 300; ++i) w.form->AddText("line " + std::to_string(i));
    QScrollBar* bar = w.view->tboOutput()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
  }

  // SIGTERM while /Init's first input box is open, then while a pinned window stays after the run:
  // the box closes as cancelled, nothing more is asked or written, and the window goes too.
  void aStopClosesAnOpenInputBoxAndAPinnedWindow() {
    struct sigaction saved {};
    sigaction(SIGTERM, nullptr, &saved);
    kestrun::testing::Sandbox sandbox;
    kestrun::ui::qt::QtWindowSystem windows;
    kestrun::platform::WindowSystem* previous = kestrun::platform::InstallWindowSystem(&windows);
    kestrun::ui::ViewFactory* previousViews = kestrun::ui::InstallViewFactory(&windows);
    QVERIFY(kestrun::platform::InstallInterruptHandlers());
    kestrun::Application app("");  // an empty store: the settings are asked for
    app.AM().frm().SetCloseDelay(0ms);
    QElapsedTimer sinceStop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (!qobject_cast<QInputDialog*>(QApplication::activeModalWidget()) || sinceStop.isValid()) return;
      sinceStop.start();
      std::raise(SIGTERM);
    });
    poll.start(20);
    app.Execute();
    poll.stop();
    QVERIFY(sinceStop.isValid());
    QVERIFY(sinceStop.elapsed() < 1000);
    app.Terminate();
    QCOMPARE(app.ExitStatus(), 1);
    QVERIFY(kestrun::testing::Sandbox::ReadFile(sandbox.RegistryFile()).find("HostName") == std::string::npos);

    kestrun::platform::ResetCancel();
    QVERIFY(kestrun::platform::InstallInterruptHandlers());
    Window w;
    w.Show();
    w.form->PinDown();
    w.form->Terminate();
    QVERIFY(w.view->Window()->isVisible());
    QTimer::singleShot(100, [] { std::raise(SIGTERM); });
    windows.RunUntilLastWindowClosed();
    QVERIFY(!w.view->Window()->isVisible());
    kestrun::platform::InstallWindowSystem(previous);
    kestrun::ui::InstallViewFactory(previousViews);
    sigaction(SIGTERM, &saved, nullptr);
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindow.moc"
