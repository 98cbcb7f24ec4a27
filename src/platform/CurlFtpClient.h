#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/FtpClient.h"

typedef void CURL;

namespace kestrun::platform {

namespace curl {
struct Transfer;
}

// The FTP client over one libcurl easy handle. The handle lives from Connect to Disconnect, so every
// request reuses the control connection that Connect opened (libcurl reconnects by itself should the
// server have closed it in between). The current remote folder is kept here, as the path below the
// login folder or as an absolute path, and each request names it in its URL; libcurl changes into it
// with one CWD per component, and skips that when it is already there.
class CurlFtpClient final : public FtpClient {
 public:
  CurlFtpClient();
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

  // Control connections opened so far (the login and any reconnection), for checking that requests
  // reuse one.
  long ConnectionsOpened() const { return connectionsOpened_; }

 private:
  class CallGuard;

  // Busy, cancelled or not connected: the status to give up with, else Ok.
  int16_t CheckReady();
  void ConfigureHandle();
  std::string FolderUrl(const std::vector<std::string>& folders, bool absolute) const;
  // Runs the request set up on the handle and turns its outcome into a status, reporting a failure as
  // "<what> failed: ...". An exception of an event handler is left in the transfer for the caller to
  // rethrow once its own clean-up is done.
  int16_t Perform(curl::Transfer& transfer, const std::string& what);
  curl::Transfer NewTransfer(int kind) const;
  void Status(const std::string& text);
  void CloseHandle();

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

  CURL* handle_ = nullptr;
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
