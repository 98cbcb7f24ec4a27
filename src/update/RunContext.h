#pragma once
#include <memory>

#include "platform/RunWindow.h"
#include "update/RunSettings.h"

namespace kestrun {
class FileSystemObject;
}

namespace kestrun::update {

// To the user these operations are the main window's: error reports name it, as in
// "Kestrun.frmMain.GetUpdatesCopy: 53, File not found".
inline constexpr const char* kReportClass = "frmMain";

// What every part of an update run works with: the window it reports to and, once bound, the
// controller's settings and the shared file-system object.
class RunContext {
 public:
  explicit RunContext(platform::RunWindow& window) : window_(window) {}

  platform::RunWindow& Window() const { return window_; }
  bool Stopped() const { return window_.RunStopped(); }
  // Both raise "object variable not set" (91) while nothing is bound.
  RunSettings& Settings() const;
  FileSystemObject& FSO() const;
  // Binds the run to a controller's settings and file-system object; nullptr unbinds it.
  void Bind(RunSettings* settings, std::shared_ptr<FileSystemObject> fso);

 private:
  platform::RunWindow& window_;
  RunSettings* settings_ = nullptr;
  std::shared_ptr<FileSystemObject> fso_;
};

}  // namespace kestrun::update
