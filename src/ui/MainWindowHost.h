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

class MainView;

// The driver: the About box, which F1 opens, and the way from the driver to the main window, which the
// About box takes its icon from.
class WindowDriver {
 public:
  virtual ~WindowDriver() = default;
  virtual void ShowAboutBox(int32_t Modal) = 0;
  // The main window of the driver's controller; null when the controller or its window does not exist.
  virtual const MainView* MainWindow() { return nullptr; }
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
