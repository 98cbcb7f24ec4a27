// One complete update run: the primary source, the alternate when the primary failed, pruning.
#include <exception>

#include "app/AppMain.h"
#include "platform/WindowSystem.h"
#include "ui/frmMain.h"
#include "util/ErrorReport.h"

namespace kestrun {

void frmMain::GetUpdates() {
  try {
    AppMain& am = *objAM_;
    am.LocalPath = su_.CheckPathEnding(am.LocalPath);
    switch (am.HowToCopy) {
      case 0:
        if (!GetUpdatesFTP(am.HostName, am.RemotePath) && !am.AltRemotePath.empty() && !am.AltHostName.empty()) {
          AddText(" ");
          GetUpdatesFTP(am.AltHostName, am.AltRemotePath);
        }
        break;
      case 1:
        if (!GetUpdatesCopy(am.RemotePath) && !am.AltRemotePath.empty()) {
          AddText(" ");
          GetUpdatesCopy(am.AltRemotePath);
        }
        break;
      default:
        platform::Windows().MsgBox("Undefined CopyMethod: " + std::to_string(am.HowToCopy));
        break;
    }
    RemoveOldSDATs();
    AddText("Finished");
    am.UpdateStatusBar("");
  } catch (const std::exception&) {
    ReportError("frmMain", "GetUpdates");
  }
}

}  // namespace kestrun
