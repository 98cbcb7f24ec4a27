#include "update/CopyRetrieval.h"

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "platform/WindowSystem.h"
#include "registry/RegSetting.h"
#include "registry/RegUtilities.h"
#include "update/RankedPackage.h"
#include "util/ErrorReport.h"
#include "util/FileSystemObject.h"
#include "util/FileUtilities.h"

namespace kestrun::update {

bool CopyRetrieval::GetUpdatesCopy(const std::string& strRemotePath) {
  bool blnResult = true;
  try {
    RunSettings& settings = context_.Settings();
    platform::RunWindow& window = context_.Window();
    // Fixed for the whole scan: every package copied below ranks above the one recorded at the start.
    const std::string strLatest = bookkeeping_.GetLatestUpdate();
    FileSystemObject& fso = context_.FSO();

    if (!fso.FolderExists(strRemotePath)) {
      blnResult = false;
      window.AddText("Folder " + strRemotePath + " does not exist!", platform::ColorRed);
    } else {
      // The scan gathers the packages that rank above the recorded one; they are copied afterwards in
      // ascending rank, so the package recorded last is the newest, whatever order the folder gives.
      std::vector<RankedPackage> packages;
      for (const FsoFile& file : fso.GetFolder(strRemotePath).Files()) {
        // A large share takes a while to scan: the window stays responsive, and a close stops here.
        platform::Windows().DoEvents();
        if (context_.Stopped()) return false;

        const std::string& strName = file.Name();
        if (!su_.MatchesFileMask(strName, settings.FileMask, false)) continue;
        // A name holding a control character (a line break, an escape) would forge or garble log lines
        // and stored values; such a file is no package of ours.
        if (text::HasControlCharacter(strName)) {
          window.AddText("Skipping a file whose name holds control characters", platform::ColorRed);
          continue;
        }
        RankedPackage candidate(file.Path(), strName);
        // Names rank byte by byte, not by number: SDAT999.EXE is newer than SDAT1000.EXE.
        if (candidate.upper > strLatest) packages.push_back(std::move(candidate));
      }
      SortByRank(packages);

      RegUtilities ru;
      for (const RankedPackage& candidate : packages) {
        if (context_.Stopped()) return false;
        const std::string& strName = candidate.package.Name;
        if (fso.FileExists(settings.LocalPath + strName)) continue;

        window.AddText("copy " + candidate.package.Path + " " + settings.LocalPath + strName);
        if (context_.Stopped()) return false;
        // The copy goes through a temporary file: a failure leaves no half package under the name.
        fso.CopyFile(candidate.package.Path, settings.LocalPath, true);
        if (context_.Stopped()) {
          // Abandoned: nothing is recorded for it, so it must not stay either, or the next run would
          // take it for fetched and never hand it to the rename step.
          FileUtilities().DeleteFile(settings.LocalPath + strName);
          return false;
        }

        ru.SetKeyValue(settings.RegistryKey, "LatestUpdate", candidate.upper, "REG_SZ");
        ru.SetKeyValue(settings.RegistryKey, "LatestUpdateDate", LocalDateTime::Now(), "REG_SZ");
        window.AddText(strName + " copied!");
        bookkeeping_.RenameUpdate(strName);
      }
    }
    window.UpdateStatusBar("");
  } catch (const std::exception&) {
    blnResult = false;
    ReportError(kReportClass, "GetUpdatesCopy");
  }
  return blnResult;
}

}  // namespace kestrun::update
