#pragma once
#include <curl/curl.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/CurlHandle.h"
#include "platform/FtpClient.h"

namespace kestrun::platform {

class NameListParser;
namespace curl {
struct Transfer;
}

// The FTP client over one libcurl easy handle. The handle lives from Connect to Disconnect, so every
// request reuses the control connection that Connect opened (libcurl reconnects by itself should the
// server have closed it in between). The current remote folder is kept here, as the path below the
// login folder or as an absolute path, and each request names it in its URL; libcurl changes into it
// with one CWD per component, and skips that when it is already there. What the server offers (MLSD,
// and whether it refuses SIZE) is learnt once per connection.
class CurlFtpClient final : public FtpClient {
 public:
  explicit CurlFtpClient(MaskMatcher matches);
  ~CurlFtpClient() override;
  CurlFtpClient(const CurlFtpClient&) = delete;
  CurlFtpClient& operator=(const CurlFtpClient&) = delete;

  void SetEvents(FtpClientEvents* events) override { events_ = events; }
  void SetRemotePort(int port) override { port_ = port; }
  void SetUserName(const std::string& user) override { user_ = user; }
  void SetHostName(const std::string& host) override { host_ = host; }
  void SetPassiveMode(bool passive) override { passive_ = passive; }
  void SetTransferType(int16_t type) override { transferType_ = type; }
  void SetConnectTimeout(std::chrono::milliseconds timeout) override { connectTimeout_ = timeout; }
  void SetStallTimeout(std::chrono::milliseconds timeout) override { stallTimeout_ = timeout; }
  void SetFlushToDisk(bool flush) override { flushToDisk_ = flush; }

  int16_t Connect() override;
  int16_t ChangeDirectory(const std::string& remotePath) override;
  int16_t GetFileList(const std::string& mask, bool details) override;
  int16_t GetFile(const std::string& localFile, const std::string& remoteName) override;
  int16_t Disconnect() override;
  std::string LastError() const override { return lastError_; }

  // Control connections opened so far (the login and any reconnection), for checking that requests
  // reuse one.
  long ConnectionsOpened() const { return connectionsOpened_; }

 private:
  class CallGuard;

  // Busy, cancelled or not connected: the status to give up with, else Ok. Starts a call's failure
  // reason afresh unless busy.
  int16_t CheckReady();
  // Reports a failure found here: `text` is the status text and the reason.
  int16_t Fail(int16_t status, const std::string& text);
  void ConfigureHandle();
  // Sets an option on the handle. The first option libcurl refuses (one this libcurl lacks, a value
  // it does not take) is noted, and every request then fails with it; debug builds stop at once.
  template <CURLoption Option, typename T>
  void Set(T value) {
    CheckOption(curl::SetOption<Option>(handle_.get(), value), Option);
  }
  void CheckOption(CURLcode rc, CURLoption option);
  std::string FolderUrl(const std::vector<std::string>& folders, bool absolute) const;
  // Runs the request set up on the handle; the callbacks point at `transfer` only meanwhile.
  CURLcode Run(curl::Transfer& transfer);
  // Turns a request's outcome into a status, reporting a failure as "<what> failed: <reason>". An
  // exception of an event handler is left in the transfer for the caller to rethrow once its own
  // clean-up is done.
  int16_t Outcome(const curl::Transfer& transfer, CURLcode rc, const std::string& what);
  std::string Reason(const curl::Transfer& transfer, CURLcode rc) const;
  curl::Transfer NewTransfer(int kind) const;
  // One listing request ("MLSD", "LIST" or "NLST") on the current folder, its lines to `parser`.
  CURLcode RunListing(const char* command, NameListParser& parser, curl::Transfer& transfer);
  // Drops the names that the server shows to be folders; Ok unless cancelled.
  int16_t DropFolders(std::vector<std::string>& names);
  int16_t Download(const std::string& localFile, const std::string& remoteName);
  void Status(const std::string& text);
  // Reports a listed name that was dropped, as a status text and a FtpClient_NameSkipped event.
  void NameSkipped(const std::string& text);
  void CloseHandle();

  MaskMatcher matches_;
  FtpClientEvents* events_ = nullptr;
  int port_ = 21;
  std::string user_ = "anonymous";
  std::string host_;
  bool passive_ = true;
  int16_t transferType_ = ftptype::Binary;
  std::chrono::milliseconds connectTimeout_{30000};
  std::chrono::milliseconds stallTimeout_{60000};
  bool flushToDisk_ = true;
  bool trace_ = false;

  // Command lists the handle is given for a request; they outlive the handle.
  const curl::CommandList features_;
  const curl::CommandList noop_;
  const curl::CommandList quit_;
  curl::EasyHandle handle_;
  std::array<char, 256> errorText_{};  // libcurl's CURLOPT_ERRORBUFFER
  std::string setupError_;             // the first option libcurl refused
  std::string lastError_;              // why the last call failed
  std::string lastStatus_;             // the last status text raised
  bool offersMlsd_ = false;
  bool sizeRefused_ = false;
  // Where the callbacks point between requests, so that libcurl never holds a dangling pointer.
  std::unique_ptr<curl::Transfer> idle_;
  bool connected_ = false;
  bool busy_ = false;
  std::string baseUrl_;  // "ftp://host:port"
  std::string password_;
  std::vector<std::string> folders_;  // current folder: components below the login folder, or absolute
  bool absolute_ = false;
  long connectionsOpened_ = 0;
};

}  // namespace kestrun::platform
