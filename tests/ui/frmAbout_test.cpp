// The About box without a display: its text, layout, buttons and link, and `kestrun /?` on the console.
#include "ui/frmAbout.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/Machine.h"
#include "support/HeadlessMainView.h"
#include "support/KestrunProgram.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "support/SystemFakes.h"
#include "ui/About.h"
#include "ui/frmMain.h"
#include "util/StringUtilities.h"

namespace kestrun {
namespace {

using testing::HeadlessAboutView;
using ui::AboutControl;
using ui::AboutLine;
using ui::TwipsRect;
using Lines = std::vector<std::string>;

// The box's lines on this fake machine: the program's facts, then the usage.
const Lines kBoxLines = {
    "Kestrun V1.00.00",
    "Ambervale",
    "Linux V6.1.0 Debian GNU/Linux 12 (bookworm)",
    "System UpTime: 1 days 01:01:01",
    "",
    "Checks for SuperDAT updates on the Internet and downloads them.",
    "",
    "Copyright (C) Ambervale. All rights reserved.",
    "",
    "Kestrun [/Init] [/Rename:setup.exe] [/Copy] [/Minimized] [/?]",
    "  /Init\t\tSpecify parameters",
    "  /Rename\tRename downloaded file",
    "  /Copy\t\tDo not use FTP! Use normal copy!",
    "  /Minimized\tRun minimized",
    "  /?\t\tThis information",
};

std::vector<long> Parts(const TwipsRect& r) { return {r.Left, r.Top, r.Width, r.Height}; }

class OpeningMachine final : public testing::FakeMachine {
 public:
  platform::OpenOutcome OpenDocument(const std::string& target) override {
    opened.push_back(target);
    return platform::OpenOutcome::Opened;
  }
  Lines opened;
};

// A driver whose way to the main window is set by the test; `raise` makes asking for it fail.
class StubDriver final : public ui::WindowDriver {
 public:
  void ShowAboutBox(int32_t) override {}
  const ui::MainView* MainWindow() override {
    if (raise) Raise(err::ObjectVariableNotSet);
    return window;
  }
  const ui::MainView* window = nullptr;
  bool raise = false;
};

class AboutTest : public ::testing::Test {
 protected:
  AboutTest() {
    machine.version = {6, 1, 0, platform::PlatformLinux, "Debian GNU/Linux 12 (bookworm)"};
    machine.milliseconds = 90'061'000;
  }
  ~AboutTest() override {
    About::ReleaseOpenWindows();
    frmMain::ReleaseOpenWindows();
  }
  // A box of its own, outside the driver; `view` shows what it holds.
  std::unique_ptr<frmAbout> MakeForm() {
    auto owned = std::make_unique<HeadlessAboutView>();
    view = owned.get();
    return std::make_unique<frmAbout>(std::move(owned));
  }
  Lines Reports() const {
    Lines texts;
    for (const auto& box : ws.boxes) texts.push_back(box.prompt);
    return texts;
  }

  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
  testing::RecordingViews views;
  OpeningMachine machine;
  testing::FakeProcesses processes;
  HeadlessAboutView* view = nullptr;
};

TEST_F(AboutTest, TheDriverShowsTheBoxModallyForQuestionMarkAndOrdinaryForF1) {
  ws.workArea = {true, 0, 0, 800, 570};  // pixels, 15 twips each
  testing::CatchProgramEnd catcher;
  Application app("/?");
  app.AM().frm().SetCloseDelay(std::chrono::milliseconds(0));
  EXPECT_THROW(app.Execute(), testing::ProgramEnded);
  app.AM().frm().Form_KeyUp(ui::KeyF1, 0);
  ASSERT_EQ(views.aboutBoxes.size(), 2u);
  for (const HeadlessAboutView& box : views.aboutBoxes) {
    EXPECT_EQ(box.Lines(), kBoxLines);
    EXPECT_EQ(box.caption, "About Kestrun");
    EXPECT_TRUE(box.atStart) << "the text is shown from its top";
    EXPECT_EQ(box.linkCaption, platform::App().WebAddress);
    EXPECT_TRUE(box.linkVisible && box.logoVisible);
    EXPECT_EQ(box.iconFrom, &app.AM().frm().View()) << "the main window's icon";
    EXPECT_EQ(box.window.Left, (12000 - box.window.Width) / 2);
    EXPECT_EQ(box.window.Top, (8550 - box.window.Height) / 2);
  }
  EXPECT_TRUE(views.aboutBoxes[0].modal);
  EXPECT_FALSE(views.aboutBoxes[1].modal);
  EXPECT_TRUE(app.AM().frm().Pinned()) << "F1 pins the main window";
  EXPECT_EQ(About::OpenWindowCount(), 1u) << "the ordinary box outlives the call that showed it";
  EXPECT_TRUE(ws.boxes.empty());
  app.Terminate();
}

// A driver without a main window (none given, or its controller released) lends no icon, and no failure.
TEST_F(AboutTest, WithoutAMainWindowTheBoxHasNoIcon) {
  StubDriver withoutWindow;
  Application gone("");
  gone.AM().frm().SetCloseDelay(std::chrono::milliseconds(0));
  gone.Terminate();
  for (ui::WindowDriver* driver : {static_cast<ui::WindowDriver*>(&withoutWindow),
                                   static_cast<ui::WindowDriver*>(&gone), static_cast<ui::WindowDriver*>(nullptr)}) {
    auto form = MakeForm();
    form->InitMyObjects(driver);
    EXPECT_EQ(view->iconFrom, nullptr);
  }
  EXPECT_TRUE(ws.boxes.empty());
}

TEST_F(AboutTest, TheLayoutFollowsTheWindowAndFoldsWhenItIsTooSmall) {
  struct Case {
    long width, height;
    bool logo;
    TwipsRect sysInfo, ok, text, link, icon;
    long separator, rightEnd;
  };
  // clang-format off
  const Case cases[] = {
      {5775, 4065, true, {4320, 3600, 1335, 345}, {4320, 3195, 1335, 345}, {720, 1440, 4935, 1635},
       {120, 960, 0, 195}, {120, 1440, 495, 495}, 3135, 5655},
      {9000, 6000, true, {7545, 5535, 1335, 345}, {7545, 5130, 1335, 345}, {720, 1440, 8160, 3570},
       {120, 960, 0, 195}, {120, 1440, 495, 495}, 5070, 8880},
      // Smaller than its content: every value is folded to its absolute value, none is negative.
      {1000, 500, true, {455, 35, 1335, 345}, {455, 370, 1335, 345}, {720, 1440, 160, 1930},
       {120, 960, 0, 195}, {120, 1440, 495, 495}, 430, 880},
      // Without the logo the link goes to the bottom left, icon and text up into the logo's place.
      {5775, 4065, false, {4320, 3600, 1335, 345}, {4320, 3195, 1335, 345}, {720, 120, 4935, 1635},
       {120, 3750, 0, 195}, {120, 120, 495, 495}, 3135, 5655},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + (c.logo ? "" : " without logo"));
    auto form = MakeForm();
    view->scaleWidth = c.width;
    view->scaleHeight = c.height;
    form->ShowLogo(c.logo);
    const std::pair<AboutControl, TwipsRect> expected[] = {
        {AboutControl::cmdSysInfo, c.sysInfo}, {AboutControl::cmdOK, c.ok},
        {AboutControl::txtText, c.text},       {AboutControl::lblLink, c.link},
        {AboutControl::imgIcon, c.icon},       {AboutControl::imgLogo, ui::AboutDesignRect(AboutControl::imgLogo)}};
    for (auto [control, rect] : expected) {
      TwipsRect actual = view->ControlRect(control);
      if (control == AboutControl::lblLink) actual.Width = 0;  // the label's width follows its caption
      EXPECT_EQ(Parts(actual), Parts(rect)) << static_cast<int>(control);
    }
    for (AboutLine line : {AboutLine::lnLogoLine0, AboutLine::lnLogoLine1, AboutLine::lnLine0, AboutLine::lnLine1}) {
      const ui::TwipsLine l = view->LinePosition(line);
      const long y = line == AboutLine::lnLine0 || line == AboutLine::lnLine1 ? c.separator : 1320;
      EXPECT_EQ((std::vector<long>{l.X1, l.Y1, l.X2, l.Y2}),
                (std::vector<long>{ui::AboutDesignLine(line).X1, y, c.rightEnd, y}));
    }
    EXPECT_EQ(view->logoVisible, c.logo);
  }
}

// The store names the program (never split into words, never through a shell), or a folder that holds
// it in any letter case; anything else, or a start that fails, gives the one message.
TEST_F(AboutTest, SystemInfoStartsWhatTheStoreNamesOrSaysItIsUnavailable) {
  const std::string tools = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools";
  const std::string withTool = sandbox.Folder("with tool").string();
  sandbox.WriteFile("with tool/msinfo32.exe", "");
  const std::string withoutTool = sandbox.Folder("without tool").string();
  struct Case {
    const char* what;
    std::string path, folder;
    bool realProcesses, canStart;
    std::string spawned;  // what was asked to start; empty: nothing, and the message is shown
  };
  // clang-format off
  const Case cases[] = {
      {"neither value", "", "", false, true, ""},
      {"blanks and shell characters", "/opt/sys info/tool; rm -rf ~", withTool, false, true,
       "&/opt/sys info/tool; rm -rf ~"},
      {"a program that cannot start", "/opt/tool", "", false, false, "&/opt/tool"},
      {"a folder with the tool", "", withTool, false, true, "&" + withTool + "/msinfo32.exe"},
      {"a folder without the tool", "", withoutTool, false, true, ""},
      {"a program that does not exist", (sandbox.Root() / "missing").string(), "", true, true, ""},
      {"a name of 10,000 characters", std::string(10'000, 'x'), "", true, true, ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string store = "REGEDIT4\n\n";
    if (!c.path.empty()) store += "[" + tools + "\\MSINFO]\n\"PATH\"=\"" + c.path + "\"\n\n";
    if (!c.folder.empty()) store += "[" + tools + " Location]\n\"MSINFO\"=\"" + c.folder + "\"\n\n";
    sandbox.WriteFile("registry.reg", store);
    processes.spawned.clear();
    processes.canStart = c.canStart;
    ws.boxes.clear();
    platform::ProcessControl* fake = c.realProcesses ? platform::InstallProcessControl(nullptr) : nullptr;
    MakeForm()->cmdSysInfo_Click();
    if (fake) platform::InstallProcessControl(fake);
    EXPECT_EQ(processes.spawned, c.spawned.empty() ? Lines{} : Lines{c.spawned});
    const bool started = !c.spawned.empty() && c.canStart;
    EXPECT_EQ(Reports(), started ? Lines{} : Lines{"System Information Is Unavailable At This Time"});
  }
}

TEST_F(AboutTest, TheLinkOpensItsTargetAsItStandsAndOkCloses) {
  auto form = MakeForm();
  form->Link("https://example.org/a b;$(reboot)");
  form->ShowLink(false);
  EXPECT_EQ(view->linkCaption, "https://example.org/a b;$(reboot)");
  EXPECT_FALSE(form->ShowLink());
  form->lblLink_Click();
  EXPECT_EQ(machine.opened, Lines{"https://example.org/a b;$(reboot)"});
  form->cmdOK_Click();
  EXPECT_FALSE(view->open);
}

TEST_F(AboutTest, FailuresAreReportedUnderTheBoxsOwnNames) {
  const std::string exe = platform::App().EXEName;
  {
    // A window that cannot take text or be laid out: each of the nine lines and the layout say so.
    auto owned = std::make_unique<HeadlessAboutView>();
    owned->failing = true;
    frmAbout form(std::move(owned));
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 10u);
    EXPECT_EQ(reports.front(), exe + ".frmAbout.AddText: 91, Object variable or With block variable not set");
    EXPECT_EQ(reports.back(), exe + ".frmAbout.Form_Resize: 91, Object variable or With block variable not set");
  }
  ws.boxes.clear();
  ws.workArea = {true, 0, 0, LONG_MAX / 4, 600};  // too large to count in twips
  MakeForm();
  EXPECT_EQ(Reports(), Lines{exe + ".frmAbout.Form_Load: 6, Overflow"});
  ws.boxes.clear();
  ws.workArea = {};
  StubDriver failing;
  failing.raise = true;
  MakeForm()->InitMyObjects(&failing);
  EXPECT_EQ(Reports(), Lines{exe + ".frmAbout.InitMyObjects: 91, Object variable or With block variable not set"});
}

// The driver's test shows the modal box gone with its wrapper and the ordinary one kept, until closed.
TEST_F(AboutTest, AnOrdinaryBoxIsReleasedWhenClosed) {
  HeadlessAboutView* ordinary = nullptr;
  {
    About about;
    about.ShowMain(0);
    ordinary = dynamic_cast<HeadlessAboutView*>(&about.Form().View());
  }
  ASSERT_EQ(About::OpenWindowCount(), 1u);
  ordinary->Close();
  EXPECT_EQ(About::OpenWindowCount(), 0u);
}

// The real program on the console: the box's lines on standard output, nothing else, and nothing run.
TEST(AboutProgram, QuestionMarkPrintsTheAboutTextAndEndsWithSuccess) {
  KESTRUN_REQUIRE_PROGRAM();
  testing::Sandbox sandbox;
  testing::KestrunProgram program(sandbox);
  EXPECT_EQ(program.Run({"/Copy", "/?"}), 0);
  Lines lines = StringUtilities().SplitFields(program.Out(), "\n");
  ASSERT_EQ(lines.back(), "") << "every line ended";
  lines.pop_back();
  ASSERT_EQ(lines.size(), kBoxLines.size()) << program.Out();
  // This machine's system and uptime differ from the fake's: only their starts are compared.
  EXPECT_EQ(lines[2].rfind("Linux V", 0), 0u) << lines[2];
  EXPECT_EQ(lines[3].rfind("System UpTime: ", 0), 0u) << lines[3];
  lines[2] = kBoxLines[2];
  lines[3] = kBoxLines[3];
  EXPECT_EQ(lines, kBoxLines);
  EXPECT_EQ(program.Err(), "");
}

}  // namespace
}  // namespace kestrun
