#include "app/Application.h"

#include <exception>
#include <vector>

#include "app/AppMain.h"
#include "platform/WindowSystem.h"
#include "ui/ViewFactory.h"
#include "ui/frmMain.h"
#include "util/ErrorReport.h"

namespace kestrun {

namespace {
constexpr const char* kClass = "Application";
}

const std::string& Application::AppRegKey() {
  static const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun";
  return key;
}

Application::Application(const std::string& commandTail) {
  std::string creating;
  try {
    su_ = std::make_unique<StringUtilities>();
    creating = "ObjectFactory";
    of_ = std::make_unique<ObjectFactory>();
    creating = "ArgumentHandler";
    ah_ = std::make_unique<ArgumentHandler>();
    ah_->ParseCommandLine(commandTail);
    creating = "AppMain";
    am_ = of_->CreateObject_AppMain(*this);
    if (!am_) Raise(err::ObjectVariableNotSet);
  } catch (const std::exception&) {
    platform::Windows().MsgBox("CreateObject " + creating + " failed", platform::mb::OkOnly, platform::App().Title);
    platform::EndProgramAtOnce(1);
  }
}

Application::~Application() = default;

void Application::Execute() {
  try {
    WriteRunBookkeeping();

    if (ah_->SetArgumentKey("?")) {
      ShowAboutBox(1);
      platform::EndProgramAtOnce(0);
    }

    if (!ah_->SetArgumentKey("SILENT")) {
      if (ah_->SetArgumentKey("MINIMIZED")) am_->frm().SetWindowState(ui::WindowStateMinimized);
      am_->ShowMain();
    }

    ReadSettings();

    const AppMain& am = *am_;
    const bool missing = am.HostName.empty() || am.RemotePath.empty() || am.FileMask.empty() ||
                         am.LocalPath.empty() || am.AltHostName.empty() || am.AltRemotePath.empty();
    if (missing && !ah_->SetArgumentKey("INIT")) ah_->AddArgument("INIT", "");

    // Command-line order decides: an INIT appended above comes after /Rename and /Copy.
    const int32_t count = ah_->ArgumentCount();
    for (int32_t i = 1; i <= count; ++i) {
      auto argument = ah_->GetArgumentIndex(i);
      const std::string& name = argument->ArgumentName();
      if (name == "INIT") {
        InitParams();
      } else if (name == "RENAME") {
        am_->NewFileName = argument->ArgumentValue();
      } else if (name == "COPY") {
        am_->HowToCopy = 1;
      }
    }

    pCheckForUpdates();
  } catch (const std::exception&) {
    ReportError(kClass, "Execute");
  }
}

void Application::ShowAboutBox(int32_t Modal) {
  try {
    const std::vector<std::string> lines = {
        "Kestrun [/Init] [/Rename:setup.exe] [/Copy] [/Minimized] [/?]",
        "  /Init\t\tSpecify parameters",
        "  /Rename\tRename downloaded file",
        "  /Copy\t\tDo not use FTP! Use normal copy!",
        "  /Minimized\tRun minimized",
        "  /?\t\tThis information",
    };
    ui::Views().ShowAboutBox(lines, Modal);
  } catch (const std::exception&) {
    ReportError(kClass, "ShowAboutBox");
  }
}

void Application::pCheckForUpdates() {
  try {
    am_->CheckForUpdates();
  } catch (const std::exception&) {
    ReportError(kClass, "pCheckForUpdates");
  }
}

void Application::Terminate() {
  of_.reset();
  if (am_) {
    am_->Terminate();
    runFailed_ = am_->LastSourceFailed;
    am_.reset();
  }
  su_.reset();
}

int Application::ExitStatus() const {
  const bool failed = ReportedErrorCount() > 0 || runFailed_ || (am_ && am_->LastSourceFailed);
  return failed ? 1 : 0;
}

// Filled in by the settings store: the run's bookkeeping and the settings.
void Application::WriteRunBookkeeping() {}
void Application::ReadSettings() {}

}  // namespace kestrun
