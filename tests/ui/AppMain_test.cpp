// The window controller: the tree engine and status texts it passes on, and the failures it reports.
#include "app/AppMain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/ObjectFactory.h"
#include "filetree/FileTree.h"
#include "support/HeadlessMainView.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/frmMain.h"

namespace kestrun {
namespace {

using ::testing::HasSubstr;

class AppMainTest : public ::testing::Test {
 protected:
  ~AppMainTest() override { frmMain::ReleaseOpenWindows(); }
  static testing::HeadlessMainView& View(AppMain& am) { return testing::HeadlessMainView::Of(am.frm()); }

  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
  testing::RecordingViews views;
};

// Every line of the tree engine in black, failures too; the folder under work, then nothing, in the status bar.
TEST_F(AppMainTest, TheFactoryWiresATreeEngineToTheStatusBarAndTheWindowsLog) {
  Application app("");
  sandbox.WriteFile("src/a.txt", "a");
  auto tree = app.OF().CreateObject_FileTree(app, (sandbox.Root() / "src").string(), "");
  ASSERT_NE(tree, nullptr);
  app.AM().frm().AttachFileTree(tree);
  testing::HeadlessMainView& view = View(app.AM());
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
  am->frm().SetCloseDelay(std::chrono::milliseconds(0));
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

}  // namespace
}  // namespace kestrun
