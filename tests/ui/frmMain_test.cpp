// The main window without a display: its log lines, layout, pin and the close at the end of a run; the
// controller that feeds it; its console view.
#include "ui/frmMain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "app/AppMain.h"
#include "app/Application.h"
#include "filetree/FileTree.h"
#include "platform/Cancellation.h"
#include "support/HeadlessMainView.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/About.h"
#include "ui/console/ConsoleMainView.h"
#include "ui/console/ConsoleWindowSystem.h"

namespace kestrun {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using testing::HeadlessMainView;
using ui::MainControl;

class FrmMainTest : public ::testing::Test {
 protected:
  FrmMainTest() {
    ws.workArea = {true, 0, 0, 800, 570};  // pixels, 15 twips each
    form = MakeForm(0ms);
  }
  ~FrmMainTest() override {
    form.reset();
    frmMain::ReleaseOpenWindows();
    About::ReleaseOpenWindows();
    platform::ResetCancel();
  }
  std::unique_ptr<frmMain> MakeForm(std::chrono::milliseconds closeDelay) {
    auto owned = std::make_unique<HeadlessMainView>();
    view = owned.get();
    auto made = std::make_unique<frmMain>(std::move(owned));
    made->SetCloseDelay(closeDelay);
    return made;
  }
  static HeadlessMainView& View(AppMain& am) { return HeadlessMainView::Of(am.frm()); }

  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
  testing::RecordingViews views;
  HeadlessMainView* view = nullptr;
  std::unique_ptr<frmMain> form;
};

TEST_F(FrmMainTest, AddTextEndsEveryLineWithExactlyOneLineBreak) {
  struct Case {
    std::string text;
    std::string logged;  // empty: nothing reaches the log
  };
  // clang-format off
  const Case cases[] = {
      {"plain", "plain\r\n"},
      {"three breaks\r\n\r\n\r\n", "three breaks\r\n"},
      {"bare LF stays\n", "bare LF stays\n\r\n"},  // only the CR LF pair is trimmed
      {"CR alone\r", "CR alone\r\r\n"},
      {"\r\n", "\r\n"},  // a line break alone is one empty line
      {"", ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::size_t before = view->Log().size();
    form->AddText(c.text, platform::ColorRed);
    ASSERT_EQ(view->Log().size(), before + (c.logged.empty() ? 0 : 1));
    if (c.logged.empty()) continue;
    EXPECT_EQ(view->Log().back().text, c.logged);
    EXPECT_EQ(view->Log().back().color, platform::ColorRed);
  }
}

TEST_F(FrmMainTest, LoadCentresTheWindowAndResizeKeepsEverySizeNonNegative) {
  const ui::TwipsRect window = view->WindowRect();
  EXPECT_EQ(window.Left, (12000 - window.Width) / 2);
  EXPECT_EQ(window.Top, (8550 - window.Height) / 2);
  for (const auto& [width, height] : {std::pair{6420L, 3735L}, {0L, 0L}, {100L, 50L}, {400L, 9000L}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    view->SetScaleSize(width, height);
    form->Form_Resize();
    for (MainControl control : {MainControl::tboOutput, MainControl::ProgressBar, MainControl::imgPin}) {
      const ui::TwipsRect r = view->ControlRect(control);
      EXPECT_TRUE(r.Left >= 0 && r.Top >= 0 && r.Width >= 0 && r.Height >= 0) << static_cast<int>(control);
    }
    // The log keeps its corner, and the progress bar its width.
    const ui::TwipsRect log = view->ControlRect(MainControl::tboOutput);
    EXPECT_EQ(std::pair(log.Left, log.Top), std::pair(120L, 120L));
    EXPECT_EQ(view->ControlRect(MainControl::ProgressBar).Width, log.Width);
  }
}

TEST_F(FrmMainTest, ThePinTogglesAndClosesOnlyAfterTheRunHasEnded) {
  view->Show();
  form->imgPin_Click();
  EXPECT_TRUE(form->Pinned());
  EXPECT_TRUE(view->PinShowsPinned());
  form->imgPin_Click();  // during the run: unpinned again, the window stays
  EXPECT_FALSE(form->Pinned());
  EXPECT_TRUE(view->IsOpen());

  form->PinDown();
  form->Terminate();
  form->Terminate();  // the controller's second call changes nothing
  EXPECT_TRUE(form->CloseRequested());
  EXPECT_TRUE(view->IsOpen()) << "a pinned window stays after the run";
  form->imgPin_Click();
  EXPECT_FALSE(view->IsOpen());
  EXPECT_FALSE(platform::CancelRequested()) << "closing after the run is no cancellation";
}

TEST_F(FrmMainTest, TerminateWaitsForTheLastLineToStandOnlyOnAShownWindow) {
  for (bool shown : {true, false}) {  // never shown: /Silent
    SCOPED_TRACE(shown);
    form = MakeForm(300ms);
    if (shown) form->Show();
    form->AddText("");  // an empty line still counts as the last activity
    const auto start = std::chrono::steady_clock::now();
    form->Terminate();
    EXPECT_FALSE(view->IsOpen());
    EXPECT_EQ(std::chrono::steady_clock::now() - start >= 250ms, shown);
  }
}

// The window's life after the controller has let go of it: F1 still shows the program's facts alone.
TEST_F(FrmMainTest, APinnedWindowOutlivesTheDriverAndClosesByItsPin) {
  frmMain* released = nullptr;
  {
    Application app("");
    released = &app.AM().frm();
    released->SetCloseDelay(0ms);
    view = &HeadlessMainView::Of(*released);
    app.AM().ShowMain();
    released->PinDown();
    app.Terminate();
  }
  ASSERT_EQ(frmMain::OpenWindowCount(), 1u);
  EXPECT_TRUE(view->IsOpen());
  released->Form_KeyUp(ui::KeyF1, 0);
  ASSERT_EQ(views.aboutBoxes.size(), 1u);
  EXPECT_EQ(views.aboutBoxes[0].Lines().size(), 9u);
  EXPECT_FALSE(views.aboutBoxes[0].modal);
  released->imgPin_Click();
  EXPECT_FALSE(view->IsOpen());
}

// The controller that the driver holds, over the same headless window.
using AppMainTest = FrmMainTest;

// Every line of the tree engine in black, failures too; the folder under work, then nothing, in the status bar.
TEST_F(AppMainTest, TheFactoryWiresATreeEngineToTheStatusBarAndTheWindowsLog) {
  Application app("");
  sandbox.WriteFile("src/a.txt", "a");
  auto tree = app.OF().CreateObject_FileTree(app, (sandbox.Root() / "src").string(), "");
  ASSERT_NE(tree, nullptr);
  app.AM().frm().AttachFileTree(tree);
  HeadlessMainView& view = View(app.AM());
  const std::size_t before = view.Log().size();
  const int repaints = view.StatusRepaints();
  EXPECT_FALSE(tree->UpdateTree());
  tree->DestinationDir = (sandbox.Root() / "dst").string();
  EXPECT_TRUE(tree->UpdateTree());
  ASSERT_EQ(view.Log().size(), before + 13);
  EXPECT_EQ(view.Log()[before + 2].text, "No Destination path!\r\n");
  for (std::size_t i = before; i < view.Log().size(); ++i) EXPECT_EQ(view.Log()[i].color, platform::ColorBlack);
  EXPECT_EQ(view.StatusRepaints(), repaints + 3);
  EXPECT_EQ(view.StatusText(), "");
  app.AM().frm().AttachFileTree(nullptr);
  EXPECT_EQ(tree.use_count(), 1);
}

// Never shown, as with /Silent, the window still takes the text; without its panel each text is reported.
TEST_F(AppMainTest, StatusTextGoesToTheInfoPanelAndIsPaintedAtOnce) {
  AppMain am;
  for (const std::string text : {"Connecting...", "", "Ünïcode ✓"}) {
    const int repaints = View(am).StatusRepaints();
    am.UpdateStatusBar(text);
    EXPECT_EQ(View(am).StatusText(), text);
    EXPECT_EQ(View(am).StatusRepaints(), repaints + 1);
  }
  EXPECT_TRUE(ws.boxes.empty());
  View(am).RemoveStatusPanels();
  am.UpdateStatusBar("one");
  am.UpdateStatusBar("two");
  ASSERT_EQ(ws.boxes.size(), 2u);
  EXPECT_THAT(ws.boxes[1].prompt, HasSubstr(".AppMain.UpdateStatusBar: 91, "));
}

TEST_F(AppMainTest, TerminateClosesAnUnpinnedWindowAndTheSecondCallIsHarmless) {
  auto am = std::make_unique<AppMain>();
  am->frm().SetCloseDelay(0ms);
  am->ShowMain();
  am->Terminate();
  EXPECT_FALSE(View(*am).IsOpen());
  am.reset();  // the destructor's Terminate meets a closed window
  EXPECT_EQ(frmMain::OpenWindowCount(), 0u);
}

TEST_F(AppMainTest, AWindowThatCouldNotBeCreatedIsReportedNotACrash) {
  views.failCreate = true;
  AppMain am;
  am.ShowMain();
  am.UpdateStatusBar("x");
  am.CheckForUpdates();
  am.Terminate();
  ASSERT_EQ(ws.boxes.size(), 4u);
  EXPECT_THAT(ws.boxes[0].prompt, HasSubstr(".AppMain.Class_Initialize: "));
  EXPECT_THAT(ws.boxes[1].prompt, HasSubstr(".AppMain.ShowMain: 91, "));
  EXPECT_THAT(ws.boxes[2].prompt, HasSubstr(".AppMain.UpdateStatusBar: 91, "));
  EXPECT_THAT(ws.boxes[3].prompt, HasSubstr(".AppMain.CheckForUpdates: 91, "));
}

TEST(ConsoleInputBox, LinesAnswerEmptyLinesTakeTheDefaultEndOfInputCancels) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string typed = "typed\n\r\n\n  blanks kept  \r\nnäme\nlast line unended";
  ASSERT_EQ(::write(fds[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  ::close(fds[1]);
  std::ostringstream out, err;
  ui::ConsoleWindowSystem console(fds[0], out, err);
  const char* expected[] = {"typed", "default", "default", "  blanks kept  ", "näme", "last line unended", "", ""};
  for (const char* answer : expected) EXPECT_EQ(console.InputBox("Enter HostName", "Kestrun", "default"), answer);
  ::close(fds[0]);
  EXPECT_NE(err.str().find("Enter HostName [default]: "), std::string::npos);
  EXPECT_TRUE(out.str().empty()) << "prompts stay off the log's stream";
}

// Held until the window is shown, then written with only the line ends changed; the end does not wait.
TEST(ConsoleMainView, LogLinesGoToStandardOutputColouredOnlyOnATerminal) {
  struct Case {
    bool terminal;
    std::string expected;
  };
  for (const Case& c : {Case{false, "Kestrun V1.00.00\n \nplain\nfailed\nblue\n\ninner\nbreak\n"},
                        Case{true,
                             "Kestrun V1.00.00\n \nplain\n\x1b[31mfailed\x1b[0m\n\x1b[34mblue\x1b[0m\n\n"
                             "inner\nbreak\n"}}) {
    SCOPED_TRACE(c.terminal);
    testing::ScriptedWindowSystem ws;
    std::ostringstream out, err;
    frmMain form(std::make_unique<ui::ConsoleMainView>(out, err, c.terminal, false));
    form.SetCloseDelay(std::chrono::seconds(5));
    EXPECT_EQ(out.str(), "") << "nothing before the window is shown (never, for /?)";
    form.Show();
    form.AddText("plain\r\n\r\n");
    form.AddText("failed", platform::ColorRed);
    form.AddText("blue", platform::ColorBlue);
    form.AddText("");
    form.AddText("\r\n");
    form.AddText("inner\r\nbreak");
    const auto start = std::chrono::steady_clock::now();
    form.Terminate();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(form.View().IsOpen());
    EXPECT_EQ(out.str(), c.expected);
    EXPECT_TRUE(err.str().empty());
  }
}

TEST(ConsoleMainView, StatusAndProgressShowOnlyOnATerminal) {
  for (bool terminal : {false, true}) {
    SCOPED_TRACE(terminal);
    std::ostringstream out, err;
    ui::ConsoleMainView view(out, err, false, terminal);
    EXPECT_TRUE(view.SetStatusPanelText("Info", "Connecting to ftp.example.com"));
    view.SetProgressVisible(true);
    view.SetProgressValue(50);
    view.SetProgressVisible(false);
    EXPECT_EQ(err.str().find("Connecting") != std::string::npos, terminal);
    EXPECT_EQ(err.str().find("50%") != std::string::npos, terminal);
    EXPECT_TRUE(out.str().empty());
  }
}

}  // namespace
}  // namespace kestrun
