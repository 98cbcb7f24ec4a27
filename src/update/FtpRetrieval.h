#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/FtpClient.h"
#include "update/PackageBookkeeping.h"
#include "update/RunContext.h"
#include "util/StringUtilities.h"

namespace kestrun::update {

// FTP retrieval: logs in anonymously, lists the remote folder by the file mask and downloads every
// package that ranks above the one recorded last. It owns the FTP client component and handles its
// events (FtpClientEvents.cpp).
class FtpRetrieval final : public platform::FtpClientEvents {
 public:
  // Starts with the libcurl client, which filters its listings with the program's own mask matcher.
  FtpRetrieval(const RunContext& context, PackageBookkeeping& bookkeeping);
  ~FtpRetrieval() override;
  FtpRetrieval(const FtpRetrieval&) = delete;
  FtpRetrieval& operator=(const FtpRetrieval&) = delete;

  // Puts another FTP client in the place of the current one (tests use a scripted one).
  void SetFtpClient(std::unique_ptr<platform::FtpClient> client);

  // False when the host, the folder or the listing failed, a download failed, a rename failed or the run
  // was stopped: the alternate host is then tried.
  bool GetUpdatesFTP(const std::string& strHostName, const std::string& strRemotePath);

  void FtpClient_FileList(const std::string& name) override;
  void FtpClient_Progress(int16_t percent) override;
  void FtpClient_Status(const std::string& text) override;
  void FtpClient_NameSkipped(const std::string& text) override;

 private:
  const RunContext& context_;
  PackageBookkeeping& bookkeeping_;
  StringUtilities su_;
  // The listing events append here, one name and a line end each, before the listing call returns.
  std::string listingBuffer_;
  std::unique_ptr<platform::FtpClient> client_;
};

}  // namespace kestrun::update
