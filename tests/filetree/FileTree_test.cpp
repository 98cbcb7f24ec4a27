#include "filetree/FileTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <tuple>
#include <utility>

#include "filetree/FileTreeHost.h"
#include "support/FolderNames.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using testing::Sandbox;

// The engine, with the controller and the main window stood in for by the test, which records every
// report line (red ones marked "R ", blue ones "B ") and every status-bar text.
class FileTreeTest : public ::testing::Test, protected Sandbox, TreeDriver, TreeStatusBar, FileTreeEvents {
 protected:
  void SetUp() override {
    tree.InitMyObjects(*this);
    tree.SetEvents(this);
    tree.SourceDir = P("src");
    tree.DestinationDir = P("dst");
  }
  // Unattended use: a failure never waits at a message box.
  void TearDown() override { EXPECT_TRUE(windows.boxes.empty()); }
  TreeStatusBar* TreeController() override { return this; }
  void UpdateStatusBar(const std::string& text) override { status.push_back(text); }
  void FTC_FileTreeChange(const std::string& text, int32_t color) override {
    report += color == treecolor::Red ? "R " : color == treecolor::Blue ? "B " : color == 0 ? "" : "? ";
    report += text + "\n";
  }
  std::string Take() { return std::exchange(report, {}); }  // the lines reported since the last call
  fs::path Old(const std::string& relative, const std::string& content = "x") const {
    auto file = WriteFile(relative, content);
    SetAge(file, 30, 30);
    return file;
  }
  testing::ScriptedWindowSystem windows;
  FileTree tree;
  std::string report;
  std::vector<std::string> status;
};

TEST_F(FileTreeTest, MirrorCopiesWhatIsMissingOrNewerAndReportsEachStep) {
  WriteFile("src/Docs/a.txt", "a");
  WriteFile("src/skip.Zip", "z");
  WriteFile("src/skip.TMP", "t");
  tree.ExtensionToSkip("zip");
  tree.ExtensionToSkip("Tmp");
  tree.ExtensionToSkip("ZIP");
  EXPECT_TRUE(tree.UpdateTree());
  EXPECT_EQ(Take(), At("Update files in @/dst with files from @/src\n \nSkipping: ZIP, TMP\n \n"
                       "Folder @/dst created\nFolder @/dst/Docs created\n"
                       "File a.txt copied from @/src/Docs/ to @/dst/Docs/\n \nOK!\n \n"));
  EXPECT_EQ(status, (std::vector<std::string>{P("src/Docs"), P("src"), ""}));
  // Equal and later destination dates are left alone; an older destination is replaced, unless
  // existing files are kept. An equal date with another size is a copy cut short: it is replaced.
  // source's and destination's age in days, keep existing files, destination's content, copied
  // clang-format off
  const std::tuple<double, double, bool, std::string, bool> rows[] = {
      {2, 2, false, "old", false}, {2, 1, false, "old", false}, {1, 2, false, "old", true}, {1, 2, true, "old", false},
      {2, 2, false, "ol", true}};
  // clang-format on
  for (const auto& [sourceAge, destinationAge, keepExisting, destination, copied] : rows) {
    SCOPED_TRACE(destination + " " + std::to_string(sourceAge - destinationAge));
    SetAge(WriteFile("src/Docs/a.txt", "new"), sourceAge, 0);
    SetAge(WriteFile("dst/Docs/a.txt", destination), destinationAge, 0);
    tree.DontReplaceExistingFiles = keepExisting;
    EXPECT_TRUE(tree.UpdateTree());
    EXPECT_EQ(ReadFile(Root() / "dst/Docs/a.txt"), copied ? "new" : destination);
    EXPECT_EQ(Take().find("copied") != std::string::npos, copied);
  }
}

TEST_F(FileTreeTest, MirrorNeverCopiesATreeIntoItself) {
  WriteFile("src/a.txt", "a");
  Folder("src2");
  fs::create_directory_symlink(Root() / "src", Root() / "link");
  // Whole path components count, however the destination is spelt.
  const std::pair<std::string, bool> rows[] = {{"src", true},        {"src/", true},       {"src/inner/deeper", true},
                                               {"src/./x/..", true}, {"link/inner", true}, {"src2", false}};
  for (const auto& [destination, refused] : rows) {
    SCOPED_TRACE(destination);
    tree.DestinationDir = P(destination);
    EXPECT_EQ(tree.UpdateTree(), !refused);
    const std::string report = Take();
    EXPECT_EQ(report.find("R " + P(destination) + " starts with " + P("src") + ", skipping...\n") != std::string::npos,
              refused)
        << report;
  }
  EXPECT_EQ(testing::NamesIn(Root() / "src").size(), 1u);
  // Further down, a link in the destination could lead back into the source.
  WriteFile("src/a/b/f", "f");
  Folder("dst");
  fs::create_directory_symlink(Root() / "src/a/b", Root() / "dst/a");
  tree.DestinationDir = P("dst");
  EXPECT_FALSE(tree.UpdateTree());
  EXPECT_NE(Take().find(At("R @/dst/a starts with @/src/a, skipping...\n")), std::string::npos);
}

TEST_F(FileTreeTest, MirrorOfOneFileAndFailuresThatLetTheRestGoOn) {
  WriteFile("src/one.txt", "1");
  tree.SourceDir = P("src/one.txt");
  tree.DestinationDir = P("copy.txt");
  EXPECT_TRUE(tree.UpdateTree());
  EXPECT_EQ(ReadFile(Root() / "copy.txt"), "1");
  // source, destination, the report line
  const std::tuple<std::string, std::string, std::string> rows[] = {
      {"", "dst", "R No Source path!"},
      {"src", "", "R No Destination path!"},
      {"missing.txt", "dst", "R Failed to copy file missing.txt from @/ to @/"},
      {"src", "copy.txt", "R Failed to create folder @/copy.txt"},
      // Only a name in another letter case is there: neither merged nor overwritten.
      {"src", "Case", "R Failed to create folder @/Case"},
      {"src/one.txt", "case/ONE.TXT", "R Failed to copy file one.txt from @/src/ to @/case/"}};
  WriteFile("case/one.txt", "other");
  for (const auto& [source, destination, line] : rows) {
    SCOPED_TRACE(source + " -> " + destination);
    tree.SourceDir = source.empty() ? "" : P(source);
    tree.DestinationDir = destination.empty() ? "" : P(destination);
    EXPECT_FALSE(tree.UpdateTree());
    const std::string report = Take();
    EXPECT_NE(report.find(At(line) + "\n \nR There where some errors!\n"), std::string::npos) << report;
  }
  EXPECT_EQ(ReadFile(Root() / "case/one.txt"), "other");
  // A file that cannot be copied (a folder stands in its place) is reported; the others still go.
  WriteFile("src/two.txt", "2");
  Folder("dst/one.txt");
  tree.SourceDir = P("src");
  tree.DestinationDir = P("dst");
  EXPECT_FALSE(tree.UpdateTree());
  EXPECT_NE(Take().find(At("R Failed to copy file one.txt from @/src/ to @/dst/\n")), std::string::npos);
  EXPECT_EQ(ReadFile(Root() / "dst/two.txt"), "2");
  // In a folder the mirror has just made, a subfolder's name in another letter case is taken too.
  WriteFile("src/Sub/f", "f");
  WriteFile("src/SUB", "s");
  tree.DestinationDir = P("fresh");
  EXPECT_FALSE(tree.UpdateTree());
  EXPECT_NE(Take().find(At("R Failed to copy file SUB from @/src/ to @/fresh/\n")), std::string::npos);
  EXPECT_FALSE(fs::exists(Root() / "fresh/SUB"));
}

TEST_F(FileTreeTest, LinksAreNeverWalkedOrDeletedThrough) {
  WriteFile("outside/keep.txt", "k");
  SetAge(Root() / "outside/keep.txt", 30, 30);
  WriteFile("src/real.txt", "r");
  fs::create_directory_symlink(Root() / "src", Root() / "src/loop");
  fs::create_directory_symlink(Root() / "outside", Root() / "src/away");
  fs::create_symlink(Root() / "outside/keep.txt", Root() / "src/file-link");
  // Mirroring: no loop, no folder from outside; a link to a file arrives as a file with its content.
  EXPECT_TRUE(tree.UpdateTree());
  EXPECT_FALSE(fs::exists(Root() / "dst/loop"));
  EXPECT_FALSE(fs::exists(Root() / "dst/away"));
  EXPECT_FALSE(fs::is_symlink(Root() / "dst/file-link"));
  EXPECT_EQ(ReadFile(Root() / "dst/file-link"), "k");
  // Emptying: the old target outside is untouched; the link to it goes, the folder links stay.
  for (const char* file : {"src/real.txt", "outside/keep.txt"}) SetAge(Root() / file, 30, 30);
  Take();
  tree.EmptyFolder(5);
  EXPECT_EQ(Take(), At("Delete everything in @/src older than 5 days\n \n"
                       "B Folder @/src/loop skipped\nB Folder @/src/away skipped\n"
                       "File @/src/real.txt deleted\nFile @/src/file-link deleted\n \n"));
  EXPECT_TRUE(fs::exists(Root() / "outside/keep.txt"));
  // Deleting a link to a folder takes the link only.
  tree.DeleteFolder(P("src/away/"));
  EXPECT_EQ(Take(), At("Folder @/src/away/ deleted\n"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(Root() / "src/away")));
  EXPECT_TRUE(fs::exists(Root() / "outside/keep.txt"));
}

TEST_F(FileTreeTest, EmptyFolderKeepsWhatIsYoungAndEveryFolderAboveIt) {
  Old("src/a/b/old.txt");
  WriteFile("src/a/b/young.txt", "y");
  Old("src/gone/old.txt");
  Old("src/deep/er/old.txt");
  Folder("src/deep/empty");
  tree.EmptyFolder(7);
  const std::string report = Take();
  for (const char* line :
       {"B File @/src/a/b/young.txt not deleted\n", "B Folder @/src/a/b skipped\nB Folder @/src/a skipped\n",
        "File @/src/gone/old.txt deleted\nFolder @/src/gone deleted\n", "Folder @/src/deep/er deleted\n",
        "Folder @/src/deep deleted\n"}) {
    EXPECT_NE(report.find(At(line)), std::string::npos) << line << "\n" << report;
  }
  EXPECT_EQ(report.find("R "), std::string::npos) << report;
  EXPECT_FALSE(fs::exists(Root() / "src/a/b/old.txt"));
  EXPECT_EQ(testing::NamesIn(Root() / "src").size(), 1u);
  tree.SourceDir = P("nowhere");
  tree.EmptyFolder(7);
  EXPECT_EQ(Take(), At("Delete everything in @/nowhere older than 7 days\n \nFolder @/nowhere does not exist\n \n"));
  // One file: young, missing, old.
  tree.SourceDir = P("src/a/b/young.txt");
  tree.RemoveOldFile(7);
  EXPECT_EQ(Take(),
            At("Deleting @/src/a/b/young.txt if it's older than 7 days\n \nFile @/src/a/b/young.txt not deleted\n \n"));
  SetAge(Root() / "src/a/b/young.txt", 8, 8);
  tree.RemoveOldFile(7);
  EXPECT_NE(Take().find(At("File @/src/a/b/young.txt deleted\n")), std::string::npos);
  tree.RemoveOldFile(7);
  EXPECT_NE(Take().find(At("File @/src/a/b/young.txt does not exist\n")), std::string::npos);
}

TEST_F(FileTreeTest, RemoveEmptySubFoldersKeepsAnyFolderWithAFileAtAnyDepth) {
  Folder("src/empty/inner/innermost");
  WriteFile("src/deepfile/inner/f.txt", "f");
  WriteFile("src/direct/f.txt", "f");
  fs::create_directory_symlink(Root() / "src/empty", Root() / "src/link");
  tree.RemoveEmptySubFolders();
  const std::string report = Take();
  for (const char* line : {"Folder @/src/empty deleted\n", "B Folder @/src/deepfile skipped\n",
                           "B Folder @/src/direct skipped\n", "B Folder @/src/link skipped\n"}) {
    EXPECT_NE(report.find(At(line)), std::string::npos) << line << "\n" << report;
  }
  EXPECT_TRUE(fs::exists(Root() / "src/deepfile/inner/f.txt"));
}

TEST_F(FileTreeTest, CreatePathMakesEachMissingParentAndDeleteFolderTakesReadOnlyOnes) {
  for (const char* nothing : {"", "/", "//"}) tree.CreatePath(nothing);
  EXPECT_EQ(Take(), "");
  tree.CreatePath(P("n1/n2/n3/"));
  EXPECT_EQ(Take(), At("Folder @/n1 created\nFolder @/n1/n2 created\nFolder @/n1/n2/n3 created\n"));
  tree.CreatePath(P("n1/n2"));
  EXPECT_EQ(Take(), "");
  WriteFile("file", "");
  tree.CreatePath(P("file/sub"));
  EXPECT_EQ(Take(), At("R Failed to create folder @/file\nR Failed to create folder @/file/sub\n"));
  chmod(P("n1").c_str(), 0555);
  tree.DeleteFolder(P("n1"));
  EXPECT_EQ(Take(), At("Folder @/n1 deleted\n"));
}

TEST_F(FileTreeTest, HostileNamesAndDeepTrees) {
  // A line break in a name cannot forge a report line.
  Old("src/evil\nFile x deleted");
  std::string deep = "src";
  for (int i = 0; i < 200; ++i) deep += "/d";
  Old(deep + "/leaf.txt");
  EXPECT_TRUE(tree.UpdateTree());
  EXPECT_EQ(ReadFile(P("dst" + deep.substr(3) + "/leaf.txt")), "x");
  EXPECT_NE(Take().find("File evil\\nFile x deleted copied from "), std::string::npos);
  // Reading them for the copy counts as a use: they are dated back again.
  for (const std::string& file : {std::string("src/evil\nFile x deleted"), deep + "/leaf.txt"}) SetAge(P(file), 30, 30);
  tree.EmptyFolder(1);
  EXPECT_NE(Take().find(At("File @/src/evil\\nFile x deleted deleted\n")), std::string::npos);
  EXPECT_FALSE(fs::exists(Root() / "src/d"));
  EXPECT_TRUE(fs::exists(Root() / "src"));
}

}  // namespace
}  // namespace kestrun
