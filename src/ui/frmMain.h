#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "filetree/FileTreeHost.h"
#include "platform/FtpClient.h"
#include "platform/RunWindow.h"
#include "ui/MainView.h"
#include "ui/MainWindowHost.h"
#include "update/UpdateRun.h"
#include "util/StringUtilities.h"

namespace kestrun {

class FileTree;

// The main window: a coloured log, a status bar, a progress bar and the pin. Its state and behaviour
// live here; the view (Qt widgets or the console) only shows it. The update run (src/update/) reports
// to this window, which keeps the run's operations under their own names.
class frmMain : public ui::MainViewEvents, public platform::RunWindow, public FileTreeEvents {
 public:
  explicit frmMain(std::unique_ptr<ui::MainView> view);
  ~frmMain() override;
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  // Wires the window to the driver (the Application) and the controller (AppMain).
  void InitMyObjects(ui::WindowDriver& objA, ui::WindowController& objAM);
  void AddText(std::string strText, int32_t Color = platform::ColorBlack) override;
  void Terminate();
  void PinDown();
  // Writes each report line of the attached file-tree engine into the log, in black.
  void FTC_FileTreeChange(const std::string& strText, int32_t Color) override;
  // Attaches a file-tree engine whose report lines go to this log (nullptr detaches); the window keeps
  // it while attached. The update run attaches none.
  void AttachFileTree(std::shared_ptr<FileTree> tree);

  // What the update run shows and asks: the status bar (through the controller), the progress bar,
  // and whether the window was closed or the program asked to stop.
  void UpdateStatusBar(const std::string& strText) override;
  void ShowProgress(bool visible) override { view_->SetProgressVisible(visible); }
  void SetProgress(float percent) override { view_->SetProgressValue(percent); }
  bool RunStopped() const override;

  // The update run and its retrievals.
  void GetUpdates() { run_.GetUpdates(); }
  bool GetUpdatesCopy(const std::string& strRemotePath) { return run_.Copy().GetUpdatesCopy(strRemotePath); }
  bool GetUpdatesFTP(const std::string& strHostName, const std::string& strRemotePath) {
    return run_.Ftp().GetUpdatesFTP(strHostName, strRemotePath);
  }

  // Window events.
  void Form_Load();
  void Form_Resize() override;
  void Form_KeyUp(int KeyCode, int Shift) override;
  void imgPin_Click() override;
  void Form_Unload() override;

  // Events of the run's FTP client component (src/update/FtpClientEvents.cpp).
  void FtpClient_FileList(const std::string& name) { run_.Ftp().FtpClient_FileList(name); }
  void FtpClient_Progress(int16_t percent) { run_.Ftp().FtpClient_Progress(percent); }
  void FtpClient_Status(const std::string& text) { run_.Ftp().FtpClient_Status(text); }
  // Puts another FTP client in the place of the run's own (tests use a scripted one).
  void SetFtpClient(std::unique_ptr<platform::FtpClient> client) { run_.Ftp().SetFtpClient(std::move(client)); }

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
  // Handles window messages until the last log line has stood for the close delay.
  void WaitUntilLogIsQuiet();
  void CenterOnDesktop();

  std::unique_ptr<ui::MainView> view_;
  ui::WindowDriver* objA_ = nullptr;
  ui::WindowController* objAM_ = nullptr;
  StringUtilities su_;
  bool pinned_ = false;
  bool closeRequested_ = false;
  bool unloaded_ = false;
  std::chrono::steady_clock::time_point lastLogLine_ = std::chrono::steady_clock::now();
  std::chrono::milliseconds closeDelay_{3000};
  update::UpdateRun run_{*this};
  std::shared_ptr<FileTree> FTC;
};

}  // namespace kestrun
