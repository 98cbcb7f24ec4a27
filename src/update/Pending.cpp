// Retrievals and bookkeeping not built yet: each reports that it cannot run.
#include "ui/frmMain.h"

namespace kestrun {

bool frmMain::GetUpdatesCopy(const std::string&) {
  AddText("Copy retrieval is not available in this build!", ui::ColorRed);
  return false;
}

bool frmMain::GetUpdatesFTP(const std::string&, const std::string&) {
  AddText("FTP retrieval is not available in this build!", ui::ColorRed);
  return false;
}

std::string frmMain::GetLatestUpdate() { return {}; }
bool frmMain::RenameUpdate(const std::string&) { return true; }
void frmMain::RemoveOldSDATs() {}

}  // namespace kestrun
