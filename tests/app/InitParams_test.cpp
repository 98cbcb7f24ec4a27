// The /Init questions: six boxes in order, the factory defaults offered, each answer kept as typed.
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

using Six = std::vector<std::string>;

class InitParamsTest : public ::testing::Test {
 protected:
  static Six Stored() {
    Six values;
    for (const char* name :
         {"HostName", "RemotePath", "AlternateHostName", "AlternateRemotePath", "FileMask", "LocalPath"})
      values.push_back(RegUtilities().GetKeyValue(Application::AppRegKey(), name, "<none>"));
    return values;
  }
  void Ask(AppMain& am, const std::string& programFolder = "/opt/kestrun",
           PathSyntax syntax = PathSyntax::PosixSyntax()) {
    ws.inputs.clear();
    AskRunSettings(am, StringUtilities(syntax), programFolder, Application::AppRegKey());
    ASSERT_EQ(ws.inputs.size(), 6u);
  }

  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
};

TEST_F(InitParamsTest, AsksTheSixSettingsInOrderWithTheFactoryDefaults) {
  AppMain am;
  am.HostName = "saved.example.org";  // a saved value is not offered: the factory default is
  Ask(am);
  Six asked;
  for (const auto& input : ws.inputs)
    asked.push_back(input.caption + ": " + input.prompt + " [" + input.defaultText + "]");
  EXPECT_EQ(asked, (Six{"Kestrun: Enter HostName [" KESTRUN_DEFAULT_HOST "]",
                        "Kestrun: Enter remote path [/pub/antivirus/datfiles/4.x/]",
                        "Kestrun: Enter alternate HostName [" KESTRUN_DEFAULT_ALT_HOST "]",
                        "Kestrun: Enter alternate remote path [/pub/antivirus/datfiles/4.x/]",
                        "Kestrun: Enter filemask [sdat*.exe]", "Kestrun: Enter local path [/opt/kestrun/]"}));
  // The local path offered: the current one as it is, else the program's folder ending in one separator.
  struct Case {
    PathSyntax syntax;
    std::string current, programFolder, offered;
  };
  for (const Case& c : {Case{PathSyntax::PosixSyntax(), "", "/", "/"},
                        Case{PathSyntax::WindowsSyntax(), "", "C:\\Tools\\Kestrun", "C:\\Tools\\Kestrun\\"},
                        Case{PathSyntax::WindowsSyntax(), "", "C:\\", "C:\\"},
                        Case{PathSyntax::PosixSyntax(), "/var/pkgs", "/opt/kestrun", "/var/pkgs"}}) {
    SCOPED_TRACE(c.programFolder + " / " + c.current);
    AppMain other;
    other.LocalPath = c.current;
    Ask(other, c.programFolder, c.syntax);
    EXPECT_EQ(ws.inputs[5].defaultText, c.offered);
  }
}

// Answers are kept exactly as typed; Cancel or an empty answer leaves the setting (an empty local path
// takes the program's folder for this run only); an answer the store refuses holds for this run, and the
// store says why.
TEST_F(InitParamsTest, AnswersAreKeptAsTypedAndEmptyOnesLeaveTheSetting) {
  const std::string longAnswer(1000, 'h');
  struct Case {
    std::deque<std::string> answers;
    Six held, stored;
    std::size_t boxes;
  };
  // clang-format off
  for (const Case& c : {
           Case{{}, {"", "/kept/", "", "", "", "/opt/kestrun/"}, Six(6, "<none>"), 0},
           Case{{longAnswer, "", "  ftp.exämple.ørg  ", "", "*.EXE", "/srv/päckages"},
                {longAnswer, "/kept/", "  ftp.exämple.ørg  ", "", "*.EXE", "/srv/päckages"},
                {"<none>", "<none>", "  ftp.exämple.ørg  ", "<none>", "*.EXE", "/srv/päckages"}, 1},
       }) {
    // clang-format on
    SCOPED_TRACE(c.answers.size());
    testing::Sandbox own;
    ws.boxes.clear();
    ws.inputAnswers = c.answers;
    AppMain am;
    am.RemotePath = "/kept/";
    Ask(am);
    EXPECT_EQ((Six{am.HostName, am.RemotePath, am.AltHostName, am.AltRemotePath, am.FileMask, am.LocalPath}), c.held);
    EXPECT_EQ(Stored(), c.stored);
    EXPECT_EQ(ws.boxes.size(), c.boxes);
  }
}

}  // namespace
}  // namespace kestrun
