#include "update/UpdateRun.h"

#include <exception>
#include <string>

#include "platform/WindowSystem.h"
#include "util/ErrorReport.h"
#include "util/FileUtilities.h"

namespace kestrun::update {

void UpdateRun::GetUpdates() {
  try {
    RunSettings& settings = context_.Settings();
    platform::RunWindow& window = context_.Window();
    // Until the run has got through, a scheduler reading the exit status must not take it for done.
    settings.LastSourceFailed = true;
    // "~/" stands for the home folder where a setting names a folder here (the stored text keeps it).
    settings.LocalPath = su_.CheckPathEnding(ExpandHomeFolder(settings.LocalPath));

    // Whether the last source tried ran through; only the exit status looks at the alternate's.
    bool blnLastSourceOk = false;
    switch (settings.HowToCopy) {
      case 0:
        blnLastSourceOk = ftp_.GetUpdatesFTP(settings.HostName, settings.RemotePath);
        if (!blnLastSourceOk && !context_.Stopped() && !settings.AltRemotePath.empty() &&
            !settings.AltHostName.empty()) {
          window.AddText(" ");
          blnLastSourceOk = ftp_.GetUpdatesFTP(settings.AltHostName, settings.AltRemotePath);
        }
        break;
      case 1:
        // Host names play no part in copy mode.
        blnLastSourceOk = copy_.GetUpdatesCopy(ExpandHomeFolder(settings.RemotePath));
        if (!blnLastSourceOk && !context_.Stopped() && !settings.AltRemotePath.empty()) {
          window.AddText(" ");
          blnLastSourceOk = copy_.GetUpdatesCopy(ExpandHomeFolder(settings.AltRemotePath));
        }
        break;
      default:
        // Nothing is retrieved, but the old packages are still pruned.
        platform::Windows().MsgBox("Undefined CopyMethod: " + std::to_string(settings.HowToCopy));
        break;
    }
    if (context_.Stopped()) return;
    settings.LastSourceFailed = !blnLastSourceOk;

    bookkeeping_.RemoveOldSDATs();
    if (context_.Stopped()) {
      settings.LastSourceFailed = true;
      return;
    }
    window.AddText("Finished");
    window.UpdateStatusBar("");
  } catch (const std::exception&) {
    ReportError(kReportClass, "GetUpdates");
  }
}

}  // namespace kestrun::update
