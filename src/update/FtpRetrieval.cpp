#include "update/FtpRetrieval.h"

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "platform/FtpListing.h"
#include "registry/RegSetting.h"
#include "registry/RegUtilities.h"
#include "update/RankedPackage.h"
#include "util/ErrorReport.h"
#include "util/FileUtilities.h"
#include "util/RuntimeError.h"

namespace kestrun::update {

FtpRetrieval::FtpRetrieval(const RunContext& context, PackageBookkeeping& bookkeeping)
    : context_(context), bookkeeping_(bookkeeping) {
  SetFtpClient(platform::CreateFtpClient(
      [](const std::string& name, const std::string& mask) { return StringUtilities().MatchesFileMask(name, mask); }));
}

FtpRetrieval::~FtpRetrieval() {
  if (client_) client_->SetEvents(nullptr);
}

void FtpRetrieval::SetFtpClient(std::unique_ptr<platform::FtpClient> client) {
  if (client_) client_->SetEvents(nullptr);
  client_ = std::move(client);
  if (client_) client_->SetEvents(this);
}

bool FtpRetrieval::GetUpdatesFTP(const std::string& strHostName, const std::string& strRemotePath) {
  bool blnResult = true;
  try {
    if (!client_) Raise(err::ObjectVariableNotSet);
    const RunSettings& settings = context_.Settings();
    platform::RunWindow& window = context_.Window();
    platform::FtpClient& ftp = *client_;
    // A failure line, then why: the server's reply or the system's reason. A scheduled run has no
    // status bar to show it, so it goes to the log, in red.
    auto Failed = [&](const std::string& strLine, int16_t status) {
      const std::string strWhy = ftp.LastError();
      window.AddText(strLine);
      window.AddText(strWhy.empty() ? "FTP status " + std::to_string(status) : strWhy, platform::ColorRed);
    };
    // Fixed for the whole list: every package fetched below ranks above the one recorded at the start.
    const std::string strLatest = bookkeeping_.GetLatestUpdate();

    window.AddText("Connecting to " + strHostName);
    if (context_.Stopped()) return false;
    ftp.SetRemotePort(21);
    ftp.SetUserName("anonymous");
    ftp.SetHostName(strHostName);
    ftp.SetPassiveMode(true);
    if (const int16_t status = ftp.Connect(); status != 0) {
      Failed("Unable to connect!", status);
      return false;
    }

    window.AddText("cd " + strRemotePath);
    if (const int16_t status = ftp.ChangeDirectory(strRemotePath); status != 0) {
      Failed("Unable to change to the specified directory!", status);
      return false;
    }

    window.AddText("Get file list");
    listingBuffer_.clear();
    if (const int16_t status = ftp.GetFileList(settings.FileMask, false); status != 0) {
      Failed("Unable to get directory listing!", status);
      return false;
    }
    // The names are taken out of the buffer before any download, whose events must not meet a
    // buffer that is being read; the buffer itself is not needed after that.
    const std::string strListing = std::move(listingBuffer_);
    listingBuffer_.clear();

    std::vector<RankedPackage> names;
    su_.ForEachField(strListing, "\r\n", false, [&](const std::string& strName) {
      if (strName.empty()) return;
      // Whatever the client passed on, a name from the server is joined to the local folder only when
      // it is a plain file name there: no separator, no "." or "..", no control character, not too long.
      if (platform::ClassifyRemoteName(strName) != platform::RemoteNameKind::Bare) {
        window.AddText("Skipping unsafe name: " + platform::PrintableName(strName), platform::ColorRed);
        return;
      }
      names.emplace_back(settings.LocalPath + strName, strName);
    });
    // Servers list in any order; fetched in ascending rank, the package recorded last is the newest.
    SortByRank(names);

    RegUtilities ru;
    for (const RankedPackage& candidate : names) {
      if (context_.Stopped()) return false;
      const std::string& strName = candidate.package.Name;
      // Names rank byte by byte, not by number: SDAT999.EXE is newer than SDAT1000.EXE.
      if (!(candidate.upper > strLatest)) {
        window.AddText("Old SDAT: " + strName + " Skipping!");
        continue;
      }

      const std::string& strTarget = candidate.package.Path;
      ftp.SetTransferType(platform::ftptype::Binary);
      window.ShowProgress(true);
      window.AddText("Get " + strName + " " + strTarget);
      if (context_.Stopped()) return false;
      const int16_t status = ftp.GetFile(strTarget, strName);
      if (context_.Stopped()) {
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
        ru.SetKeyValue(settings.RegistryKey, "LatestUpdate", candidate.upper, "REG_SZ");
        ru.SetKeyValue(settings.RegistryKey, "LatestUpdateDate", LocalDateTime::Now(), "REG_SZ");
        window.AddText(strName + " copied!");
        // The rename step told why it failed; the list ends here, as it stands.
        if (!bookkeeping_.RenameUpdate(strName)) return false;
      }
      window.ShowProgress(false);
    }

    window.AddText("Disconnect");
    if (const int16_t status = ftp.Disconnect(); status != 0) {
      Failed("Unable to Disconnect!", status);
      return false;
    }
    window.UpdateStatusBar("");
  } catch (const std::exception&) {
    // A retrieval that ended on an error did not run through: the alternate host is tried, and the
    // exit status tells a scheduler that this source failed.
    blnResult = false;
    ReportError(kReportClass, "GetUpdatesFTP");
  }
  return blnResult;
}

}  // namespace kestrun::update
