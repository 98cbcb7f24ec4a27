// Copy-mode runs with no driver, controller or window behind them: the run alone, a recording window,
// a settings value, and a source folder, a local folder and a store of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Cancellation.h"
#include "registry/RegUtilities.h"
#include "support/RecordingRunWindow.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "update/UpdateRun.h"
#include "util/FileSystemObject.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Names = std::set<std::string>;
using update::RunSettings;
const std::string kDate = "2024-03-01 08.00.00";
const std::string kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun";

// Runs a test's hook at every pending-message pass: the one point where a user acts during a run.
struct HookedWindowSystem : testing::ScriptedWindowSystem {
  std::function<void()> hook;
  void DoEvents() override {
    ScriptedWindowSystem::DoEvents();
    if (hook) hook();
  }
};

class CopyRunTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetCancel(); }
  void TearDown() override {
    ws.hook = nullptr;
    platform::ResetCancel();
  }

  // A fresh run over the given packages; `recorded` is the store's LatestUpdate ("" for none).
  RunSettings& Start(const std::string& recorded, const std::vector<std::string>& there, const std::vector<std::string>& here) {
    TearDown();
    fs::remove_all(sandbox.Root() / "source");
    fs::remove_all(local);
    fs::remove(sandbox.RegistryFile());
    sandbox.Folder("source");
    sandbox.Folder("local");
    for (const auto& name : there) sandbox.WriteFile("source/" + name, "new " + name);
    for (const auto& name : here) sandbox.WriteFile("local/" + name, "old " + name);
    if (!recorded.empty()) {
      RegUtilities().SetKeyValue(kKey, "LatestUpdate", recorded);
      RegUtilities().SetKeyValue(kKey, "LatestUpdateDate", kDate);
    }
    ws.boxes.clear();
    SetUp();
    window = std::make_unique<testing::RecordingRunWindow>();
    run = std::make_unique<update::UpdateRun>(*window);
    settings = RunSettings();
    settings.HowToCopy = 1;
    settings.RemotePath = source.string();
    settings.FileMask = "sdat*.exe";
    settings.LocalPath = local.string();  // the run adds the separator
    settings.SDATsToKeep = 10;
    settings.RegistryKey = kKey;
    run->Bind(&settings, CreateFileSystemObject());
    return settings;
  }
  Lines Run() {
    run->GetUpdates();
    return window->Lines();
  }
  static std::string Recorded() { return RegUtilities().GetKeyValue(kKey, "LatestUpdate", ""); }
  Names LocalNames() const {
    Names names;
    for (const auto& entry : fs::directory_iterator(local)) names.insert(entry.path().filename().string());
    return names;
  }
  std::string CopyLine(const fs::path& from, const std::string& name) const {
    return "copy " + (from / name).string() + " " + local.string() + "/" + name;
  }

  testing::Sandbox sandbox;
  HookedWindowSystem ws;
  const fs::path source = sandbox.Root() / "source";
  const fs::path alternate = sandbox.Root() / "alternate";
  const fs::path local = sandbox.Root() / "local";
  RunSettings settings;
  std::unique_ptr<testing::RecordingRunWindow> window;
  std::unique_ptr<update::UpdateRun> run;
};

TEST_F(CopyRunTest, WholeRuns) {
  const std::string none = "Latest download on this PC:  ()";
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
  const Row rows[] = {
      {"only above the recorded name", "SDAT4300.EXE", {"sdat4299.exe", "sdat4300.exe", "sdat4301.exe"}, {"sdat4300.exe"},
       {h4300, "C sdat4301.exe", "sdat4301.exe copied!", prune, "Finished"}, {"sdat4300.exe", "sdat4301.exe"}, "SDAT4301.EXE"},
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
       {none, "C sdat4301.exe", "sdat4301.exe copied!", prune, "Finished"}, {"sdat4301.exe"}, "SDAT4301.EXE",
       [](RunSettings& am) { am.NewFileName = "SDAT4301.EXE"; }},
      {"the alternate after a missing primary", "", {}, {},
       {none, "Folder " + gone + " does not exist!", " ", none, "A sdat4301.exe", "sdat4301.exe copied!", prune, "Finished"},
       {"sdat4301.exe"}, "SDAT4301.EXE",
       [&](RunSettings& am) { am.RemotePath = gone, am.AltRemotePath = alternate.string(); }},
      {"no alternate after a good primary", "", {}, {}, {none, prune, "Finished"}, {}, "",
       [&](RunSettings& am) { am.AltRemotePath = alternate.string(); }},
      {"a missing primary alone", "", {}, {}, {none, "Folder " + gone + " does not exist!", prune, "Finished"}, {}, "",
       [&](RunSettings& am) { am.RemotePath = gone; }, true},
      {"five pruned to two, smallest names first", "", {}, {"sdat4299.exe", "sdat4301.exe", "sdat4297.exe", "sdat4300.exe", "sdat4298.exe", "setup.exe"},
       {none, prune, "sdat4297.exe removed", "sdat4298.exe removed", "sdat4299.exe removed", "Finished"},
       {"sdat4300.exe", "sdat4301.exe", "setup.exe"}, "", [](RunSettings& am) { am.SDATsToKeep = 2; }},
      // Pruning ranks as the retrievals do, by the upper-cased name; names equal but for case by the name.
      {"pruned by the upper-cased name", "", {}, {"sdat4300.exe", "sdat4299.exe", "SDAT4300.EXE"},
       {none, prune, "sdat4299.exe removed", "SDAT4300.EXE removed", "Finished"}, {"sdat4300.exe"}, "",
       [](RunSettings& am) { am.SDATsToKeep = 1; }},
      // Whatever order the folder gives (here that of creation), the newest is copied, recorded and renamed last.
      {"copied in ascending rank", "", {"sdat4301.exe", "sdat4297.exe", "SDAT4302.EXE", "sdat4299.exe"}, {},
       {none, "C sdat4297.exe", "sdat4297.exe copied!", "sdat4297.exe renamed to setup.exe", "C sdat4299.exe",
        "sdat4299.exe copied!", "sdat4299.exe renamed to setup.exe", "C sdat4301.exe", "sdat4301.exe copied!",
        "sdat4301.exe renamed to setup.exe", "C SDAT4302.EXE", "SDAT4302.EXE copied!", "SDAT4302.EXE renamed to setup.exe",
        prune, "Finished"},
       {"setup.exe"}, "SDAT4302.EXE", [](RunSettings& am) { am.NewFileName = "setup.exe"; }},
      {"a negative count keeps none", "", {}, {"sdat1.exe", "sdat2.exe"},
       {none, prune, "sdat1.exe removed", "sdat2.exe removed", "Finished"}, {}, "", [](RunSettings& am) { am.SDATsToKeep = -5; }},
      {"an unknown method still prunes", "", {"sdat4301.exe"}, {"sdat1.exe", "sdat2.exe", "sdat3.exe"},
       {prune, "sdat1.exe removed", "Finished"}, {"sdat2.exe", "sdat3.exe"}, "",
       [](RunSettings& am) { am.HowToCopy = 2, am.SDATsToKeep = 2; }, true, 1},
      {"a long name beyond what the store takes", "", {longName}, {},
       {none, "C " + longName, longName + " copied!", prune, "Finished"}, {longName}, "", nullptr, false, 1},
      // A line break, and the terminal's C1 escape U+009B.
      {"names forging log lines", "", {"sdat1\nFinished.exe", "sdat2\xc2\x9b" "2J.exe"}, {},
       {none, "Skipping a file whose name holds control characters", "Skipping a file whose name holds control characters",
        prune, "Finished"},
       {}, ""},
  };
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
      if (line.rfind("Folder ", 0) == 0 || line.rfind("Skipping ", 0) == 0) {
        EXPECT_EQ(window->ColorOf(line), platform::ColorRed);
      }
    }
    EXPECT_EQ(LocalNames(), row.after);
    std::string renamed;  // the package the fixed name holds: the last one renamed
    const std::string to = " renamed to setup.exe";
    for (const auto& line : expected) {
      if (line.size() > to.size() && line.compare(line.size() - to.size(), to.size(), to) == 0) renamed = line.substr(0, line.size() - to.size());
    }
    for (const auto& name : row.after) {
      const bool old = std::find(row.here.begin(), row.here.end(), name) != row.here.end();
      EXPECT_EQ(testing::Sandbox::ReadFile(local / name), old ? "old " + name : "new " + (name == "setup.exe" ? renamed : name));
    }
    EXPECT_EQ(Recorded(), row.recordedAfter);
    EXPECT_EQ(am.LastSourceFailed, row.failed);
    EXPECT_EQ(ws.boxes.size(), row.boxes);
  }
}

// A copy that fails is reported and leaves nothing half-written; the alternate folder is tried.
TEST_F(CopyRunTest, AFailedCopyLeavesNothingAndTriesTheAlternate) {
  sandbox.WriteFile("alternate/sdat4301.exe", "from the alternate");
  RunSettings& am = Start("", {"sdat4301.exe"}, {});
  am.AltRemotePath = alternate.string();
  // The package vanishes between the listing and its copy (a share going away): fails for root too.
  ws.hook = [&] {
    if (window->LastLine().rfind("copy " + source.string(), 0) == 0) fs::remove(source / "sdat4301.exe");
  };
  EXPECT_EQ(Run(), (Lines{"Latest download on this PC:  ()", CopyLine(source, "sdat4301.exe"), " ",
                          "Latest download on this PC:  ()", CopyLine(alternate, "sdat4301.exe"), "sdat4301.exe copied!",
                          "Removing old SDATs...", "Finished"}));
  ASSERT_EQ(ws.boxes.size(), 1u);
  EXPECT_NE(ws.boxes[0].prompt.find(".frmMain.GetUpdatesCopy: 53, "), std::string::npos) << ws.boxes[0].prompt;
  EXPECT_EQ(LocalNames(), Names{"sdat4301.exe"});
  EXPECT_EQ(testing::Sandbox::ReadFile(local / "sdat4301.exe"), "from the alternate");
  EXPECT_FALSE(am.LastSourceFailed);

  // A local folder that is missing, or a file: reported, nothing recorded, the run still ends.
  for (const fs::path& target : {sandbox.Root() / "nowhere", sandbox.WriteFile("plain", "x")}) {
    RunSettings& again = Start("", {"sdat4301.exe"}, {});
    again.LocalPath = target.string();
    EXPECT_EQ(Run().back(), "Finished");
    EXPECT_EQ(ws.boxes.size(), 1u);
    EXPECT_EQ(Recorded(), "");
    EXPECT_TRUE(again.LastSourceFailed);
  }
}

TEST_F(CopyRunTest, APackageThatCannotBeDeletedIsReportedAndThePruningGoesOn) {
  RunSettings& am = Start("", {}, {"sdat1.exe", "sdat2.exe", "sdat3.exe", "sdat4.exe"});
  am.SDATsToKeep = 1;
  ws.hook = [&] {  // another process takes the second package away before its turn
    if (window->LastLine() == "sdat1.exe removed") fs::remove(local / "sdat2.exe");
  };
  EXPECT_EQ(Run(), (Lines{"Latest download on this PC:  ()", "Removing old SDATs...", "sdat1.exe removed",
                          "Unable to remove sdat2.exe", "sdat3.exe removed", "Finished"}));
  EXPECT_EQ(window->ColorOf("Unable to remove sdat2.exe"), platform::ColorRed);
  EXPECT_EQ(LocalNames(), Names{"sdat4.exe"});
}

TEST_F(CopyRunTest, ClosingTheWindowStopsTheRunAtItsNextStep) {
  struct Case {
    const char* what;
    std::string closeAfter;  // the start of the log line after which the user closes the window
    std::size_t copied;
  };
  for (const Case& c : {Case{"during the scan", "Latest download", 0}, Case{"as a copy is announced", "copy ", 0},
                        Case{"after the first copy", "sdat", 1}}) {
    SCOPED_TRACE(c.what);
    RunSettings& am = Start("", {"sdat1.exe", "sdat2.exe"}, {});
    ws.hook = [&] {
      if (window->LastLine().rfind(c.closeAfter, 0) == 0) window->stopped = true;
    };
    const Lines lines = Run();
    EXPECT_EQ(LocalNames().size(), c.copied);
    EXPECT_EQ(Recorded().empty(), c.copied == 0);
    EXPECT_NE(lines.back(), "Finished");
    EXPECT_TRUE(am.LastSourceFailed);
  }
}

}  // namespace
}  // namespace kestrun
