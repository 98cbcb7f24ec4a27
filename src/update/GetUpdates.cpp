// One complete update run: the primary source, the alternate when the primary failed, pruning.
#include <exception>
#include <string>

#include "app/AppMain.h"
#include "platform/WindowSystem.h"
#include "ui/frmMain.h"
#include "update/UpdateRun.h"
#include "util/ErrorReport.h"
#include "util/FileUtilities.h"
#include "util/RuntimeError.h"

namespace kestrun {

void frmMain::GetUpdates() {
  try {
    if (!objAM_) Raise(err::ObjectVariableNotSet);
    AppMain& am = *objAM_;
    // Until the run has got through, a scheduler reading the exit status must not take it for done.
    am.LastSourceFailed = true;
    // "~/" stands for the home folder where a setting names a folder here (the stored text keeps it).
    am.LocalPath = su_.CheckPathEnding(ExpandHomeFolder(am.LocalPath));

    // Whether the last source tried ran through; only the exit status looks at the alternate's.
    bool blnLastSourceOk = false;
    switch (am.HowToCopy) {
      case 0:
        blnLastSourceOk = GetUpdatesFTP(am.HostName, am.RemotePath);
        if (!blnLastSourceOk && !update::RunStopped(*this) && !am.AltRemotePath.empty() && !am.AltHostName.empty()) {
          AddText(" ");
          blnLastSourceOk = GetUpdatesFTP(am.AltHostName, am.AltRemotePath);
        }
        break;
      case 1:
        // Host names play no part in copy mode.
        blnLastSourceOk = GetUpdatesCopy(ExpandHomeFolder(am.RemotePath));
        if (!blnLastSourceOk && !update::RunStopped(*this) && !am.AltRemotePath.empty()) {
          AddText(" ");
          blnLastSourceOk = GetUpdatesCopy(ExpandHomeFolder(am.AltRemotePath));
        }
        break;
      default:
        // Nothing is retrieved, but the old packages are still pruned.
        platform::Windows().MsgBox("Undefined CopyMethod: " + std::to_string(am.HowToCopy));
        break;
    }
    if (update::RunStopped(*this)) return;
    am.LastSourceFailed = !blnLastSourceOk;

    RemoveOldSDATs();
    if (update::RunStopped(*this)) {
      am.LastSourceFailed = true;
      return;
    }
    AddText("Finished");
    am.UpdateStatusBar("");
  } catch (const std::exception&) {
    ReportError("frmMain", "GetUpdates");
  }
}

}  // namespace kestrun
