#pragma once
#include <memory>
#include <utility>

#include "platform/RunWindow.h"
#include "update/CopyRetrieval.h"
#include "update/FtpRetrieval.h"
#include "update/PackageBookkeeping.h"
#include "update/RunContext.h"
#include "update/RunSettings.h"
#include "util/StringUtilities.h"

namespace kestrun {
class FileSystemObject;
}

namespace kestrun::update {

// One update run and its parts: the copy and FTP retrievals and the bookkeeping of the local package
// folder. It knows no window and no controller, only the window it reports to and the settings it is
// bound to, so that it runs the same behind the main window and in a test.
class UpdateRun {
 public:
  explicit UpdateRun(platform::RunWindow& window)
      : context_(window), bookkeeping_(context_), copy_(context_, bookkeeping_), ftp_(context_, bookkeeping_) {}
  UpdateRun(const UpdateRun&) = delete;
  UpdateRun& operator=(const UpdateRun&) = delete;

  // Binds the run to the controller's settings and its shared file-system object; nullptr unbinds it.
  // Until bound, each operation reports "object variable not set" (91).
  void Bind(RunSettings* settings, std::shared_ptr<FileSystemObject> fso) { context_.Bind(settings, std::move(fso)); }

  // One complete update run: the primary source, the alternate when the primary failed, pruning.
  void GetUpdates();

  CopyRetrieval& Copy() { return copy_; }
  FtpRetrieval& Ftp() { return ftp_; }
  PackageBookkeeping& Bookkeeping() { return bookkeeping_; }

 private:
  RunContext context_;
  PackageBookkeeping bookkeeping_;
  CopyRetrieval copy_;
  FtpRetrieval ftp_;
  StringUtilities su_;
};

}  // namespace kestrun::update
