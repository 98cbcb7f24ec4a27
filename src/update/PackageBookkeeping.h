#pragma once
#include <string>

#include "update/RunContext.h"
#include "util/StringUtilities.h"

namespace kestrun::update {

// Keeps the local package folder in order around each retrieval: which package this machine fetched
// last, the copy under the fixed name given with /Rename, and the removal of the oldest packages.
class PackageBookkeeping {
 public:
  explicit PackageBookkeeping(const RunContext& context) : context_(context) {}

  // The upper-cased name of the package recorded last, the threshold a fetched name must exceed; empty
  // when none is recorded, or when it is missing from the local folder and no rename target is set.
  std::string GetLatestUpdate();
  // Copies the fetched package to the rename target and removes it; true when there is no target or
  // both steps went through. No handler of its own: a failure ends the calling retrieval.
  bool RenameUpdate(const std::string& strFileName);
  // Removes the oldest matching packages until at most SDATsToKeep remain.
  void RemoveOldSDATs();

 private:
  const RunContext& context_;
  StringUtilities su_;
};

}  // namespace kestrun::update
