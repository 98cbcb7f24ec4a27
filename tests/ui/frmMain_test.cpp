// The main window's logic without a display: its log lines, layout, pin and the close at the end of a run.
#include "ui/frmMain.h"

#include <gtest/gtest.h>

#include <chrono>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/Cancellation.h"
#include "support/HeadlessMainView.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/About.h"

namespace kestrun {
namespace {

using namespace std::chrono_literals;
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

}  // namespace
}  // namespace kestrun
