// Replacing a file whole: the temporary beside it, links, permissions, and every way out before the commit.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <stdexcept>
#include <system_error>
#include <tuple>

#include "platform/AtomicFile.h"
#include "support/FolderNames.h"
#include "support/Sandbox.h"

namespace kestrun::platform {
namespace {

namespace fs = std::filesystem;
using testing::NamesIn;
using testing::Sandbox;

mode_t ModeOf(const fs::path& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// A system_error carrying the errno `number`.
auto SystemError(int number) {
  return ::testing::Throws<std::system_error>(
      ::testing::Property(&std::system_error::code, std::error_code(number, std::generic_category())));
}

TEST(AtomicFile, ReplacesTheTargetWholeThroughAHiddenTemporaryBesideIt) {
  Sandbox box;
  const fs::path dir = box.Folder("d");
  // 251 bytes: cut to fit the name limit, and not inside the "é" that straddles the cut.
  std::string longName(201, 'a');
  for (int i = 0; i < 23; ++i) longName += "\xC3\xA9";
  longName += ".exe";
  for (const std::string& name : {std::string("sdat4301.exe"), longName}) {
    SCOPED_TRACE(name.size());
    AtomicFile file((dir / name).string());
    const std::string temporary = fs::path(file.TemporaryPath()).filename().string();
    // The next run removes leftovers of killed runs by this pattern.
    ASSERT_GT(temporary.size(), 13u);
    const std::size_t kept = temporary.size() - 13;
    EXPECT_EQ(temporary.front(), '.');
    EXPECT_EQ(temporary.substr(kept + 1, 1) + temporary.substr(kept + 8), "..part") << temporary;
    EXPECT_EQ(name.substr(0, kept), temporary.substr(1, kept)) << "a prefix of the name";
    EXPECT_LE(temporary.size(), 255u);
    EXPECT_NE(static_cast<unsigned char>((name + '.')[kept]) & 0xC0, 0x80) << "no character cut in two";
    EXPECT_EQ(fs::path(file.TemporaryPath()).parent_path(), dir);
    EXPECT_TRUE(IsTemporaryNameFor(temporary, name));
    file.Write("new data");
    EXPECT_FALSE(fs::exists(dir / name)) << "nothing under the name before the commit";
    file.Commit();
    EXPECT_EQ(Sandbox::ReadFile(dir / name), "new data");
  }
  EXPECT_EQ(NamesIn(dir), (std::set<std::string>{"sdat4301.exe", longName}));
  for (const char* other :
       {".sdat4301.exe.abc.part", ".sdat4301.exe.abcdef.par", "sdat4301.exe.abcdef.part", ".sdat4300.exe.abcdef.part",
        ".sdat4301.exe.abc-ef.part", ".sdat4301.exe_abcdef.part", ".sdat4301.exe"}) {
    EXPECT_FALSE(IsTemporaryNameFor(other, "sdat4301.exe")) << other;
  }
}

// Followed, a link pointing nowhere yet stays a link and its target is written (the store's own link is
// tried with the store); otherwise the link itself is replaced and what it pointed to is left alone.
TEST(AtomicFile, ALinkIsFollowedOrReplacedAsAsked) {
  Sandbox box;
  box.WriteFile("real/registry.reg", "old");
  const fs::path links = box.Folder("links");
  for (const auto& [name, pointsTo, how] :
       {std::tuple{"dangling.reg", "nowhere.reg", AtomicFile::Links::Follow},
        std::tuple{"sdat4301.exe", "../real/registry.reg", AtomicFile::Links::Replace}}) {
    fs::create_symlink(pointsTo, links / name);
    AtomicFile file((links / name).string(), std::nullopt, how);
    file.Write(name);
    file.Commit();
    EXPECT_EQ(fs::is_symlink(links / name), how == AtomicFile::Links::Follow) << name;
    EXPECT_EQ(Sandbox::ReadFile(links / name), name);
  }
  EXPECT_EQ(Sandbox::ReadFile(box.Root() / "real/registry.reg"), "old");
  EXPECT_EQ(NamesIn(links), (std::set<std::string>{"dangling.reg", "nowhere.reg", "sdat4301.exe"}));
}

TEST(AtomicFile, KeepsTheReplacedFilesPermissionsOrTakesTheGivenOnes) {
  Sandbox box;
  const mode_t umaskWas = ::umask(027);
  const auto kept = box.WriteFile("kept", "x");
  ::chmod(kept.c_str(), 0604);
  for (const auto& [path, mode, expected] :
       {std::tuple<fs::path, std::optional<mode_t>, mode_t>{kept, std::nullopt, 0604},
        {box.Root() / "new", std::nullopt, 0640},
        {box.Root() / "given", 0755, 0755}}) {
    AtomicFile(path.string(), mode).Commit(false);
    EXPECT_EQ(ModeOf(path), expected) << path;
  }
  ::umask(umaskWas);
}

// Every way out before the commit leaves the target as it was and no temporary file. (A full disk is
// tried through the store, the copy and the download, which all come here.)
TEST(AtomicFile, EveryFailureLeavesTheTargetAndNoTemporary) {
  Sandbox box;
  const fs::path dir = box.Folder("d");
  const auto target = box.WriteFile("d/target", "previous");
  box.Folder("d/folder");
  EXPECT_THROW(
      {
        AtomicFile file(target.string());
        file.Write("half");
        throw std::runtime_error("the caller's own failure");
      },
      std::runtime_error);
  EXPECT_THAT([&] { AtomicFile(target.string()).Commit(true, /*replace=*/false); }, SystemError(EEXIST));
  EXPECT_THAT([&] { AtomicFile((dir / "folder").string()).Commit(); }, SystemError(EISDIR));
  EXPECT_EQ(NamesIn(dir), (std::set<std::string>{"folder", "target"}));
  EXPECT_EQ(Sandbox::ReadFile(target), "previous");
}

}  // namespace
}  // namespace kestrun::platform
