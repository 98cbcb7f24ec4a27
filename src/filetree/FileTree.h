#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "filetree/DeferredFlush.h"
#include "filetree/FileTreeHost.h"
#include "util/FileUtilities.h"
#include "util/KeyedCollection.h"
#include "util/StringUtilities.h"

namespace kestrun {

// Maintains a folder tree: mirrors a source tree into a destination by copying what is missing or
// newer, empties a tree of old files, removes empty subfolders, removes one old file, and creates or
// deletes folders. Every step is reported as a coloured line through FileTreeChange; the folder under
// work is shown in the controller's status bar.
//
// Symbolic links met inside a tree are never walked or deleted through: a link to a folder is left as
// it is (it could loop, or lead anywhere on the machine), and deleting removes only the link. A link to
// a file is mirrored as a file holding the content it points to. A folder named by the caller may
// itself be a link.
class FileTree {
 public:
  std::string SourceDir;
  std::string DestinationDir;
  bool OnlyLogErrors = false;
  bool DontReplaceExistingFiles = false;

  void InitMyObjects(TreeDriver& objA);
  // Where the report lines go (not owned; nullptr: nowhere).
  void SetEvents(FileTreeEvents* events) { events_ = events; }

  // True when every file and folder went through.
  bool UpdateTree();
  void EmptyFolder(int32_t lngDaysToKeep);
  void RemoveOldFile(int32_t lngDaysToKeep);
  void RemoveEmptySubFolders();

  void ExtensionToSkip(const std::string& strExtension);
  bool CheckExtension(const std::string& strExtension) const;
  std::string ListExtensionsToSkip() const;

  void DeleteFolder(const std::string& strPath);
  void CreatePath(const std::string& strPath);

 private:
  bool pUpdateTree(const std::string& strSource, const std::string& strDestination);
  bool pUpdateFile(const std::string& strSourceFile, const std::string& strDestinationFile);
  // `blnExists`: the destination file is there already.
  bool pCopyFile(const std::string& strSourceFile, const std::string& strDestinationFile, bool blnExists);
  void pReportCopy(const std::string& strSourceFile, const std::string& strDestinationFile, bool blnCopied);
  // True when the destination's folder holds the file's name in another letter case. The file-system
  // object would take that file for this one; in a tree it is another file.
  bool pNameTakenInOtherCase(const std::string& strDestinationFile);
  void pNoteName(const std::string& strDestinationFile);
  bool pEmptyFolder(const std::string& strPath, int32_t lngDaysToKeep);
  bool pRemoveEmptySubFolders(const std::string& strPath);
  bool pRemoveOldFile(const std::string& strPath, int32_t lngDaysToKeep);
  // Removes a folder emptied by pEmptyFolder, only if it is still empty.
  bool pRemoveEmptiedFolder(const std::string& strPath);
  // One old file that DeleteOldFile left: a failure when it is still there and old enough to go.
  int32_t pNotDeletedColor(const std::string& strPath, int32_t lngDaysToKeep, int32_t youngColor);

  std::shared_ptr<FileSystemObject> FSO();
  void RaiseChange(const std::string& strText, int32_t Color = treecolor::Black);
  void UpdateStatusBar(const std::string& strText);
  // The pending-message pass before each folder and file; false once the user asked to stop.
  bool pYield();
  // The closing of every public operation: the status bar cleared and a blank line.
  void pEndOperation();

  TreeDriver* objA_ = nullptr;
  FileTreeEvents* events_ = nullptr;
  StringUtilities su_;
  FileUtilities fu_;
  KeyedCollection<std::string> skip_;
  // The names in the destination folder being filled, upper-cased (see pNameTakenInOtherCase).
  std::string namesFolder_;
  bool namesRead_ = false;
  bool namesFresh_ = false;  // the folder was made by this walk: nothing else is in it
  bool namesKnown_ = false;  // names_ holds every name in the folder (made by this walk, or read whole)
  std::unordered_set<std::string> names_;
  // Where the mirror's copies went without waiting for the disk.
  filetree::DeferredFlush flush_;
};

}  // namespace kestrun
