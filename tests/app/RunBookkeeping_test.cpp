#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>

#include "app/AppMain.h"
#include "app/Application.h"
#include "registry/RegUtilities.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/frmMain.h"

namespace kestrun {
namespace {

const std::string kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun";

const char* const kSettings[] = {"HostName", "RemotePath", "FileMask", "LocalPath", "AlternateHostName",
                                 "AlternateRemotePath"};

void WriteAllSettings() {
  for (const char* name : kSettings) RegUtilities().SetKeyValue(kKey, name, std::string(name) + "-value");
}

// Runs the driver up to (not including) the update itself: /Copy with a missing folder is harmless.
std::unique_ptr<Application> RunDriver(const std::string& tail) {
  auto app = std::make_unique<Application>(tail);
  app->AM().frm().SetCloseDelay(std::chrono::milliseconds(0));
  app->Execute();
  return app;
}

TEST(RunBookkeeping, EveryStartRecordsDateAndVersion) {
  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
  auto app = RunDriver("/Copy");
  RegUtilities reg;
  EXPECT_EQ(reg.GetKeyValue(kKey, "LatestRunVersion", ""), "Kestrun V1.00.00");
  const std::string date = reg.GetKeyValue(kKey, "LatestRunDate", "");
  // The locale's date and time: this year in four digits, then a time of day.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_NE(date.find(std::to_string(local.tm_year + 1900)), std::string::npos) << date;
  EXPECT_EQ(std::count(date.begin(), date.end(), ':'), 2) << date;
  app->Terminate();
}

TEST(RunBookkeeping, KeepCountReadsTheLeadingNumber) {
  struct Case {
    const char* stored;  // nullptr: absent
    int32_t expected;
    const char* afterwards;
  };
  const Case cases[] = {
      {nullptr, 2, "2"}, {"0", 2, "2"}, {"none", 2, "2"}, {"3 copies", 3, "3 copies"},
      {"2.5", 2, "2.5"}, {"3.5", 4, "3.5"}, {"-1", -1, "-1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "(absent)");
    testing::Sandbox sandbox;
    testing::ScriptedWindowSystem ws;
    WriteAllSettings();
    RegUtilities reg;
    if (c.stored) reg.SetKeyValue(kKey, "SDATsToKeep", std::string(c.stored));
    auto app = RunDriver("/Copy");
    EXPECT_EQ(app->AM().SDATsToKeep, c.expected);
    EXPECT_EQ(reg.GetKeyValue(kKey, "SDATsToKeep", "(absent)"), c.afterwards);
    app->Terminate();
  }
}

TEST(RunBookkeeping, SettingsReachTheControllerAndCompleteOnesAskNothing) {
  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
  WriteAllSettings();
  auto app = RunDriver("/Copy");
  const AppMain& am = app->AM();
  EXPECT_EQ((std::vector<std::string>{am.HostName, am.RemotePath, am.FileMask, am.AltHostName, am.AltRemotePath}),
            (std::vector<std::string>{"HostName-value", "RemotePath-value", "FileMask-value",
                                      "AlternateHostName-value", "AlternateRemotePath-value"}));
  EXPECT_TRUE(ws.inputs.empty());
  EXPECT_EQ(app->AH().ArgumentCount(), 1);
  app->Terminate();
}

TEST(RunBookkeeping, OneMissingSettingAsksOnceEvenWithInitTyped) {
  for (const std::string tail : {"/Copy", "/Copy /INIT"}) {
    SCOPED_TRACE(tail);
    testing::Sandbox sandbox;
    testing::ScriptedWindowSystem ws;
    WriteAllSettings();
    RegUtilities().SetKeyValue(kKey, "AlternateRemotePath", std::string(""));
    auto app = RunDriver(tail);
    EXPECT_EQ(ws.inputs.size(), 6u);
    app->Terminate();
  }
}

}  // namespace
}  // namespace kestrun
