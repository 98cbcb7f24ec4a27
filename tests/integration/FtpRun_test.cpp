// Whole FTP-mode runs with the real client against the test FTP server on 127.0.0.1, which misbehaves on
// request; and what the controller adds to a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "app/AppMain.h"
#include "app/Application.h"
#include "support/FolderNames.h"
#include "support/FtpServer.h"
#include "support/HeadlessMainView.h"
#include "support/UpdateRunFixture.h"
#include "ui/frmMain.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using testing::FtpServer;
using testing::FtpServerOptions;
using Lines = std::vector<std::string>;
using Names = std::set<std::string>;
using Clock = std::chrono::steady_clock;

std::string Package(const std::string& name) {
  return "MZ" + testing::RandomBytes(256 * 1024, static_cast<unsigned>(std::hash<std::string>()(name)));
}

class FtpRunTest : public testing::UpdateRunFixture {
 protected:
  void SetUp() override { KESTRUN_REQUIRE_FTP_SERVER(); }
  void TearDown() override {
    UpdateRunFixture::TearDown();
    ::unsetenv("KESTRUN_FTP_STALL_TIMEOUT");
    ::unsetenv("KESTRUN_FTP_CONNECT_TIMEOUT");
  }

  // A fresh run whose client gives up after `stall` seconds without data: `listed` are served in pub/
  // and listed in this order, `here` are in the local folder, `recorded` is the store's LatestUpdate.
  update::RunSettings& Start(FtpServerOptions options, const std::string& recorded, const Lines& listed,
                             const Lines& here, const char* stall = "2") {
    server.reset();
    fs::remove_all(sandbox.Root() / "served");
    sandbox.Folder("served/pub");
    std::string listing;
    for (const std::string& name : listed) {
      sandbox.WriteFile("served/pub/" + name, Package(name));
      listing += name + "\r\n";
    }
    // Listed in a known order; the folder's own order is whatever the file system gives.
    if (options.manyNames == 0) options.listingFile = sandbox.WriteFile("listing.txt", listing);
    options.root = sandbox.Root() / "served";
    server = std::make_unique<FtpServer>(options);
    ::setenv("KESTRUN_FTP_STALL_TIMEOUT", stall, 1);
    ::setenv("KESTRUN_FTP_CONNECT_TIMEOUT", "5", 1);
    Begin(recorded, here);
    settings.HowToCopy = 0, settings.HostName = server->HostName(), settings.RemotePath = "pub";
    return settings;
  }
  // Runs and compares the lines. The red line after a failure line, which tells why, is "why: " and the
  // reason, or "why: *" where `expected` says so.
  void ExpectRun(const Lines& expected) {
    Run();
    Lines lines;
    for (const auto& line : window->log) {
      const std::string& last = lines.empty() ? line.text : lines.back();
      if (last == "Unable to connect!" || last == "Unable to Disconnect!" || last.starts_with("Failed to get ")) {
        EXPECT_EQ(line.color, platform::ColorRed) << line.text;
        const bool any = lines.size() < expected.size() && expected[lines.size()] == "why: *";
        lines.push_back(any ? "why: *" : "why: " + line.text);
      } else {
        lines.push_back(line.text);
      }
    }
    EXPECT_EQ(lines, expected);
  }
  Lines Header(const std::string& recorded) const {
    return {"Latest download on this PC: " + recorded + " (" + kDate + ")", "Connecting to " + server->HostName(),
            "cd pub", "Get file list"};
  }
  std::string Get(const std::string& name) const { return "Get " + name + " " + local.string() + "/" + name; }
  // The local folder holds `after`: each package fetched the served bytes exactly, each other what it held.
  void ExpectLocal(const Names& after) const {
    EXPECT_EQ(testing::NamesIn(local), after) << "no temporary file stays";
    const Lines lines = window->Lines();
    for (const auto& name : after) {
      if (fs::is_directory(local / name)) continue;
      const bool fetched = std::find(lines.begin(), lines.end(), name + " copied!") != lines.end();
      EXPECT_TRUE(testing::Sandbox::ReadFile(local / name) == (fetched ? Package(name) : "old " + name)) << name;
    }
  }

  std::unique_ptr<FtpServer> server;
};

// The controller shows the run's status texts, and a window closed during a run stops it and abandons
// the transfer under way.
TEST(FtpRunController, ShowsStatusTextsAndAClosedWindowStopsTheRun) {
  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
  Application app("");
  frmMain& frm = app.AM().frm();
  frm.UpdateStatusBar("Getting the file list");
  EXPECT_EQ(testing::HeadlessMainView::Of(frm).StatusText(), "Getting the file list");
  EXPECT_FALSE(frm.RunStopped());
  frm.Form_Unload();
  EXPECT_TRUE(frm.RunStopped());
  EXPECT_TRUE(platform::CancelRequested());
  platform::ResetCancel();
  frm.SetCloseDelay(std::chrono::milliseconds(0));
  app.Terminate();
}

// However a transfer breaks off, neither the package nor a temporary file stays and nothing is recorded
// for it. A server that failed one transfer may still serve the next; a dead server or a closed window
// is noticed at once, not after the stall time-out, and a closed window ends the run without trying
// further packages or the alternate.
TEST_F(FtpRunTest, TransferBrokenOff) {
  enum Act { Wait, KillServer, CloseWindow };
  const Lines next = {Get("sdat3.exe"), "sdat3.exe copied!", "Disconnect", "Removing old SDATs...", "Finished"};
  const std::string refused = "why: Connection refused";
  struct Row {
    const char* fault;  // a drop mode of the server, or "stall"
    Act act;
    Lines lines;  // after the download line of sdat2.exe and the failure's reason
    Names after;
    std::string recordedAfter;
    std::string why = "why: *";
    bool refuseSize = false;
  };
  // clang-format off
  const Row rows[] = {
      {"426", Wait, next, {"sdat1.exe", "sdat3.exe"}, "SDAT3.EXE"},
      {"226", Wait, next, {"sdat1.exe", "sdat3.exe"}, "SDAT3.EXE"},  // cut short, yet reported complete
      // The same where SIZE is refused: the opening reply's byte count tells.
      {"226", Wait, next, {"sdat1.exe", "sdat3.exe"}, "SDAT3.EXE", "why: Download of sdat2.exe incomplete: 131073 of 262146 bytes", true},
      {"reset", Wait, next, {"sdat1.exe", "sdat3.exe"}, "SDAT3.EXE"},
      {"close", Wait, next, {"sdat1.exe", "sdat3.exe"}, "SDAT3.EXE"},  // no reply at all
      {"stall", Wait, next, {"sdat1.exe", "sdat3.exe"}, "SDAT3.EXE", "why: nothing received for 2 s"},
      {"stall", KillServer,
       {Get("sdat3.exe"), "Failed to get sdat3.exe!", refused, "Disconnect", "Unable to Disconnect!", refused, " ",
        "Latest download on this PC: SDAT1.EXE (" + kDate + ")", "HOST", "Unable to connect!", refused, "Removing old SDATs...",
        "Finished"},
       {"sdat1.exe"}, "SDAT1.EXE"},
      {"stall", CloseWindow, {}, {"sdat1.exe"}, "SDAT1.EXE"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.fault) + ", act " + std::to_string(row.act) + (row.refuseSize ? ", no SIZE" : ""));
    FtpServerOptions options;
    options.refuseSize = row.refuseSize;
    if (row.fault == std::string("stall")) {
      options.stallFile = "sdat2.exe", options.stallAfter = 100000;
    } else {
      options.dropFile = "sdat2.exe", options.dropMode = row.fault;
    }
    auto& am = Start(options, "SDAT1.EXE", {"sdat2.exe", "sdat3.exe"}, {"sdat1.exe"}, row.act == Wait ? "2" : "30");
    if (row.act != Wait) am.AltHostName = am.HostName, am.AltRemotePath = "pub";
    bool acted = false;
    ws.onDoEvents = [&] {
      if (row.act == Wait || acted || window->progress <= 0) return;
      acted = true;
      if (row.act == CloseWindow) {
        platform::RequestCancel();  // as the closed window asks
      } else {
        server->Kill();
      }
    };
    Lines expected = Header("SDAT1.EXE");
    expected.push_back(Get("sdat2.exe"));
    if (row.act != CloseWindow) expected.insert(expected.end(), {"Failed to get sdat2.exe!", row.why});
    for (const auto& line : row.lines)
      expected.push_back(line == "HOST" ? "Connecting to " + server->HostName() : line);
    const auto start = Clock::now();
    ExpectRun(expected);
    const auto elapsed = Clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(row.act == Wait ? 10 : 5));
    if (row.fault == std::string("stall") && row.act == Wait) {
      EXPECT_GE(elapsed, std::chrono::milliseconds(1500)) << "the stall time-out, not less";
    }
    EXPECT_EQ(row.act == Wait, !acted);
    ExpectLocal(row.after);
    EXPECT_EQ(Recorded(), row.recordedAfter);
    EXPECT_TRUE(am.LastSourceFailed);
  }
}

// A listing of a great many names is streamed by the client and split by the run in one pass.
TEST_F(FtpRunTest, HugeListing) {
  FtpServerOptions many;
  many.manyNames = 200000;
  auto& am = Start(many, "FILE9999999.DAT", {}, {"file9999999.dat"});
  am.FileMask = "*.dat";
  const auto start = Clock::now();
  const Lines lines = Run();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
  ASSERT_EQ(lines.size(), 4u + 200000u + 3u);
  EXPECT_EQ(lines[4], "Old SDAT: file0000000.dat Skipping!");
  EXPECT_EQ(lines[4 + 199999], "Old SDAT: file0199999.dat Skipping!");
  EXPECT_FALSE(am.LastSourceFailed);
}

}  // namespace
}  // namespace kestrun
