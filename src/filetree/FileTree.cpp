// The engine's wiring, its skip list and the folder operations that the tree walks share.
#include "filetree/FileTree.h"

#include <unistd.h>

#include <cerrno>

#include "filetree/FileTreeSupport.h"
#include "platform/Cancellation.h"
#include "platform/FtpListing.h"
#include "platform/Text.h"
#include "platform/WindowSystem.h"

namespace kestrun {

void FileTree::InitMyObjects(TreeDriver& objA) {
  objA_ = &objA;
  su_ = StringUtilities();
  fu_ = FileUtilities();
}

// The engine and its file utilities share one file-system object: it keeps what it learnt of each
// folder's names, and two objects would each have to read a changing folder anew for every file.
std::shared_ptr<FileSystemObject> FileTree::FSO() { return fu_.FSO(); }

void FileTree::RaiseChange(const std::string& strText, int32_t Color) {
  if (!events_) return;
  // A name holding a line break or an escape sequence must not forge or garble report lines.
  if (text::HasControlCharacter(strText)) {
    events_->FTC_FileTreeChange(platform::PrintableName(strText, std::string::npos), Color);
    return;
  }
  events_->FTC_FileTreeChange(strText, Color);
}

void FileTree::UpdateStatusBar(const std::string& strText) {
  if (!objA_) return;
  if (TreeStatusBar* controller = objA_->TreeController()) controller->UpdateStatusBar(strText);
}

bool FileTree::pYield() {
  platform::Windows().DoEvents();
  return !platform::CancelRequested();
}

void FileTree::pEndOperation() {
  UpdateStatusBar("");
  RaiseChange(" ");
}

void FileTree::ExtensionToSkip(const std::string& strExtension) {
  const std::string key = text::UCase(strExtension);
  if (key.empty() || skip_.Item(key)) return;
  skip_.Add(key, key);
}

bool FileTree::CheckExtension(const std::string& strExtension) const {
  return !strExtension.empty() && skip_.Item(strExtension) != nullptr;
}

std::string FileTree::ListExtensionsToSkip() const {
  std::string list;
  for (const auto& entry : skip_) {
    if (!list.empty()) list += ", ";
    list += entry.second;
  }
  return list;
}

void FileTree::CreatePath(const std::string& strPath) {
  std::string path;
  try {
    if (strPath.empty() || (su_.Syntax().Windows && text::CharCount(strPath) == 2 && strPath.back() == ':')) return;
    path = su_.RemovePathEnding(strPath);
    if (path.empty()) return;  // the root
    auto fso = FSO();
    if (fso->FolderExists(path)) return;
    CreatePath(su_.ExtractPath(path));
    fso->CreateFolder(path);
    if (!OnlyLogErrors) RaiseChange("Folder " + path + " created");
  } catch (const std::exception&) {
    RaiseChange("Failed to create folder " + (path.empty() ? strPath : path), treecolor::Red);
  }
}

void FileTree::DeleteFolder(const std::string& strPath) {
  try {
    if (filetree::IsLink(strPath)) {
      // A link is taken away by itself; what it leads to stays untouched.
      const std::string path = su_.RemovePathEnding(strPath);
      if (!FSO()->FolderExists(path)) Raise(err::PathNotFound);
      if (::unlink(path.c_str()) != 0) Raise(errno == ENOENT ? err::PathNotFound : err::PermissionDenied);
    } else {
      FsoFolder folder = FSO()->GetFolder(strPath);
      const int attributes = folder.Attributes();
      if (attributes & fsattr::ReadOnly) folder.SetAttributes(attributes & ~fsattr::ReadOnly);
      FSO()->DeleteFolder(strPath, false);
    }
    RaiseChange("Folder " + strPath + " deleted");
  } catch (const std::exception&) {
    RaiseChange("Failed to delete folder " + strPath, treecolor::Red);
  }
}

}  // namespace kestrun
