#include "util/FileSystemObject.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <tuple>

#include "support/FolderNames.h"
#include "support/RaisedError.h"
#include "support/Sandbox.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using testing::ErrorOf;
using testing::NamesIn;
using testing::Sandbox;

class FileSystemObjectTest : public ::testing::Test {
 protected:
  Sandbox box;
  FileSystemObject fso;
  std::string P(const std::string& relative) const { return (box.Root() / relative).string(); }
};

TEST_F(FileSystemObjectTest, FindsExistingNamesWithoutRegardToCase) {
  box.WriteFile("Local/sdat4300.exe", "x");
  box.WriteFile("Local/Sub Dir/ärger.txt", "y");
  box.WriteFile("d/abc", "1");
  box.WriteFile("d/ABC", "2");
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
  box.Folder("d");
  EXPECT_FALSE(fso.FileExists(P("d/ABC")));
  box.WriteFile("d/abc", "1");
  EXPECT_TRUE(fso.FileExists(P("d/ABC")));
  fs::remove(box.Root() / "d/abc");
  EXPECT_FALSE(fso.FileExists(P("d/ABC")));
  // The object's own changes show at once, even within one tick of the folder's clock.
  box.WriteFile("src.bin", "data");
  fso.CopyFile(P("src.bin"), P("d/NewName.EXE"));
  EXPECT_TRUE(fso.FileExists(P("d/newname.exe")));
  fso.DeleteFile(P("d/NEWNAME.exe"));
  EXPECT_FALSE(fso.FileExists(P("d/newname.exe")));
}

TEST_F(FileSystemObjectTest, CopyKeepsDataDateAndGivenCaseAndLeavesNoTemporaryFile) {
  const auto source = box.WriteFile("remote/SDAT4711.EXE", std::string(300000, 'z') + "end");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
  fs::last_write_time(source, old);
  box.Folder("local");

  fso.CopyFile(P("remote/sdat4711.exe"), P("local/"));  // trailing separator: into the folder, source's name
  fso.CopyFile(P("remote/SDAT4711.EXE"), P("Local/Setup.exe"));
  EXPECT_EQ(NamesIn(box.Root() / "local"), (std::set<std::string>{"SDAT4711.EXE", "Setup.exe"}));
  EXPECT_EQ(Sandbox::ReadFile(box.Root() / "local/Setup.exe"), Sandbox::ReadFile(source));
  EXPECT_EQ(fs::last_write_time(box.Root() / "local/SDAT4711.EXE"), old);

  // Replacing a file given in another case (its folder too) replaces that file instead of adding one.
  box.WriteFile("new.bin", "new");
  fso.CopyFile(P("new.bin"), P("LOCAL/SETUP.EXE"));
  EXPECT_EQ(NamesIn(box.Root() / "local"), (std::set<std::string>{"SDAT4711.EXE", "Setup.exe"}));
  EXPECT_EQ(Sandbox::ReadFile(box.Root() / "local/Setup.exe"), "new");
}

TEST_F(FileSystemObjectTest, FailedCopiesRaiseTheirNumberAndChangeNothing) {
  box.WriteFile("src.bin", "source");
  box.WriteFile("dst/existing.bin", "old");
  box.Folder("dst/folder");
  chmod(box.WriteFile("dst/readonly.bin", "kept").c_str(), 0444);
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
  EXPECT_EQ(NamesIn(box.Root() / "dst"), (std::set<std::string>{"existing.bin", "folder", "readonly.bin"}));
  EXPECT_EQ(Sandbox::ReadFile(box.Root() / "dst/existing.bin"), "old");
  EXPECT_EQ(Sandbox::ReadFile(box.Root() / "dst/readonly.bin"), "kept");
}

TEST_F(FileSystemObjectTest, ReadOnlyIsTheOwnersWritePermissionAndGuardsDeletes) {
  auto file = box.WriteFile("f.txt", "x");
  FsoFile f = fso.GetFile(file.string());
  f.SetAttributes(f.Attributes() | fsattr::ReadOnly);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_EQ(ErrorOf([&] { fso.DeleteFile(file.string()); }), err::PermissionDenied);
  // A folder goes with everything in it or not at all.
  box.WriteFile("tree/a/b/c.txt", "c");
  auto ro = box.WriteFile("tree/a/ro.txt", "r");
  chmod(ro.c_str(), 0444);
  EXPECT_EQ(ErrorOf([&] { fso.DeleteFolder(P("TREE")); }), err::PermissionDenied);
  EXPECT_TRUE(fs::exists(box.Root() / "tree/a/b/c.txt"));
  chmod(ro.c_str(), 0644);
  fso.DeleteFolder(P("TREE/"));
  EXPECT_FALSE(fs::exists(box.Root() / "tree"));
  EXPECT_EQ(ErrorOf([&] { fso.DeleteFolder(P(".")); }), err::PermissionDenied);
}

TEST_F(FileSystemObjectTest, CreateFolderMakesOneLevelUnderAParentOfAnyCase) {
  fso.CreateFolder(P("New Folder"));
  EXPECT_EQ(ErrorOf([&] { fso.CreateFolder(P("new folder")); }), err::FileAlreadyExists);
  EXPECT_EQ(ErrorOf([&] { fso.CreateFolder(P("a/b")); }), err::PathNotFound);
  fso.CreateFolder(P("NEW FOLDER/Inner"));
  EXPECT_TRUE(fs::is_directory(box.Root() / "New Folder/Inner"));
}

}  // namespace
}  // namespace kestrun
