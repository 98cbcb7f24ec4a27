#include "ui/frmMain.h"

#include <algorithm>
#include <cstdlib>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/WindowSystem.h"
#include "util/ErrorReport.h"

namespace kestrun {

namespace {
constexpr const char* kClass = "frmMain";
}

frmMain::frmMain(std::unique_ptr<ui::MainView> view) : view_(std::move(view)) {
  view_->SetEvents(this);
  Form_Load();
}

frmMain::~frmMain() { view_->SetEvents(nullptr); }

void frmMain::InitMyObjects(Application& objA, AppMain& objAM) {
  try {
    objA_ = &objA;
    objAM_ = &objAM;
    su_ = StringUtilities();
  } catch (const std::exception&) {
    ReportError(kClass, "InitMyObjects");
  }
}

void frmMain::Form_Load() {
  try {
    const auto& app = platform::App();
    view_->SetCaption(app.Title);
    char minor[8];
    char revision[8];
    std::snprintf(minor, sizeof minor, "%02d", app.Minor);
    std::snprintf(revision, sizeof revision, "%02d", app.Revision);
    AddText(app.Title + " V" + std::to_string(app.Major) + "." + minor + "." + revision);
    AddText(" ");
    // Centre on the work area: the form's own size, in twips.
    // (Placement goes through the shared window-placement helper once it is wired to the view.)
    view_->ShowPinPicture(false);
    pinned_ = false;
    closeRequested_ = false;
    lastLogLine_ = std::chrono::steady_clock::now();
  } catch (const std::exception&) {
    ReportError(kClass, "Form_Load");
  }
}

void frmMain::AddText(std::string strText, int32_t Color) {
  try {
    if (!strText.empty()) {
      strText = su_.RTrimText(strText, "\r\n");
      strText += "\r\n";
    }
    view_->AppendLog(strText, Color);
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
    if (objA_) objA_->ShowAboutBox(0);
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
  // The user closed the window: the run stops at its next step and nothing more is shown.
  unloaded_ = true;
}

void frmMain::Show() { view_->Show(); }

void frmMain::Terminate() {
  try {
    if (view_->WaitsBeforeClosing() && view_->IsOpen() && !unloaded_) {
      // Keep the window on screen until the last line has stood for the close delay, handling
      // clicks (the pin) meanwhile. The wait sleeps in the event loop; it never spins.
      for (;;) {
        auto due = lastLogLine_ + closeDelay_;
        auto now = std::chrono::steady_clock::now();
        if (now >= due || !view_->IsOpen()) break;
        auto slice = std::min<std::chrono::steady_clock::duration>(due - now, std::chrono::milliseconds(50));
        platform::Windows().WaitFor(
            std::chrono::duration_cast<std::chrono::milliseconds>(slice) + std::chrono::milliseconds(1));
      }
    }
    closeRequested_ = true;
    if (!pinned_) view_->Close();
  } catch (const std::exception&) {
    ReportError(kClass, "Terminate");
  }
}

void frmMain::FTC_FileTreeChange(const std::string& strText, int32_t /*Color*/) {
  try {
    AddText(strText);
  } catch (const std::exception&) {
    ReportError(kClass, "FTC_FileTreeChange");
  }
}

}  // namespace kestrun
