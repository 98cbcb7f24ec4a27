// Clearing a tree: old files, the folders they leave empty, empty subfolders, one old file.
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "filetree/FileTree.h"
#include "filetree/FileTreeSupport.h"

namespace kestrun {

namespace {

std::vector<FsoFolder> SubFoldersOf(const FsoFolder& folder) {
  std::vector<FsoFolder> subFolders;
  for (const FsoFolder& sub : folder.SubFolders()) subFolders.push_back(sub);
  return subFolders;
}

}  // namespace

void FileTree::EmptyFolder(int32_t lngDaysToKeep) {
  RaiseChange("Delete everything in " + SourceDir + " older than " + std::to_string(lngDaysToKeep) + " days");
  RaiseChange(" ");
  pEmptyFolder(SourceDir, lngDaysToKeep);
  pEndOperation();
}

// True when everything in the folder went. A folder that kept anything, or whose walk broke off, gives
// false, so that the folders above it stay as well.
bool FileTree::pEmptyFolder(const std::string& strPath, int32_t lngDaysToKeep) {
  bool result = true;
  std::string step;
  try {
    auto fso = FSO();
    if (!fso->FolderExists(strPath)) {
      RaiseChange("Folder " + strPath + " does not exist");
      return result;
    }
    const FsoFolder folder = fso->GetFolder(strPath);

    step = "Process folders";
    // Listed before walking down, so that one folder is open at a time however deep the tree is.
    for (const FsoFolder& sub : SubFoldersOf(folder)) {
      if (!pYield()) return false;
      if (!filetree::IsLink(sub.Path()) && pEmptyFolder(sub.Path(), lngDaysToKeep)) {
        if (!pRemoveEmptiedFolder(sub.Path())) result = false;
      } else {
        result = false;
        RaiseChange("Folder " + sub.Path() + " skipped", treecolor::Blue);
      }
    }

    step = "Process files";
    UpdateStatusBar(strPath);
    if (!pYield()) return false;
    for (const FsoFile& file : folder.Files()) {
      if (!pYield()) return false;
      if (fu_.DeleteOldFile(file.Path(), lngDaysToKeep)) {
        RaiseChange("File " + file.Path() + " deleted");
      } else {
        result = false;
        RaiseChange("File " + file.Path() + " not deleted",
                    pNotDeletedColor(file.Path(), lngDaysToKeep, treecolor::Blue));
      }
    }
  } catch (const std::exception&) {
    result = false;
    switch (ErrorInfoOf(std::current_exception()).number) {
      case err::FileNotFound: RaiseChange("File not found (" + strPath + ") (" + step + ")", treecolor::Red); break;
      case err::PermissionDenied: RaiseChange("Permission denied (" + strPath + ")", treecolor::Red); break;
      case err::PathNotFound: RaiseChange("Path not found (" + strPath + ") (" + step + ")", treecolor::Red); break;
      default: filetree::ReportWithPlace("pEmptyFolder", strPath + ") (" + step);
    }
  }
  return result;
}

// Only a folder that is still empty goes: a file that arrived while the folder was walked stays, and so
// does anything the walk does not handle (a link to a folder, a pipe).
bool FileTree::pRemoveEmptiedFolder(const std::string& strPath) {
  if (::rmdir(strPath.c_str()) == 0) {
    RaiseChange("Folder " + strPath + " deleted");
    return true;
  }
  if (errno == ENOTEMPTY || errno == EEXIST) {
    RaiseChange("Folder " + strPath + " skipped", treecolor::Blue);
  } else {
    RaiseChange("Failed to delete folder " + strPath, treecolor::Red);
  }
  return false;
}

// A file left by DeleteOldFile is kept on purpose when it is young enough; when it is old enough and
// still there, deleting it failed, and that is reported as a failure.
int32_t FileTree::pNotDeletedColor(const std::string& strPath, int32_t lngDaysToKeep, int32_t youngColor) {
  try {
    if (filetree::ExistsExactly(strPath) && fu_.IsOldFile(strPath, lngDaysToKeep)) return treecolor::Red;
  } catch (const std::exception&) {
    // Gone or unreadable meanwhile: nothing is known to have failed.
  }
  return youngColor;
}

void FileTree::RemoveOldFile(int32_t lngDaysToKeep) {
  RaiseChange("Deleting " + SourceDir + " if it's older than " + std::to_string(lngDaysToKeep) + " days");
  RaiseChange(" ");
  pRemoveOldFile(SourceDir, lngDaysToKeep);
  pEndOperation();
}

bool FileTree::pRemoveOldFile(const std::string& strPath, int32_t lngDaysToKeep) {
  bool result = true;
  try {
    if (!FSO()->FileExists(strPath)) {
      RaiseChange("File " + strPath + " does not exist");
    } else if (fu_.DeleteOldFile(strPath, lngDaysToKeep)) {
      RaiseChange("File " + strPath + " deleted");
    } else {
      result = false;
      RaiseChange("File " + strPath + " not deleted", pNotDeletedColor(strPath, lngDaysToKeep, treecolor::Black));
    }
  } catch (const std::exception&) {
    filetree::ReportWithPlace("pRemoveOldFile", strPath);
    result = false;
  }
  return result;
}

void FileTree::RemoveEmptySubFolders() {
  RaiseChange("Delete all folders in " + SourceDir + " not containing any files");
  RaiseChange(" ");
  pRemoveEmptySubFolders(SourceDir);
  pEndOperation();
}

// A subfolder goes only when nothing but folders lies anywhere below it: a file deeper down keeps it.
bool FileTree::pRemoveEmptySubFolders(const std::string& strPath) {
  bool result = true;
  try {
    auto fso = FSO();
    if (!fso->FolderExists(strPath)) {
      RaiseChange("Folder " + strPath + " does not exist");
      return result;
    }
    for (const FsoFolder& sub : SubFoldersOf(fso->GetFolder(strPath))) {
      if (!pYield()) return false;
      if (!filetree::IsLink(sub.Path()) && !filetree::HoldsAnythingButFolders(sub.Path())) {
        DeleteFolder(sub.Path());
      } else {
        RaiseChange("Folder " + sub.Path() + " skipped", treecolor::Blue);
      }
    }
  } catch (const std::exception&) {
    result = false;
    if (ErrorInfoOf(std::current_exception()).number == err::PermissionDenied) {
      RaiseChange("Permission denied (" + strPath + ")", treecolor::Red);
    } else {
      filetree::ReportWithPlace("pRemoveEmptySubFolders", strPath);
    }
  }
  return result;
}

}  // namespace kestrun
