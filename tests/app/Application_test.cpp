#include "app/Application.h"

#include <gtest/gtest.h>

#include <string>

#include "app/AppMain.h"
#include "support/HeadlessMainView.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/frmMain.h"

namespace kestrun {
namespace {

class ApplicationTest : public ::testing::Test {
 protected:
  std::unique_ptr<Application> Make(const std::string& tail) {
    auto app = std::make_unique<Application>(tail);
    app->AM().frm().SetCloseDelay(std::chrono::milliseconds(0));
    return app;
  }
  static testing::HeadlessMainView& View(Application& app) { return testing::HeadlessMainView::Of(app.AM().frm()); }

  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
};

TEST_F(ApplicationTest, SwitchesReachTheControllerInCommandLineOrder) {
  auto app = Make("/copy /Rename:setup.exe positional");
  app->Execute();
  EXPECT_EQ(app->AM().HowToCopy, 1);
  EXPECT_EQ(app->AM().NewFileName, "setup.exe");
  // A missing setting behaves like a typed /Init, appended after everything typed.
  ASSERT_EQ(app->AH().ArgumentCount(), 4);
  EXPECT_EQ(app->AH().GetArgumentIndex(4)->ArgumentName(), "INIT");
  app->Terminate();
  auto typed = Make("/init");
  typed->Execute();
  EXPECT_EQ(typed->AH().ArgumentCount(), 1) << "a typed /Init is not appended again";
  typed->Terminate();
}

TEST_F(ApplicationTest, WindowVisibilityFollowsSilentAndMinimized) {
  struct Case {
    std::string tail;
    bool shown;
    int state;
  };
  for (const Case& c : {Case{"/Minimized", true, ui::WindowStateMinimized},
                        Case{"/Silent /Minimized", false, ui::WindowStateNormal}}) {
    SCOPED_TRACE(c.tail);
    auto app = Make(c.tail);
    app->Execute();
    EXPECT_EQ(View(*app).IsShown(), c.shown);
    EXPECT_EQ(View(*app).WindowState(), c.state);
    app->Terminate();
  }
}

TEST_F(ApplicationTest, QuestionMarkShowsUsageAndEndsBeforeTheRun) {
  testing::CatchProgramEnd catcher;
  auto app = Make("/Copy /?");
  ::testing::internal::CaptureStdout();
  try {
    app->Execute();
    FAIL() << "the run went on after /?";
  } catch (const testing::ProgramEnded& ended) {
    EXPECT_EQ(ended.exitStatus, 0);
  }
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Kestrun [/Init] [/Rename:setup.exe] [/Copy] [/Minimized] [/?]\n"
                     "  /Init\t\tSpecify parameters\n"
                     "  /Rename\tRename downloaded file\n"
                     "  /Copy\t\tDo not use FTP! Use normal copy!\n"
                     "  /Minimized\tRun minimized\n"
                     "  /?\t\tThis information\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(app->AM().HowToCopy, 0);  // the argument walk never ran
  EXPECT_FALSE(View(*app).IsShown());
}

}  // namespace
}  // namespace kestrun
