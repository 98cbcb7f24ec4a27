#pragma once
#include <string>
#include <vector>

#include "filetree/FileTreeHost.h"

namespace kestrun::testing {

// Stands in for the controller and the main window around a file-tree engine: records every report
// line with its colour and every status-bar text.
class TreeRecorder : public TreeDriver, public TreeStatusBar, public FileTreeEvents {
 public:
  TreeStatusBar* TreeController() override { return this; }
  void UpdateStatusBar(const std::string& strText) override { status.push_back(strText); }
  void FTC_FileTreeChange(const std::string& strText, int32_t Color) override {
    report += Color == treecolor::Red ? "R " : Color == treecolor::Blue ? "B " : Color == 0 ? "" : "? ";
    report += strText + "\n";
  }
  // The lines reported since the last call, red ones marked "R ", blue ones "B ".
  std::string Take() { return std::exchange(report, {}); }

  std::string report;
  std::vector<std::string> status;
};

}  // namespace kestrun::testing
