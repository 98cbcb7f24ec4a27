// What comes between the settings and the update run: the run lock and the leftovers of killed runs.
#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/RunLock.h"
#include "ui/frmMain.h"
#include "update/UnfinishedDownloads.h"
#include "util/FileUtilities.h"

namespace kestrun {

bool Application::pPrepareRun() {
  frmMain& form = am_->frm();
  // Two runs for one store (a cron entry whose last run is still downloading) would fetch the same
  // packages twice and prune each other's: the second waits for the first. The settings were asked for
  // before this point, so a person answering /Init never holds up a scheduled run.
  runLock_ = std::make_unique<platform::RunLock>();
  bool waited = false;
  const auto outcome = runLock_->Acquire(platform::RunLockPath(), platform::RunLockWait(), [&] {
    waited = true;
    am_->UpdateStatusBar("Waiting for another run to finish");
  });
  if (waited) am_->UpdateStatusBar("");
  switch (outcome) {
    case platform::RunLock::Outcome::Held: break;
    case platform::RunLock::Outcome::Unavailable:
      // Better a run without the lock than no run at all.
      form.AddText("Running without the run lock: " + runLock_->Problem(), platform::ColorRed);
      break;
    case platform::RunLock::Outcome::Busy:
      form.AddText("Another run is still in progress", platform::ColorRed);
      otherRunBusy_ = true;
      return false;
    case platform::RunLock::Outcome::Stopped: return false;
  }

  // No other run of this store is under way now, so every temporary file of ours is a dead run's.
  const std::string folder = ExpandHomeFolder(am_->LocalPath);
  for (const auto& leftover : update::RemoveUnfinishedDownloads(folder, am_->FileMask, am_->NewFileName)) {
    if (leftover.error.empty()) {
      form.AddText("Removed unfinished download " + leftover.name);
    } else {
      form.AddText("Cannot remove unfinished download " + leftover.name + ": " + leftover.error, platform::ColorRed);
    }
  }
  return true;
}

}  // namespace kestrun
