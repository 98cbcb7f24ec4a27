// The driver from the command tail to the run: the switches, the window, the settings, what a start records.
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
  // Runs the driver (/Copy with a missing folder is harmless); `ended` is the status it ended the program
  // with, -1 when it did not.
  std::unique_ptr<Application> Run(const std::string& tail) {
    auto app = std::make_unique<Application>(tail);
    app->AM().frm().SetCloseDelay(std::chrono::milliseconds(0));
    ended = -1;
    try {
      app->Execute();
    } catch (const testing::ProgramEnded& end) {
      ended = end.exitStatus;
    }
    return app;
  }
  static testing::HeadlessMainView& View(Application& app) { return testing::HeadlessMainView::Of(app.AM().frm()); }
  // Every setting a run needs, but `empty`.
  static void WriteAllSettings(const std::string& empty = "") {
    for (const char* name :
         {"HostName", "RemotePath", "FileMask", "LocalPath", "AlternateHostName", "AlternateRemotePath"})
      RegUtilities().SetKeyValue(kKey, name, name == empty ? "" : std::string(name) + "-value");
  }

  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
  testing::CatchProgramEnd catcher;
  int ended = -1;
};

// Every start records its date and version and reads the settings; a missing one asks all six once, as a
// typed /Init (any case) does, after the switches typed before it.
TEST_F(ApplicationTest, EveryStartRecordsItselfReadsTheSettingsAndAsksForMissingOnes) {
  struct Case {
    std::string tail, empty;
    std::size_t questions;
    int32_t arguments;
    std::string last;
  };
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  for (const Case& c : {Case{"/copy /Rename:setup.exe positional", "", 0, 3, "PATH1"},
                        Case{"/copy /Rename:setup.exe positional", "AlternateRemotePath", 6, 4, "INIT"},
                        Case{"/Copy /init", "HostName", 6, 2, "INIT"}}) {
    SCOPED_TRACE(c.tail + " " + c.empty);
    testing::Sandbox own;
    ws.inputs.clear();
    WriteAllSettings(c.empty);
    auto app = Run(c.tail);
    RegUtilities reg;
    EXPECT_EQ(reg.GetKeyValue(kKey, "LatestRunVersion", ""), "Kestrun V1.00.00");
    // The locale's date and time: this year in four digits, then a time of day.
    const std::string date = reg.GetKeyValue(kKey, "LatestRunDate", "");
    EXPECT_TRUE(date.find(std::to_string(local.tm_year + 1900)) != std::string::npos &&
                std::count(date.begin(), date.end(), ':') == 2)
        << date;
    const AppMain& am = app->AM();
    std::vector<std::string> expected;
    for (const char* name : {"HostName", "RemotePath", "FileMask", "AlternateHostName", "AlternateRemotePath"})
      expected.push_back(name == c.empty ? "" : std::string(name) + "-value");
    EXPECT_EQ((std::vector<std::string>{am.HostName, am.RemotePath, am.FileMask, am.AltHostName, am.AltRemotePath}),
              expected);
    EXPECT_EQ(ws.inputs.size(), c.questions);
    ASSERT_EQ(app->AH().ArgumentCount(), c.arguments);
    EXPECT_EQ(app->AH().GetArgumentIndex(c.arguments)->ArgumentName(), c.last);
    EXPECT_EQ(am.HowToCopy, 1);
    EXPECT_EQ(am.NewFileName, c.arguments > 2 ? "setup.exe" : "");
    app->Terminate();
  }
}

// /Silent hides the window and /Minimized shrinks it; /? shows the usage and ends before the window or the run.
TEST_F(ApplicationTest, WindowFollowsSilentAndMinimizedAndQuestionMarkEndsFirst) {
  for (const auto& [tail, shown, state, status] :
       {std::tuple{"/Copy /Minimized", true, ui::WindowStateMinimized, -1},
        std::tuple{"/Copy /Silent /Minimized", false, ui::WindowStateNormal, -1},
        std::tuple{"/Copy /?", false, ui::WindowStateNormal, 0}}) {
    SCOPED_TRACE(tail);
    ::testing::internal::CaptureStdout();  // the usage, checked on the real program's console
    auto app = Run(tail);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(ended, status);
    EXPECT_EQ(app->AM().HowToCopy, status == 0 ? 0 : 1) << "the argument walk runs after /?";
    EXPECT_EQ(View(*app).IsShown(), shown);
    EXPECT_EQ(View(*app).WindowState(), state);
    app->Terminate();
  }
}

// The keep count is read by its leading number, rounded half to even; no usable number stores two.
TEST_F(ApplicationTest, KeepCountReadsTheLeadingNumber) {
  const std::tuple<const char*, int32_t, const char*> cases[] = {
      {nullptr, 2, "2"}, {"0", 2, "2"},     {"none", 2, "2"}, {"3 copies", 3, "3 copies"},
      {"2.5", 2, "2.5"}, {"3.5", 4, "3.5"}, {"-1", -1, "-1"}};
  for (const auto& [stored, expected, afterwards] : cases) {
    SCOPED_TRACE(stored ? stored : "(absent)");
    testing::Sandbox own;
    WriteAllSettings();
    RegUtilities reg;
    if (stored) reg.SetKeyValue(kKey, "SDATsToKeep", std::string(stored));
    auto app = Run("/Copy");
    EXPECT_EQ(app->AM().SDATsToKeep, expected);
    EXPECT_EQ(reg.GetKeyValue(kKey, "SDATsToKeep", "(absent)"), afterwards);
    app->Terminate();
  }
}

}  // namespace
}  // namespace kestrun
