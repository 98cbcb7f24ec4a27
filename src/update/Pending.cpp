// Retrievals not built yet: each reports that it cannot run.
#include "ui/frmMain.h"

namespace kestrun {

bool frmMain::GetUpdatesFTP(const std::string&, const std::string&) {
  AddText("FTP retrieval is not available in this build!", ui::ColorRed);
  return false;
}

}  // namespace kestrun
