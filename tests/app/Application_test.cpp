// The driver from the command tail to the run: the tail parsed into switches and looked up by name, the
// window, the settings and the /Init questions, what a start records.
#include "app/Application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "BuildConfig.h"
#include "app/AppMain.h"
#include "app/CommandTail.h"
#include "app/InitParams.h"
#include "registry/RegUtilities.h"
#include "support/HeadlessMainView.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/frmMain.h"
#include "util/StringUtilities.h"

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

using Six = std::vector<std::string>;

class InitParamsTest : public ApplicationTest {
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

using Parsed = std::vector<std::string>;  // "NAME=value", in command-line order

// Parses `tail` after an earlier tail, whose entries must go; each entry also found by its index.
Parsed Parse(const std::string& tail) {
  ArgumentHandler ah;
  ah.ParseCommandLine("/earlier /entries");
  ah.ParseCommandLine(tail);
  Parsed parsed;
  for (const auto& [key, argument] : ah.Arguments()) {
    EXPECT_EQ(ah.GetArgumentIndex(static_cast<int32_t>(parsed.size()) + 1), argument);
    EXPECT_EQ(ah.GetArgumentKey(key), argument);
    parsed.push_back(argument->ArgumentName() + "=" + argument->ArgumentValue());
  }
  EXPECT_EQ(ah.ArgumentCount(), static_cast<int32_t>(parsed.size()));
  return parsed;
}

TEST(ArgumentHandlerParse, Grammar) {
  testing::ScriptedWindowSystem ws;
  // clang-format off
  const std::pair<std::string, Parsed> tails[] = {
      {"", {}},
      {"/Init /Rename:setup.exe C:\\Temp /copy", {"INIT=", "RENAME=setup.exe", "PATH1=C:\\Temp", "COPY="}},
      {"//Copy", {"COPY="}},
      {"/Rename:", {"RENAME="}},
      {"/Rename:\"my setup.exe\"", {"RENAME=my setup.exe"}},
      {"/rename:/RENAME:x", {"RENAME=x"}},  // repetitions of the head go, any case
      {"\"C:\\My Files\" b", {"PATH1=C:\\My Files", "PATH2=b"}},
      {"\tx", {"PATH1=\tx"}},  // only blanks are trimmed
      {"/Rename:\"half open", {"RENAME=half", "PATH1=open"}},
      {"/Größe:äö", {"GRÖßE=äö"}},
  };
  // The tail rebuilt from argv gives back each argument as it was meant, with quotes the shell left in
  // place (a desktop entry, a service file) taken as quoting; a quote of one must not pair with the next.
  const std::pair<std::vector<std::string>, Parsed> argvs[] = {
      {{}, {}},
      {{"/Init", "", "/copy"}, {"INIT=", "COPY="}},
      {{"/Rename:my setup.exe"}, {"RENAME=my setup.exe"}},
      {{"/Rename:\"my setup.exe\""}, {"RENAME=my setup.exe"}},
      {{"/Rename:C:\\x y.exe"}, {"RENAME=C:\\x y.exe"}},
      {{"C:\\My Files", "\"/not-a-switch\"", "plain"}, {"PATH1=C:\\My Files", "PATH2=/not-a-switch", "PATH3=plain"}},
      {{"a\"b", "/Rename:c\"d", "/Copy"}, {"PATH1=a\"b", "RENAME=c\"d", "COPY="}},
  };
  // clang-format on
  for (const auto& [tail, parsed] : tails) EXPECT_EQ(Parse(tail), parsed) << tail;
  for (const auto& [argv, parsed] : argvs) EXPECT_EQ(Parse(BuildCommandTail(argv)), parsed) << BuildCommandTail(argv);
  EXPECT_TRUE(ws.boxes.empty());

  // Hostile tails parse without a crash or a hang, and twenty thousand arguments all arrive.
  testing::CatchProgramEnd catcher;
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "p" + std::to_string(i) + " ";
  for (const std::string& tail : {std::string(100000, ' '), std::string(50001, '"'), "/" + std::string(100000, ':'),
                                  std::string("\x01\x02\x7f /\x1b[31m"), std::string("\xff\xfe /\xc3")})
    ArgumentHandler().ParseCommandLine(tail);
  ArgumentHandler ah;
  ah.ParseCommandLine(many);
  EXPECT_EQ(ah.ArgumentCount(), 20000);
  EXPECT_EQ(ah.GetArgumentIndex(20000)->ArgumentValue(), "p19999");
}

// Callers that walk the arguments rely on which one a lookup leaves selected; a check selects nothing.
TEST(ArgumentHandlerLookup, SelectionFollowsTheLastLookup) {
  ArgumentHandler ah;
  ah.ParseCommandLine("/Init x");
  EXPECT_TRUE(ah.SetArgumentKey("init"));
  ASSERT_TRUE(ah.ActiveArgument());
  EXPECT_EQ(ah.ActiveArgument()->ArgumentName(), "INIT");
  EXPECT_FALSE(ah.SetArgumentKey("COPY"));
  EXPECT_FALSE(ah.ActiveArgument());
  EXPECT_TRUE(ah.SetArgumentIndex(2));
  EXPECT_EQ(ah.ActiveArgument()->ArgumentValue(), "x");
  EXPECT_TRUE(ah.CheckArgumentKey("INIT"));
  EXPECT_EQ(ah.ActiveArgument()->ArgumentValue(), "x");
  EXPECT_FALSE(ah.SetArgumentIndex(3));
  EXPECT_FALSE(ah.ActiveArgument());
}

TEST(ArgumentHandlerDuplicate, EndsTheProgramWithTheCriticalMessage) {
  for (const auto& [tail, name] :
       {std::pair{"/Init /init", "init"}, std::pair{"/Rename:setup.exe /RENAME:x", "RENAME"}}) {
    testing::ScriptedWindowSystem ws;
    testing::CatchProgramEnd catcher;
    try {
      ArgumentHandler().ParseCommandLine(tail);
      FAIL() << "the program went on after " << tail;
    } catch (const testing::ProgramEnded& ended) {
      EXPECT_EQ(ended.exitStatus, 2);
    }
    ASSERT_EQ(ws.boxes.size(), 1u);
    EXPECT_EQ(ws.boxes[0].prompt, "Duplicate Argument: " + std::string(name));
    EXPECT_EQ(ws.boxes[0].buttons, platform::mb::Critical);
    EXPECT_EQ(ws.boxes[0].caption, "Kestrun");
  }
}

}  // namespace
}  // namespace kestrun
