#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace kestrun {

class Application;
class frmMain;
class FileSystemObject;

// The update controller: owns the main window, carries the run's settings, hands out the one shared
// file-system object and offers the status bar and the start of the update.
class AppMain {
 public:
  AppMain();
  ~AppMain();
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

  // Set by the update run: true when the last source it tried failed. Schedulers read it from the
  // exit status.
  bool LastSourceFailed = false;

  void InitMyObjects(Application& objA);
  void Terminate();
  void UpdateStatusBar(const std::string& strText);
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
