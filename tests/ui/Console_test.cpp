// The console front end: answers from standard input, log lines on standard output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

#include "support/ScriptedWindowSystem.h"
#include "ui/console/ConsoleMainView.h"
#include "ui/console/ConsoleWindowSystem.h"
#include "ui/frmMain.h"

namespace kestrun {
namespace {

TEST(ConsoleInputBox, LinesAnswerEmptyLinesTakeTheDefaultEndOfInputCancels) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string typed = "typed\n\r\n\n  blanks kept  \r\nnäme\nlast line unended";
  ASSERT_EQ(::write(fds[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  ::close(fds[1]);
  std::ostringstream out, err;
  ui::ConsoleWindowSystem console(fds[0], out, err);
  const char* expected[] = {"typed", "default", "default", "  blanks kept  ", "näme", "last line unended", "", ""};
  for (const char* answer : expected) EXPECT_EQ(console.InputBox("Enter HostName", "Kestrun", "default"), answer);
  ::close(fds[0]);
  EXPECT_NE(err.str().find("Enter HostName [default]: "), std::string::npos);
  EXPECT_TRUE(out.str().empty()) << "prompts stay off the log's stream";
}

// Held until the window is shown, then written with only the line ends changed; the end does not wait.
TEST(ConsoleMainView, LogLinesGoToStandardOutputColouredOnlyOnATerminal) {
  struct Case {
    bool terminal;
    std::string expected;
  };
  for (const Case& c : {Case{false, "Kestrun V1.00.00\n \nplain\nfailed\nblue\n\ninner\nbreak\n"},
                        Case{true,
                             "Kestrun V1.00.00\n \nplain\n\x1b[31mfailed\x1b[0m\n\x1b[34mblue\x1b[0m\n\n"
                             "inner\nbreak\n"}}) {
    SCOPED_TRACE(c.terminal);
    testing::ScriptedWindowSystem ws;
    std::ostringstream out, err;
    frmMain form(std::make_unique<ui::ConsoleMainView>(out, err, c.terminal, false));
    form.SetCloseDelay(std::chrono::seconds(5));
    EXPECT_EQ(out.str(), "") << "nothing before the window is shown (never, for /?)";
    form.Show();
    form.AddText("plain\r\n\r\n");
    form.AddText("failed", platform::ColorRed);
    form.AddText("blue", platform::ColorBlue);
    form.AddText("");
    form.AddText("\r\n");
    form.AddText("inner\r\nbreak");
    const auto start = std::chrono::steady_clock::now();
    form.Terminate();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(form.View().IsOpen());
    EXPECT_EQ(out.str(), c.expected);
    EXPECT_TRUE(err.str().empty());
  }
}

TEST(ConsoleMainView, StatusAndProgressShowOnlyOnATerminal) {
  for (bool terminal : {false, true}) {
    SCOPED_TRACE(terminal);
    std::ostringstream out, err;
    ui::ConsoleMainView view(out, err, false, terminal);
    EXPECT_TRUE(view.SetStatusPanelText("Info", "Connecting to ftp.example.com"));
    view.SetProgressVisible(true);
    view.SetProgressValue(50);
    view.SetProgressVisible(false);
    EXPECT_EQ(err.str().find("Connecting") != std::string::npos, terminal);
    EXPECT_EQ(err.str().find("50%") != std::string::npos, terminal);
    EXPECT_TRUE(out.str().empty());
  }
}

}  // namespace
}  // namespace kestrun
