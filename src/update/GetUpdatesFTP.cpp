// FTP retrieval: logs in anonymously, lists the remote folder by the file mask and downloads every
// package that ranks above the one recorded last.
#include <exception>
#include <string>
#include <vector>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/FtpListing.h"
#include "platform/Text.h"
#include "registry/RegSetting.h"
#include "registry/RegUtilities.h"
#include "ui/frmMain.h"
#include "update/UpdateRun.h"
#include "util/ErrorReport.h"
#include "util/FileUtilities.h"
#include "util/RuntimeError.h"

namespace kestrun {

bool frmMain::GetUpdatesFTP(const std::string& strHostName, const std::string& strRemotePath) {
  bool blnResult = true;
  try {
    if (!objAM_ || !FtpClient) Raise(err::ObjectVariableNotSet);
    AppMain& am = *objAM_;
    platform::FtpClient& ftp = *FtpClient;
    // A failure line, then why: the server's reply or the system's reason. A scheduled run has no
    // status bar to show it, so it goes to the log, in red.
    auto Failed = [&](const std::string& strLine, int16_t status) {
      const std::string strWhy = ftp.LastError();
      AddText(strLine);
      AddText(strWhy.empty() ? "FTP status " + std::to_string(status) : strWhy, ui::ColorRed);
    };
    // Fixed for the whole list: every package fetched below ranks above the one recorded at the start.
    const std::string strLatest = GetLatestUpdate();

    AddText("Connecting to " + strHostName);
    if (update::RunStopped(*this)) return false;
    ftp.SetRemotePort(21);
    ftp.SetUserName("anonymous");
    ftp.SetHostName(strHostName);
    ftp.SetPassiveMode(true);
    if (const int16_t status = ftp.Connect(); status != 0) {
      Failed("Unable to connect!", status);
      return false;
    }

    AddText("cd " + strRemotePath);
    if (const int16_t status = ftp.ChangeDirectory(strRemotePath); status != 0) {
      Failed("Unable to change to the specified directory!", status);
      return false;
    }

    AddText("Get file list");
    // The listing events append here, one name and a line end each, before the request returns.
    listingBuffer_.clear();
    if (const int16_t status = ftp.GetFileList(am.FileMask, false); status != 0) {
      Failed("Unable to get directory listing!", status);
      return false;
    }
    // The names are taken out of the buffer before any download, whose events must not meet a
    // buffer that is being read; the buffer itself is not needed after that.
    const std::string strListing = std::move(listingBuffer_);
    listingBuffer_.clear();

    std::vector<update::RankedPackage> names;
    su_.ForEachField(strListing, "\r\n", false, [&](const std::string& strName) {
      if (strName.empty()) return;
      // Whatever the client passed on, a name from the server is joined to the local folder only when
      // it is a plain file name there: no separator, no "." or "..", no control character, not too long.
      if (platform::ClassifyRemoteName(strName) != platform::RemoteNameKind::Bare) {
        AddText("Skipping unsafe name: " + platform::PrintableName(strName), ui::ColorRed);
        return;
      }
      names.emplace_back(am.LocalPath + strName, strName);
    });
    // Servers list in any order; fetched in ascending rank, the package recorded last is the newest.
    update::SortByRank(names);

    RegUtilities ru;
    for (const update::RankedPackage& candidate : names) {
      if (update::RunStopped(*this)) return false;
      const std::string& strName = candidate.package.Name;
      // Names rank byte by byte, not by number: SDAT999.EXE is newer than SDAT1000.EXE.
      if (!(candidate.upper > strLatest)) {
        AddText("Old SDAT: " + strName + " Skipping!");
        continue;
      }

      const std::string& strTarget = candidate.package.Path;
      ftp.SetTransferType(platform::ftptype::Binary);
      view_->SetProgressVisible(true);
      AddText("Get " + strName + " " + strTarget);
      if (update::RunStopped(*this)) return false;
      const int16_t status = ftp.GetFile(strTarget, strName);
      if (update::RunStopped(*this)) {
        // Abandoned by the user: nothing is recorded for it, so a package that did arrive must not
        // stay either, or the next run would take it for fetched and never hand it to the rename step.
        if (status == 0) FileUtilities().DeleteFile(strTarget);
        return false;
      }
      if (status != 0) {
        // The client left nothing behind; the next package may still come through.
        Failed("Failed to get " + strName + "!", status);
        blnResult = false;
      } else {
        ru.SetKeyValue(Application::AppRegKey(), "LatestUpdate", candidate.upper, "REG_SZ");
        ru.SetKeyValue(Application::AppRegKey(), "LatestUpdateDate", LocalDateTime::Now(), "REG_SZ");
        AddText(strName + " copied!");
        // The rename step told why it failed; the list ends here, as it stands.
        if (!RenameUpdate(strName)) return false;
      }
      view_->SetProgressVisible(false);
    }

    AddText("Disconnect");
    if (const int16_t status = ftp.Disconnect(); status != 0) {
      Failed("Unable to Disconnect!", status);
      return false;
    }
    am.UpdateStatusBar("");
  } catch (const std::exception&) {
    // A retrieval that ended on an error did not run through: the alternate host is tried, and the
    // exit status tells a scheduler that this source failed.
    blnResult = false;
    ReportError("frmMain", "GetUpdatesFTP");
  }
  return blnResult;
}

}  // namespace kestrun
