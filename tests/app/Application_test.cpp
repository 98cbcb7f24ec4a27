#include "app/Application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "app/AppMain.h"
#include "registry/RegUtilities.h"
#include "support/HeadlessMainView.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/frmMain.h"

namespace kestrun {
namespace {

const std::string kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun";

class ApplicationTest : public ::testing::Test {
 protected:
  std::unique_ptr<Application> Make(const std::string& tail) {
    auto app = std::make_unique<Application>(tail);
    app->AM().frm().SetCloseDelay(std::chrono::milliseconds(0));
    return app;
  }
  static testing::HeadlessMainView& View(Application& app) { return testing::HeadlessMainView::Of(app.AM().frm()); }
  // Runs the driver up to (not including) the update itself: /Copy with a missing folder is harmless.
  std::unique_ptr<Application> Run(const std::string& tail) {
    auto app = Make(tail);
    app->Execute();
    return app;
  }
  static void WriteAllSettings() {
    for (const char* name :
         {"HostName", "RemotePath", "FileMask", "LocalPath", "AlternateHostName", "AlternateRemotePath"})
      RegUtilities().SetKeyValue(kKey, name, std::string(name) + "-value");
  }

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
  for (const Case& c :
       {Case{"/Minimized", true, ui::WindowStateMinimized}, Case{"/Silent /Minimized", false, ui::WindowStateNormal}}) {
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

// Every start records its date and version; the stored settings reach the controller, and a complete
// set asks nothing.
TEST_F(ApplicationTest, EveryStartRecordsDateAndVersionAndReadsTheSettings) {
  WriteAllSettings();
  auto app = Run("/Copy");
  RegUtilities reg;
  EXPECT_EQ(reg.GetKeyValue(kKey, "LatestRunVersion", ""), "Kestrun V1.00.00");
  const std::string date = reg.GetKeyValue(kKey, "LatestRunDate", "");
  // The locale's date and time: this year in four digits, then a time of day.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_NE(date.find(std::to_string(local.tm_year + 1900)), std::string::npos) << date;
  EXPECT_EQ(std::count(date.begin(), date.end(), ':'), 2) << date;
  const AppMain& am = app->AM();
  EXPECT_EQ((std::vector<std::string>{am.HostName, am.RemotePath, am.FileMask, am.AltHostName, am.AltRemotePath}),
            (std::vector<std::string>{"HostName-value", "RemotePath-value", "FileMask-value", "AlternateHostName-value",
                                      "AlternateRemotePath-value"}));
  EXPECT_TRUE(ws.inputs.empty());
  EXPECT_EQ(app->AH().ArgumentCount(), 1);
  app->Terminate();
}

TEST_F(ApplicationTest, KeepCountReadsTheLeadingNumber) {
  struct Case {
    const char* stored;  // nullptr: absent
    int32_t expected;
    const char* afterwards;
  };
  // clang-format off
  const Case cases[] = {
      {nullptr, 2, "2"}, {"0", 2, "2"}, {"none", 2, "2"}, {"3 copies", 3, "3 copies"},
      {"2.5", 2, "2.5"}, {"3.5", 4, "3.5"}, {"-1", -1, "-1"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "(absent)");
    testing::Sandbox own;
    WriteAllSettings();
    RegUtilities reg;
    if (c.stored) reg.SetKeyValue(kKey, "SDATsToKeep", std::string(c.stored));
    auto app = Run("/Copy");
    EXPECT_EQ(app->AM().SDATsToKeep, c.expected);
    EXPECT_EQ(reg.GetKeyValue(kKey, "SDATsToKeep", "(absent)"), c.afterwards);
    app->Terminate();
  }
}

TEST_F(ApplicationTest, OneMissingSettingAsksOnceEvenWithInitTyped) {
  for (const std::string tail : {"/Copy", "/Copy /INIT"}) {
    SCOPED_TRACE(tail);
    testing::Sandbox own;
    ws.inputs.clear();
    WriteAllSettings();
    RegUtilities().SetKeyValue(kKey, "AlternateRemotePath", std::string(""));
    Run(tail)->Terminate();
    EXPECT_EQ(ws.inputs.size(), 6u);
  }
}

}  // namespace
}  // namespace kestrun
