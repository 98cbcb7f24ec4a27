// The parameter set-up: the whole configuration interface is this row of six input boxes.
#include "app/InitParams.h"

#include <exception>

#include "BuildConfig.h"
#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/WindowSystem.h"
#include "registry/RegUtilities.h"
#include "util/ErrorReport.h"
#include "util/StringUtilities.h"

namespace kestrun {

namespace {

constexpr const char* kVendorRemotePath = "/pub/antivirus/datfiles/4.x/";

struct Setting {
  const char* prompt;
  const char* defaultText;
  std::string AppMain::*property;
  const char* valueName;
};

// In the order they are asked. The first five always offer the factory default, not the saved value:
// someone who reruns the set-up retypes what they had changed.
// clang-format off
const Setting kSettings[] = {
    {"Enter HostName", KESTRUN_DEFAULT_HOST, &AppMain::HostName, "HostName"},
    {"Enter remote path", kVendorRemotePath, &AppMain::RemotePath, "RemotePath"},
    {"Enter alternate HostName", KESTRUN_DEFAULT_ALT_HOST, &AppMain::AltHostName, "AlternateHostName"},
    {"Enter alternate remote path", kVendorRemotePath, &AppMain::AltRemotePath, "AlternateRemotePath"},
    {"Enter filemask", "sdat*.exe", &AppMain::FileMask, "FileMask"},
};
// clang-format on

// Shows one box; a non-empty answer goes to the property and from there to the registry.
void Ask(AppMain& objAM, const std::string& strKey, const std::string& strPrompt, const std::string& strDefault,
         std::string AppMain::*property, const std::string& strValueName) {
  const std::string answer = platform::Windows().InputBox(strPrompt, platform::App().Title, strDefault);
  if (answer.empty()) return;
  objAM.*property = answer;
  RegUtilities().SetKeyValue(strKey, strValueName, objAM.*property, "REG_SZ");
}

}  // namespace

void AskRunSettings(AppMain& objAM, const StringUtilities& su, const std::string& strProgramFolder,
                    const std::string& strKey) {
  try {
    for (const Setting& setting : kSettings) {
      Ask(objAM, strKey, setting.prompt, setting.defaultText, setting.property, setting.valueName);
    }
    // The program's own folder holds for this run even when the box is cancelled; it is saved only
    // when the user confirms it.
    if (objAM.LocalPath.empty()) objAM.LocalPath = su.CheckPathEnding(strProgramFolder);
    Ask(objAM, strKey, "Enter local path", objAM.LocalPath, &AppMain::LocalPath, "LocalPath");
  } catch (const std::exception&) {
    ReportError("Application", "InitParams");
  }
}

void Application::InitParams() { AskRunSettings(*am_, *su_, platform::App().Path, AppRegKey()); }

}  // namespace kestrun
