#pragma once
#include <string>

#include "update/PackageBookkeeping.h"
#include "update/RunContext.h"
#include "util/StringUtilities.h"

namespace kestrun::update {

// Copy retrieval: fetches new packages from an ordinary folder or network share.
class CopyRetrieval {
 public:
  CopyRetrieval(const RunContext& context, PackageBookkeeping& bookkeeping)
      : context_(context), bookkeeping_(bookkeeping) {}

  // Copies every matching package of `strRemotePath` that ranks above the recorded one and is not in
  // the local folder yet, recording each. False when the folder is missing, a failure ended the scan or
  // the run was stopped: the alternate folder is then tried.
  bool GetUpdatesCopy(const std::string& strRemotePath);

 private:
  const RunContext& context_;
  PackageBookkeeping& bookkeeping_;
  StringUtilities su_;
};

}  // namespace kestrun::update
