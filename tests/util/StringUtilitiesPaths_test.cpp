#include <gtest/gtest.h>

#include "util/StringUtilities.h"

namespace kestrun {
namespace {

TEST(Paths, SplitsFolderNameAndExtension) {
  const struct {
    bool windows;
    const char* path;
    const char* folder;
    const char* name;
    const char* extension;
  } cases[] = {
      {true, "", "", "", ""},
      {true, "C:file", "C:", "file", ""},
      {true, "C:\\dir.x\\file", "C:\\dir.x\\", "file", ""},
      {true, "C:\\d\\f.txt:stream", "C:\\d\\", "f.txt:stream", ""},
      {true, "\\\\server\\share\\My File.exe", "\\\\server\\share\\", "My File.exe", "exe"},
      {true, "C:\\Ärger\\Größe.tär", "C:\\Ärger\\", "Größe.tär", "tär"},
      // Linux syntax: "\" and ":" are ordinary characters.
      {false, "/", "/", "", ""},
      {false, "C:file", "", "C:file", ""},
      {false, "a\\b.txt", "", "a\\b.txt", "txt"},
      {false, "../up/x.y:z", "../up/", "x.y:z", "y:z"},
  };
  for (const auto& c : cases) {
    StringUtilities su(c.windows ? PathSyntax::WindowsSyntax() : PathSyntax::PosixSyntax());
    EXPECT_EQ(su.ExtractPath(c.path), c.folder) << c.path;
    EXPECT_EQ(su.ExtractFilename(c.path), c.name) << c.path;
    EXPECT_EQ(su.ExtractExtension(c.path), c.extension) << c.path;
  }
}

TEST(Paths, DriveRemovalAndLeadingStepsOffTheBase) {
  StringUtilities win(PathSyntax::WindowsSyntax());
  StringUtilities posix(PathSyntax::PosixSyntax());
  EXPECT_EQ(win.RemoveDriveFromPath("\\\\server\\share"), "server\\share");
  EXPECT_EQ(win.RemoveDriveFromPath("Ä:\\"), "");  // three characters, though four bytes
  EXPECT_EQ(posix.RemoveDriveFromPath("//x"), "x");

  EXPECT_EQ(win.ResolvePath("..\\..\\data\\x.ini", "C:\\Apps\\Tool"), "C:\\data\\x.ini");
  EXPECT_EQ(win.ResolvePath("data\\..\\x.ini", "C:\\Apps\\Tool"), "data\\..\\x.ini");  // only leading steps
  EXPECT_EQ(win.ResolvePath("..\\..\\..\\..\\x", "C:\\Apps"), "\\x");  // more steps than folders
  EXPECT_EQ(posix.ResolvePath("../../..", "/opt/kestrun"), "/");
  EXPECT_EQ(posix.ResolvePath("...", "/opt/kestrun"), "...");
}

}  // namespace
}  // namespace kestrun
