// Copy-mode runs in-process: what is fetched, what is recorded, what the log says.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "update/UpdateFixture.h"
#include "util/Text.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class CopyRetrievalTest : public testing::UpdateRunTest {};

TEST_F(CopyRetrievalTest, OnlyNamesAboveTheRecordedOneAreFetched) {
  struct Case {
    const char* what;
    std::string recorded;           // LatestUpdate before the run ("" = nothing recorded)
    std::vector<std::string> here;  // local packages before the run
    std::vector<std::string> there;  // source packages
    std::vector<std::string> fetched;
    std::string recordedAfter;
  };
  const Case cases[] = {
      {"the threshold itself and below are old", "SDAT4300.EXE", {"sdat4300.exe"},
       {"sdat4299.exe", "sdat4300.exe", "sdat4301.exe"}, {"sdat4301.exe"}, "SDAT4301.EXE"},
      {"names rank by characters, not numbers", "SDAT1000.EXE", {"sdat1000.exe"}, {"sdat999.exe"},
       {"sdat999.exe"}, "SDAT999.EXE"},
      {"and so a longer number can be older", "SDAT999.EXE", {"sdat999.exe"}, {"sdat1000.exe"}, {}, "SDAT999.EXE"},
      {"a newer package already here is not fetched again", "SDAT4300.EXE", {"sdat4300.exe", "sdat4301.exe"},
       {"sdat4301.exe"}, {}, "SDAT4300.EXE"},
      {"a package here in another letter case counts as here", "SDAT4300.EXE", {"sdat4300.exe", "SDAT4301.EXE"},
       {"sdat4301.exe"}, {}, "SDAT4300.EXE"},
      {"the recorded name compares upper-cased", "sdat4300.exe", {"sdat4300.exe"}, {"SDAT4300.EXE", "sdat4301.exe"},
       {"sdat4301.exe"}, "SDAT4301.EXE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    fs::remove_all(source);
    fs::remove_all(local);
    SetUp();
    fs::remove(sandbox.RegistryFile());
    if (!c.recorded.empty()) {
      Record("LatestUpdate", c.recorded);
      Record("LatestUpdateDate", "2024-03-01 08.00.00");
    }
    for (const auto& name : c.here) Put(local, name, "old " + name);
    for (const auto& name : c.there) Put(source, name);
    Start();
    const Lines lines = Run();

    Lines expected = {"Latest download on this PC: " + text::UCase(c.recorded) + " (2024-03-01 08.00.00)"};
    for (const auto& name : c.fetched) {
      expected.push_back(CopyLine(source, name));
      expected.push_back(name + " copied!");
    }
    expected.insert(expected.end(), {"Removing old SDATs...", "Finished"});
    if (c.recorded.empty()) expected[0] = "Latest download on this PC:  ()";
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(Recorded("LatestUpdate"), c.recordedAfter.empty() ? "<none>" : c.recordedAfter);
    for (const auto& name : c.fetched) EXPECT_EQ(sandbox.ReadFile(local / name), "package " + name);
    for (const auto& name : c.here) EXPECT_EQ(sandbox.ReadFile(local / name), "old " + name);
    EXPECT_FALSE(app->AM().LastSourceFailed);
  }
}

TEST_F(CopyRetrievalTest, WithNothingRecordedEveryPackageComesAndTheLastCopiedIsRecorded) {
  for (const char* name : {"sdat0001.exe", "SDAT0003.EXE", "sdat0002.exe", "readme.txt", "sdat0004.exe.bak"}) {
    Put(source, name);
  }
  fs::create_directory(source / "sdat9999.exe");  // a folder named like a package is no package
  Start();
  const Lines lines = Run();

  // The scan follows the file system's order; the values left behind describe the last copy.
  std::string last;
  for (const auto& entry : fs::directory_iterator(source)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name.rfind(".exe") == name.size() - 4) last = name;
  }
  EXPECT_EQ(Names(local), (std::set<std::string>{"sdat0001.exe", "SDAT0003.EXE", "sdat0002.exe"}));
  EXPECT_EQ(Recorded("LatestUpdate"), text::UCase(last));
  EXPECT_NE(Recorded("LatestUpdateDate"), "<none>");
  EXPECT_EQ(lines.back(), "Finished");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), last + " copied!"), 1);
  EXPECT_EQ(View().StatusText(), "");
  // The window handled its messages at every file of the scan.
  EXPECT_GE(ws.doEventsCalls, 6);
}

TEST_F(CopyRetrievalTest, TheAlternateIsTriedOnlyWhenThePrimaryFailed) {
  const fs::path alternate = sandbox.Folder("alternate");
  Put(alternate, "sdat4301.exe");

  {  // primary missing: its red line, one blank line, then the alternate's run
    AppMain& am = Start();
    am.RemotePath = (sandbox.Root() / "gone").string();
    am.AltRemotePath = alternate.string();
    am.AltHostName.clear();  // host names play no part in copy mode
    const Lines lines = Run();
    const std::string missing = "Folder " + am.RemotePath + " does not exist!";
    EXPECT_EQ(lines, (Lines{"Latest download on this PC:  ()", missing, " ", "Latest download on this PC:  ()",
                            CopyLine(alternate, "sdat4301.exe"), "sdat4301.exe copied!", "Removing old SDATs...",
                            "Finished"}));
    EXPECT_EQ(ColorOf(missing), ui::ColorRed);
    EXPECT_FALSE(am.LastSourceFailed);
    TearDown();
  }
  {  // primary present but holding nothing new: the alternate is left alone
    AppMain& am = Start();
    am.AltRemotePath = alternate.string();
    fs::remove(local / "sdat4301.exe");
    fs::remove(sandbox.RegistryFile());
    const Lines lines = Run();
    EXPECT_EQ(lines, (Lines{"Latest download on this PC:  ()", "Removing old SDATs...", "Finished"}));
    EXPECT_FALSE(fs::exists(local / "sdat4301.exe"));
    EXPECT_FALSE(am.LastSourceFailed);
    TearDown();
  }
  {  // primary missing and no alternate: nothing more is tried, the run still ends normally
    AppMain& am = Start();
    am.RemotePath = (sandbox.Root() / "gone").string();
    const Lines lines = Run();
    EXPECT_EQ(lines, (Lines{"Latest download on this PC:  ()", "Folder " + am.RemotePath + " does not exist!",
                            "Removing old SDATs...", "Finished"}));
    EXPECT_TRUE(am.LastSourceFailed);
  }
}

TEST_F(CopyRetrievalTest, AMissingRecordedPackageIsFetchedAgainUnlessARenameTargetHoldsIt) {
  struct Case {
    std::string rename;
    Lines expected;
  };
  const std::string header = "Latest download on this PC: SDAT4300.EXE (2024-03-01 08.00.00)";
  const Case cases[] = {
      {"",
       {header, "Latest local file missing, reload if found!", "copy-4300", "sdat4300.exe copied!", "copy-4301",
        "sdat4301.exe copied!", "Removing old SDATs...", "Finished"}},
      {"setup.exe",
       {header, "copy-4301", "sdat4301.exe copied!", "sdat4301.exe renamed to setup.exe", "Removing old SDATs...",
        "Finished"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rename);
    fs::remove_all(local);
    fs::create_directory(local);
    Record("LatestUpdate", "SDAT4300.EXE");
    Record("LatestUpdateDate", "2024-03-01 08.00.00");
    Put(source, "sdat4300.exe");
    Put(source, "sdat4301.exe");
    AppMain& am = Start();
    am.NewFileName = c.rename;
    Lines lines = Run();
    // The order of the two copies is the file system's.
    Lines expected = c.expected;
    for (auto& line : expected) {
      if (line.rfind("copy-", 0) == 0) line = CopyLine(source, "sdat" + line.substr(5) + ".exe");
    }
    if (c.rename.empty()) {
      std::sort(lines.begin() + 2, lines.begin() + 6);
      std::sort(expected.begin() + 2, expected.begin() + 6);
    }
    EXPECT_EQ(lines, expected);
    TearDown();
  }
}

TEST_F(CopyRetrievalTest, AwkwardNamesAreCopiedWhole) {
  const std::string longName = "sdat" + std::string(247, '7') + ".exe";  // 255 bytes, the longest a name gets
  ASSERT_EQ(longName.size(), 255u);
  const std::string accented = "sdat4302-\xc3\xa9t\xc3\xa9.exe";  // "été" in UTF-8
  Put(source, longName);
  Put(source, accented);
  Put(source, "sdat4303\nFinished.exe");  // a line break would forge a log line
  Start();
  const Lines lines = Run();

  EXPECT_EQ(sandbox.ReadFile(local / longName), "package " + longName);
  EXPECT_EQ(sandbox.ReadFile(local / accented), "package " + accented);
  EXPECT_FALSE(fs::exists(local / "sdat4303\nFinished.exe"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Finished"), 1);
  EXPECT_NE(std::find(lines.begin(), lines.end(), accented + " copied!"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), longName + " copied!"), lines.end());
  EXPECT_EQ(ColorOf("Skipping a file whose name holds control characters"), ui::ColorRed);
  EXPECT_FALSE(app->AM().LastSourceFailed);
}

// A copy that fails is reported, leaves nothing half-written and lets the alternate folder be tried.
TEST_F(CopyRetrievalTest, AFailedCopyIsReportedAndTheAlternateTried) {
  const fs::path alternate = sandbox.Folder("alternate");
  Put(source, "sdat4301.exe");
  Put(alternate, "sdat4301.exe", "from the alternate");
  AppMain& am = Start();
  am.AltRemotePath = alternate.string();
  // The package vanishes between the listing and its copy (a share going away, another process).
  ws.onDoEvents = [&] {
    const Lines now = RunLines();
    if (!now.empty() && now.back().rfind("copy " + source.string(), 0) == 0) fs::remove(source / "sdat4301.exe");
  };
  const Lines lines = Run();

  ASSERT_EQ(ws.boxes.size(), 1u);
  EXPECT_NE(ws.boxes[0].prompt.find(".frmMain.GetUpdatesCopy: 53, "), std::string::npos) << ws.boxes[0].prompt;
  EXPECT_EQ(lines, (Lines{"Latest download on this PC:  ()", CopyLine(source, "sdat4301.exe"), " ",
                          "Latest download on this PC:  ()", CopyLine(alternate, "sdat4301.exe"),
                          "sdat4301.exe copied!", "Removing old SDATs...", "Finished"}));
  EXPECT_EQ(Names(local), (std::set<std::string>{"sdat4301.exe"}));
  EXPECT_EQ(sandbox.ReadFile(local / "sdat4301.exe"), "from the alternate");
  EXPECT_FALSE(am.LastSourceFailed);
}

TEST_F(CopyRetrievalTest, ALocalFolderThatCannotReceiveIsReportedWithoutHarm) {
  struct Case {
    const char* what;
    bool asRoot;  // whether the case can be made when running as root
    std::function<fs::path()> make;
  };
  const Case cases[] = {
      {"missing", true, [&] { return sandbox.Root() / "nowhere"; }},
      {"a file", true, [&] { return sandbox.WriteFile("plain", "x"); }},
      {"read-only", false,
       [&] {
         fs::path p = sandbox.Folder("readonly");
         fs::permissions(p, fs::perms::owner_read | fs::perms::owner_exec);
         return p;
       }},
  };
  Put(source, "sdat4301.exe");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.asRoot && ::geteuid() == 0) continue;  // root writes anywhere
    ws.boxes.clear();
    fs::remove(sandbox.RegistryFile());
    AppMain& am = Start();
    am.LocalPath = c.make().string();
    const Lines lines = Run();
    ASSERT_EQ(ws.boxes.size(), 1u);
    EXPECT_NE(ws.boxes[0].prompt.find(".frmMain.GetUpdatesCopy: "), std::string::npos) << ws.boxes[0].prompt;
    EXPECT_EQ(lines.back(), "Finished");
    EXPECT_EQ(Recorded("LatestUpdate"), "<none>");
    EXPECT_TRUE(am.LastSourceFailed);
    TearDown();
  }
}

TEST_F(CopyRetrievalTest, ClosingTheWindowStopsTheRunAtItsNextStep) {
  struct Case {
    const char* what;
    std::function<bool(const Lines&)> closeWhen;  // asked at each pending-message pass
    std::set<std::string> localAfter;
  };
  const Case cases[] = {
      {"during the scan", [](const Lines&) { return true; }, {}},
      {"as a copy is announced",
       [](const Lines& l) { return !l.empty() && l.back().rfind("copy ", 0) == 0; }, {}},
      {"after the first copy",
       [](const Lines& l) { return !l.empty() && l.back().find(" copied!") != std::string::npos; },
       {"first"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(local);
    fs::create_directory(local);
    fs::remove(sandbox.RegistryFile());
    Put(source, "sdat0001.exe");
    Put(source, "sdat0002.exe");
    AppMain& am = Start();
    ws.onDoEvents = [&] {
      if (!am.frm().Unloaded() && c.closeWhen(RunLines())) am.frm().Form_Unload();
    };
    const Lines lines = Run();
    ws.onDoEvents = nullptr;

    std::set<std::string> expectedLocal;
    std::string recorded = "<none>";
    if (c.localAfter.count("first")) {
      const std::string first = lines[lines.size() - 1].substr(0, 12);
      expectedLocal = {first};
      recorded = text::UCase(first);
    }
    EXPECT_EQ(Names(local), expectedLocal);
    EXPECT_EQ(Recorded("LatestUpdate"), recorded);
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "Finished"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "Removing old SDATs..."), lines.end());
    EXPECT_TRUE(am.LastSourceFailed);
    TearDown();
  }
}

TEST_F(CopyRetrievalTest, AnUnknownMethodFetchesNothingButStillPrunes) {
  Put(source, "sdat4301.exe");
  for (const char* name : {"sdat0001.exe", "sdat0002.exe", "sdat0003.exe"}) Put(local, name);
  AppMain& am = Start();
  am.HowToCopy = 2;
  am.SDATsToKeep = 2;
  const Lines lines = Run();
  ASSERT_EQ(ws.boxes.size(), 1u);
  EXPECT_EQ(ws.boxes[0].prompt, "Undefined CopyMethod: 2");
  EXPECT_EQ(lines, (Lines{"Removing old SDATs...", "sdat0001.exe removed", "Finished"}));
  EXPECT_TRUE(am.LastSourceFailed);
  EXPECT_EQ(am.LocalPath, LocalSlash());
}

}  // namespace
}  // namespace kestrun
