// Whole FTP-mode runs in-process against the test FTP server on 127.0.0.1: the driver and controller
// as a plain start builds them, the settings put straight into the controller, a served folder, a local
// folder and a store of the test's own. The server misbehaves on request.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/Cancellation.h"
#include "platform/FtpListing.h"
#include "registry/RegUtilities.h"
#include "support/FolderNames.h"
#include "support/FtpServer.h"
#include "support/HeadlessMainView.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "ui/frmMain.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using testing::FtpServer;
using testing::FtpServerOptions;
using Lines = std::vector<std::string>;
using Names = std::set<std::string>;
using Clock = std::chrono::steady_clock;
const std::string kDate = "2024-03-01 08.00.00";

std::string Package(const std::string& name) {
  std::mt19937 random(static_cast<unsigned>(std::hash<std::string>()(name)));
  std::string data(256 * 1024, '\0');
  for (char& c : data) c = static_cast<char>(random() & 0xff);
  return "MZ" + data;
}

class FtpRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KESTRUN_REQUIRE_FTP_SERVER();
    ::setenv("KESTRUN_FTP_STALL_TIMEOUT", "2", 1);
    ::setenv("KESTRUN_FTP_CONNECT_TIMEOUT", "5", 1);
    platform::ResetCancel();
  }
  void TearDown() override {
    Finish();
    ::unsetenv("KESTRUN_FTP_STALL_TIMEOUT");
    ::unsetenv("KESTRUN_FTP_CONNECT_TIMEOUT");
  }
  void Finish() {
    ws.onDoEvents = nullptr;
    if (app) app->Terminate();
    app.reset();
    server.reset();
    platform::ResetCancel();
  }

  // A fresh run: `listed` are served in pub/ and listed in this order, `here` are in the local folder,
  // `recorded` is the store's LatestUpdate ("" for none).
  AppMain& Start(FtpServerOptions options, const std::string& recorded, const std::vector<std::string>& listed,
                 const std::vector<std::string>& here) {
    Finish();
    for (const char* folder : {"served", "local"}) fs::remove_all(sandbox.Root() / folder);
    fs::remove(sandbox.RegistryFile());
    sandbox.Folder("served/pub");
    sandbox.Folder("local");
    std::string listing;
    for (std::string name : listed) {
      if (name.back() == '/') {  // a folder named like a package
        name.pop_back();
        sandbox.Folder("served/pub/" + name);
      } else if (platform::IsBareFileName(name)) {
        sandbox.WriteFile("served/pub/" + name, Package(name));
      }
      listing += name + "\r\n";
    }
    for (const auto& name : here) sandbox.WriteFile("local/" + name, "old " + name);
    // Listed in a known order; the folder's own order is whatever the file system gives.
    if (options.manyNames == 0) options.listingFile = sandbox.WriteFile("listing.txt", listing);
    options.root = sandbox.Root() / "served";
    server = std::make_unique<FtpServer>(options);
    if (!recorded.empty()) {
      RegUtilities().SetKeyValue(Application::AppRegKey(), "LatestUpdate", recorded);
      RegUtilities().SetKeyValue(Application::AppRegKey(), "LatestUpdateDate", kDate);
    }
    ws.boxes.clear();
    app = std::make_unique<Application>("");
    app->AM().frm().SetCloseDelay(std::chrono::milliseconds(0));
    AppMain& am = app->AM();
    am.HowToCopy = 0;
    am.HostName = server->HostName();
    am.RemotePath = "pub";
    am.FileMask = "sdat*.exe";
    am.LocalPath = local.string();  // the run adds the separator
    am.SDATsToKeep = 10;
    first_ = View().Log().size();
    outside_ = FilesOutsideLocal();
    return am;
  }
  // The run's lines; the date of a recorded download shows as "(...)", since it is the time of the run,
  // and the red line after a failure line, which tells why, as "why: " and the reason.
  Lines Run() {
    app->AM().CheckForUpdates();
    const std::string header = "Latest download on this PC: ";
    const auto& log = View().Log();
    Lines lines;
    for (std::size_t i = first_; i < log.size(); ++i) {
      std::string line = log[i].text.substr(0, log[i].text.size() - 2);
      if (line.rfind(header, 0) == 0 && line.size() > header.size() + 3 && line.back() == ')' &&
          line.find(" (" + kDate + ")") == std::string::npos && line.compare(line.size() - 3, 3, " ()") != 0)
        line = line.substr(0, line.rfind(" (")) + " (...)";
      if (!lines.empty() && IsFailureLine(lines.back())) {
        EXPECT_EQ(log[i].color, platform::ColorRed) << line;
        line = "why: " + line;
      }
      lines.push_back(line);
    }
    return lines;
  }
  static bool IsFailureLine(const std::string& line) {
    for (const char* failure : {"Unable to connect!", "Unable to change to the specified directory!",
                                "Unable to get directory listing!", "Unable to Disconnect!"})
      if (line == failure) return true;
    return line.rfind("Failed to get ", 0) == 0;
  }
  // As EXPECT_EQ, with "why: *" in `expected` standing for any reason.
  static void ExpectLines(Lines actual, const Lines& expected) {
    for (std::size_t i = 0; i < std::min(actual.size(), expected.size()); ++i) {
      if (expected[i] == "why: *" && actual[i].rfind("why: ", 0) == 0) actual[i] = expected[i];
    }
    EXPECT_EQ(actual, expected);
  }
  testing::HeadlessMainView& View() { return testing::HeadlessMainView::Of(app->AM().frm()); }
  static std::string Recorded() { return RegUtilities().GetKeyValue(Application::AppRegKey(), "LatestUpdate", ""); }
  Names LocalNames() const { return testing::NamesIn(local); }
  // Every file of the sandbox outside the local folder, the store excepted: a run writes none of them.
  Names FilesOutsideLocal() const {
    Names names;
    for (const auto& entry : fs::recursive_directory_iterator(sandbox.Root())) {
      const fs::path relative = fs::relative(entry.path(), sandbox.Root());
      if (*relative.begin() != "local" && relative.string().rfind("registry.reg", 0) != 0)
        names.insert(relative.string());
    }
    return names;
  }
  // Expands the shorthands of expected lines: "H name" the header of a retrieval with `name` recorded
  // before the run, "N name" the same with `name` recorded during this run, "G name" a download line.
  Lines Expand(const Lines& lines) const {
    Lines out;
    for (const auto& line : lines) {
      const std::string rest = line.size() > 2 ? line.substr(2) : std::string();
      if (line.rfind("H ", 0) == 0 || line.rfind("N ", 0) == 0) {
        const std::string date = line[0] == 'N' ? "..." : rest.empty() ? "" : kDate;
        out.push_back("Latest download on this PC: " + rest + " (" + date + ")");
        out.push_back("Connecting to " + server->HostName());
        out.push_back("cd pub");
        out.push_back("Get file list");
      } else if (line.rfind("G ", 0) == 0) {
        out.push_back("Get " + rest + " " + local.string() + "/" + rest);
      } else {
        out.push_back(line);
      }
    }
    return out;
  }
  // Each package fetched holds the served bytes exactly; each other one holds what it held.
  void ExpectContents(const Names& after, const Lines& lines) const {
    for (const auto& name : after) {
      if (fs::is_directory(local / name)) continue;
      const bool fetched = std::find(lines.begin(), lines.end(), name + " copied!") != lines.end();
      EXPECT_TRUE(testing::Sandbox::ReadFile(local / name) == (fetched ? Package(name) : "old " + name)) << name;
    }
  }

  testing::Sandbox sandbox;
  testing::ScriptedWindowSystem ws;
  const fs::path local = sandbox.Root() / "local";
  std::unique_ptr<FtpServer> server;
  std::unique_ptr<Application> app;
  Names outside_;

 private:
  std::size_t first_ = 0;
};

TEST_F(FtpRunTest, WholeRuns) {
  const std::string old = " Skipping!";
  const std::string prune = "Removing old SDATs...";
  const std::string skip = "Skipping unsafe name: ";
  FtpServerOptions deny;
  deny.deny = {"sdat1.exe"};
  struct Row {
    const char* what;
    FtpServerOptions options;
    std::string recorded;
    std::vector<std::string> listed, here;
    Lines lines;
    Names after;
    std::string recordedAfter;
    bool failed = false;
    std::function<void(AppMain&)> adjust = nullptr;
  };
  // clang-format off
  const Row rows[] = {
      // In ascending order of the upper-cased names, whatever order the server lists them in.
      {"nothing recorded: every listed package, even one already here", {}, "", {"sdat2.exe", "SDAT1.EXE"}, {"sdat2.exe"},
       {"H ", "G SDAT1.EXE", "SDAT1.EXE copied!", "G sdat2.exe", "sdat2.exe copied!", "Disconnect", prune, "Finished"},
       {"sdat2.exe", "SDAT1.EXE"}, "SDAT2.EXE"},
      {"an empty listing", {}, "", {}, {}, {"H ", "Disconnect", prune, "Finished"}, {}, ""},
      // A listing is the server's word only: names that could leave the local folder or garble the log
      // are skipped where the reader of the log sees it, and nothing lands outside the local folder.
      {"hostile names", {}, "",
       {"../sdat0.exe", "sdat/../../sdat0.exe", "/etc/sdat0.exe", "sdat..\\sdat0.exe", "sdat\x1b[2J.exe", "sdat\rFinished.exe",
        "sdat" + std::string(300, '9') + ".exe", "sdat1.exe"},
       {},
       {"H ", skip + "../sdat0.exe", skip + "sdat/../../sdat0.exe", skip + "/etc/sdat0.exe", skip + "sdat..\\\\sdat0.exe",
        skip + "sdat\\x1B[2J.exe", skip + "sdat\\rFinished.exe", skip + "sdat" + std::string(76, '9') + "...", "G sdat1.exe",
        "sdat1.exe copied!", "Disconnect", prune, "Finished"},
       {"sdat1.exe"}, "SDAT1.EXE", false,
       [&](AppMain&) { sandbox.WriteFile("served/sdat0.exe", "outside the remote folder"), outside_.insert("served/sdat0.exe"); }},
      {"the first of two fails: the second is fetched, and old on the alternate", deny, "", {"sdat1.exe", "sdat2.exe"}, {},
       {"H ", "G sdat1.exe", "Failed to get sdat1.exe!", "why: 550 Permission denied.", "G sdat2.exe", "sdat2.exe copied!",
        "Disconnect", " ", "N SDAT2.EXE",
        "Old SDAT: sdat1.exe" + old, "Old SDAT: sdat2.exe" + old, "Disconnect", prune, "Finished"},
       {"sdat2.exe"}, "SDAT2.EXE", false, [](AppMain& am) { am.AltHostName = am.HostName, am.AltRemotePath = "pub"; }},
      {"a failed rename ends the list", {}, "", {"sdat1.exe", "sdat2.exe"}, {},
       {"H ", "G sdat1.exe", "sdat1.exe copied!", "Unable to copy sdat1.exe to setup.exe", prune, "Finished"},
       {"sdat1.exe", "setup.exe"}, "SDAT1.EXE", true,
       [&](AppMain& am) { am.NewFileName = "setup.exe", fs::create_directory(local / "setup.exe"); }},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    AppMain& am = Start(row.options, row.recorded, row.listed, row.here);
    if (row.adjust) row.adjust(am);
    const Lines expected = Expand(row.lines);
    ExpectLines(Run(), expected);
    EXPECT_EQ(LocalNames(), row.after);
    ExpectContents(row.after, expected);
    EXPECT_EQ(Recorded(), row.recordedAfter);
    EXPECT_EQ(am.LastSourceFailed, row.failed);
    EXPECT_TRUE(ws.boxes.empty());
    EXPECT_EQ(FilesOutsideLocal(), outside_);
    EXPECT_EQ(View().StatusText(), "") << "the run's last status text reaches the window";
  }
}

// However a transfer breaks off, neither the package nor a temporary file stays and nothing is recorded
// for it. A server that failed one transfer may still serve the next; a dead server or a closed window
// is noticed at once, not after the stall time-out, and a closed window ends the run without trying
// further packages or the alternate.
TEST_F(FtpRunTest, TransferBrokenOff) {
  enum Act { Wait, KillServer, CloseWindow };
  const Lines next = {"G sdat3.exe", "sdat3.exe copied!", "Disconnect", "Removing old SDATs...", "Finished"};
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
       {"G sdat3.exe", "Failed to get sdat3.exe!", refused, "Disconnect", "Unable to Disconnect!", refused, " ",
        "Latest download on this PC: SDAT1.EXE (" + kDate + ")", "HOST", "Unable to connect!", refused, "Removing old SDATs...",
        "Finished"},
       {"sdat1.exe"}, "SDAT1.EXE"},
      {"stall", CloseWindow, {}, {"sdat1.exe"}, "SDAT1.EXE"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.fault) +
                 (row.act == KillServer    ? ", server killed"
                  : row.act == CloseWindow ? ", window closed"
                                           : "") +
                 (row.refuseSize ? ", SIZE refused" : ""));
    ::setenv("KESTRUN_FTP_STALL_TIMEOUT", row.act == Wait ? "2" : "30", 1);
    FtpServerOptions options;
    options.refuseSize = row.refuseSize;
    if (row.fault == std::string("stall")) {
      options.stallFile = "sdat2.exe", options.stallAfter = 100000;
    } else {
      options.dropFile = "sdat2.exe", options.dropMode = row.fault;
    }
    AppMain& am = Start(options, "SDAT1.EXE", {"sdat2.exe", "sdat3.exe"}, {"sdat1.exe"});
    if (row.act != Wait) am.AltHostName = am.HostName, am.AltRemotePath = "pub";
    bool acted = false;
    ws.onDoEvents = [&] {
      if (row.act == Wait || acted || View().ProgressValue() <= 0) return;
      acted = true;
      if (row.act == CloseWindow) {
        am.frm().Form_Unload();
      } else {
        server->Kill();
      }
    };
    Lines expected = Expand({"H SDAT1.EXE", "G sdat2.exe"});
    if (row.act != CloseWindow) expected.insert(expected.end(), {"Failed to get sdat2.exe!", row.why});
    for (const auto& line : Expand(row.lines))
      expected.push_back(line == "HOST" ? "Connecting to " + server->HostName() : line);
    const auto start = Clock::now();
    ExpectLines(Run(), expected);
    const auto elapsed = Clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(row.act == Wait ? 10 : 5));
    if (row.fault == std::string("stall") && row.act == Wait) {
      EXPECT_GE(elapsed, std::chrono::milliseconds(1500)) << "the stall time-out, not less";
    }
    EXPECT_EQ(row.act == Wait, !acted);
    EXPECT_EQ(LocalNames(), row.after) << "no temporary file stays";
    ExpectContents(row.after, expected);
    EXPECT_EQ(Recorded(), row.recordedAfter);
    EXPECT_TRUE(am.LastSourceFailed);
    EXPECT_EQ(FilesOutsideLocal(), outside_);
  }
}

// A listing of a great many names is split in one pass: time and memory grow with its length only.
TEST_F(FtpRunTest, HugeListing) {
  FtpServerOptions many;
  many.manyNames = 200000;
  AppMain& am = Start(many, "FILE9999999.DAT", {}, {"file9999999.dat"});
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
