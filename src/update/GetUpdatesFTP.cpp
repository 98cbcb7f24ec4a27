// FTP retrieval: logs in anonymously, lists the remote folder by the file mask and downloads every
// package that ranks above the one recorded last.
#include <exception>
#include <string>

#include "app/AppMain.h"
#include "app/Application.h"
#include "platform/FtpListing.h"
#include "registry/RegSetting.h"
#include "registry/RegUtilities.h"
#include "ui/frmMain.h"
#include "update/UpdateRun.h"
#include "util/ErrorReport.h"
#include "util/FileUtilities.h"
#include "util/RuntimeError.h"
#include "util/Text.h"

namespace kestrun {

bool frmMain::GetUpdatesFTP(const std::string& strHostName, const std::string& strRemotePath) {
  bool blnResult = true;
  try {
    if (!objAM_ || !FtpClient) Raise(err::ObjectVariableNotSet);
    AppMain& am = *objAM_;
    platform::FtpClient& ftp = *FtpClient;
    // Fixed for the whole list: every package fetched below ranks above the one recorded at the start.
    const std::string strLatest = GetLatestUpdate();

    AddText("Connecting to " + strHostName);
    if (update::RunStopped(*this)) return false;
    ftp.SetRemotePort(21);
    ftp.SetUserName("anonymous");
    ftp.SetHostName(strHostName);
    ftp.SetPassiveMode(true);
    if (ftp.Connect() != 0) {
      AddText("Unable to connect!");
      return false;
    }

    AddText("cd " + strRemotePath);
    if (ftp.ChangeDirectory(strRemotePath) != 0) {
      AddText("Unable to change to the specified directory!");
      return false;
    }

    AddText("Get file list");
    // The listing events append here, one name and a line end each, before the request returns.
    listingBuffer_.clear();
    if (ftp.GetFileList(am.FileMask, false) != 0) {
      AddText("Unable to get directory listing!");
      return false;
    }
    // The names are taken out of the buffer before any download, whose events must not meet a
    // buffer that is being read; the buffer itself is not needed after that.
    const std::string strListing = std::move(listingBuffer_);
    listingBuffer_.clear();

    RegUtilities ru;
    bool blnStop = false;
    su_.ForEachField(strListing, "\r\n", false, [&](const std::string& strName) {
      if (blnStop || strName.empty()) return;
      if (update::RunStopped(*this)) {
        blnStop = true;
        return;
      }
      // Whatever the client passed on, a name from the server is joined to the local folder only when
      // it is a plain file name there: no separator, no "." or "..", no control character, not too long.
      if (platform::ClassifyRemoteName(strName) != platform::RemoteNameKind::Bare) {
        AddText("Skipping unsafe name: " + platform::PrintableName(strName), ui::ColorRed);
        return;
      }
      // Names rank byte by byte, not by number: SDAT999.EXE is newer than SDAT1000.EXE.
      const std::string strUpper = text::UCase(strName);
      if (!(strUpper > strLatest)) {
        AddText("Old SDAT: " + strName + " Skipping!");
        return;
      }

      const std::string strTarget = am.LocalPath + strName;
      ftp.SetTransferType(platform::ftptype::Binary);
      view_->SetProgressVisible(true);
      AddText("Get " + strName + " " + strTarget);
      if (update::RunStopped(*this)) {
        blnStop = true;
        return;
      }
      const int16_t status = ftp.GetFile(strTarget, strName);
      if (update::RunStopped(*this)) {
        // Abandoned by the user: nothing is recorded for it, so a package that did arrive must not
        // stay either, or the next run would take it for fetched and never hand it to the rename step.
        if (status == 0) FileUtilities().DeleteFile(strTarget);
        blnStop = true;
        return;
      }
      if (status != 0) {
        // The client left nothing behind; the next package may still come through.
        AddText("Failed to get " + strName + "!");
        blnResult = false;
      } else {
        ru.SetKeyValue(Application::AppRegKey(), "LatestUpdate", strUpper, "REG_SZ");
        ru.SetKeyValue(Application::AppRegKey(), "LatestUpdateDate", LocalDateTime::Now(), "REG_SZ");
        AddText(strName + " copied!");
        if (!RenameUpdate(strName)) {
          // The rename step told why; the list ends here, as it stands.
          blnResult = false;
          blnStop = true;
          return;
        }
      }
      view_->SetProgressVisible(false);
    });
    if (blnStop) return false;

    AddText("Disconnect");
    if (ftp.Disconnect() != 0) {
      AddText("Unable to Disconnect!");
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
