#include <gtest/gtest.h>

#include "util/StringUtilities.h"

namespace kestrun {
namespace {

struct PathCase {
  bool windows;
  const char* path;
  const char* folder;     // ExtractPath
  const char* name;       // ExtractFilename
  const char* extension;  // ExtractExtension
};

class PathTable : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathTable, SplitsFolderNameAndExtension) {
  const PathCase& c = GetParam();
  StringUtilities su(c.windows ? PathSyntax::WindowsSyntax() : PathSyntax::PosixSyntax());
  EXPECT_EQ(su.ExtractPath(c.path), c.folder) << c.path;
  EXPECT_EQ(su.ExtractFilename(c.path), c.name) << c.path;
  EXPECT_EQ(su.ExtractExtension(c.path), c.extension) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathTable,
    ::testing::Values(
        // Windows syntax
        PathCase{true, "", "", "", ""}, PathCase{true, "file.txt", "", "file.txt", "txt"},
        PathCase{true, "C:file", "C:", "file", ""}, PathCase{true, "C:\\dir\\f.txt", "C:\\dir\\", "f.txt", "txt"},
        PathCase{true, "C:\\dir\\", "C:\\dir\\", "", ""}, PathCase{true, "C:\\dir.x\\file", "C:\\dir.x\\", "file", ""},
        PathCase{true, "a.b.c", "", "a.b.c", "c"}, PathCase{true, ".profile", "", ".profile", "profile"},
        PathCase{true, "README", "", "README", ""}, PathCase{true, "C:\\d\\f.txt:stream", "C:\\d\\", "f.txt:stream", ""},
        PathCase{true, "\\\\server\\share\\My File.exe", "\\\\server\\share\\", "My File.exe", "exe"},
        PathCase{true, "C:/dir/f.txt", "C:/dir/", "f.txt", "txt"},
        PathCase{true, "C:\\Ärger\\Größe.tär", "C:\\Ärger\\", "Größe.tär", "tär"},
        // Linux syntax: "\" and ":" are ordinary characters
        PathCase{false, "/home/u/sdat4711.exe", "/home/u/", "sdat4711.exe", "exe"},
        PathCase{false, "/home/u/", "/home/u/", "", ""}, PathCase{false, "/", "/", "", ""},
        PathCase{false, "C:file", "", "C:file", ""}, PathCase{false, "a\\b.txt", "", "a\\b.txt", "txt"},
        PathCase{false, "/srv/pkg.d/file", "/srv/pkg.d/", "file", ""},
        PathCase{false, "../up/x.y:z", "../up/", "x.y:z", "y:z"},
        PathCase{false, "/data/my file.tar.gz", "/data/", "my file.tar.gz", "gz"}));

TEST(Paths, RemoveDriveFromPath) {
  StringUtilities win(PathSyntax::WindowsSyntax());
  StringUtilities posix(PathSyntax::PosixSyntax());
  struct Row {
    const StringUtilities& su;
    const char* path;
    const char* expected;
  } rows[] = {
      {win, "C:\\dir\\f.txt", "dir\\f.txt"}, {win, "\\\\server\\share", "server\\share"},
      {win, "C:\\", ""},                    {win, "C:\\a", "a"},
      {win, "", ""},                        {win, "Ä:\\", ""},  // three characters, though four bytes
      {posix, "/home/u/f", "home/u/f"},     {posix, "//x", "x"},
      {posix, "rel/f", "rel/f"},            {posix, "", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(r.su.RemoveDriveFromPath(r.path), r.expected) << r.path;
}

TEST(Paths, ResolvePathTakesLeadingStepsOffTheBase) {
  StringUtilities win(PathSyntax::WindowsSyntax());
  StringUtilities posix(PathSyntax::PosixSyntax());
  struct Row {
    const StringUtilities& su;
    const char* file;
    const char* base;
    const char* expected;
  } rows[] = {
      {win, "..\\..\\data\\x.ini", "C:\\Apps\\Tool", "C:\\data\\x.ini"},
      {win, "..", "C:\\Apps\\Tool", "C:\\Apps\\"},
      {win, "data\\..\\x.ini", "C:\\Apps\\Tool", "data\\..\\x.ini"},  // only leading steps
      {win, ".\\x", "C:\\Apps\\Tool", ".\\x"},
      {win, "..\\..\\..\\..\\x", "C:\\Apps", "\\x"},  // more steps than folders
      {posix, "../share/kestrun", "/opt/kestrun/bin", "/opt/kestrun/share/kestrun"},
      {posix, "../../..", "/opt/kestrun", "/"},
      {posix, "/etc/x", "/opt/kestrun", "/etc/x"},
      {posix, "...", "/opt/kestrun", "..."},
  };
  for (const Row& r : rows) EXPECT_EQ(r.su.ResolvePath(r.file, r.base), r.expected) << r.file;
  EXPECT_EQ(posix.ResolvePath("plain.txt"), "plain.txt");
}

}  // namespace
}  // namespace kestrun
