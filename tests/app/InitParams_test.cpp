#include "app/InitParams.h"

#include <gtest/gtest.h>

#include "BuildConfig.h"
#include "app/AppMain.h"
#include "app/Application.h"
#include "registry/RegUtilities.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/frmMain.h"
#include "util/StringUtilities.h"

namespace kestrun {
namespace {

const char* const kNames[] = {"HostName", "RemotePath", "AlternateHostName", "AlternateRemotePath",
                              "FileMask", "LocalPath"};

class InitParamsTest : public ::testing::Test {
 protected:
  std::string Stored(const std::string& name) const {
    return RegUtilities().GetKeyValue(Application::AppRegKey(), name, "<none>");
  }
  void Ask(const std::string& programFolder = "/opt/kestrun") {
    AskRunSettings(am, StringUtilities(), programFolder, Application::AppRegKey());
  }

  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
  AppMain am;
};

TEST_F(InitParamsTest, AsksTheSixSettingsInOrderWithTheFactoryDefaults) {
  am.HostName = "saved.example.org";  // a saved value is not offered: the factory default is
  Ask();
  ASSERT_EQ(ws.inputs.size(), 6u);
  // clang-format off
  const std::pair<std::string, std::string> expected[] = {
      {"Enter HostName", KESTRUN_DEFAULT_HOST},
      {"Enter remote path", "/pub/antivirus/datfiles/4.x/"},
      {"Enter alternate HostName", KESTRUN_DEFAULT_ALT_HOST},
      {"Enter alternate remote path", "/pub/antivirus/datfiles/4.x/"},
      {"Enter filemask", "sdat*.exe"},
      {"Enter local path", "/opt/kestrun/"},
  };
  // clang-format on
  for (std::size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ws.inputs[i].prompt, expected[i].first);
    EXPECT_EQ(ws.inputs[i].defaultText, expected[i].second);
    EXPECT_EQ(ws.inputs[i].caption, "Kestrun");
  }
}

TEST_F(InitParamsTest, CancellingEveryBoxOnAFirstRunWritesNothing) {
  Ask();  // no scripted answers: every box is cancelled
  EXPECT_EQ(am.HostName + am.RemotePath + am.AltHostName + am.AltRemotePath + am.FileMask, "");
  EXPECT_EQ(am.LocalPath, "/opt/kestrun/") << "the program's folder holds for this run";
  for (const char* name : kNames) EXPECT_EQ(Stored(name), "<none>") << name;
  EXPECT_TRUE(ws.boxes.empty());
}

TEST_F(InitParamsTest, AnswersAreKeptExactlyAsTypedAndEmptyOnesLeaveTheSetting) {
  ws.inputAnswers = {"  ftp.spaced.example  ", "", "ftp.exämple.ørg", "", "*.EXE", "/srv/päckages"};
  am.RemotePath = "/kept/";
  Ask();
  EXPECT_EQ(am.HostName, "  ftp.spaced.example  ");
  EXPECT_EQ(Stored("HostName"), "  ftp.spaced.example  ");
  EXPECT_EQ(am.RemotePath, "/kept/");
  EXPECT_EQ(Stored("RemotePath"), "<none>");
  EXPECT_EQ(Stored("AlternateHostName"), "ftp.exämple.ørg");
  EXPECT_EQ(am.LocalPath, "/srv/päckages") << "the run adds the separator itself";
  EXPECT_EQ(Stored("LocalPath"), "/srv/päckages");
}

TEST_F(InitParamsTest, AnAnswerTooLongForTheStoreIsRefusedByTheStoreAndKeptForTheRun) {
  const std::string longAnswer(1000, 'h');
  ws.inputAnswers = {longAnswer};
  Ask();
  EXPECT_EQ(am.HostName, longAnswer);
  EXPECT_EQ(Stored("HostName"), "<none>");
  ASSERT_FALSE(ws.boxes.empty()) << "the store says why it refused";
  EXPECT_EQ(ws.inputs.size(), 6u) << "the set-up goes on with the next box";
}

TEST_F(InitParamsTest, TheLocalPathOfferedEndsInOneSeparator) {
  struct Case {
    PathSyntax syntax;
    std::string current;
    std::string programFolder;
    std::string offered;
  };
  // clang-format off
  const Case cases[] = {
      {PathSyntax::PosixSyntax(), "", "/", "/"},  // the root folder gets no second separator
      {PathSyntax::WindowsSyntax(), "", "C:\\Tools\\Kestrun", "C:\\Tools\\Kestrun\\"},
      {PathSyntax::WindowsSyntax(), "", "C:\\", "C:\\"},  // a drive root
      {PathSyntax::PosixSyntax(), "/var/pkgs", "/opt/kestrun", "/var/pkgs"},  // the current one, as it is
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.programFolder + " / " + c.current);
    ws.inputs.clear();
    am.LocalPath = c.current;
    AskRunSettings(am, StringUtilities(c.syntax), c.programFolder, Application::AppRegKey());
    ASSERT_EQ(ws.inputs.size(), 6u);
    EXPECT_EQ(ws.inputs[5].defaultText, c.offered);
  }
}

}  // namespace
}  // namespace kestrun
