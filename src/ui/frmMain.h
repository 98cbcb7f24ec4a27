#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "filetree/FileTreeHost.h"
#include "platform/FtpClient.h"
#include "ui/MainView.h"
#include "util/StringUtilities.h"

namespace kestrun {

class Application;
class AppMain;
class FileTree;

// The main window: a coloured log, a status bar, a progress bar and the pin. Its state and behaviour
// live here; the view (Qt widgets, the console, or a headless stand-in) only shows it. The update
// operations of the run are members too (they write to this window's log); they live in src/update/.
class frmMain : public ui::MainViewEvents, public platform::FtpClientEvents, public FileTreeEvents {
 public:
  explicit frmMain(std::unique_ptr<ui::MainView> view);
  ~frmMain() override;
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  void InitMyObjects(Application& objA, AppMain& objAM);
  void AddText(std::string strText, int32_t Color = ui::ColorBlack);
  void Terminate();
  void PinDown();
  // Writes each report line of the attached file-tree engine into the log, in black.
  void FTC_FileTreeChange(const std::string& strText, int32_t Color) override;
  // Attaches a file-tree engine whose report lines go to this log (nullptr detaches); the window keeps
  // it while attached. The update run attaches none.
  void AttachFileTree(std::shared_ptr<FileTree> tree);

  // The update run and its retrievals.
  void GetUpdates();
  bool GetUpdatesCopy(const std::string& strRemotePath);
  bool GetUpdatesFTP(const std::string& strHostName, const std::string& strRemotePath);

  // Window events.
  void Form_Load();
  void Form_Resize() override;
  void Form_KeyUp(int KeyCode, int Shift) override;
  void imgPin_Click() override;
  void Form_Unload() override;

  // Events of the FTP client component (src/update/FtpClientEvents.cpp).
  void FtpClient_FileList(const std::string& name) override;
  void FtpClient_Progress(int16_t percent) override;
  void FtpClient_Status(const std::string& text) override;
  // Puts another FTP client in the place of the window's own (tests use a scripted one).
  void SetFtpClient(std::unique_ptr<platform::FtpClient> client);

  // Showing and closing.
  void Show();
  void SetWindowState(int state) { view_->SetWindowState(state); }
  bool Pinned() const { return pinned_; }
  bool CloseRequested() const { return closeRequested_; }
  // True once the window has been closed; when the user closed it before the end of the run, the
  // process-wide cancellation is requested as well, so the run stops at its next step.
  bool Unloaded() const { return unloaded_; }
  ui::MainView& View() { return *view_; }

  // How long Terminate keeps the window after the last log line (3 s; tests shorten it).
  void SetCloseDelay(std::chrono::milliseconds delay) { closeDelay_ = delay; }

  // The controller lets go of its window here. A window still on screen (pinned at the end of the
  // run) outlives the controller and the driver, as the user expects of an open window: it stays
  // until the user closes it, and its pin and F1 keep working. The front end releases such windows
  // with ReleaseOpenWindows once its message loop has ended.
  static void Release(std::unique_ptr<frmMain> form);
  static void ReleaseOpenWindows();
  static std::size_t OpenWindowCount();

 private:
  // Package bookkeeping around the retrievals.
  std::string GetLatestUpdate();
  bool RenameUpdate(const std::string& strFileName);
  void RemoveOldSDATs();

  // Handles window messages until the last log line has stood for the close delay.
  void WaitUntilLogIsQuiet();
  void CenterOnDesktop();

  std::unique_ptr<ui::MainView> view_;
  Application* objA_ = nullptr;
  AppMain* objAM_ = nullptr;
  StringUtilities su_;
  bool pinned_ = false;
  bool closeRequested_ = false;
  bool unloaded_ = false;
  std::chrono::steady_clock::time_point lastLogLine_ = std::chrono::steady_clock::now();
  std::chrono::milliseconds closeDelay_{3000};
  std::string listingBuffer_;
  // The window's FTP client component, the control `FtpClient`; its events come back to this window.
  std::unique_ptr<platform::FtpClient> FtpClient;
  std::shared_ptr<FileTree> FTC;
};

}  // namespace kestrun
