#include "app/Application.h"

#include <exception>

#include "app/AppMain.h"
#include "platform/Cancellation.h"
#include "platform/RegistryApi.h"
#include "platform/RunLock.h"
#include "platform/WindowSystem.h"
#include "registry/RegSetting.h"
#include "registry/RegUtilities.h"
#include "ui/About.h"
#include "ui/ViewFactory.h"
#include "ui/frmMain.h"
#include "util/ErrorReport.h"
#include "util/NumberUtilities.h"

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
    reg_ = std::make_unique<RegUtilities>();
    creating = "ObjectFactory";
    of_ = std::make_unique<ObjectFactory>();
    creating = "ArgumentHandler";
    ah_ = std::make_unique<ArgumentHandler>();
    ah_->ParseCommandLine(commandTail);
    // Known before the main window is made: on the console it decides where the log goes.
    ui::Views().SetSilent(ah_->CheckArgumentKey("SILENT"));
    creating = "AppMain";
    am_ = of_->CreateObject_AppMain(*this);
    if (!am_) Raise(err::ObjectVariableNotSet);
  } catch (const std::exception&) {
    platform::Windows().MsgBox("CreateObject " + creating + " failed", platform::mb::OkOnly, platform::App().Title);
    platform::EndProgramAtOnce(1);
  }
}

Application::~Application() = default;

TreeStatusBar* Application::TreeController() { return am_.get(); }

void Application::Execute() {
  try {
    // A store path that names no file (a folder, a pipe) can neither be read nor written: one message
    // that says so, instead of a box for every setting, and no run (the status stays a failure).
    if (const std::string problem = platform::reg::StoreProblem(); !problem.empty()) {
      platform::Windows().MsgBox(problem, platform::mb::OkOnly, platform::App().Title);
      return;
    }
    WriteRunBookkeeping();
    // A store file that does not read as a registry is left alone, and every write to it fails with a
    // box of its own; once, the log says which file, where and what is wrong, so it can be mended.
    if (const std::string damage = platform::reg::StoreDamage(); !damage.empty()) {
      if (!platform::Windows().Notice(damage)) am_->frm().AddText(damage, platform::ColorRed);
    }

    if (ah_->SetArgumentKey("?")) {
      ShowAboutBox(1);
      // Closed by Ctrl-C or SIGTERM rather than by the user: an interrupted start.
      platform::EndProgramAtOnce(platform::CancelRequested() ? 1 : 0);
    }

    if (!ah_->SetArgumentKey("SILENT")) {
      if (ah_->SetArgumentKey("MINIMIZED")) am_->frm().SetWindowState(ui::WindowStateMinimized);
      am_->ShowMain();
    }

    ReadSettings();

    const AppMain& am = *am_;
    const bool missing = am.HostName.empty() || am.RemotePath.empty() || am.FileMask.empty() || am.LocalPath.empty() ||
                         am.AltHostName.empty() || am.AltRemotePath.empty();
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
      } else if (name != "SILENT" && name != "MINIMIZED") {
        ReportUnknownSwitch(i);
      }
    }

    // Stopped while the settings were asked for: nothing more is written and nothing is fetched.
    if (platform::CancelRequested()) return;
    if (!pPrepareRun()) return;
    pCheckForUpdates();
  } catch (const std::exception&) {
    ReportError(kClass, "Execute");
  }
}

void Application::ShowAboutBox(int32_t Modal) {
  try {
    About objAbout;
    objAbout.SetDriver(this);
    // The tabs line the descriptions up: two after the short switches, one after the long ones.
    objAbout.AddText("Kestrun [/Init] [/Rename:setup.exe] [/Copy] [/Minimized] [/?]");
    objAbout.AddText("  /Init\t\tSpecify parameters");
    objAbout.AddText("  /Rename\tRename downloaded file");
    objAbout.AddText("  /Copy\t\tDo not use FTP! Use normal copy!");
    objAbout.AddText("  /Minimized\tRun minimized");
    objAbout.AddText("  /?\t\tThis information");
    objAbout.ShowMain(Modal);
  } catch (const std::exception&) {
    ReportError(kClass, "ShowAboutBox");
  }
}

const ui::MainView* Application::MainWindow() {
  if (!am_) return nullptr;
  try {
    return &am_->frm().View();
  } catch (const std::exception&) {
    return nullptr;  // the controller could not make its window
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
  // The run is over: another may start, even while a pinned window keeps this process alive.
  runLock_.reset();
  of_.reset();
  if (am_) {
    am_->Terminate();
    runFailed_ = am_->LastSourceFailed;
    am_.reset();
  }
  su_.reset();
  reg_.reset();
}

int Application::ExitStatus() const {
  if (otherRunBusy_) return 3;
  // A run that went on after an error report, or that could not record what it fetched, is no success
  // either: the next run would fetch the same package again, and nobody would be told.
  const bool failed =
      (am_ ? am_->LastSourceFailed : runFailed_) || ReportedErrorCount() > 0 || FailedSettingWrites() > 0;
  return failed ? 1 : 0;
}

void Application::ReportUnknownSwitch(int32_t lngIndex) {
  // Positional arguments are stored as PATH1, PATH2, ...: they are no switches.
  const std::string& key = (ah_->Arguments().begin() + (lngIndex - 1))->first;
  if (key.size() > 4 && key.compare(0, 4, "PATH") == 0 && key.find_first_not_of("0123456789", 4) == std::string::npos) {
    return;
  }
  am_->frm().AddText("Unknown switch ignored: /" + key, platform::ColorRed);
}

void Application::WriteRunBookkeeping() {
  reg_->SetKeyValue(AppRegKey(), "LatestRunDate", LocalDateTime::Now());
  reg_->SetKeyValue(AppRegKey(), "LatestRunVersion", platform::TitleWithVersion(platform::App()));
}

void Application::ReadSettings() {
  AppMain& am = *am_;
  am.HostName = reg_->GetKeyValue(AppRegKey(), "HostName", "");
  am.RemotePath = reg_->GetKeyValue(AppRegKey(), "RemotePath", "");
  am.FileMask = reg_->GetKeyValue(AppRegKey(), "FileMask", "");
  am.LocalPath = reg_->GetKeyValue(AppRegKey(), "LocalPath", "");
  am.AltHostName = reg_->GetKeyValue(AppRegKey(), "AlternateHostName", "");
  am.AltRemotePath = reg_->GetKeyValue(AppRegKey(), "AlternateRemotePath", "");

  // A hand-edited count is read by its leading number ("3 copies" keeps 3); no usable number keeps two.
  am.SDATsToKeep = RoundHalfEven(Val(reg_->GetKeyValue(AppRegKey(), "SDATsToKeep", "0")));
  if (am.SDATsToKeep == 0) {
    am.SDATsToKeep = 2;
    reg_->SetKeyValue(AppRegKey(), "SDATsToKeep", "2");
  }
}

}  // namespace kestrun
