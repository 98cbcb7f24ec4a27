#include "update/PackageBookkeeping.h"

#include <cstddef>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/Text.h"
#include "platform/WindowSystem.h"
#include "registry/RegUtilities.h"
#include "update/RankedPackage.h"
#include "update/SDAT.h"
#include "util/ErrorReport.h"
#include "util/FileSystemObject.h"
#include "util/FileUtilities.h"

namespace kestrun::update {

namespace {

// True when both paths lead to one and the same existing file, whatever letter case either was given in.
bool SameFile(FileSystemObject& fso, const std::string& strFirst, const std::string& strSecond) {
  const auto first = fso.ResolveExisting(strFirst);
  const auto second = fso.ResolveExisting(strSecond);
  if (!first || !second) return false;
  std::error_code ec;
  return std::filesystem::equivalent(*first, *second, ec) && !ec;
}

}  // namespace

std::string PackageBookkeeping::GetLatestUpdate() {
  try {
    const RunSettings& settings = context_.Settings();
    platform::RunWindow& window = context_.Window();
    RegUtilities ru;
    std::string strLatest = text::UCase(ru.GetKeyValue(settings.RegistryKey, "LatestUpdate", ""));
    const std::string strDate = ru.GetKeyValue(settings.RegistryKey, "LatestUpdateDate", "");
    window.AddText("Latest download on this PC: " + strLatest + " (" + strDate + ")");

    // With a rename target the fetched packages do not stay under their own names, so their absence
    // says nothing; without one, a vanished package is fetched again.
    if (settings.NewFileName.empty() && !su_.TrimText(strLatest, " ").empty() &&
        !context_.FSO().FileExists(settings.LocalPath + strLatest)) {
      window.AddText("Latest local file missing, reload if found!");
      strLatest.clear();
    }
    return strLatest;
  } catch (const std::exception&) {
    ReportError(kReportClass, "GetLatestUpdate");
    return {};
  }
}

bool PackageBookkeeping::RenameUpdate(const std::string& strFileName) {
  const RunSettings& settings = context_.Settings();
  if (settings.NewFileName.empty()) return true;

  platform::RunWindow& window = context_.Window();
  const std::string strSource = settings.LocalPath + strFileName;
  const std::string strTarget = settings.LocalPath + settings.NewFileName;
  // A target naming the fetched file itself: the copy would change nothing and the removal would
  // destroy the only copy of the package.
  if (SameFile(context_.FSO(), strSource, strTarget)) return true;

  FileUtilities fu;
  if (!fu.CopyFile(strSource, strTarget)) {
    window.AddText("Unable to copy " + strFileName + " to " + settings.NewFileName);
    return false;
  }
  if (!fu.DeleteFile(strSource)) {
    window.AddText("Unable to remove " + strFileName);
    return false;
  }
  window.AddText(strFileName + " renamed to " + settings.NewFileName);
  return true;
}

void PackageBookkeeping::RemoveOldSDATs() {
  try {
    const RunSettings& settings = context_.Settings();
    platform::RunWindow& window = context_.Window();
    window.AddText("Removing old SDATs...");
    window.UpdateStatusBar("");

    std::vector<RankedPackage> packages;
    FileSystemObject& fso = context_.FSO();
    if (fso.FolderExists(settings.LocalPath)) {
      for (const FsoFile& file : fso.GetFolder(settings.LocalPath).Files()) {
        platform::Windows().DoEvents();
        if (context_.Stopped()) return;
        if (su_.MatchesFileMask(file.Name(), settings.FileMask, false)) packages.emplace_back(file.Path(), file.Name());
      }
    }

    // The oldest package is the one with the smallest name in the ranking the retrievals use, so the
    // package they fetched and recorded last is the one kept longest, whatever its letter case. A
    // negative count to keep (a hand-edited setting) keeps none.
    const std::size_t keep = settings.SDATsToKeep > 0 ? static_cast<std::size_t>(settings.SDATsToKeep) : 0;
    if (packages.size() > keep) {
      const std::size_t removeCount = packages.size() - keep;
      SortByRank(packages);
      FileUtilities fu;
      for (std::size_t i = 0; i < removeCount; ++i) {
        if (context_.Stopped()) return;
        const SDAT& old = packages[i].package;
        // A package that stays must not be reported as gone; it still leaves the list, so the
        // pruning ends and the next run tries it again.
        if (fu.DeleteFile(old.Path)) {
          window.AddText(old.Name + " removed");
        } else {
          window.AddText("Unable to remove " + old.Name, platform::ColorRed);
        }
      }
    }
    window.UpdateStatusBar("");
  } catch (const std::exception&) {
    ReportError(kReportClass, "RemoveOldSDATs");
  }
}

}  // namespace kestrun::update
