#include "app/AppMain.h"

#include "platform/WindowSystem.h"
#include "ui/ViewFactory.h"
#include "ui/frmMain.h"
#include "util/ErrorReport.h"

namespace kestrun {

namespace {
constexpr const char* kClass = "AppMain";
}

AppMain::AppMain() {
  try {
    frm_ = std::make_unique<frmMain>(ui::Views().CreateMainView());
    HowToCopy = 0;
  } catch (const std::exception&) {
    ReportError(kClass, "Class_Initialize");
  }
}

AppMain::~AppMain() {
  if (frm_) frm_->Terminate();  // the window's second Terminate: it only closes what is still open
}

void AppMain::InitMyObjects(Application& objA) {
  try {
    objA_ = &objA;
    frm_->InitMyObjects(objA, *this);
  } catch (const std::exception&) {
    ReportError(kClass, "InitMyObjects");
  }
}

void AppMain::ShowMain() {
  try {
    frm_->Show();
    platform::Windows().DoEvents();
  } catch (const std::exception&) {
    ReportError(kClass, "ShowMain");
  }
}

void AppMain::UpdateStatusBar(const std::string& strText) {
  try {
    if (!frm_->View().SetStatusPanelText("Info", strText)) Raise(err::ObjectVariableNotSet);
    frm_->View().RepaintStatusBar();
  } catch (const std::exception&) {
    ReportError(kClass, "UpdateStatusBar");
  }
}

void AppMain::CheckForUpdates() {
  try {
    frm_->GetUpdates();
  } catch (const std::exception&) {
    ReportError(kClass, "CheckForUpdates");
  }
}

std::shared_ptr<FileSystemObject> AppMain::FSO() { return fso_; }

void AppMain::Terminate() {
  frm_->Terminate();
  objA_ = nullptr;
}

}  // namespace kestrun
