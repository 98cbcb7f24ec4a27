// Pruning and renaming in the local folder, seen through whole copy-mode runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "update/UpdateFixture.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using NameSet = std::set<std::string>;

class PackageBookkeepingTest : public testing::UpdateRunTest {};

TEST_F(PackageBookkeepingTest, PruningRemovesTheSmallestNamesFirst) {
  struct Case {
    const char* what;
    std::vector<std::string> files;
    int32_t keep;
    Lines removed;  // in the order the log reports them
    NameSet left;
  };
  const std::vector<std::string> five = {"sdat4299.exe", "sdat4301.exe", "sdat4297.exe", "sdat4300.exe", "sdat4298.exe"};
  const Case cases[] = {
      {"five down to two", five, 2, {"sdat4297.exe", "sdat4298.exe", "sdat4299.exe"}, {"sdat4300.exe", "sdat4301.exe"}},
      {"no more than kept", {"sdat4300.exe", "sdat4301.exe"}, 2, {}, {"sdat4300.exe", "sdat4301.exe"}},
      {"upper case sorts first", {"sdat4299.exe", "SDAT4300.EXE"}, 1, {"SDAT4300.EXE"}, {"sdat4299.exe"}},
      {"by name, not by number", {"sdat999.exe", "sdat1000.exe"}, 1, {"sdat1000.exe"}, {"sdat999.exe"}},
      {"names equal but for case are two packages", {"sdat4300.exe", "SDAT4300.EXE"}, 1, {"SDAT4300.EXE"},
       {"sdat4300.exe"}},
      {"nothing kept", {"sdat1.exe", "sdat2.exe"}, 0, {"sdat1.exe", "sdat2.exe"}, {}},
      {"a negative count from a hand-edited store", {"sdat1.exe", "sdat2.exe"}, -5, {"sdat1.exe", "sdat2.exe"}, {}},
      {"a negative count and no packages", {}, -1, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(local);
    fs::create_directory(local);
    for (const auto& name : c.files) Put(local, name);
    // Files that are no packages stay, however they sort.
    Put(local, "setup.exe");
    Put(local, "SDAT0000.TXT");
    fs::create_directory(local / "sdat0000.exe");
    AppMain& am = Start();
    am.SDATsToKeep = c.keep;
    const Lines lines = Run();

    Lines expected = {"Latest download on this PC:  ()", "Removing old SDATs..."};
    for (const auto& name : c.removed) expected.push_back(name + " removed");
    expected.push_back("Finished");
    EXPECT_EQ(lines, expected);
    NameSet left = c.left;
    left.insert({"setup.exe", "SDAT0000.TXT", "sdat0000.exe"});
    EXPECT_EQ(Names(local), left);
    EXPECT_TRUE(ws.boxes.empty());
    TearDown();
  }
}

TEST_F(PackageBookkeepingTest, APackageThatCannotBeDeletedIsReportedAndThePruningGoesOn) {
  for (const char* name : {"sdat0001.exe", "sdat0002.exe", "sdat0003.exe", "sdat0004.exe"}) Put(local, name);
  AppMain& am = Start();
  am.SDATsToKeep = 1;
  // Another process takes the second package away before its turn: its deletion fails, for root too.
  ws.onDoEvents = [&] {
    const Lines now = RunLines();
    if (!now.empty() && now.back() == "sdat0001.exe removed") fs::remove(local / "sdat0002.exe");
  };
  const Lines lines = Run();
  EXPECT_EQ(lines, (Lines{"Latest download on this PC:  ()", "Removing old SDATs...", "sdat0001.exe removed",
                          "Unable to remove sdat0002.exe", "sdat0003.exe removed", "Finished"}));
  EXPECT_EQ(ColorOf("Unable to remove sdat0002.exe"), ui::ColorRed);
  EXPECT_EQ(Names(local), (NameSet{"sdat0004.exe"}));
}

TEST_F(PackageBookkeepingTest, AFetchedPackageTakesTheRenameTargetsPlace) {
  struct Case {
    const char* what;
    std::string target;
    bool readOnlyTarget;  // an earlier package under the target name, read-only
    Lines renameLines;
    NameSet localAfter;
  };
  const Case cases[] = {
      {"a fixed name", "setup.exe", false, {"sdat4301.exe renamed to setup.exe"}, {"setup.exe"}},
      {"over a read-only earlier one", "setup.exe", true, {"sdat4301.exe renamed to setup.exe"}, {"setup.exe"}},
      // The target is the package itself: renaming would destroy the only copy, so it stays as it is.
      {"the package's own name", "sdat4301.exe", false, {}, {"sdat4301.exe"}},
      {"the package's own name in capitals", "SDAT4301.EXE", false, {}, {"sdat4301.exe"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(local);
    fs::create_directory(local);
    fs::remove(sandbox.RegistryFile());
    Put(source, "sdat4301.exe");
    if (c.readOnlyTarget) {
      Put(local, c.target, "earlier package");
      fs::permissions(local / c.target, fs::perms::owner_read);
    }
    AppMain& am = Start();
    am.NewFileName = c.target;
    const Lines lines = Run();

    Lines expected = {"Latest download on this PC:  ()", CopyLine(source, "sdat4301.exe"), "sdat4301.exe copied!"};
    expected.insert(expected.end(), c.renameLines.begin(), c.renameLines.end());
    expected.insert(expected.end(), {"Removing old SDATs...", "Finished"});
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(Names(local), c.localAfter);
    EXPECT_EQ(sandbox.ReadFile(local / *c.localAfter.begin()), "package sdat4301.exe");
    // The record names the package fetched, not the name it now goes by.
    EXPECT_EQ(Recorded("LatestUpdate"), "SDAT4301.EXE");
    TearDown();
  }
}

TEST_F(PackageBookkeepingTest, ARenameThatCannotCopyLeavesTheFetchedPackage) {
  Put(source, "sdat4301.exe");
  fs::create_directory(local / "setup.exe");  // a folder holds the target name
  AppMain& am = Start();
  am.NewFileName = "setup.exe";
  const Lines lines = Run();
  EXPECT_EQ(lines, (Lines{"Latest download on this PC:  ()", CopyLine(source, "sdat4301.exe"), "sdat4301.exe copied!",
                          "Unable to copy sdat4301.exe to setup.exe", "Removing old SDATs...", "Finished"}));
  EXPECT_TRUE(fs::is_regular_file(local / "sdat4301.exe"));
  // The copy counts as done: the source ran through.
  EXPECT_FALSE(am.LastSourceFailed);
}

}  // namespace
}  // namespace kestrun
