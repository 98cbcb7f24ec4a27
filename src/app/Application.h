#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/ArgumentHandler.h"
#include "app/ObjectFactory.h"
#include "filetree/FileTreeHost.h"
#include "ui/MainWindowHost.h"
#include "util/StringUtilities.h"

namespace kestrun {

namespace platform {
class RunLock;
}

class AppMain;
class RegUtilities;

// The driver of one update run: records the start, reacts to the switches, shows the main window,
// loads the settings into the controller, asks for missing ones and starts the run.
class Application : public TreeDriver, public ui::WindowDriver {
 public:
  // Parses the command-line tail at once; a duplicate switch ends the program inside.
  explicit Application(const std::string& commandTail);
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  ObjectFactory& OF() { return *of_; }
  AppMain& AM() { return *am_; }
  ArgumentHandler& AH() { return *ah_; }
  static const std::string& AppRegKey();
  // The file-tree engine reaches the controller's status bar through the driver.
  TreeStatusBar* TreeController() override;

  void Execute();
  void ShowAboutBox(int32_t Modal = 0) override;
  const ui::MainView* MainWindow() override;
  void Terminate();

  // 0 when the run went through its last source; 1 when that source failed, the run never got there,
  // an error report was shown or a setting could not be written; 3 when another run held the run lock
  // for the whole wait.
  int ExitStatus() const;

 private:
  void InitParams();
  void pCheckForUpdates();
  void WriteRunBookkeeping();
  void ReadSettings();
  // Names a switch this program does not know, in red: a typo must not pass unnoticed.
  void ReportUnknownSwitch(int32_t lngIndex);
  // Before the run (RunPreparation.cpp): one run at a time per settings store, then the removal of
  // what a killed run left behind. False when the run must not start.
  bool pPrepareRun();

  std::unique_ptr<StringUtilities> su_;
  std::unique_ptr<RegUtilities> reg_;
  std::unique_ptr<ObjectFactory> of_;
  std::unique_ptr<ArgumentHandler> ah_;
  std::unique_ptr<AppMain> am_;
  std::unique_ptr<platform::RunLock> runLock_;
  bool runFailed_ = true;
  bool otherRunBusy_ = false;
};

}  // namespace kestrun
