#include "ui/frmMain.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "filetree/FileTree.h"
#include "platform/Cancellation.h"
#include "platform/WindowSystem.h"
#include "ui/About.h"
#include "ui/LogFile.h"
#include "ui/ViewPlacement.h"
#include "util/ErrorReport.h"
#include "util/SysUtilities.h"

namespace kestrun {

namespace {
constexpr const char* kClass = "frmMain";

// Windows left on screen after the controller let go of them (a pinned window at the end of the run).
std::vector<std::unique_ptr<frmMain>>& OpenWindows() {
  static std::vector<std::unique_ptr<frmMain>> windows;
  return windows;
}
}  // namespace

frmMain::frmMain(std::unique_ptr<ui::MainView> view) : view_(std::move(view)) {
  view_->SetEvents(this);
  Form_Load();
}

frmMain::~frmMain() {
  view_->SetEvents(nullptr);
  if (FTC) FTC->SetEvents(nullptr);
}

void frmMain::InitMyObjects(ui::WindowDriver& objA, ui::WindowController& objAM) {
  try {
    objA_ = &objA;
    objAM_ = &objAM;
    su_ = StringUtilities();
    run_.Bind(&objAM.Settings(), objAM.FSO());
  } catch (const std::exception&) {
    ReportError(kClass, "InitMyObjects");
  }
}

void frmMain::UpdateStatusBar(const std::string& strText) {
  if (objAM_) objAM_->UpdateStatusBar(strText);
}

bool frmMain::RunStopped() const { return unloaded_ || platform::CancelRequested(); }

void frmMain::Form_Load() {
  try {
    const auto& app = platform::App();
    view_->SetCaption(app.Title);
    AddText(platform::TitleWithVersion(app));
    AddText(" ");
    CenterOnDesktop();
    view_->ShowPinPicture(false);
    pinned_ = false;
    closeRequested_ = false;
    lastLogLine_ = std::chrono::steady_clock::now();
  } catch (const std::exception&) {
    ReportError(kClass, "Form_Load");
  }
}

void frmMain::CenterOnDesktop() {
  ui::ViewPlacement<ui::MainView> placement(*view_);
  SysUtilities().CenterForm(placement);
}

void frmMain::AddText(std::string strText, int32_t Color) {
  try {
    // However many line ends the caller left on the text, the log gets exactly one; an empty text
    // adds nothing visible but still counts as activity for the wait before closing.
    if (!strText.empty()) {
      strText = su_.RTrimText(strText, "\r\n");
      strText += "\r\n";
    }
    view_->AppendLog(strText, Color);
    if (ui::LogFile* file = ui::ProcessLogFile()) file->Append(strText);
    platform::Windows().DoEvents();
    lastLogLine_ = std::chrono::steady_clock::now();
  } catch (const std::exception&) {
    // A log line that cannot be shown must not stop the run.
  }
}

void frmMain::Form_Resize() {
  try {
    using ui::MainControl;
    const long m = view_->ControlRect(MainControl::tboOutput).Left;
    ui::TwipsRect pin = view_->ControlRect(MainControl::imgPin);
    ui::TwipsRect log = view_->ControlRect(MainControl::tboOutput);
    ui::TwipsRect bar = view_->ControlRect(MainControl::ProgressBar);
    const ui::TwipsRect status = view_->ControlRect(MainControl::sbInfo);

    // Absolute values: a window shrunk below the margins still gets sizes of zero or more.
    pin.Left = std::labs(view_->ScaleWidth() - m - pin.Width);
    log.Width = std::labs(pin.Left - 2 * m);
    log.Height = std::labs(view_->ScaleHeight() - status.Height - log.Top - m - bar.Height);
    bar.Width = log.Width;
    bar.Top = log.Top + log.Height + m / 2;

    view_->SetControlRect(MainControl::imgPin, pin);
    view_->SetControlRect(MainControl::tboOutput, log);
    view_->SetControlRect(MainControl::ProgressBar, bar);
  } catch (const std::exception&) {
    ReportError(kClass, "Form_Resize");
  }
}

void frmMain::Form_KeyUp(int KeyCode, int /*Shift*/) {
  try {
    if (KeyCode != ui::KeyF1) return;
    PinDown();
    if (objA_) {
      objA_->ShowAboutBox(0);
    } else {
      // The run is over and the driver gone: the About box shows the program's facts alone.
      About().ShowMain(0);
    }
  } catch (const std::exception&) {
    ReportError(kClass, "Form_KeyUp");
  }
}

void frmMain::PinDown() {
  view_->ShowPinPicture(true);
  pinned_ = true;
  platform::Windows().DoEvents();
}

void frmMain::imgPin_Click() {
  // The picture on show is the state: the flag follows it.
  if (!view_->PinShowsPinned()) {
    view_->ShowPinPicture(true);
    pinned_ = true;
    return;
  }
  view_->ShowPinPicture(false);
  pinned_ = false;
  if (closeRequested_) view_->Close();
}

void frmMain::Form_Unload() {
  unloaded_ = true;
  // Closed before the run was over: the transfer under way is abandoned and the run stops at its
  // next step, so the program can end.
  if (!closeRequested_) platform::RequestCancel();
}

void frmMain::Show() { view_->Show(); }

void frmMain::Terminate() {
  try {
    // Only a window on screen is kept for the user to read its last line; the console and a window
    // never shown (/Silent) close at once.
    // A run stopped by Ctrl-C or SIGTERM was asked to end: no wait, and the pin does not hold it.
    if (view_->WaitsBeforeClosing() && view_->IsShown()) WaitUntilLogIsQuiet();
    const bool interrupted = platform::CancelRequested();
    closeRequested_ = true;
    if ((!pinned_ || interrupted) && view_->IsOpen()) view_->Close();
  } catch (const std::exception&) {
    ReportError(kClass, "Terminate");
  }
}

void frmMain::WaitUntilLogIsQuiet() {
  using namespace std::chrono;
  // Sleeps in the event loop in short slices, so clicks on the pin are handled; a window the user
  // closes meanwhile, or Ctrl-C or SIGTERM, ends the wait at once.
  constexpr milliseconds kSlice{100};
  while (view_->IsOpen() && !platform::CancelRequested()) {
    const auto now = steady_clock::now();
    const auto due = lastLogLine_ + closeDelay_;
    if (now >= due) break;
    platform::Windows().WaitFor(std::min(kSlice, ceil<milliseconds>(due - now)));
  }
}

void frmMain::FTC_FileTreeChange(const std::string& strText, int32_t /*Color*/) {
  try {
    AddText(strText);
  } catch (const std::exception&) {
    ReportError(kClass, "FTC_FileTreeChange");
  }
}

void frmMain::AttachFileTree(std::shared_ptr<FileTree> tree) {
  if (FTC) FTC->SetEvents(nullptr);
  FTC = std::move(tree);
  if (FTC) FTC->SetEvents(this);
}

void frmMain::Release(std::unique_ptr<frmMain> form) {
  if (!form) return;
  if (form->view_->IsShown() && form->view_->IsOpen()) {
    form->objA_ = nullptr;
    form->objAM_ = nullptr;
    form->run_.Bind(nullptr, nullptr);
    OpenWindows().push_back(std::move(form));
  }
}

void frmMain::ReleaseOpenWindows() { OpenWindows().clear(); }

std::size_t frmMain::OpenWindowCount() { return OpenWindows().size(); }

}  // namespace kestrun
