// Mirroring a folder tree into another: what is missing or newer is copied, nothing is removed.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "filetree/FileTree.h"
#include "filetree/FileTreeSupport.h"
#include "platform/FileHandles.h"
#include "platform/Text.h"

namespace kestrun {

namespace {

namespace fs = std::filesystem;

// The path as the system finds it: the part that exists with its links and letter case resolved, the
// rest as written. Two paths compared this way meet where the tree really is, however they are spelt.
std::string Resolved(FileSystemObject& fso, const std::string& path) {
  std::error_code ec;
  std::string current = fs::absolute(path, ec).string();
  if (ec) current = path;
  std::vector<std::string> missing;
  for (;;) {
    while (current.size() > 1 && current.back() == '/') current.pop_back();
    if (auto existing = fso.ResolveExisting(current)) {
      if (char* real = ::realpath(existing->c_str(), nullptr)) {
        current = real;
        std::free(real);
      }
      break;
    }
    const std::size_t slash = current.find_last_of('/');
    if (slash == std::string::npos || current == "/") break;
    missing.push_back(current.substr(slash + 1));
    current = slash == 0 ? std::string("/") : current.substr(0, slash);
  }
  fs::path out(current);
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) out /= *it;
  std::string normal = out.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string DateText(const timespec& when) { return FileDateText(std::chrono::system_clock::from_time_t(when.tv_sec)); }

// True when `inner` is `outer` or lies below it, compared by whole path components: /data/pkg2 is not
// inside /data/pkg, and /data/pkg/ is /data/pkg.
bool WithinFolder(const std::string& inner, const std::string& outer) {
  if (outer == "/") return true;
  return inner.compare(0, outer.size(), outer) == 0 && (inner.size() == outer.size() || inner[outer.size()] == '/');
}

}  // namespace

bool FileTree::UpdateTree() {
  RaiseChange("Update files in " + DestinationDir + " with files from " + SourceDir);
  RaiseChange(" ");
  const std::string skipping = ListExtensionsToSkip();
  if (!su_.TrimText(skipping, " ").empty()) {
    RaiseChange("Skipping: " + skipping);
    RaiseChange(" ");
  }
  bool result = pUpdateTree(SourceDir, DestinationDir);
  // The copies went without waiting for the disk: the tree is on disk before it is reported done.
  if (!flush_.FlushAll()) {
    RaiseChange("Failed to flush " + DestinationDir + " to disk", treecolor::Red);
    result = false;
  }
  RaiseChange(" ");
  if (result) {
    RaiseChange("OK!");
  } else {
    RaiseChange("There where some errors!", treecolor::Red);
  }
  pEndOperation();
  return result;
}

// Every refusal and failure below gives false, so that the run never ends in "OK!" after one.
bool FileTree::pUpdateTree(const std::string& strSource, const std::string& strDestination) {
  bool result = true;
  try {
    if (strSource.empty()) {
      RaiseChange("No Source path!", treecolor::Red);
      return false;
    }
    if (strDestination.empty()) {
      RaiseChange("No Destination path!", treecolor::Red);
      return false;
    }
    auto fso = FSO();
    if (!fso->FolderExists(strSource)) {
      const auto file = fso->ResolveExisting(strSource);
      return pUpdateFile(file ? *file : strSource, strDestination);
    }

    // Below a destination that is not in the source, a folder can only lead back into the source
    // through a link; so the resolving check runs for the top folder and for links.
    const bool top = strSource == SourceDir && strDestination == DestinationDir;
    if ((top || filetree::IsLink(strDestination)) &&
        WithinFolder(Resolved(*fso, strDestination), Resolved(*fso, strSource))) {
      RaiseChange(strDestination + " starts with " + strSource + ", skipping...", treecolor::Red);
      return false;
    }
    bool created = false;
    if (!fso->FolderExists(strDestination)) {
      CreatePath(strDestination);
      if (!fso->FolderExists(strDestination)) return false;  // CreatePath has said why
      created = true;
    } else if (!filetree::ExistsExactly(strDestination)) {
      // Only a folder whose name differs in letter case is there: filling it would merge two folders.
      RaiseChange("Failed to create folder " + su_.RemovePathEnding(strDestination), treecolor::Red);
      return false;
    }

    const FsoFolder folder = fso->GetFolder(strSource);
    const std::string destination = su_.CheckPathEnding(strDestination);
    // Listed before walking down, so that one folder is open at a time however deep the tree is.
    std::vector<FsoFolder> subFolders;
    for (const FsoFolder& sub : folder.SubFolders()) subFolders.push_back(sub);
    for (const FsoFolder& sub : subFolders) {
      if (!pYield()) return false;
      if (filetree::IsLink(sub.Path())) continue;
      if (!pUpdateTree(sub.Path(), destination + sub.Name())) result = false;
    }
    UpdateStatusBar(strSource);
    if (!pYield()) return false;
    // A folder made just now holds only what this walk puts there: its files need not be looked for.
    // Once the walk has made subfolders in it, their names are read with the folder (a file may not
    // take one of them in another letter case).
    namesFolder_ = destination;
    names_.clear();
    namesRead_ = namesFresh_ = namesKnown_ = created && subFolders.empty();
    for (const FsoFile& file : folder.Files()) {
      if (!pYield()) return false;
      if (!pUpdateFile(file.Path(), destination + file.Name())) result = false;
    }
  } catch (const std::exception&) {
    filetree::ReportWithPlace("pUpdateTree", strSource);
    result = false;
  }
  return result;
}

// A file that cannot be handled (unreadable, vanished, its dates unreadable) is reported as a failed
// copy, and the walk goes on with the next one. Both names come from listings (or were resolved), so
// each file is looked at once, by its exact name: a tree of many files is compared quickly.
bool FileTree::pUpdateFile(const std::string& strSourceFile, const std::string& strDestinationFile) {
  try {
    if (CheckExtension(su_.ExtractExtension(strSourceFile))) return true;
    if (namesFresh_ && su_.ExtractPath(strDestinationFile) == namesFolder_) {
      if (pNameTakenInOtherCase(strDestinationFile)) Raise(err::FileAlreadyExists);
      return pCopyFile(strSourceFile, strDestinationFile, false);
    }
    struct stat destination;
    if (::stat(strDestinationFile.c_str(), &destination) != 0) {
      // A file whose name differs only in letter case is another file: it is not overwritten.
      if (errno == ENOENT && pNameTakenInOtherCase(strDestinationFile)) Raise(err::FileAlreadyExists);
      return pCopyFile(strSourceFile, strDestinationFile, false);
    }
    if (S_ISREG(destination.st_mode)) {
      if (DontReplaceExistingFiles) return true;
      struct stat source;
      if (::stat(strSourceFile.c_str(), &source) != 0) Raise(err::FileNotFound);
      // The dates compare as their "YYYY-MM-DD HH.NN.SS" texts, to the second. A copy takes its
      // source's date before it takes its name, so a copy that a power cut caught before its data
      // reached the disk has the same date and another size: it is copied again.
      const std::string strSourceDate = DateText(source.st_mtim);
      const std::string strDestinationDate = DateText(destination.st_mtim);
      if (!(strSourceDate > strDestinationDate) &&
          !(strSourceDate == strDestinationDate && source.st_size != destination.st_size)) {
        return true;
      }
    }
    return pCopyFile(strSourceFile, strDestinationFile, true);
  } catch (const std::exception&) {
    pReportCopy(strSourceFile, strDestinationFile, false);
    return false;
  }
}

// A mirror records nothing per file, so a copy need not wait for the disk: UpdateTree flushes the tree
// once at the end. Only a copy into a folder that cannot be held for that flush waits by itself.
bool FileTree::pCopyFile(const std::string& strSourceFile, const std::string& strDestinationFile, bool blnExists) {
  const std::string folder = su_.ExtractPath(strDestinationFile);
  CopyOptions options;
  options.flush = flush_.Hold(folder) ? CopyFlush::Later : CopyFlush::Now;
  bool copied = true;
  if (blnExists) {
    copied = fu_.CopyFile(strSourceFile, strDestinationFile, options);  // clears a read-only destination first
  } else {
    // Nothing there to clear: straight to the file-system object's copy, which goes through a
    // temporary file, so a failed copy never leaves a half file under the destination's name. Where
    // every name in the folder is known, the name was looked for in every letter case already.
    options.newFile = namesKnown_ && folder == namesFolder_;
    try {
      FSO()->CopyFile(strSourceFile, strDestinationFile, true, options);
    } catch (const std::exception&) {
      copied = false;
    }
  }
  if (copied) pNoteName(strDestinationFile);
  if (!copied || !OnlyLogErrors) pReportCopy(strSourceFile, strDestinationFile, copied);
  return copied;
}

bool FileTree::pNameTakenInOtherCase(const std::string& strDestinationFile) {
  const std::string folder = su_.ExtractPath(strDestinationFile);
  if (!namesRead_ || folder != namesFolder_) {
    // Read once per destination folder and kept up to date with what is copied into it.
    names_.clear();
    namesFolder_ = folder;
    namesRead_ = true;
    namesFresh_ = namesKnown_ = false;
    if (platform::UniqueDir dir{::opendir(folder.empty() ? "." : folder.c_str())}) {
      int error = 0;
      while (const dirent* entry = dir.Next(error)) names_.insert(text::UCase(entry->d_name));
      namesKnown_ = error == 0;
    }
  }
  return names_.count(text::UCase(su_.ExtractFilename(strDestinationFile))) != 0;
}

void FileTree::pNoteName(const std::string& strDestinationFile) {
  if (namesRead_ && su_.ExtractPath(strDestinationFile) == namesFolder_) {
    names_.insert(text::UCase(su_.ExtractFilename(strDestinationFile)));
  }
}

void FileTree::pReportCopy(const std::string& strSourceFile, const std::string& strDestinationFile, bool blnCopied) {
  const std::string name = su_.ExtractFilename(strSourceFile);
  const std::string route = " from " + su_.ExtractPath(strSourceFile) + " to " + su_.ExtractPath(strDestinationFile);
  if (blnCopied) {
    RaiseChange("File " + name + " copied" + route);
  } else {
    RaiseChange("Failed to copy file " + name + route, treecolor::Red);
  }
}

}  // namespace kestrun
