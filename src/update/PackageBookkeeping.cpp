// Keeping the local package folder in order around each retrieval: which package this machine fetched
// last, the copy under the fixed name given with /Rename, and the removal of the oldest packages.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/Text.h"
#include "platform/WindowSystem.h"
#include "registry/RegUtilities.h"
#include "ui/frmMain.h"
#include "update/SDAT.h"
#include "update/UpdateRun.h"
#include "util/ErrorReport.h"
#include "util/FileSystemObject.h"
#include "util/FileUtilities.h"
#include "util/RuntimeError.h"

namespace kestrun {

namespace {

constexpr const char* kClass = "frmMain";

AppMain& Controller(AppMain* objAM) {
  if (!objAM) Raise(err::ObjectVariableNotSet);
  return *objAM;
}

// True when both paths lead to one and the same existing file, whatever letter case either was given in.
bool SameFile(FileSystemObject& fso, const std::string& strFirst, const std::string& strSecond) {
  const auto first = fso.ResolveExisting(strFirst);
  const auto second = fso.ResolveExisting(strSecond);
  if (!first || !second) return false;
  std::error_code ec;
  return std::filesystem::equivalent(*first, *second, ec) && !ec;
}

}  // namespace

std::string frmMain::GetLatestUpdate() {
  try {
    AppMain& am = Controller(objAM_);
    RegUtilities ru;
    std::string strLatest = text::UCase(ru.GetKeyValue(Application::AppRegKey(), "LatestUpdate", ""));
    const std::string strDate = ru.GetKeyValue(Application::AppRegKey(), "LatestUpdateDate", "");
    AddText("Latest download on this PC: " + strLatest + " (" + strDate + ")");

    // With a rename target the fetched packages do not stay under their own names, so their absence
    // says nothing; without one, a vanished package is fetched again.
    if (am.NewFileName.empty() && !su_.TrimText(strLatest, " ").empty() &&
        !am.FSO()->FileExists(am.LocalPath + strLatest)) {
      AddText("Latest local file missing, reload if found!");
      strLatest.clear();
    }
    return strLatest;
  } catch (const std::exception&) {
    ReportError(kClass, "GetLatestUpdate");
    return {};
  }
}

// No handler of its own: a failure here ends the calling retrieval through its handler.
bool frmMain::RenameUpdate(const std::string& strFileName) {
  AppMain& am = Controller(objAM_);
  if (am.NewFileName.empty()) return true;

  const std::string strSource = am.LocalPath + strFileName;
  const std::string strTarget = am.LocalPath + am.NewFileName;
  // A target naming the fetched file itself: the copy would change nothing and the removal would
  // destroy the only copy of the package.
  if (SameFile(*am.FSO(), strSource, strTarget)) return true;

  FileUtilities fu;
  if (!fu.CopyFile(strSource, strTarget)) {
    AddText("Unable to copy " + strFileName + " to " + am.NewFileName);
    return false;
  }
  if (!fu.DeleteFile(strSource)) {
    AddText("Unable to remove " + strFileName);
    return false;
  }
  AddText(strFileName + " renamed to " + am.NewFileName);
  return true;
}

void frmMain::RemoveOldSDATs() {
  try {
    AppMain& am = Controller(objAM_);
    AddText("Removing old SDATs...");
    am.UpdateStatusBar("");

    std::vector<update::RankedPackage> packages;
    auto fso = am.FSO();
    if (fso->FolderExists(am.LocalPath)) {
      for (const FsoFile& file : fso->GetFolder(am.LocalPath).Files()) {
        platform::Windows().DoEvents();
        if (update::RunStopped(*this)) return;
        if (su_.MatchesFileMask(file.Name(), am.FileMask, false))
          packages.emplace_back(file.Path(), file.Name());
      }
    }

    // The oldest package is the one with the smallest name in the ranking the retrievals use, so the
    // package they fetched and recorded last is the one kept longest, whatever its letter case. A
    // negative count to keep (a hand-edited setting) keeps none.
    const std::size_t keep = am.SDATsToKeep > 0 ? static_cast<std::size_t>(am.SDATsToKeep) : 0;
    if (packages.size() > keep) {
      const std::size_t removeCount = packages.size() - keep;
      update::SortByRank(packages);
      FileUtilities fu;
      for (std::size_t i = 0; i < removeCount; ++i) {
        if (update::RunStopped(*this)) return;
        const SDAT& old = packages[i].package;
        // A package that stays must not be reported as gone; it still leaves the list, so the
        // pruning ends and the next run tries it again.
        if (fu.DeleteFile(old.Path)) {
          AddText(old.Name + " removed");
        } else {
          AddText("Unable to remove " + old.Name, ui::ColorRed);
        }
      }
    }
    am.UpdateStatusBar("");
  } catch (const std::exception&) {
    ReportError(kClass, "RemoveOldSDATs");
  }
}

}  // namespace kestrun
