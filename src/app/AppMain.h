#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "filetree/FileTreeHost.h"
#include "ui/MainWindowHost.h"
#include "update/RunSettings.h"

namespace kestrun {

class Application;
class frmMain;
class FileSystemObject;

// The update controller: owns the main window, carries the run's settings (HostName, LocalPath, ...,
// LastSourceFailed, as update::RunSettings), hands out the one shared file-system object and offers the
// status bar and the start of the update.
class AppMain : public TreeStatusBar, public ui::WindowController, public update::RunSettings {
 public:
  AppMain();
  ~AppMain() override;
  AppMain(const AppMain&) = delete;
  AppMain& operator=(const AppMain&) = delete;

  // The main window; raises "object variable not set" (91) when it could not be created.
  frmMain& frm();

  void InitMyObjects(Application& objA);
  void Terminate();
  update::RunSettings& Settings() override { return *this; }
  void UpdateStatusBar(const std::string& strText) override;
  void CheckForUpdates();
  std::shared_ptr<FileSystemObject> FSO() override;
  void ShowMain();

  Application* App() const { return objA_; }

 private:
  std::unique_ptr<frmMain> frm_;
  Application* objA_ = nullptr;
  std::shared_ptr<FileSystemObject> fso_;
};

}  // namespace kestrun
