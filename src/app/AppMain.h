#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "filetree/FileTreeHost.h"

namespace kestrun {

class Application;
class frmMain;
class FileSystemObject;

// The update controller: owns the main window, carries the run's settings, hands out the one shared
// file-system object and offers the status bar and the start of the update.
class AppMain : public TreeStatusBar {
 public:
  AppMain();
  ~AppMain() override;
  AppMain(const AppMain&) = delete;
  AppMain& operator=(const AppMain&) = delete;

  // The main window; raises "object variable not set" (91) when it could not be created.
  frmMain& frm();

  std::string HostName;
  std::string RemotePath;
  std::string AltHostName;
  std::string AltRemotePath;
  std::string FileMask;
  std::string LocalPath;
  int32_t HowToCopy = 0;
  std::string NewFileName;
  int32_t SDATsToKeep = 0;

  // True until an update run has gone through its last source: a run that never started, stopped on
  // an error or whose last source failed ends the program with a failure status for the scheduler.
  bool LastSourceFailed = true;

  void InitMyObjects(Application& objA);
  void Terminate();
  void UpdateStatusBar(const std::string& strText) override;
  void CheckForUpdates();
  std::shared_ptr<FileSystemObject> FSO();
  void ShowMain();

  Application* App() const { return objA_; }

 private:
  std::unique_ptr<frmMain> frm_;
  Application* objA_ = nullptr;
  std::shared_ptr<FileSystemObject> fso_;
};

}  // namespace kestrun
