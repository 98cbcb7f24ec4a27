#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <tuple>

#include "support/FolderNames.h"
#include "support/RaisedError.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"
#include "util/FileSystemObject.h"
#include "util/FileUtilities.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using testing::ErrorOf;
using testing::NamesIn;
using testing::Sandbox;

class FilesTest : public ::testing::Test, protected Sandbox {
 protected:
  // Unattended use: a failure never waits at a message box.
  void TearDown() override { EXPECT_TRUE(windows.boxes.empty()); }
  testing::ScriptedWindowSystem windows;
  FileSystemObject fso;
  FileUtilities fu;
};
using FileSystemObjectTest = FilesTest;
using FileUtilitiesTest = FilesTest;

TEST_F(FileSystemObjectTest, FindsExistingNamesWithoutRegardToCase) {
  WriteFile("Local/sdat4300.exe", "x");
  WriteFile("Local/Sub Dir/ärger.txt", "y");
  WriteFile("d/abc", "1");
  WriteFile("d/ABC", "2");
  EXPECT_TRUE(fso.FileExists(P("LOCAL/sdat4300.Exe")));
  EXPECT_TRUE(fso.FileExists(P("local/SUB DIR/ÄRGER.TXT")));
  EXPECT_FALSE(fso.FolderExists(P("Local/SDAT4300.EXE")));
  EXPECT_FALSE(fso.FileExists(P("Local/sdat4300.exe/")));
  EXPECT_FALSE(fso.FileExists(""));
  EXPECT_TRUE(fso.FileExists(P("d/abc")));
  EXPECT_FALSE(fso.FileExists(P("d/Abc"))) << "an ambiguous case match is no match";
  EXPECT_EQ(fso.GetFile(P("local/SDAT4300.EXE")).Path(), P("Local/sdat4300.exe"));
  EXPECT_EQ(ErrorOf([&] { fso.GetFile(P("Local/none.exe")); }), err::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { fso.GetFolder(P("Nowhere")); }), err::PathNotFound);
}

TEST_F(FileSystemObjectTest, SeesNamesAddedAndRemovedBehindItsBack) {
  Folder("d");
  EXPECT_FALSE(fso.FileExists(P("d/ABC")));
  WriteFile("d/abc", "1");
  EXPECT_TRUE(fso.FileExists(P("d/ABC")));
  fs::remove(Root() / "d/abc");
  EXPECT_FALSE(fso.FileExists(P("d/ABC")));
  // The object's own changes show at once, even within one tick of the folder's clock.
  WriteFile("src.bin", "data");
  fso.CopyFile(P("src.bin"), P("d/NewName.EXE"));
  EXPECT_TRUE(fso.FileExists(P("d/newname.exe")));
  fso.DeleteFile(P("d/NEWNAME.exe"));
  EXPECT_FALSE(fso.FileExists(P("d/newname.exe")));
}

TEST_F(FileSystemObjectTest, CopyKeepsDataDateAndGivenCaseAndLeavesNoTemporaryFile) {
  const auto source = WriteFile("remote/SDAT4711.EXE", std::string(300000, 'z') + "end");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
  fs::last_write_time(source, old);
  Folder("local");
  fso.CopyFile(P("remote/sdat4711.exe"), P("local/"));  // trailing separator: into the folder, source's name
  fso.CopyFile(P("remote/SDAT4711.EXE"), P("Local/Setup.exe"));
  EXPECT_EQ(NamesIn(Root() / "local"), (std::set<std::string>{"SDAT4711.EXE", "Setup.exe"}));
  EXPECT_EQ(ReadFile(Root() / "local/Setup.exe"), ReadFile(source));
  EXPECT_EQ(fs::last_write_time(Root() / "local/SDAT4711.EXE"), old);
  // Replacing a file given in another case (its folder too) replaces that file instead of adding one.
  WriteFile("new.bin", "new");
  fso.CopyFile(P("new.bin"), P("LOCAL/SETUP.EXE"));
  EXPECT_EQ(NamesIn(Root() / "local"), (std::set<std::string>{"SDAT4711.EXE", "Setup.exe"}));
  EXPECT_EQ(ReadFile(Root() / "local/Setup.exe"), "new");
}

TEST_F(FileSystemObjectTest, FailedCopiesRaiseTheirNumberAndChangeNothing) {
  WriteFile("src.bin", "source");
  WriteFile("dst/existing.bin", "old");
  Folder("dst/folder");
  chmod(WriteFile("dst/readonly.bin", "kept").c_str(), 0444);
  // source, destination, overwrite, error
  const std::tuple<std::string, std::string, bool, int> rows[] = {
      {P("missing.bin"), P("dst/new.bin"), true, err::FileNotFound},
      {P("dst"), P("dst/new.bin"), true, err::FileNotFound},  // a folder is no file
      {P("src.bin"), P("nowhere/"), true, err::PathNotFound},
      {P("src.bin"), P("dst/existing.bin/"), true, err::PathNotFound},  // a file is no folder
      {P("src.bin"), P("dst/existing.bin/new.bin"), true, err::PathNotFound},
      {P("src.bin"), P("dst/existing.bin"), false, err::FileAlreadyExists},
      {P("src.bin"), P("dst/READONLY.BIN"), true, err::PermissionDenied},
      {P("src.bin"), P("dst/folder"), true, err::PermissionDenied}};
  for (const auto& [source, destination, overwrite, number] : rows) {
    EXPECT_EQ(ErrorOf([&] { fso.CopyFile(source, destination, overwrite); }), number) << destination;
  }
  // A name its caller found free is not taken from a file that has appeared there since.
  EXPECT_EQ(ErrorOf([&] { fso.CopyFile(P("src.bin"), P("dst/existing.bin"), true, {.newFile = true}); }),
            err::FileAlreadyExists);
  EXPECT_EQ(NamesIn(Root() / "dst"), (std::set<std::string>{"existing.bin", "folder", "readonly.bin"}));
  EXPECT_EQ(ReadFile(Root() / "dst/existing.bin"), "old");
  EXPECT_EQ(ReadFile(Root() / "dst/readonly.bin"), "kept");
}

TEST_F(FileSystemObjectTest, ReadOnlyIsTheOwnersWritePermissionAndGuardsDeletes) {
  auto file = WriteFile("f.txt", "x");
  FsoFile f = fso.GetFile(file.string());
  f.SetAttributes(f.Attributes() | fsattr::ReadOnly);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_EQ(ErrorOf([&] { fso.DeleteFile(file.string()); }), err::PermissionDenied);
  // A folder goes with everything in it or not at all.
  WriteFile("tree/a/b/c.txt", "c");
  auto ro = WriteFile("tree/a/ro.txt", "r");
  chmod(ro.c_str(), 0444);
  EXPECT_EQ(ErrorOf([&] { fso.DeleteFolder(P("TREE")); }), err::PermissionDenied);
  EXPECT_TRUE(fs::exists(Root() / "tree/a/b/c.txt"));
  chmod(ro.c_str(), 0644);
  fso.DeleteFolder(P("TREE/"));
  EXPECT_FALSE(fs::exists(Root() / "tree"));
  EXPECT_EQ(ErrorOf([&] { fso.DeleteFolder(P(".")); }), err::PermissionDenied);
}

TEST_F(FileSystemObjectTest, CreateFolderMakesOneLevelUnderAParentOfAnyCase) {
  fso.CreateFolder(P("New Folder"));
  EXPECT_EQ(ErrorOf([&] { fso.CreateFolder(P("new folder")); }), err::FileAlreadyExists);
  EXPECT_EQ(ErrorOf([&] { fso.CreateFolder(P("a/b")); }), err::PathNotFound);
  fso.CreateFolder(P("NEW FOLDER/Inner"));
  EXPECT_TRUE(fs::is_directory(Root() / "New Folder/Inner"));
}

TEST_F(FileUtilitiesTest, CopyAndDeleteTakeReadOnlyFilesAndClearOnlyThatBit) {
  auto source = WriteFile("new.exe", "new");
  auto destination = WriteFile("setup.exe", "old");
  chmod(destination.c_str(), 0454);  // read-only, with group write set as another bit to keep
  EXPECT_TRUE(fu.CopyFile(source.string(), destination.string()));
  EXPECT_EQ(ReadFile(destination), "new");
  EXPECT_NE(fs::status(destination).permissions() & fs::perms::owner_write, fs::perms::none);  // no longer read-only
  chmod(destination.c_str(), 0454);
  EXPECT_FALSE(fu.CopyFile(P("missing.exe"), destination.string()));
  EXPECT_EQ(ReadFile(destination), "new");
  EXPECT_EQ(fs::status(destination).permissions() & fs::perms::all, fs::perms(0654));  // even when the copy fails
  // Deleting takes a read-only file too, and fails quietly.
  chmod(destination.c_str(), 0444);
  EXPECT_TRUE(fu.DeleteFile(P("SETUP.EXE")));
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
    auto file = WriteFile("f" + std::to_string(i++), "x");  // a kept file stays read-only
    SetAge(file, modified, accessed);
    chmod(file.c_str(), 0444);
    EXPECT_EQ(fu.DeleteOldFile(file.string(), days), deleted) << modified << " " << accessed;
    EXPECT_EQ(fs::exists(file), !deleted);
  }
  EXPECT_FALSE(fu.DeleteOldFile(P("missing"), 5));
}

TEST_F(FileUtilitiesTest, DatesSizesAndContents) {
  auto file = WriteFile("data.bin", std::string("\x01\x02\x03\x04", 4));
  SetAge(file, 3, 2);
  const std::string date = fu.GetFileModDate(file.string());
  EXPECT_EQ(date.size(), 19u) << date;  // "YYYY-MM-DD HH.NN.SS"
  EXPECT_EQ(date.substr(4, 1) + date.substr(10, 1) + date.substr(13, 1), "- .") << date;
  EXPECT_LT(date, fu.GetFileAccessedDate(file.string()));
  EXPECT_THROW(fu.GetFileModDate(P("none")), RuntimeError);
  EXPECT_EQ(fu.GetFirstBytesFromFile(file.string(), 10), std::string("\x01\x02\x03\x04", 4));
  EXPECT_EQ(fu.GetLastBytesFromFile(file.string(), 3), std::string("\x02\x03\x04", 3));
  EXPECT_EQ(fu.GetFirstBytesFromFile(file.string(), -1), "");
  EXPECT_EQ(fu.GetFileString(P("none")), "");
  fs::resize_file(file, 3ULL << 30);  // beyond 32 bits; sparse: takes no room
  EXPECT_THROW(fu.GetFileSize(file.string()), RuntimeError);
}

TEST_F(FileUtilitiesTest, FindLargestFileSkipsFoldersAndEmptyFiles) {
  WriteFile("f/a", "");
  WriteFile("f/b", "1234567");
  WriteFile("f/d", "123");
  Folder("f/bigger-but-a-folder");
  EXPECT_EQ(fu.FindLargestFile(P("f")), "b");
  WriteFile("empty/zero", "");
  EXPECT_EQ(fu.FindLargestFile(P("empty")), "");
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
    const std::string path = WriteFile("sig", content).string();
    EXPECT_EQ(fu.IsRealZipFile(path), zip);
    EXPECT_EQ(fu.IsRealRarFile(path), rar);
    EXPECT_EQ(fu.IsRealAceFile(path), ace);
    EXPECT_EQ(fu.IsRealEXEFile(path), isExe);
  }
  EXPECT_FALSE(fu.IsRealZipFile(P("missing.zip")));
}

TEST_F(FileUtilitiesTest, DirectoryChecksAndSystemFolders) {
  WriteFile("Dir/file.txt", "x");
  EXPECT_TRUE(fu.CheckDirExists(P("dir/")));
  EXPECT_TRUE(fu.CheckDirExists(P("Dir/file.txt")));  // a plain file counts too
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
