#include "util/FileUtilities.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "util/RuntimeError.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using testing::Sandbox;
using testing::ScriptedWindowSystem;

class FileUtilitiesTest : public ::testing::Test {
 protected:
  // Unattended use: a failure never waits at a message box.
  void TearDown() override { EXPECT_TRUE(windows.boxes.empty()); }
  Sandbox box;
  ScriptedWindowSystem windows;
  FileUtilities fu;
};

TEST_F(FileUtilitiesTest, CopyAndDeleteTakeReadOnlyFilesAndClearOnlyThatBit) {
  auto source = box.WriteFile("new.exe", "new");
  auto destination = box.WriteFile("setup.exe", "old");
  chmod(destination.c_str(), 0454);  // read-only, with group write set as another bit to keep
  EXPECT_TRUE(fu.CopyFile(source.string(), destination.string()));
  EXPECT_EQ(Sandbox::ReadFile(destination), "new");
  EXPECT_NE(fs::status(destination).permissions() & fs::perms::owner_write, fs::perms::none);  // no longer read-only

  chmod(destination.c_str(), 0454);
  EXPECT_FALSE(fu.CopyFile((box.Root() / "missing.exe").string(), destination.string()));
  EXPECT_EQ(Sandbox::ReadFile(destination), "new");
  EXPECT_EQ(fs::status(destination).permissions() & fs::perms::all, fs::perms(0654));  // even when the copy fails

  // Deleting takes a read-only file too, and fails quietly.
  chmod(destination.c_str(), 0444);
  EXPECT_TRUE(fu.DeleteFile((box.Root() / "SETUP.EXE").string()));
  EXPECT_FALSE(fs::exists(destination));
  EXPECT_FALSE(fu.DeleteFile(destination.string()));
  EXPECT_FALSE(fu.DeleteFile(""));
}

TEST_F(FileUtilitiesTest, DeleteOldFileNeedsBothDatesBeforeTheLimit) {
  // modified and read that many days ago, days to keep, deleted
  const std::tuple<double, double, int32_t, bool> rows[] = {
      {10, 1, 5, false},             // read yesterday: stays
      {1, 10, 5, false},             // modified yesterday: stays
      {5.1, 5.1, 5, true},           // read-only, yet it goes
      {0, 0, -1, true},              // a limit in the future makes every file old
      {10, 10, 2147483647, false}};  // a limit before any date there is: the limit fails, nothing goes
  int i = 0;
  for (const auto& [modified, accessed, days, deleted] : rows) {
    auto file = box.WriteFile("f" + std::to_string(i++), "x");  // a kept file stays read-only
    Sandbox::SetAge(file, modified, accessed);
    chmod(file.c_str(), 0444);
    EXPECT_EQ(fu.DeleteOldFile(file.string(), days), deleted) << modified << " " << accessed;
    EXPECT_EQ(fs::exists(file), !deleted);
  }
  EXPECT_FALSE(fu.DeleteOldFile((box.Root() / "missing").string(), 5));
}

TEST_F(FileUtilitiesTest, DatesSizesAndContents) {
  auto file = box.WriteFile("data.bin", std::string("\x01\x02\x03\x04", 4));
  Sandbox::SetAge(file, 3, 2);
  const std::string date = fu.GetFileModDate(file.string());
  EXPECT_EQ(date.size(), 19u) << date;  // "YYYY-MM-DD HH.NN.SS"
  EXPECT_EQ(date.substr(4, 1) + date.substr(10, 1) + date.substr(13, 1), "- .") << date;
  EXPECT_LT(date, fu.GetFileAccessedDate(file.string()));
  EXPECT_THROW(fu.GetFileModDate((box.Root() / "none").string()), RuntimeError);
  EXPECT_EQ(fu.GetFirstBytesFromFile(file.string(), 10), std::string("\x01\x02\x03\x04", 4));
  EXPECT_EQ(fu.GetLastBytesFromFile(file.string(), 3), std::string("\x02\x03\x04", 3));
  EXPECT_EQ(fu.GetFirstBytesFromFile(file.string(), -1), "");
  EXPECT_EQ(fu.GetFileString((box.Root() / "none").string()), "");
  fs::resize_file(file, 3ULL << 30);  // beyond 32 bits; sparse: takes no room
  EXPECT_THROW(fu.GetFileSize(file.string()), RuntimeError);
}

TEST_F(FileUtilitiesTest, FindLargestFileSkipsFoldersAndEmptyFiles) {
  box.WriteFile("f/a", "");
  box.WriteFile("f/b", "1234567");
  box.WriteFile("f/d", "123");
  box.Folder("f/bigger-but-a-folder");
  EXPECT_EQ(fu.FindLargestFile((box.Root() / "f").string()), "b");
  box.WriteFile("empty/zero", "");
  EXPECT_EQ(fu.FindLargestFile((box.Root() / "empty").string()), "");
}

TEST_F(FileUtilitiesTest, SignatureTests) {
  const std::string tail44(
      "\x7E\x53\x96\x46\x10\x00\x96\x46\x10\x00\x96\x46\x10\x00\x96\x46\x10\x00\x17\x46\x10\x00"
      "\x12\x40\x16\x00\x97\x46\x10\x00\x11\x5A\x12\x00\x97\x46\x10\x00\x52\x69\x63\x68\x96\x46",
      44);
  const std::string exe("\x4D\x5A\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xFF\xFF\x00", 15);
  // content, zip, rar, ace, executable
  const std::tuple<std::string, bool, bool, bool, bool> rows[] = {
      {std::string("PK\x03\x04rest", 8), true, false, false, false},
      {exe + std::string(130 - 15, 'x') + tail44 + "trailing data", true, false, false, true},  // self-extractor
      {exe + std::string(131 - 15, 'x') + tail44, false, false, false, true},                   // tail one byte off
      {std::string(130, 'x') + tail44.substr(0, 43), false, false, false, false},               // file too short
      {"Rar!\x1a\x07", false, true, false, false},
      {"1234567**ACE**more", false, false, true, false},
      {"**ACE**", false, false, true, false},  // shorter than 14 bytes: the tail of what was read counts
      {exe.substr(0, 14), false, false, false, false},
      {"", false, false, false, false}};
  for (const auto& [content, zip, rar, ace, isExe] : rows) {
    SCOPED_TRACE(::testing::PrintToString(content.substr(0, 20)));
    const std::string path = box.WriteFile("sig", content).string();
    EXPECT_EQ(fu.IsRealZipFile(path), zip);
    EXPECT_EQ(fu.IsRealRarFile(path), rar);
    EXPECT_EQ(fu.IsRealAceFile(path), ace);
    EXPECT_EQ(fu.IsRealEXEFile(path), isExe);
  }
  EXPECT_FALSE(fu.IsRealZipFile((box.Root() / "missing.zip").string()));
}

TEST_F(FileUtilitiesTest, DirectoryChecksAndSystemFolders) {
  box.WriteFile("Dir/file.txt", "x");
  EXPECT_TRUE(fu.CheckDirExists((box.Root() / "dir/").string()));
  EXPECT_TRUE(fu.CheckDirExists((box.Root() / "Dir/file.txt").string()));  // a plain file counts too
  EXPECT_FALSE(fu.CheckDirExists(""));
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", "/var/tmp/Kestrun Tmp", 1);
  EXPECT_EQ(fu.GetTempDir(), "/VAR/TMP/KESTRUN TMP/");
  if (old)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

}  // namespace
}  // namespace kestrun
