// Update runs alone (support/UpdateRunFixture.h): copy runs over a source folder, and FTP runs with a
// scripted client.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/FtpClient.h"
#include "support/FolderNames.h"
#include "support/UpdateRunFixture.h"
#include "util/RuntimeError.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Names = std::set<std::string>;
using testing::Sandbox;
using update::RunSettings;
const std::string kNone = "Latest download on this PC:  ()";

// Answers every request from its script; a download writes the name as the file's content. It passes
// on whatever names it is given, as a careless client would.
class ScriptedFtpClient final : public platform::FtpClient {
 public:
  std::vector<std::string> names, skipped;  // listed; reported skipped, as the client words them
  int16_t disconnect = 0;
  std::string throwOn;  // a download that raises a runtime error (53, file not found)

  void SetEvents(platform::FtpClientEvents* events) override { events_ = events; }
  void SetRemotePort(int) override {}
  void SetUserName(const std::string&) override {}
  void SetHostName(const std::string&) override {}
  void SetPassiveMode(bool) override {}
  void SetTransferType(int16_t) override {}
  void SetConnectTimeout(std::chrono::milliseconds) override {}
  void SetStallTimeout(std::chrono::milliseconds) override {}
  void SetFlushToDisk(bool) override {}
  int16_t Connect() override { return 0; }
  int16_t ChangeDirectory(const std::string&) override { return 0; }
  int16_t GetFileList(const std::string&, bool) override {
    events_->FtpClient_Status("Getting the file list");
    for (const auto& text : skipped) events_->FtpClient_NameSkipped(text);
    for (const auto& name : names) events_->FtpClient_FileList(name);
    return 0;
  }
  int16_t GetFile(const std::string& localFile, const std::string& remoteName) override {
    if (remoteName == throwOn) Raise(err::FileNotFound);
    events_->FtpClient_Progress(100);
    std::ofstream(localFile, std::ios::binary) << remoteName;
    return 0;
  }
  int16_t Disconnect() override { return disconnect; }
  std::string LastError() const override { return "421 Service not available"; }

 private:
  platform::FtpClientEvents* events_ = nullptr;
};

class UpdateRunTest : public testing::UpdateRunFixture {
 protected:
  // A fresh copy-mode run from the source folder, which holds `there` (each holding "new " and its name).
  RunSettings& Start(const std::string& recorded, const std::vector<std::string>& there,
                     const std::vector<std::string>& here) {
    fs::remove_all(source);
    sandbox.Folder("source");
    for (const auto& name : there) sandbox.WriteFile("source/" + name, "new " + name);
    Begin(recorded, here);
    settings.HowToCopy = 1, settings.RemotePath = source.string();
    return settings;
  }
  // The same over FTP, with the scripted client in place of the real one.
  ScriptedFtpClient& StartFtp() {
    Begin("", {});
    settings.HowToCopy = 0, settings.HostName = "primary", settings.RemotePath = "/pub";
    auto client = std::make_unique<ScriptedFtpClient>();
    ScriptedFtpClient& scripted = *client;
    run->Ftp().SetFtpClient(std::move(client));
    return scripted;
  }
  std::string CopyLine(const fs::path& from, const std::string& name) const {
    return "copy " + (from / name).string() + " " + local.string() + "/" + name;
  }

  const fs::path source = sandbox.Root() / "source", alternate = sandbox.Root() / "alternate";
};

TEST_F(UpdateRunTest, WholeCopyRuns) {
  const std::string h4300 = "Latest download on this PC: SDAT4300.EXE (" + kDate + ")";
  const std::string h1000 = "Latest download on this PC: SDAT1000.EXE (" + kDate + ")";
  const std::string prune = "Removing old SDATs...";
  const std::string longName = "sdat-\xc3\xa9t\xc3\xa9-" + std::string(240, '7') + ".exe";  // 255 bytes, not ASCII
  const std::string gone = (sandbox.Root() / "gone").string();
  sandbox.WriteFile("alternate/sdat4301.exe", "new sdat4301.exe");
  // Lines starting "C " or "A " stand for the copy line of that package from the source or the alternate.
  struct Row {
    const char* what;
    std::string recorded;
    std::vector<std::string> there, here;
    Lines lines;
    Names after;
    std::string recordedAfter;
    std::function<void(RunSettings&)> adjust = nullptr;
    bool failed = false;
    std::size_t boxes = 0;
  };
  // clang-format off
  const Row rows[] = {
      {"by characters, not numbers", "SDAT1000.EXE", {"sdat999.exe"}, {"sdat1000.exe"},
       {h1000, "C sdat999.exe", "sdat999.exe copied!", prune, "Finished"}, {"sdat1000.exe", "sdat999.exe"}, "SDAT999.EXE"},
      {"a newer package already here", "SDAT4300.EXE", {"sdat4301.exe"}, {"sdat4300.exe", "SDAT4301.EXE"},
       {h4300, prune, "Finished"}, {"sdat4300.exe", "SDAT4301.EXE"}, "SDAT4300.EXE"},
      {"a vanished record is fetched again", "SDAT4300.EXE", {"sdat4300.exe"}, {},
       {h4300, "Latest local file missing, reload if found!", "C sdat4300.exe", "sdat4300.exe copied!", prune, "Finished"},
       {"sdat4300.exe"}, "SDAT4300.EXE"},
      {"a rename target holds the record", "SDAT4300.EXE", {"sdat4300.exe", "sdat4301.exe"}, {},
       {h4300, "C sdat4301.exe", "sdat4301.exe copied!", "sdat4301.exe renamed to setup.exe", prune, "Finished"},
       {"setup.exe"}, "SDAT4301.EXE", [](RunSettings& am) { am.NewFileName = "setup.exe"; }},
      {"a rename target naming the package itself", "", {"sdat4301.exe"}, {},
       {kNone, "C sdat4301.exe", "sdat4301.exe copied!", prune, "Finished"}, {"sdat4301.exe"}, "SDAT4301.EXE",
       [](RunSettings& am) { am.NewFileName = "SDAT4301.EXE"; }},
      {"the alternate after a missing primary", "", {}, {},
       {kNone, "Folder " + gone + " does not exist!", " ", kNone, "A sdat4301.exe", "sdat4301.exe copied!", prune, "Finished"},
       {"sdat4301.exe"}, "SDAT4301.EXE", [&](RunSettings& am) { am.RemotePath = gone, am.AltRemotePath = alternate.string(); }},
      {"no alternate after a good primary", "", {}, {}, {kNone, prune, "Finished"}, {}, "",
       [&](RunSettings& am) { am.AltRemotePath = alternate.string(); }},
      {"five pruned to two, smallest names first", "", {}, {"sdat4299.exe", "sdat4301.exe", "sdat4297.exe", "sdat4300.exe", "sdat4298.exe", "setup.exe"},
       {kNone, prune, "sdat4297.exe removed", "sdat4298.exe removed", "sdat4299.exe removed", "Finished"},
       {"sdat4300.exe", "sdat4301.exe", "setup.exe"}, "", [](RunSettings& am) { am.SDATsToKeep = 2; }},
      // Pruning ranks as the retrievals do, by the upper-cased name; names equal but for case by the name.
      {"pruned by the upper-cased name", "", {}, {"sdat4300.exe", "sdat4299.exe", "SDAT4300.EXE"},
       {kNone, prune, "sdat4299.exe removed", "SDAT4300.EXE removed", "Finished"}, {"sdat4300.exe"}, "",
       [](RunSettings& am) { am.SDATsToKeep = 1; }},
      // Whatever order the folder gives (here that of creation), the newest is copied, recorded and renamed last.
      {"copied in ascending rank", "", {"sdat4301.exe", "sdat4297.exe", "SDAT4302.EXE", "sdat4299.exe"}, {},
       {kNone, "C sdat4297.exe", "sdat4297.exe copied!", "sdat4297.exe renamed to setup.exe", "C sdat4299.exe",
        "sdat4299.exe copied!", "sdat4299.exe renamed to setup.exe", "C sdat4301.exe", "sdat4301.exe copied!",
        "sdat4301.exe renamed to setup.exe", "C SDAT4302.EXE", "SDAT4302.EXE copied!", "SDAT4302.EXE renamed to setup.exe",
        prune, "Finished"},
       {"setup.exe"}, "SDAT4302.EXE", [](RunSettings& am) { am.NewFileName = "setup.exe"; }},
      {"a negative count keeps none", "", {}, {"sdat1.exe", "sdat2.exe"},
       {kNone, prune, "sdat1.exe removed", "sdat2.exe removed", "Finished"}, {}, "", [](RunSettings& am) { am.SDATsToKeep = -5; }},
      {"an unknown method still prunes", "", {"sdat4301.exe"}, {"sdat1.exe", "sdat2.exe", "sdat3.exe"},
       {prune, "sdat1.exe removed", "Finished"}, {"sdat2.exe", "sdat3.exe"}, "",
       [](RunSettings& am) { am.HowToCopy = 2, am.SDATsToKeep = 2; }, true, 1},
      {"a long name beyond what the store takes", "", {longName}, {},
       {kNone, "C " + longName, longName + " copied!", prune, "Finished"}, {longName}, "", nullptr, false, 1},
      // A line break, and the terminal's C1 escape U+009B.
      {"names forging log lines", "", {"sdat1\nFinished.exe", "sdat2\xc2\x9b" "2J.exe"}, {},
       {kNone, "Skipping a file whose name holds control characters", "Skipping a file whose name holds control characters",
        prune, "Finished"},
       {}, ""},
  };
  // clang-format on
  ASSERT_EQ(longName.size(), 255u);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    RunSettings& am = Start(row.recorded, row.there, row.here);
    if (row.adjust) row.adjust(am);
    Lines expected = row.lines;
    for (auto& line : expected) {
      if (line.rfind("C ", 0) == 0) line = CopyLine(source, line.substr(2));
      if (line.rfind("A ", 0) == 0) line = CopyLine(alternate, line.substr(2));
    }
    EXPECT_EQ(Run(), expected);
    for (const auto& line : expected) {
      if (line.starts_with("Folder ") || line.starts_with("Skipping ")) {
        EXPECT_EQ(window->ColorOf(line), platform::ColorRed);
      }
    }
    EXPECT_EQ(testing::NamesIn(local), row.after);
    std::string renamed;  // the package the fixed name holds: the last one renamed
    const std::string to = " renamed to setup.exe";
    for (const auto& line : expected) {
      if (line.ends_with(to)) renamed = line.substr(0, line.size() - to.size());
    }
    for (const auto& name : row.after) {
      const bool old = std::find(row.here.begin(), row.here.end(), name) != row.here.end();
      EXPECT_EQ(Sandbox::ReadFile(local / name), old ? "old " + name : "new " + (name == "setup.exe" ? renamed : name));
    }
    EXPECT_EQ(Recorded(), row.recordedAfter);
    EXPECT_EQ(am.LastSourceFailed, row.failed);
    EXPECT_EQ(ws.boxes.size(), row.boxes);
  }
}

// A copy that fails is reported and leaves nothing half-written; the alternate folder is tried. A local
// folder that is missing, or a file, is reported, nothing is recorded, and the run still ends.
TEST_F(UpdateRunTest, AFailedCopyLeavesNothingAndTriesTheAlternate) {
  sandbox.WriteFile("alternate/sdat4301.exe", "from the alternate");
  RunSettings& am = Start("", {"sdat4301.exe"}, {});
  am.AltRemotePath = alternate.string();
  // The package vanishes between the listing and its copy (a share going away): fails for root too.
  ws.onDoEvents = [&] {
    if (window->LastLine().rfind("copy " + source.string(), 0) == 0) fs::remove(source / "sdat4301.exe");
  };
  EXPECT_EQ(Run(), (Lines{kNone, CopyLine(source, "sdat4301.exe"), " ", kNone, CopyLine(alternate, "sdat4301.exe"),
                          "sdat4301.exe copied!", "Removing old SDATs...", "Finished"}));
  ASSERT_EQ(ws.boxes.size(), 1u);
  EXPECT_NE(ws.boxes[0].prompt.find(".frmMain.GetUpdatesCopy: 53, "), std::string::npos) << ws.boxes[0].prompt;
  EXPECT_EQ(testing::NamesIn(local), Names{"sdat4301.exe"});
  EXPECT_EQ(Sandbox::ReadFile(local / "sdat4301.exe"), "from the alternate");
  EXPECT_FALSE(am.LastSourceFailed);

  for (const fs::path& target : {sandbox.Root() / "nowhere", sandbox.WriteFile("plain", "x")}) {
    Start("", {"sdat4301.exe"}, {}).LocalPath = target.string();
    EXPECT_EQ(Run().back(), "Finished");
    EXPECT_EQ(ws.boxes.size(), 1u);
    EXPECT_EQ(Recorded(), "");
    EXPECT_TRUE(settings.LastSourceFailed);
  }
}

TEST_F(UpdateRunTest, APackageThatCannotBeDeletedIsReportedAndThePruningGoesOn) {
  Start("", {}, {"sdat1.exe", "sdat2.exe", "sdat3.exe", "sdat4.exe"}).SDATsToKeep = 1;
  ws.onDoEvents = [&] {  // another process takes the second package away before its turn
    if (window->LastLine() == "sdat1.exe removed") fs::remove(local / "sdat2.exe");
  };
  EXPECT_EQ(Run(), (Lines{kNone, "Removing old SDATs...", "sdat1.exe removed", "Unable to remove sdat2.exe",
                          "sdat3.exe removed", "Finished"}));
  EXPECT_EQ(window->ColorOf("Unable to remove sdat2.exe"), platform::ColorRed);
  EXPECT_EQ(testing::NamesIn(local), Names{"sdat4.exe"});
}

// A closed window stops the run at its next step. A package that arrives just as the run is stopped is
// not kept: nothing is recorded for it, and the next run must fetch it again rather than take it for done.
TEST_F(UpdateRunTest, AStopEndsTheRunAtItsNextStepAndKeepsNothingUnrecorded) {
  struct Case {
    const char* what;
    bool ftp;
    std::string stopAfter;  // the start of the log line after which the user closes the window; "" on arrival
    std::size_t copied;
  };
  for (const Case& c :
       {Case{"during the scan", false, "Latest download", 0}, Case{"as a copy is announced", false, "copy ", 0},
        Case{"after the first copy", false, "sdat", 1}, Case{"as the first copy arrives", false, "", 0},
        Case{"as the first download arrives", true, "", 0}}) {
    SCOPED_TRACE(c.what);
    if (c.ftp) {
      StartFtp().names = {"sdat1.exe", "sdat2.exe"};
    } else {
      Start("", {"sdat1.exe", "sdat2.exe"}, {});
    }
    window->stopWhen = [&] {
      return c.stopAfter.empty() ? fs::exists(local / "sdat1.exe") : window->LastLine().rfind(c.stopAfter, 0) == 0;
    };
    EXPECT_NE(Run().back(), "Finished");
    EXPECT_EQ(testing::NamesIn(local).size(), c.copied);
    EXPECT_EQ(Recorded().empty(), c.copied == 0);
    EXPECT_TRUE(settings.LastSourceFailed);
  }
}

// The FTP retrieval's own decisions, on outcomes a real server gives only with difficulty: a failed
// goodbye, an error inside the run, a client that passes names on unchecked.
TEST_F(UpdateRunTest, FtpOutcomesOfTheCall) {
  const std::string get1 = "Get sdat1.exe " + local.string() + "/sdat1.exe";
  const Lines head = {kNone, "Connecting to primary", "cd /pub", "Get file list"};
  struct Row {
    const char* what;
    std::vector<std::string> names;
    int16_t disconnect;
    std::string throwOn;
    Lines lines;  // after `head`
    std::size_t boxes;
    bool failed;
    std::vector<std::string> skipped = {};
    bool renameFails = false;  // the fixed name is taken by a folder
  };
  // clang-format off
  const Row rows[] = {
      // Names the client would not use are reported in the log, since they tell of the server rather
      // than of the moment; a status text is not.
      {"a goodbye the server does not confirm", {"sdat1.exe"}, 7, "",
       {"Skipping unsafe name: ../x.exe", "Skipped 12 unsafe names in all", get1, "sdat1.exe copied!", "Disconnect",
        "Unable to Disconnect!", "421 Service not available", "Removing old SDATs...", "Finished"},
       0, true, {"Skipping unsafe name: ../x.exe", "Skipped 12 unsafe names in all"}},
      {"an error ends the call and the alternate is tried", {"sdat1.exe", "sdat2.exe"}, 0, "sdat1.exe",
       {get1, " ", kNone, "Connecting to alternate", "cd /pub", "Get file list", get1, "Removing old SDATs...", "Finished"},
       2, true},
      {"names no client should pass on", {"../sdat1.exe", "sdat\\x.exe", "..", "sdat\x1b.exe", "sdat2.exe"}, 0, "",
       {"Skipping unsafe name: ../sdat1.exe", "Skipping unsafe name: sdat\\\\x.exe", "Skipping unsafe name: ..",
        "Skipping unsafe name: sdat\\x1B.exe", "Get sdat2.exe " + local.string() + "/sdat2.exe", "sdat2.exe copied!",
        "Disconnect", "Removing old SDATs...", "Finished"},
       0, false},
      {"a failed rename ends the list", {"sdat1.exe", "sdat2.exe"}, 0, "",
       {get1, "sdat1.exe copied!", "Unable to copy sdat1.exe to setup.exe", "Removing old SDATs...", "Finished"}, 0, true, {},
       true},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ScriptedFtpClient& client = StartFtp();
    if (row.renameFails) settings.NewFileName = "setup.exe", fs::create_directory(local / "setup.exe");
    client.names = row.names, client.disconnect = row.disconnect, client.throwOn = row.throwOn,
    client.skipped = row.skipped;
    if (row.boxes) settings.AltHostName = "alternate", settings.AltRemotePath = "/pub";
    Lines expected = head;
    expected.insert(expected.end(), row.lines.begin(), row.lines.end());
    EXPECT_EQ(Run(), expected);
    EXPECT_EQ(settings.LastSourceFailed, row.failed);
    EXPECT_EQ(ws.boxes.size(), row.boxes);
    for (const auto& box : ws.boxes)
      EXPECT_NE(box.prompt.find(".frmMain.GetUpdatesFTP: 53, "), std::string::npos) << box.prompt;
    for (const auto& line : window->log) {
      if (line.text.starts_with("Skip") || line.text.starts_with("421 ")) {
        EXPECT_EQ(line.color, platform::ColorRed) << line.text;
      }
    }
    if (row.boxes == 0 && !row.renameFails) {  // the progress bar ends full and hidden, the status bar empty
      EXPECT_EQ(window->progress, 100.0f);
      EXPECT_FALSE(window->progressVisible);
      EXPECT_EQ(window->status, "");
    }
    for (const auto& name : testing::NamesIn(sandbox.Root())) EXPECT_NE(name.rfind("sdat", 0), 0u) << name;
  }
}

}  // namespace
}  // namespace kestrun
