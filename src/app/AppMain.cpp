#include "app/AppMain.h"

#include "app/Application.h"
#include "platform/WindowSystem.h"
#include "ui/ViewFactory.h"
#include "ui/frmMain.h"
#include "util/ErrorReport.h"
#include "util/FileSystemObject.h"

namespace kestrun {

namespace {
constexpr const char* kClass = "AppMain";
}

AppMain::AppMain() {
  RegistryKey = Application::AppRegKey();
  try {
    frm_ = std::make_unique<frmMain>(ui::Views().CreateMainView());
    HowToCopy = 0;
  } catch (const std::exception&) {
    ReportError(kClass, "Class_Initialize");
  }
}

AppMain::~AppMain() {
  if (!frm_) return;
  // The window's second Terminate: the wait is long over, so it only closes what is still open
  // and not pinned. A pinned window stays on screen after the controller has gone.
  frm_->Terminate();
  frmMain::Release(std::move(frm_));
}

frmMain& AppMain::frm() {
  if (!frm_) Raise(err::ObjectVariableNotSet);
  return *frm_;
}

void AppMain::InitMyObjects(Application& objA) {
  try {
    objA_ = &objA;
    frm().InitMyObjects(objA, *this);
  } catch (const std::exception&) {
    ReportError(kClass, "InitMyObjects");
  }
}

void AppMain::ShowMain() {
  try {
    frm().Show();
    platform::Windows().DoEvents();
  } catch (const std::exception&) {
    ReportError(kClass, "ShowMain");
  }
}

void AppMain::UpdateStatusBar(const std::string& strText) {
  try {
    ui::MainView& view = frm().View();
    if (!view.SetStatusPanelText("Info", strText)) Raise(err::ObjectVariableNotSet);
    // The run does not return to the message loop between its steps: paint the text now.
    view.RepaintStatusBar();
  } catch (const std::exception&) {
    ReportError(kClass, "UpdateStatusBar");
  }
}

void AppMain::CheckForUpdates() {
  try {
    frm().GetUpdates();
  } catch (const std::exception&) {
    ReportError(kClass, "CheckForUpdates");
  }
}

std::shared_ptr<FileSystemObject> AppMain::FSO() { return SharedFileSystemObject(fso_); }

void AppMain::Terminate() {
  if (frm_) frm_->Terminate();
  objA_ = nullptr;
}

}  // namespace kestrun
