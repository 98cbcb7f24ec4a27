#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrun::testing {

// How the test FTP server (tests/integration/ftp_server.py) should behave. By default it serves
// `root` read-only to anonymous users and behaves.
struct FtpServerOptions {
  std::filesystem::path root;
  bool refuseLogin = false;
  std::vector<std::string> deny;  // RETR of these names gets 550
  // Drop the data connection of this file halfway, in one of the ways "426" (close, reply 426), "226"
  // (close early, reply 226), "reset" (TCP reset, reply 426), "close" (close, no reply at all).
  std::string dropFile;
  std::string dropMode = "426";
  // Send `stallAfter` bytes of this file, then nothing more, closing nothing.
  std::string stallFile;
  int64_t stallAfter = 0;
  // The names listed, in this order, instead of the folder's: NLST answers with the raw bytes of this
  // file, MLSD and LIST with one line for each CRLF-separated name (a folder where the served folder
  // holds one of that name).
  std::filesystem::path listingFile;
  // Every listing holds this many generated names ("file0000000.dat", ...), streamed.
  long manyNames = 0;
  // The server knows no MLSD (as vsftpd): names are listed with NLST.
  bool noMlsd = false;
  // SIZE is answered 550; the opening reply of RETR gives the byte count instead.
  bool refuseSize = false;
  // Each data connection sends at most this many bytes a second (0: as fast as it can).
  long rate = 0;
};

// The test FTP server as a child process on 127.0.0.1 and an ephemeral port. Started by the
// constructor (which waits, for a limited time, until the server listens) and killed by the destructor.
class FtpServer {
 public:
  explicit FtpServer(FtpServerOptions options);
  ~FtpServer();
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;

  uint16_t Port() const { return port_; }
  // "127.0.0.1:<port>", a host name as the FTP client takes it.
  std::string HostName() const;
  // Ends the server at once (SIGKILL), as if it had died; its connections break.
  void Kill();

  // Whether the server can run here: /usr/bin/python3 imports pyftpdlib. Checked once.
  static bool Available();
  // tests/integration/ftp_server.py, found through KESTRUN_TEST_DATA (or beside this source file).
  static std::filesystem::path Script();

 private:
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

}  // namespace kestrun::testing

// Skips the current test when the test FTP server cannot run on this machine.
#define KESTRUN_REQUIRE_FTP_SERVER()                                                  \
  do {                                                                                \
    if (!::kestrun::testing::FtpServer::Available())                                  \
      GTEST_SKIP() << "/usr/bin/python3 cannot import pyftpdlib (python3-pyftpdlib)"; \
  } while (0)
