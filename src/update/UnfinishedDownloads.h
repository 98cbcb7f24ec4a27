#pragma once
#include <string>
#include <vector>

namespace kestrun::update {

// A download or copy writes under a hidden temporary name, "." + NAME + "." + a tag of 6 to 12 letters
// and digits + ".part", and renames it only when complete. A run killed on the way (SIGKILL, a power
// cut) leaves that file behind, and nothing else would ever remove it.
struct UnfinishedDownload {
  std::string name;   // the package's own name (NAME above)
  std::string error;  // why it could not be removed; empty when it was
};

// Whether `fileName` is such a temporary file of ours: NAME matches `mask` (any letter case) or is
// `fixedName` (the /Rename target, when not empty). Gives NAME in `name`.
bool IsUnfinishedDownload(const std::string& fileName, const std::string& mask, const std::string& fixedName,
                          std::string& name);

// Removes the regular files in `folder` (not below it) that IsUnfinishedDownload recognises and touches
// nothing else: not links, not folders, not other names. A folder that cannot be read gives nothing.
std::vector<UnfinishedDownload> RemoveUnfinishedDownloads(const std::string& folder, const std::string& mask,
                                                          const std::string& fixedName);

}  // namespace kestrun::update
