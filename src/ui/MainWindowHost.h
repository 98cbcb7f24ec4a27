#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "update/RunSettings.h"

namespace kestrun {
class FileSystemObject;
}

namespace kestrun::ui {

// What the main window needs of the program around it. The window sits below the driver and the
// controller, so it knows them only through these small interfaces: they implement them and hand
// themselves over through frmMain::InitMyObjects.

// The driver: the About box, which F1 opens.
class WindowDriver {
 public:
  virtual ~WindowDriver() = default;
  virtual void ShowAboutBox(int32_t Modal) = 0;
};

// The controller: the run's settings, the status bar and the one shared file-system object.
class WindowController {
 public:
  virtual ~WindowController() = default;
  virtual update::RunSettings& Settings() = 0;
  virtual void UpdateStatusBar(const std::string& strText) = 0;
  virtual std::shared_ptr<FileSystemObject> FSO() = 0;
};

}  // namespace kestrun::ui
