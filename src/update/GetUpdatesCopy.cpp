// Copy retrieval: fetches new packages from an ordinary folder or network share.
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/Text.h"
#include "platform/WindowSystem.h"
#include "registry/RegSetting.h"
#include "registry/RegUtilities.h"
#include "ui/frmMain.h"
#include "update/UpdateRun.h"
#include "util/ErrorReport.h"
#include "util/FileSystemObject.h"
#include "util/FileUtilities.h"
#include "util/RuntimeError.h"

namespace kestrun {

bool frmMain::GetUpdatesCopy(const std::string& strRemotePath) {
  bool blnResult = true;
  try {
    if (!objAM_) Raise(err::ObjectVariableNotSet);
    AppMain& am = *objAM_;
    // Fixed for the whole scan: every package copied below ranks above the one recorded at the start.
    const std::string strLatest = GetLatestUpdate();
    auto fso = am.FSO();

    if (!fso->FolderExists(strRemotePath)) {
      blnResult = false;
      AddText("Folder " + strRemotePath + " does not exist!", ui::ColorRed);
    } else {
      // The scan gathers the packages that rank above the recorded one; they are copied afterwards in
      // ascending rank, so the package recorded last is the newest, whatever order the folder gives.
      std::vector<update::RankedPackage> packages;
      for (const FsoFile& file : fso->GetFolder(strRemotePath).Files()) {
        // A large share takes a while to scan: the window stays responsive, and a close stops here.
        platform::Windows().DoEvents();
        if (update::RunStopped(*this)) return false;

        const std::string& strName = file.Name();
        if (!su_.MatchesFileMask(strName, am.FileMask, false)) continue;
        if (update::HasControlCharacter(strName)) {
          AddText("Skipping a file whose name holds control characters", ui::ColorRed);
          continue;
        }
        update::RankedPackage candidate(file.Path(), strName);
        // Names rank byte by byte, not by number: SDAT999.EXE is newer than SDAT1000.EXE.
        if (candidate.upper > strLatest) packages.push_back(std::move(candidate));
      }
      update::SortByRank(packages);

      RegUtilities ru;
      for (const update::RankedPackage& candidate : packages) {
        if (update::RunStopped(*this)) return false;
        const std::string& strName = candidate.package.Name;
        if (fso->FileExists(am.LocalPath + strName)) continue;

        AddText("copy " + candidate.package.Path + " " + am.LocalPath + strName);
        if (update::RunStopped(*this)) return false;
        // The copy goes through a temporary file: a failure leaves no half package under the name.
        fso->CopyFile(candidate.package.Path, am.LocalPath, true);
        if (update::RunStopped(*this)) {
          // Abandoned: nothing is recorded for it, so it must not stay either, or the next run would
          // take it for fetched and never hand it to the rename step.
          FileUtilities().DeleteFile(am.LocalPath + strName);
          return false;
        }

        ru.SetKeyValue(Application::AppRegKey(), "LatestUpdate", candidate.upper, "REG_SZ");
        ru.SetKeyValue(Application::AppRegKey(), "LatestUpdateDate", LocalDateTime::Now(), "REG_SZ");
        AddText(strName + " copied!");
        RenameUpdate(strName);
      }
    }
    am.UpdateStatusBar("");
  } catch (const std::exception&) {
    blnResult = false;
    ReportError("frmMain", "GetUpdatesCopy");
  }
  return blnResult;
}

}  // namespace kestrun
